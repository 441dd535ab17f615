#include "ledger/entry.h"

#include <array>

#include "ledger/ledger_schema.h"

namespace ledger {

namespace {

using store::StoreValue;
using namespace entry_fields;

static_assert(kAll.size() == kFieldCount && kCategory == kFieldCount);

// The fields a change of an entry rewrites, in the order they are written.
constexpr std::array<int, 4> kChangedFields = {kItem, kAmount, kNote, kCategory};

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
    int32_t serial = 0;
    if (!holdsEntries(s) || !s.appendRecord(entryValues(e), &serial)) return 0;
    return serial;
}

bool rewriteEntry(store::RecordStore& s, int32_t serial, const Entry& e, store::Status* failure) {
    // Reading a field the store lacks would stop the program.
    if (!holdsEntries(s)) {
        if (failure) *failure = store::Status::NotOpen;
        return false;
    }
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
    if (failure) *failure = static_cast<store::Status>(store::RecordStore::lastError());
    for (size_t i = 0; i < written; ++i) s.writeFieldIf(kChangedFields[i], before[i], serial);
    return false;
}

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

}  // namespace ledger
