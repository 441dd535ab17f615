#include "ledger/entry.h"

#include <array>

#include "ledger/ledger_schema.h"

namespace ledger {

namespace {

using store::StoreValue;

// The 1-based positions of an entry's fields in its record, in the order the empty database
// declares them.
constexpr int kFieldKind = 1;      // Bool: true for income
constexpr int kFieldYear = 2;      // Int
constexpr int kFieldMonth = 3;     // Int
constexpr int kFieldDay = 4;       // Int
constexpr int kFieldTime = 5;      // Text, kTimeWidth bytes
constexpr int kFieldItem = 6;      // Text, kItemWidth bytes
constexpr int kFieldAmount = 7;    // Float
constexpr int kFieldNote = 8;      // Text, kNoteWidth bytes
constexpr int kFieldCategory = 9;  // Text, kCategoryWidth bytes
static_assert(kFieldCategory == kFieldCount);

constexpr std::array<int, kFieldCount> kAllFields = {kFieldKind,   kFieldYear, kFieldMonth,
                                                     kFieldDay,    kFieldTime, kFieldItem,
                                                     kFieldAmount, kFieldNote, kFieldCategory};

// The fields a change of an entry rewrites, in the order they are written.
constexpr std::array<int, 4> kChangedFields = {kFieldItem, kFieldAmount, kFieldNote,
                                               kFieldCategory};

}  // namespace

std::vector<StoreValue> entryValues(const Entry& e) {
    return {StoreValue::ofBool(e.income),    StoreValue::ofInt(e.date.year),
            StoreValue::ofInt(e.date.month), StoreValue::ofInt(e.date.day),
            StoreValue::ofText(e.time),      StoreValue::ofText(e.item),
            StoreValue::ofFloat(e.amount),   StoreValue::ofText(e.note),
            StoreValue::ofText(e.category)};
}

bool holdsEntries(const store::RecordStore& s) {
    return s.isOpen() && s.fieldCount() >= kFieldCount;
}

int32_t appendEntry(store::RecordStore& s, const Entry& e) {
    if (!holdsEntries(s) || !s.appendRecord(entryValues(e))) return 0;
    return s.currentSerial();
}

bool rewriteEntry(store::RecordStore& s, int32_t serial, const Entry& e) {
    // Reading a field the store lacks would stop the program.
    if (!holdsEntries(s)) return false;
    const std::array<StoreValue, kChangedFields.size()> values = {
        StoreValue::ofText(e.item), StoreValue::ofFloat(e.amount), StoreValue::ofText(e.note),
        StoreValue::ofText(e.category)};
    std::array<StoreValue, kChangedFields.size()> before;
    for (size_t i = 0; i < kChangedFields.size(); ++i) before[i] = s.readField(kChangedFields[i]);
    size_t written = 0;
    while (written < kChangedFields.size() &&
           s.writeFieldIf(kChangedFields[written], values[written], serial)) {
        ++written;
    }
    if (written == kChangedFields.size()) return true;
    for (size_t i = 0; i < written; ++i) s.writeFieldIf(kChangedFields[i], before[i], serial);
    return false;
}

bool EntryView::income() const { return record_.integer(kFieldKind) != 0; }
int64_t EntryView::year() const { return record_.integer(kFieldYear); }
int64_t EntryView::month() const { return record_.integer(kFieldMonth); }
int64_t EntryView::day() const { return record_.integer(kFieldDay); }

Date EntryView::date() const {
    return {static_cast<int32_t>(year()), static_cast<int32_t>(month()),
            static_cast<int32_t>(day())};
}

bool EntryView::isOn(const Date& d) const {
    return month() == d.month && year() == d.year && day() == d.day;
}

float EntryView::amount() const { return static_cast<float>(record_.real(kFieldAmount)); }
std::string_view EntryView::time() const { return record_.text(kFieldTime); }
std::string_view EntryView::item() const { return record_.text(kFieldItem); }
std::string_view EntryView::note() const { return record_.text(kFieldNote); }
std::string_view EntryView::category() const { return record_.text(kFieldCategory); }

Entry EntryView::entry() const {
    Entry e;
    e.income = income();
    e.date = date();
    e.time = time();
    e.item = item();
    e.amount = amount();
    e.category = category();
    e.note = note();
    e.serial = serial();
    return e;
}

bool readEntries(store::RecordStore& s, const std::function<bool(const EntryView&)>& visit) {
    return s.readRecords(kAllFields, [&](const store::RecordView& record) {
        if (record.isDeleted()) return true;
        return visit(EntryView(record));
    });
}

}  // namespace ledger
