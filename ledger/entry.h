#pragma once

// One income or expense entry of the household, and the one codec between it and the nine
// fields of its record in Database.edb. Everything else in the program handles entries as
// `Entry` values or `EntryView`s; which store field holds what is known here only.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/value_texts.h"
#include "store/record_store.h"
#include "store/store_value.h"

namespace ledger {

struct Entry {
    bool income = false;  // the entry's kind: true for income, false for expense
    Date date;            // the day the entry belongs to
    std::string time;     // the clock time it was added at, 8 bytes: "08时05分"
    std::string item;
    float amount = 0;  // in yuan, as stored: a 32-bit float
    std::string category;
    std::string note;
    int32_t serial = 0;  // the serial of the record it was read from; 0 for an entry not stored
    bool operator==(const Entry&) const = default;
};

// The nine values of `e`'s record in field order, as appendRecord takes them. Texts longer than
// their fields are cut by the store; the serial is the store's to give.
std::vector<store::StoreValue> entryValues(const Entry& e);

// Whether the open store has the ledger's nine fields. A store without them holds no entries:
// readEntries fails on it and nothing should be appended to it.
bool holdsEntries(const store::RecordStore& s);

// Appends `e` as a new record at the end of the store (its serial is ignored) and leaves the
// cursor on it. Returns the serial the store gave it; 0 on failure, with lastError() set and the
// count unchanged.
int32_t appendEntry(store::RecordStore& s, const Entry& e);

// A change of a stored entry: rewrites the item, amount, note and category of the store's current
// record with `e`'s, each write only while that record still holds `serial` (another instance's
// purge may move records at any moment). The kind, date and time stay as they were added. All or
// nothing: when a write fails, the fields already written are put back and false is returned,
// with that write's failure in `failure` when given (lastError() then names the put-back).
bool rewriteEntry(store::RecordStore& s, int32_t serial, const Entry& e,
                  store::Status* failure = nullptr);

// Where each part of an entry lies in its record: the 1-based field positions, in the order the
// empty database declares them. The codec's own, here only so that a walk's reads are inlined;
// everything outside this header and entry.cpp handles Entry values and EntryViews.
namespace entry_fields {
inline constexpr int kKind = 1;      // Bool: true for income
inline constexpr int kYear = 2;      // Int
inline constexpr int kMonth = 3;     // Int
inline constexpr int kDay = 4;       // Int
inline constexpr int kTime = 5;      // Text, kTimeWidth bytes
inline constexpr int kItem = 6;      // Text, kItemWidth bytes
inline constexpr int kAmount = 7;    // Float
inline constexpr int kNote = 8;      // Text, kNoteWidth bytes
inline constexpr int kCategory = 9;  // Text, kCategoryWidth bytes
inline constexpr std::array<int, 9> kAll = {kKind, kYear,   kMonth, kDay,     kTime,
                                            kItem, kAmount, kNote,  kCategory};
}  // namespace entry_fields

// A record as a walk over the entries sees it, valid only during the visit. The numbers are read
// straight from the record's bytes; the texts are copied only by entry(), so a walk that passes
// over most records builds no text for them.
class EntryView {
  public:
    explicit EntryView(const store::RecordView& record) : record_(record) {}

    int32_t serial() const { return record_.serial(); }
    int32_t index() const { return record_.index(); }  // 0-based position in store order
    bool income() const { return record_.integer(entry_fields::kKind) != 0; }
    // The date's parts as stored, not narrowed: a file edited by hand may hold any number there.
    int64_t year() const { return record_.integer(entry_fields::kYear); }
    int64_t month() const { return record_.integer(entry_fields::kMonth); }
    int64_t day() const { return record_.integer(entry_fields::kDay); }
    Date date() const {
        return {static_cast<int32_t>(year()), static_cast<int32_t>(month()),
                static_cast<int32_t>(day())};
    }
    // Whether the entry belongs to day `d`. The month is compared first, so an entry of another
    // month costs one field read.
    bool isOn(const Date& d) const {
        return month() == d.month && year() == d.year && day() == d.day;
    }
    float amount() const { return static_cast<float>(record_.real(entry_fields::kAmount)); }
    std::string_view time() const { return record_.text(entry_fields::kTime); }
    std::string_view item() const { return record_.text(entry_fields::kItem); }
    std::string_view note() const { return record_.text(entry_fields::kNote); }
    std::string_view category() const { return record_.text(entry_fields::kCategory); }
    // The whole entry, texts copied, serial included.
    Entry entry() const;

  private:
    const store::RecordView& record_;
};

// Hands `visit` (a callable taking a const EntryView&) every entry of the store in store order,
// records marked deleted skipped; `visit` returns false to stop. One batch read under the
// store's whole-file lock: `visit` must not call into the store or let the window process
// events. Fails (false, lastError() set) on a closed store, one without the ledger's fields, or a
// read that breaks off; the entries before the break have been visited then.
template <class Visit>
bool readEntries(store::RecordStore& s, Visit&& visit) {
    return s.readRecords(entry_fields::kAll, [&](const store::RecordView& record) {
        return record.isDeleted() || static_cast<bool>(visit(EntryView(record)));
    });
}

}  // namespace ledger
