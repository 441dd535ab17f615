#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "exchange/bill_import.h"
#include "exchange/import_plan.h"
#include "exchange/ledger_export.h"
#include "ledger/gbk.h"
#include "tests/exchange/exchange_test_support.h"

namespace {

using exchangetest::entry;
using exchangetest::fileBytes;
using exchangetest::gbk;
using exchangetest::LedgerFolder;

// A small ledger that shows each export rule: store order is not date order, one record is
// deleted, texts need quoting, one time text is not HH时MM分.
// The position of the record that is marked deleted.
constexpr size_t kRemoved = 2;

std::vector<ledger::Entry> sampleEntries() {
    auto lunch = entry("午饭,和同事", 32, 3);
    lunch.category = gbk("生活开支");
    lunch.note = gbk("他说\"好吃\"");
    lunch.time = gbk("12时30分");
    auto salary = entry("工资", 5000.125f, 1, true);
    salary.category = gbk("工资收入");
    salary.time = "";
    auto breakfast = entry("早饭", 6.5f, 3);
    breakfast.category = gbk("生活开支");
    breakfast.note = gbk("两行\n备注");
    auto removed = entry("删掉的", 1, 2);
    auto bus = entry("公交", 2, 2);
    bus.category = gbk("交通开支");
    bus.date.month = 11;
    return {lunch, salary, removed, breakfast, bus};
}

std::string exportCsv(LedgerFolder& folder, const exchange::ExportFilter& filter = {},
                      exchange::CsvEncoding encoding = exchange::CsvEncoding::Utf8,
                      const std::string& name = "out.csv") {
    store::RecordStore s;
    EXPECT_TRUE(s.open(folder.ledgerPath()));
    const auto result = exchange::exportToFile(s, filter, folder.file(name), encoding);
    EXPECT_TRUE(result.ok) << result.error;
    return fileBytes(folder.file(name));
}

TEST(CsvExport, WritesTheSevenColumnsInDateOrder) {
    LedgerFolder folder(sampleEntries(), {}, {kRemoved});
    EXPECT_EQ(exportCsv(folder),
              "\xEF\xBB\xBF"
              "日期,时间,收支,项目,金额,类别,备注\r\n"
              "2026-11-02,08:05,开支,公交,2.00,交通开支,\r\n"
              "2026-12-01,,收入,工资,5000.13,工资收入,\r\n"
              "2026-12-03,12:30,开支,\"午饭,和同事\",32.00,生活开支,\"他说\"\"好吃\"\"\"\r\n"
              "2026-12-03,08:05,开支,早饭,6.50,生活开支,\"两行\n备注\"\r\n");
}

TEST(CsvExport, GbkEncodingHasNoMarkAndTheStoredBytes) {
    LedgerFolder folder({entry("早饭", 6.5f)});
    EXPECT_EQ(exportCsv(folder, {}, exchange::CsvEncoding::Gbk),
              gbk("日期,时间,收支,项目,金额,类别,备注\r\n2026-12-01,08:05,开支,早饭,6.50,,\r\n"));
}

TEST(CsvExport, RangeAndCategoryChooseTheEntries) {
    LedgerFolder folder(sampleEntries(), {}, {kRemoved});
    struct Case {
        const char* name;
        exchange::ExportFilter filter;
        std::vector<std::string> items;
    };
    const std::vector<Case> cases = {
        {"from", {ledger::Date{2026, 12, 1}, std::nullopt, ""}, {"工资", "午饭,和同事", "早饭"}},
        {"to, inclusive", {std::nullopt, ledger::Date{2026, 12, 1}, ""}, {"公交", "工资"}},
        {"one day",
         {ledger::Date{2026, 12, 3}, ledger::Date{2026, 12, 3}, ""},
         {"午饭,和同事", "早饭"}},
        {"category", {std::nullopt, std::nullopt, gbk("生活开支")}, {"午饭,和同事", "早饭"}},
        {"all categories",
         {std::nullopt, std::nullopt, gbk("全部数据")},
         {"公交", "工资", "午饭,和同事", "早饭"}},
        {"nothing", {ledger::Date{2027, 1, 1}, std::nullopt, ""}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store::RecordStore s;
        ASSERT_TRUE(s.open(folder.ledgerPath()));
        std::vector<ledger::Entry> got;
        std::string error;
        ASSERT_TRUE(exchange::collectEntries(s, c.filter, got, error));
        std::vector<std::string> items;
        for (const auto& e : got) items.push_back(ledger::gbkToUtf8(e.item));
        EXPECT_EQ(items, c.items);
    }
}

// Export, import the file into an empty ledger, export again: the same bytes, in both encodings.
TEST(RoundTrip, ExportImportExportGivesTheSameFile) {
    for (auto encoding : {exchange::CsvEncoding::Utf8, exchange::CsvEncoding::Gbk}) {
        LedgerFolder source(sampleEntries(), {}, {kRemoved});
        const std::string first = exportCsv(source, {}, encoding);
        exchange::ParsedFile parsed;
        exchange::ImportError error;
        ASSERT_TRUE(exchange::parseImportFile(first, parsed, error)) << error.reason;
        LedgerFolder target;
        exchange::ImportPlan plan;
        std::string message;
        {
            store::RecordStore s;
            ASSERT_TRUE(s.open(target.ledgerPath()));
            ASSERT_TRUE(exchange::planImport(s, {}, parsed, plan, message));
            std::vector<ledger::Entry> entries;
            for (const auto& p : plan.toAdd) entries.push_back(p.entry);
            ASSERT_TRUE(exchange::addEntries(s, entries, message));
        }
        EXPECT_EQ(plan.toAdd.size(), 4u);
        EXPECT_EQ(exportCsv(target, {}, encoding), first);
    }
}

TEST(ExportFile, AnUnknownExtensionOrAMissingFolderIsRefused) {
    LedgerFolder folder({entry("早饭", 6.5f)});
    store::RecordStore s;
    ASSERT_TRUE(s.open(folder.ledgerPath()));
    auto result =
        exchange::exportToFile(s, {}, folder.file("out.txt"), exchange::CsvEncoding::Utf8);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find(".csv 或 .xlsx"), std::string::npos);
    result =
        exchange::exportToFile(s, {}, folder.file("missing/out.csv"), exchange::CsvEncoding::Utf8);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("missing/out.csv"), std::string::npos);
    EXPECT_EQ(exchange::formatFromPath("a.XLSX"), exchange::ExportFormat::Xlsx);
    EXPECT_EQ(exchange::formatFromPath("dir.csv/file"), std::nullopt);
}

