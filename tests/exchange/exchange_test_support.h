#pragma once

// What the import and export tests share: GBK texts written as UTF-8 literals, a private folder
// with a ledger in it, and the fixture bills.

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "exchange/exchange_files.h"
#include "ledger/entry.h"
#include "ledger/gbk.h"
#include "store/record_store.h"
#include "tests/ledger/entry_file.h"

namespace exchangetest {

inline std::string gbk(const std::string& utf8) { return ledger::utf8ToGbk(utf8).value(); }

inline std::string fixturePath(const std::string& name) {
    return std::string(TAMVELO_EXCHANGE_FIXTURES) + "/" + name;
}

inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void putFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// An expense of 2026-12-01 at 08时05分 unless the test says otherwise; texts in UTF-8.
inline ledger::Entry entry(const std::string& item, float amount, int day = 1,
                           bool income = false) {
    ledger::Entry e;
    e.income = income;
    e.date = {2026, 12, day};
    e.time = ledgertest::kFixtureTime;
    e.item = gbk(item);
    e.amount = amount;
    return e;
}

// A folder of its own holding Database.edb (the given entries) and pz.ini (the given categories).
class LedgerFolder {
  public:
    // `marked`: the positions of the entries written as records marked deleted.
    explicit LedgerFolder(const std::vector<ledger::Entry>& entries = {},
                          const std::vector<std::string>& categoriesUtf8 = {},
                          const std::set<size_t>& marked = {}) {
        ledgertest::writeLedgerFile(ledgerPath(), entries, marked);
        if (!categoriesUtf8.empty()) writeCategories(categoriesUtf8);
    }
    const std::string& path() const { return dir_.path(); }
    std::string ledgerPath() const { return dir_.path() + "/Database.edb"; }
    std::string settingsPath() const { return dir_.path() + "/pz.ini"; }
    std::string file(const std::string& name) const { return dir_.path() + "/" + name; }

    void writeCategories(const std::vector<std::string>& utf8) {
        std::string ini = gbk("[总]\r\n1=") + std::to_string(utf8.size()) + gbk("\r\n[类]\r\n");
        for (size_t k = 0; k < utf8.size(); ++k) {
            ini += std::to_string(k + 1) + "=" + gbk(utf8[k]) + "\r\n";
        }
        putFile(settingsPath(), ini);
    }

    // The live entries, in store order.
    std::vector<ledger::Entry> entries() const {
        store::RecordStore s;
        EXPECT_TRUE(s.open(ledgerPath()));
        std::vector<ledger::Entry> out;
        ledger::readEntries(s, [&](const ledger::EntryView& v) {
            out.push_back(v.entry());
            return true;
        });
        return out;
    }

  private:
    exchange::PrivateTempDir dir_;
};

}  // namespace exchangetest
