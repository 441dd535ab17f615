#include "exchange/import_plan.h"

#include <cstring>
#include <unordered_map>

#include "ledger/categories.h"
#include "ledger/gbk.h"
#include "ledger/value_texts.h"

namespace exchange {

namespace {

std::string itemKey(bool income, std::string_view item) {
    std::string k(1, income ? '1' : '0');
    k += item;
    return k;
}

// What makes two entries the same payment: kind, date, time text, item and the amount's bits.
std::string sameEntryKey(bool income, const ledger::Date& d, std::string_view time,
                         std::string_view item, float amount) {
    std::string k;
    k.reserve(24 + time.size() + item.size());
    char fixed[17];
    uint32_t bits;
    std::memcpy(&bits, &amount, sizeof bits);
    const int32_t numbers[4] = {d.year, d.month, d.day, static_cast<int32_t>(bits)};
    fixed[0] = income ? '1' : '0';
    std::memcpy(fixed + 1, numbers, sizeof numbers);
    k.append(fixed, sizeof fixed);
    k += time;
    k += '\0';  // a time text never holds a NUL, so the item cannot shift into it
    k += item;
    return k;
}

// The category's name without its mode word: "餐饮开支" -> "餐饮".
std::string stem(const std::string& category, bool income) {
    std::string s = category;
    const std::string_view word = income ? ledger::kIncomeWord : ledger::kExpenseWord;
    const size_t at = s.find(word);
    if (at != std::string::npos) s.erase(at, word.size());
    return s;
}

}  // namespace

CategoryChooser::CategoryChooser(std::vector<std::string> categories)
    : categories_(std::move(categories)) {}

void CategoryChooser::noteUse(bool income, const std::string& item, const std::string& category) {
    lastUsed_[itemKey(income, item)] = category;
}

std::vector<std::string> CategoryChooser::categoriesOf(bool income) const {
    const ledger::LedgerMode mode =
        income ? ledger::LedgerMode::Income : ledger::LedgerMode::Expense;
    std::vector<std::string> out;
    for (const std::string& c : categories_) {
        if (ledger::offeredInMode(c, mode)) out.push_back(c);
    }
    return out;
}

std::string CategoryChooser::choose(const ImportRow& row) const {
    const ledger::Entry& e = row.entry;
    if (auto it = lastUsed_.find(itemKey(e.income, e.item)); it != lastUsed_.end()) {
        return it->second;
    }
    const std::vector<std::string> offered = categoriesOf(e.income);
    if (!row.billCategory.empty()) {
        for (const std::string& c : offered) {
            const std::string name = stem(c, e.income);
            if (name.empty()) continue;
            // textFind never matches from the second byte of a two-byte character.
            if (ledger::textFind(row.billCategory, name) > 0 ||
                ledger::textFind(name, row.billCategory) > 0) {
                return c;
            }
        }
    }
    return offered.empty() ? std::string() : offered.front();
}

bool planImport(store::RecordStore& s, const std::vector<std::string>& categories,
                const ParsedFile& parsed, ImportPlan& plan, std::string& error) {
    plan = ImportPlan();
    plan.leftOut = parsed.leftOut;
    CategoryChooser chooser(categories);
    // How many of each entry the ledger holds: a row of the file uses one of them up.
    std::unordered_map<std::string, int> held;
    held.reserve(1024);
    const bool read = ledger::readEntries(s, [&](const ledger::EntryView& v) {
        const ledger::Date d = v.date();
        ++held[sameEntryKey(v.income(), d, v.time(), v.item(), v.amount())];
        chooser.noteUse(v.income(), std::string(v.item()), std::string(v.category()));
        return true;
    });
    if (!read) {
        error =
            "读取账本失败：" + ledger::gbkToUtf8(store::errorText(store::RecordStore::lastError()));
        return false;
    }
    for (const ImportRow& row : parsed.rows) {
        const ledger::Entry& e = row.entry;
        auto it = held.find(sameEntryKey(e.income, e.date, e.time, e.item, e.amount));
        if (it != held.end() && it->second > 0) {
            --it->second;
            ++plan.duplicates;
            continue;
        }
        PlannedEntry p{row.line, e};
        if (!row.keepsCategory) p.entry.category = chooser.choose(row);
        p.entry.serial = 0;
        plan.toAdd.push_back(std::move(p));
    }
    return true;
}

bool addEntries(store::RecordStore& s, const std::vector<ledger::Entry>& entries,
                std::string& error) {
    std::vector<std::pair<int32_t, int32_t>> added;  // position and serial of each new record
    added.reserve(entries.size());
    for (const ledger::Entry& e : entries) {
        const int32_t serial = ledger::appendEntry(s, e);
        if (serial != 0) {
            added.emplace_back(s.recordCount(), serial);
            continue;
        }
        error =
            "写入账本失败：" + ledger::gbkToUtf8(store::errorText(store::RecordStore::lastError()));
        // Take back what this import added, so that a failed import leaves the ledger as it was.
        for (auto it = added.rbegin(); it != added.rend(); ++it) {
            if (s.goTo(it->first)) s.markDeletedIf(it->second);
        }
        return false;
    }
    return true;
}

}  // namespace exchange
