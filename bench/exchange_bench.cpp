// Import and export at the sizes a family reaches after years: CSV and XLSX export of a 100k-entry
// ledger (collect, sort, render, atomic write), and a 10,000-row WeChat Pay bill imported into
// that ledger (parse, the duplicate check against every entry, the category choice), once
// planned only and once with the entries appended.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "exchange/bill_import.h"
#include "exchange/exchange_files.h"
#include "exchange/import_plan.h"
#include "exchange/ledger_export.h"
#include "ledger/gbk.h"
#include "tests/ledger/entry_file.h"

namespace {

constexpr int kLedgerEntries = 100000;
constexpr int kBillRows = 10000;

std::string gbk(const char* utf8) { return ledger::utf8ToGbk(utf8).value(); }

const exchange::PrivateTempDir& scratch() {
    static exchange::PrivateTempDir dir;
    return dir;
}

// A ledger of 100k entries over six years, with varied items, categories and notes.
const std::string& ledgerBytes() {
    static const std::string bytes = [] {
        const std::vector<std::string> items = {gbk("早饭"),     gbk("午饭,和同事"), gbk("公交"),
                                                gbk("超市买菜"), gbk("工资"),        gbk("水电费")};
        const std::vector<std::string> categories = {gbk("生活开支"), gbk("交通开支"),
                                                     gbk("工资收入")};
        std::vector<ledger::Entry> entries(kLedgerEntries);
        for (int i = 0; i < kLedgerEntries; ++i) {
            auto& e = entries[i];
            e.income = i % 7 == 0;
            e.date = {2020 + i % 6, i % 12 + 1, i % 28 + 1};
            e.time = ledgertest::kFixtureTime;
            e.item = items[i % items.size()] + std::to_string(i % 500);
            e.amount = static_cast<float>(i % 10000) / 4.0f;
            e.category = categories[i % categories.size()];
            e.note = i % 3 ? gbk("备注") : "";
        }
        return ledgertest::ledgerFileBytes(entries);
    }();
    return bytes;
}

std::string freshLedger() {
    const std::string path = scratch().path() + "/Database.edb";
    std::string error;
    exchange::writeUserFile(path, ledgerBytes(), error);
    return path;
}

void exportOnce(benchmark::State& state, const char* name) {
    const std::string ledgerPath = freshLedger();
    store::RecordStore s;
    if (!s.open(ledgerPath)) state.SkipWithError("open failed");
    const std::string out = scratch().path() + "/" + name;
    for (auto _ : state) {
        const auto result = exchange::exportToFile(s, {}, out, exchange::CsvEncoding::Utf8);
        if (!result.ok || result.count != kLedgerEntries) state.SkipWithError("export failed");
    }
}

void BM_CsvExport100k(benchmark::State& state) { exportOnce(state, "out.csv"); }
void BM_XlsxExport100k(benchmark::State& state) { exportOnce(state, "out.xlsx"); }

// A WeChat Pay bill of 10,000 payments, one in ten already in the ledger's wording, so that the
// duplicate check finds work on both of its paths.
const std::string& billBytes() {
    static const std::string bytes = [] {
        std::string b =
            "\xEF\xBB\xBF微信支付账单明细,,,\r\n"
            "----------------------微信支付账单明细列表--------------------,,,\r\n"
            "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,"
            "备注\r\n";
        char line[512];
        for (int i = 0; i < kBillRows; ++i) {
            std::snprintf(line, sizeof line,
                          "2027-%02d-%02d %02d:%02d:00,商户消费,店铺%d\t,商品%d,%s,¥%d.%02d,零钱,"
                          "支付成功,42000%d\t,100%d\t,/\r\n",
                          i % 12 + 1, i % 28 + 1, i % 24, i % 60, i % 300, i % 1000,
                          i % 9 ? "支出" : "收入", i % 500, i % 100, i, i);
            b += line;
        }
        return b;
    }();
    return bytes;
}

const std::vector<std::string>& categories() {
    static const std::vector<std::string> c = {gbk("工资收入"), gbk("生活开支"), gbk("餐饮开支"),
                                               gbk("交通开支")};
    return c;
}

void BM_ImportBill10kPlan(benchmark::State& state) {
    const std::string ledgerPath = freshLedger();
    store::RecordStore s;
    if (!s.open(ledgerPath)) state.SkipWithError("open failed");
    for (auto _ : state) {
        exchange::ParsedFile parsed;
        exchange::ImportError bad;
        exchange::ImportPlan plan;
        std::string error;
        if (!exchange::parseImportFile(billBytes(), parsed, bad) ||
            !exchange::planImport(s, categories(), parsed, plan, error) ||
            plan.toAdd.size() != kBillRows) {
            state.SkipWithError("import failed");
        }
    }
}

void BM_ImportBill10kAppend(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string ledgerPath = freshLedger();
        state.ResumeTiming();
        store::RecordStore s;
        exchange::ParsedFile parsed;
        exchange::ImportError bad;
        exchange::ImportPlan plan;
        std::string error;
        std::vector<ledger::Entry> entries;
        if (!s.open(ledgerPath) || !exchange::parseImportFile(billBytes(), parsed, bad) ||
            !exchange::planImport(s, categories(), parsed, plan, error)) {
            state.SkipWithError("import failed");
            break;
        }
        for (const auto& p : plan.toAdd) entries.push_back(p.entry);
        if (!exchange::addEntries(s, entries, error)) state.SkipWithError("append failed");
    }
}

BENCHMARK(BM_CsvExport100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XlsxExport100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportBill10kPlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportBill10kAppend)->Unit(benchmark::kMillisecond);

}  // namespace
