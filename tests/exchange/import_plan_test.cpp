#include "exchange/import_plan.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "exchange/bill_import.h"
#include "ledger/categories.h"
#include "ledger/gbk.h"
#include "tests/exchange/exchange_test_support.h"
#include "testsupport/fault_file_access.h"

namespace {

using exchangetest::entry;
using exchangetest::fileBytes;
using exchangetest::fixturePath;
using exchangetest::gbk;
using exchangetest::LedgerFolder;

exchange::ParsedFile parsedFixture(const std::string& name) {
    exchange::ParsedFile parsed;
    exchange::ImportError error;
    EXPECT_TRUE(exchange::parseImportFile(fileBytes(fixturePath(name)), parsed, error));
    return parsed;
}

exchange::ImportPlan plan(const LedgerFolder& folder, const exchange::ParsedFile& parsed) {
    store::RecordStore s;
    EXPECT_TRUE(s.open(folder.ledgerPath()));
    const auto categories = ledger::readCategories(
        ledger::Categories{folder.settingsPath()},
        ledger::readCategoryCount(ledger::Categories{folder.settingsPath()}));
    exchange::ImportPlan p;
    std::string error;
    EXPECT_TRUE(exchange::planImport(s, categories, parsed, p, error)) << error;
    return p;
}

void add(const LedgerFolder& folder, const exchange::ImportPlan& p) {
    store::RecordStore s;
    ASSERT_TRUE(s.open(folder.ledgerPath()));
    std::vector<ledger::Entry> entries;
    for (const auto& planned : p.toAdd) entries.push_back(planned.entry);
    std::string error;
    ASSERT_TRUE(exchange::addEntries(s, entries, error)) << error;
}

TEST(Duplicates, ImportingTheSameBillTwiceAddsNothingTheSecondTime) {
    LedgerFolder folder;
    const auto parsed = parsedFixture("wechat.csv");
    const auto first = plan(folder, parsed);
    EXPECT_EQ(first.toAdd.size(), 5u);
    EXPECT_EQ(first.duplicates, 0);
    EXPECT_EQ(first.leftOut, 2);
    add(folder, first);
    const auto second = plan(folder, parsed);
    EXPECT_TRUE(second.toAdd.empty());
    EXPECT_EQ(second.duplicates, 5);
    EXPECT_EQ(second.leftOut, 2);
    EXPECT_EQ(folder.entries().size(), 5u);
}

// Two equal payments in one file are two payments: a ledger holding one of them receives the
// other, and nothing that differs in one of the five compared parts counts as the same.
TEST(Duplicates, EqualRowsInAFileAreCountedNotMerged) {
    auto held = entry("蔬菜,水果", 24.8f, 20);
    held.date.month = 11;
    held.time = gbk("19时45分");
    auto otherTime = held;
    otherTime.time = gbk("19时46分");
    auto otherAmount = held;
    otherAmount.amount = 24.81f;
    auto otherKind = held;
    otherKind.income = true;
    auto deleted = held;
    LedgerFolder folder({held, otherTime, otherAmount, otherKind, deleted}, {}, {4});
    const auto p = plan(folder, parsedFixture("wechat.csv"));
    EXPECT_EQ(p.duplicates, 1);
    ASSERT_EQ(p.toAdd.size(), 4u);
    int vegetables = 0;
    for (const auto& planned : p.toAdd) vegetables += planned.entry.item == held.item;
    EXPECT_EQ(vegetables, 1);
}

// The category a bill row gets, rule by rule.
TEST(CategoryChoice, LastUsedThenBillCategoryThenTheModesFirst) {
    const std::vector<std::string> categories = {"工资收入", "生活开支", "餐饮开支", "日用开支",
                                                 "其它收入"};
    auto oldNoodles = entry("牛肉面", 15, 1);
    oldNoodles.category = gbk("生活开支");
    auto lastNoodles = entry("牛肉面", 16, 2);
    lastNoodles.category = gbk("日用开支");
    auto incomeNoodles = entry("牛肉面", 1, 3, true);  // the same item as income says nothing
    incomeNoodles.category = gbk("其它收入");
    LedgerFolder folder({oldNoodles, lastNoodles, incomeNoodles}, categories);
    const auto p = plan(folder, parsedFixture("alipay.csv"));
    ASSERT_EQ(p.toAdd.size(), 3u);
    struct Want {
        const char* item;
        const char* category;
    };
    const std::vector<Want> wants = {
        {"套餐", "餐饮开支"},       // 餐饮美食 names 餐饮
        {"便利店", "日用开支"},     // 日用百货 names 日用
        {"退款-衬衫", "工资收入"},  // 退款 names no income category: the mode's first
    };
    for (size_t i = 0; i < wants.size(); ++i) {
        EXPECT_EQ(ledger::gbkToUtf8(p.toAdd[i].entry.item), wants[i].item);
        EXPECT_EQ(ledger::gbkToUtf8(p.toAdd[i].entry.category), wants[i].category);
    }
    const auto wechat = plan(folder, parsedFixture("wechat.csv"));
    EXPECT_EQ(ledger::gbkToUtf8(wechat.toAdd[0].entry.item), "牛肉面");
    EXPECT_EQ(ledger::gbkToUtf8(wechat.toAdd[0].entry.category), "日用开支");  // the later use
}

TEST(CategoryChoice, NoCategoriesLeavesItEmptyAndOwnCsvKeepsItsOwn) {
    LedgerFolder folder;
    const auto bill = plan(folder, parsedFixture("alipay.csv"));
    for (const auto& planned : bill.toAdd) EXPECT_TRUE(planned.entry.category.empty());
    const auto own = plan(folder, parsedFixture("own.csv"));
    EXPECT_EQ(ledger::gbkToUtf8(own.toAdd[0].entry.category), "生活开支");
}

// An append that fails part-way takes back the entries this import appended before it.
TEST(AddEntries, AFailedAppendLeavesTheLedgerAsItWas) {
    LedgerFolder folder({entry("早饭", 5)});
    const auto p = plan(folder, parsedFixture("wechat.csv"));
    std::vector<ledger::Entry> entries;
    for (const auto& planned : p.toAdd) entries.push_back(planned.entry);
    for (int k = 0;; ++k) {
        auto faults = std::make_shared<testsupport::FaultFileAccess>();
        store::RecordStore s(faults);
        ASSERT_TRUE(s.open(folder.ledgerPath()));
        testsupport::FaultPlan fault;
        fault.failWriteAt = k;
        faults->setPlan(fault);
        std::string error;
        const bool done = exchange::addEntries(s, entries, error);
        s.close();
        const auto live = folder.entries();
        if (done) {
            EXPECT_EQ(live.size(), 1 + entries.size());
            break;
        }
        SCOPED_TRACE(k);
        EXPECT_FALSE(error.empty());
        ASSERT_EQ(live.size(), 1u);
        EXPECT_EQ(ledger::gbkToUtf8(live[0].item), "早饭");
    }
}

}  // namespace