std::string unzipped(const std::string& zip, const std::string& member) {
    const std::string command = "unzip -p '" + zip + "' '" + member + "'";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

// The workbook's sheet: amounts are numbers in the 0.00 style, dates real dates, the header
// row frozen, columns as wide as their longest text.
TEST(XlsxExport, AmountsAreNumbersDatesAreDatesAndTheHeaderIsFrozen) {
    if (std::system("command -v unzip >/dev/null 2>&1") != 0) GTEST_SKIP() << "no unzip";
    LedgerFolder folder(sampleEntries(), {}, {kRemoved});
    store::RecordStore s;
    ASSERT_TRUE(s.open(folder.ledgerPath()));
    const auto result =
        exchange::exportToFile(s, {}, folder.file("out.xlsx"), exchange::CsvEncoding::Utf8);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.count, 4);
    const std::string sheet = unzipped(folder.file("out.xlsx"), "xl/worksheets/sheet1.xml");
    const std::string styles = unzipped(folder.file("out.xlsx"), "xl/styles.xml");
    ASSERT_FALSE(sheet.empty());
    EXPECT_NE(sheet.find("<pane ySplit=\"1\" topLeftCell=\"A2\""), std::string::npos);
    EXPECT_NE(styles.find("formatCode=\"0.00\""), std::string::npos);
    EXPECT_NE(styles.find("formatCode=\"yyyy-mm-dd\""), std::string::npos);
    // 2026-11-02 is day 46328 of the spreadsheet calendar; 5000.125 is kept, shown as 5000.13.
    EXPECT_NE(sheet.find("<v>46328</v>"), std::string::npos);
    EXPECT_NE(sheet.find("<v>5000.125</v>"), std::string::npos);
    EXPECT_NE(sheet.find("午饭,和同事"), std::string::npos);
    // Column D holds 午饭,和同事: five wide characters and a comma, 11 columns, plus a margin.
    EXPECT_NE(sheet.find("<col min=\"4\" max=\"4\" width=\"13.7109375\""), std::string::npos)
        << sheet.substr(0, 800);
}

}  // namespace
