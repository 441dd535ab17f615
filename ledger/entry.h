#pragma once

// One income or expense entry of the household, and the one codec between it and the nine
// fields of its record in Database.edb. Everything else in the program handles entries as
// `Entry` values or `EntryView`s; which store field holds what is known here only.

#include <cstdint>
#include <functional>
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
// nothing: when a write fails, the fields already written are put back and false is returned.
bool rewriteEntry(store::RecordStore& s, int32_t serial, const Entry& e);

// A record as a walk over the entries sees it, valid only during the visit. The numbers are read
// straight from the record's bytes; the texts are copied only by entry(), so a walk that passes
// over most records builds no text for them.
class EntryView {
  public:
    explicit EntryView(const store::RecordView& record) : record_(record) {}

    int32_t serial() const { return record_.serial(); }
    int32_t index() const { return record_.index(); }  // 0-based position in store order
    bool income() const;
    // The date's parts as stored, not narrowed: a file edited by hand may hold any number there.
    int64_t year() const;
    int64_t month() const;
    int64_t day() const;
    Date date() const;
    // Whether the entry belongs to day `d`. The month is compared first, so an entry of another
    // month costs one field read.
    bool isOn(const Date& d) const;
    float amount() const;
    std::string_view time() const;
    std::string_view item() const;
    std::string_view note() const;
    std::string_view category() const;
    // The whole entry, texts copied, serial included.
    Entry entry() const;

  private:
    const store::RecordView& record_;
};

// Hands `visit` every entry of the store in store order, records marked deleted skipped; `visit`
// returns false to stop. One batch read under the store's whole-file lock: `visit` must not call
// into the store or let the window process events. Fails (false, lastError() set) on a closed
// store, one without the ledger's fields, or a read that breaks off; the entries before the break
// have been visited then.
bool readEntries(store::RecordStore& s, const std::function<bool(const EntryView&)>& visit);

}  // namespace ledger
