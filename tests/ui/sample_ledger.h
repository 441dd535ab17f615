#pragma once

// Writing ledger entries and categories for tests, benchmarks and screenshots, with texts given
// in UTF-8.

#include <QString>
#include <string>
#include <vector>

#include "ledger/categories.h"
#include "ledger/entry.h"
#include "ledger/gbk.h"
#include "ledger/settings_file.h"
#include "store/record_store.h"

namespace sample {

inline std::string gbk(const char* utf8) { return ledger::utf8ToGbk(utf8).value_or(std::string()); }

// An entry with its texts in UTF-8.
struct Entry {
    bool income;
    int year, month, day;
    const char* time;  // "08时05分"
    const char* item;
    float amount;
    const char* note;
    const char* category;
};

// The ledger's entry, texts in GBK.
inline ledger::Entry ledgerEntry(const Entry& e) {
    ledger::Entry out;
    out.income = e.income;
    out.date = {e.year, e.month, e.day};
    out.time = gbk(e.time);
    out.item = gbk(e.item);
    out.amount = e.amount;
    out.category = gbk(e.category);
    out.note = gbk(e.note);
    return out;
}

inline bool append(store::RecordStore& s, const Entry& e) {
    return ledger::appendEntry(s, ledgerEntry(e)) != 0;
}

// Writes categories 1..n and their count the way the settings page leaves them.
inline void writeCategories(const std::string& iniPath, const std::vector<const char*>& names) {
    int k = 0;
    for (const char* n : names) {
        ++k;
        ledger::writeProfileString(*store::posixFileAccess(), iniPath,
                                   std::string(ledger::kCategorySection), std::to_string(k),
                                   gbk(n));
    }
    ledger::writeProfileString(*store::posixFileAccess(), iniPath,
                               std::string(ledger::kCountSection), std::string(ledger::kCountKey),
                               std::to_string(k));
}

// A small household's week around 2024-03-05.
inline std::vector<Entry> week() {
    return {
        {true, 2024, 3, 1, "09时00分", "工资", 6800, "三月工资", "工资收入"},
        {false, 2024, 3, 1, "18时20分", "买菜", 36.5f, "青菜豆腐", "生活开支"},
        {false, 2024, 3, 3, "10时05分", "买家电", 1299, "电饭煲", "家庭添置开支"},
        {true, 2024, 3, 5, "08时05分", "路上捡钱", 10, "", "其它收入"},
        {true, 2024, 3, 5, "12时30分", "打牌赢钱", 50, "周末", "其它收入"},
        {false, 2024, 3, 5, "07时40分", "买菜", 12.5f, "早市", "生活开支"},
        {false, 2024, 3, 5, "19时10分", "买零食", 23.8f, "", "生活开支"},
        {true, 2024, 3, 5, "20时00分", "工资", 300, "加班费", "工资收入"},
        {false, 2024, 3, 6, "11时15分", "买衣服", 199, "春装", "家庭添置开支"},
    };
}

inline std::vector<const char*> weekCategories() {
    return {"工资收入", "其它收入", "生活开支", "家庭添置开支"};
}

}  // namespace sample
