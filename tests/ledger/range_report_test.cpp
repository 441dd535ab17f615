#include "ledger/range_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "ledger/gbk.h"
#include "ledger/report_list.h"
#include "ledger/window_port.h"
#include "ledger/work_queue.h"
#include "store/record_store.h"
#include "tests/ledger/entry_file.h"

namespace {

using ledger::Date;
using ledger::DateTime;
using ledger::Entry;

// The tests spell texts in UTF-8 and compare GBK bytes.
std::string gbk(const std::string& utf8) { return ledger::utf8ToGbk(utf8).value(); }

class FakeWindow : public ledger::WindowPort {
  public:
    struct Message {
        std::string text;
        ledger::MessageIcon icon;
        std::string title;
    };

    Date start{2024, 3, 1};
    Date end{2024, 3, 1};
    std::string filter = gbk("全部数据");
    std::vector<Message> messages;
    std::function<void()> onEvents;
    int eventCalls = 0;
    mutable int runsStarted = 0;  // reads of the start box: one per run

    DateTime dayDate() const override { return {start, 23, 59, 59}; }
    bool setDayDate(const Date&) override { return true; }
    DateTime startDate() const override {
        ++runsStarted;
        return {start, 23, 59, 59};
    }
    DateTime endDate() const override { return {end, 23, 59, 59}; }
    std::string filterText() const override { return filter; }
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void showMessage(const std::string& text, ledger::MessageIcon icon,
                     const std::string& title) override {
        messages.push_back({text, icon, title});
    }
    void focusItemInput() override {}
    void processEvents() override {
        ++eventCalls;
        if (onEvents) onEvents();
    }
    DateTime now() const override { return {start, 12, 0, 0}; }
};

// Counts what the list tells its view.
class CountingObserver : public ledger::ListObserver {
  public:
    int resets = 0;
    int inserts = 0;
    int cellChanges = 0;
    int nextRow = 0;
    bool contiguous = true;
    void reset() override {
        ++resets;
        nextRow = 0;
    }
    void rowsInserted(int first, int last) override {
        ++inserts;
        contiguous = contiguous && first == nextRow && last >= first;
        nextRow = last + 1;
    }
    void cellChanged(int, int) override { ++cellChanges; }
};

using Cells = std::array<std::string, 7>;

Entry income(Date d, const char* item, float amount, const char* category = "") {
    Entry e;
    e.income = true;
    e.date = d;
    e.time = ledgertest::kFixtureTime;
    e.item = gbk(item);
    e.amount = amount;
    e.category = gbk(category);
    return e;
}

Entry expense(Date d, const char* item, float amount, const char* category = "") {
    Entry e = income(d, item, amount, category);
    e.income = false;
    return e;
}

Cells row(const char* c0, const char* c1, const char* c2, const char* c3, const char* c4,
          const char* c5, const char* c6) {
    return {gbk(c0), gbk(c1), gbk(c2), gbk(c3), gbk(c4), gbk(c5), gbk(c6)};
}

const Cells kBlank{};

class RangeReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/range_report_testXXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        path_ = dir_ + "/Database.edb";
    }
    void TearDown() override {
        store_.close();
        std::remove(path_.c_str());
        rmdir(dir_.c_str());
    }

    // A ledger holding `entries` in this order, the records at the positions in `marked` marked
    // deleted.
    void useEntries(const std::vector<Entry>& entries, const std::set<size_t>& marked = {}) {
        store_.close();
        ASSERT_TRUE(ledgertest::writeLedgerFile(path_, entries, marked));
        ASSERT_TRUE(store_.open(path_));
    }

    void runReport(Date start, Date end) {
        window_.start = start;
        window_.end = end;
        report_.run();
    }

    std::vector<Cells> cells() const {
        std::vector<Cells> out;
        for (int r = 0; r < list_.rowCount(); ++r) {
            Cells c;
            for (int col = 0; col < 7; ++col) c[col] = list_.text(r, col);
            out.push_back(c);
        }
        return out;
    }

    // The dates shown in column 1 of the block rows, in order.
    std::vector<std::string> blockDates() const {
        std::vector<std::string> out;
        for (int r = 0; r < list_.rowCount(); ++r) {
            if (list_.image(r, 0) == ledger::kReportImage) out.push_back(list_.text(r, 1));
        }
        return out;
    }

    // Summary rows are the last three.
    Cells summary(int i) const { return cells()[list_.rowCount() - 3 + i]; }

    std::string dir_;
    std::string path_;
    store::RecordStore store_;
    FakeWindow window_;
    ledger::ReportList list_;
    ledger::WorkQueue queue_;
    ledger::RangeReport report_{store_, window_, list_, queue_};
};

TEST_F(RangeReportTest, DayWithThreeIncomesAndOneExpenseCellByCell) {
    const Date d{2024, 3, 5};
    useEntries({income(d, "工资", 10), expense(d, "午饭", 2.5f), income(d, "奖金", 20),
                income(d, "利息", 0.5f)});
    runReport(d, d);

    const std::vector<Cells> expected{
        row("1", "2024年3月5日", "", "工资", "10.00元", "午饭", "2.50元"),
        row("", "", "", "奖金", "20.00元", "", ""),
        row("", "", "", "利息", "0.50元", "", ""),
        kBlank,
        row("", "当天结余：", "28.00元", "           当天总收入：", "30.50元",
            "         当天总开支：", "2.50元"),
        kBlank,
        row("", "查询总天数", "1天", "           查询总收入：", "30.50元",
            "         平均每天进帐：", "30.50元"),
        row("", "有收支天数", "1天", "           查询总开支：", "2.50元", "         平均每天开支：",
            "2.50元"),
        row("", "无收支天数", "0天", "           查询总结余：", "28.00元",
            "         平均每天结余：", "28.00元"),
    };
    EXPECT_EQ(cells(), expected);

    // Image 0 on the block number and on the separator's cells 1 to 6, nowhere else; column 7
    // stays empty.
    for (int r = 0; r < list_.rowCount(); ++r) {
        for (int c = 0; c < ledger::kReportColumnCount; ++c) {
            const bool pictured = (r == 0 && c == 0) || (r == 5 && c >= 1 && c <= 6);
            EXPECT_EQ(list_.image(r, c), pictured ? 0 : ledger::kNoImage) << r << "," << c;
        }
        EXPECT_EQ(list_.text(r, 7), "");
    }
}

TEST_F(RangeReportTest, MonthWithTwoDaysOfEntriesAveragesOverEveryDay) {
    // The store holds the days interleaved; within a day the store order holds.
    const Date a{2024, 3, 2};
    const Date b{2024, 3, 10};
    useEntries({expense(b, "房租", 40), income(a, "工资", 31), expense(a, "午饭", 12),
                expense(b, "水费", 10), expense(a, "车费", 0), income({2024, 4, 1}, "不在内", 99)});
    runReport({2024, 3, 1}, {2024, 3, 31});

    const std::vector<Cells> expected{
        row("1", "2024年3月2日", "", "工资", "31.00元", "午饭", "12.00元"),
        row("", "", "", "", "", "车费", "0.00元"),
        kBlank,
        row("", "当天结余：", "19.00元", "         当天总收入：", "31.00元",
            "         当天总开支：", "12.00元"),
        kBlank,
        row("2", "2024年3月10日", "", "", "", "房租", "40.00元"),
        row("", "", "", "", "", "水费", "10.00元"),
        kBlank,
        row("", "当天结余：", "-50.00元", "           当天总收入：", "0.00元",
            "         当天总开支：", "50.00元"),
        kBlank,
        row("", "查询总天数", "31天", "           查询总收入：", "31.00元",
            "         平均每天进帐：", "1.00元"),
        row("", "有收支天数", "2天", "           查询总开支：", "62.00元",
            "         平均每天开支：", "2.00元"),
        row("", "无收支天数", "29天", "           查询总结余：", "-31.00元",
            "         平均每天结余：", "-1.00元"),
    };
    EXPECT_EQ(cells(), expected);
}

TEST_F(RangeReportTest, EndBeforeStartShowsTheDateMessageAndEmptiesTheList) {
    useEntries({income({2024, 3, 1}, "工资", 10)});
    runReport({2024, 3, 1}, {2024, 3, 1});
    ASSERT_GT(list_.rowCount(), 0);

    runReport({2024, 3, 2}, {2024, 3, 1});
    EXPECT_EQ(list_.rowCount(), 0);
    ASSERT_EQ(window_.messages.size(), 1u);
    EXPECT_EQ(window_.messages[0].text, gbk("日期选择错误，请重选择!"));
    EXPECT_EQ(window_.messages[0].icon, ledger::MessageIcon::Error);
    EXPECT_EQ(window_.messages[0].title, gbk("Tamvelo1.0版 提示您..."));
}

TEST_F(RangeReportTest, RangeWithoutEntriesCountsEveryDayAsEmpty) {
    // Entries just outside the range, and on the same day of another year.
    useEntries({income({2024, 2, 29}, "前一天", 5), expense({2024, 3, 4}, "后一天", 5),
                income({2023, 3, 2}, "去年", 5)});
    runReport({2024, 3, 1}, {2024, 3, 3});

    const std::vector<Cells> expected{
        row("", "当天结余：", "0.00元", "           当天总收入：", "0.00元",
            "         当天总开支：", "0.00元"),
        kBlank,
        row("", "查询总天数", "3天", "           查询总收入：", "0.00元", "         平均每天进帐：",
            "0.00元"),
        row("", "有收支天数", "0天", "           查询总开支：", "0.00元", "         平均每天开支：",
            "0.00元"),
        row("", "无收支天数", "3天", "           查询总结余：", "0.00元", "         平均每天结余：",
            "0.00元"),
    };
    EXPECT_EQ(cells(), expected);
    EXPECT_TRUE(window_.messages.empty());
}

TEST_F(RangeReportTest, EmptyStoreSingleDay) {
    useEntries({});
    runReport({2024, 3, 1}, {2024, 3, 1});
    ASSERT_EQ(list_.rowCount(), 5);
    EXPECT_EQ(summary(0)[2], gbk("1天"));
    EXPECT_EQ(summary(2)[2], gbk("1天"));
}

TEST_F(RangeReportTest, CategoryFilter) {
    const Date d1{2024, 3, 1};
    const Date d2{2024, 3, 2};
    const Date d3{2024, 3, 3};
    useEntries({income(d1, "工资", 100, "工资收入"), expense(d1, "杂项", 1),
                expense(d2, "午饭", 12, "餐饮开支"), expense(d2, "晚饭", 20, "餐饮开支"),
                expense(d3, "杂项", 3), income(d3, "奖金", 7, "工资收入"),
                expense(d3, "零食", 2, "餐饮")});
    struct Case {
        const char* filter;
        std::vector<const char*> dates;
        const char* income;
        const char* expense;
    };
    const std::vector<Case> cases{
        {"全部数据", {"2024年3月1日", "2024年3月2日", "2024年3月3日"}, "107.00元", "38.00元"},
        {"餐饮开支", {"2024年3月2日"}, "0.00元", "32.00元"},
        {"工资收入", {"2024年3月1日", "2024年3月3日"}, "107.00元", "0.00元"},
        // The filter box's text compared byte for byte: an empty text keeps the entries
        // without a category, and a prefix of a category matches nothing more than itself.
        {"", {"2024年3月1日", "2024年3月3日"}, "0.00元", "4.00元"},
        {"餐饮", {"2024年3月3日"}, "0.00元", "2.00元"},
        {"交通开支", {}, "0.00元", "0.00元"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        window_.filter = gbk(c.filter);
        runReport(d1, d3);
        std::vector<std::string> dates;
        for (const char* d : c.dates) dates.push_back(gbk(d));
        EXPECT_EQ(blockDates(), dates);
        // Blocks are numbered from 1 whichever day opens the first.
        if (!dates.empty()) {
            EXPECT_EQ(list_.text(0, 0), "1");
        }
        EXPECT_EQ(summary(0)[4], gbk(c.income));
        EXPECT_EQ(summary(1)[4], gbk(c.expense));
        EXPECT_EQ(summary(1)[2], ledger::integerText(c.dates.size()) + gbk("天"));
        EXPECT_EQ(summary(2)[2], ledger::integerText(3 - c.dates.size()) + gbk("天"));
    }
}

TEST_F(RangeReportTest, WalkFollowsTheCalendar) {
    struct Case {
        Date start;
        Date end;
        std::vector<Date> entryDays;
        std::vector<const char*> blocks;
        const char* days;
    };
    const std::vector<Case> cases{
        {{2024, 2, 28},
         {2024, 3, 1},
         {{2024, 2, 28}, {2024, 2, 29}, {2024, 3, 1}},
         {"2024年2月28日", "2024年2月29日", "2024年3月1日"},
         "3天"},
        // No 29 February in 2023: an entry stored under it is never walked.
        {{2023, 2, 28},
         {2023, 3, 1},
         {{2023, 2, 29}, {2023, 3, 1}, {2023, 2, 28}},
         {"2023年2月28日", "2023年3月1日"},
         "2天"},
        {{2000, 2, 28}, {2000, 3, 1}, {{2000, 2, 29}}, {"2000年2月29日"}, "3天"},
        {{2023, 12, 31},
         {2024, 1, 1},
         {{2024, 1, 1}, {2023, 12, 31}},
         {"2023年12月31日", "2024年1月1日"},
         "2天"},
        {{2024, 4, 30},
         {2024, 5, 1},
         {{2024, 4, 31}, {2024, 5, 1}, {2024, 4, 30}},
         {"2024年4月30日", "2024年5月1日"},
         "2天"},
        {{2024, 1, 31},
         {2024, 2, 1},
         {{2024, 2, 1}, {2024, 1, 31}},
         {"2024年1月31日", "2024年2月1日"},
         "2天"},
        {{2023, 11, 15},
         {2024, 2, 14},
         {{2024, 2, 14}, {2023, 11, 15}},
         {"2023年11月15日", "2024年2月14日"},
         "92天"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blocks.empty() ? "" : c.blocks[0]);
        std::vector<Entry> entries;
        for (const Date& d : c.entryDays) entries.push_back(income(d, "收", 1));
        useEntries(entries);
        runReport(c.start, c.end);
        std::vector<std::string> blocks;
        for (const char* b : c.blocks) blocks.push_back(gbk(b));
        EXPECT_EQ(blockDates(), blocks);
        EXPECT_EQ(summary(0)[2], gbk(c.days));
    }
}

TEST_F(RangeReportTest, EntryTextsNeverMoveAnEntry) {
    // Texts that look like the report's own separators or another day's date text.
    const Date d4{2024, 3, 4};
    const Date d5{2024, 3, 5};
    Entry withSeparator = income(d4, "a*?*b", 1.25f);
    Entry withDateInNote = expense(d4, "打车", 8);
    withDateInNote.note = gbk("2024年3月5日还款");
    Entry withDateInItem = expense(d5, "2024年3月4日的账", 2);
    Entry withSeparatorCategory = income(d5, "稿费", 100, "*?*收入");
    useEntries({withSeparator, withDateInNote, withDateInItem, withSeparatorCategory});
    runReport(d4, d5);

    const std::vector<Cells> expected{
        row("1", "2024年3月4日", "", "a*?*b", "1.25元", "打车", "8.00元"),
        kBlank,
        row("", "当天结余：", "-6.75元", "         当天总收入：", "1.25元", "         当天总开支：",
            "8.00元"),
        kBlank,
        row("2", "2024年3月5日", "", "稿费", "100.00元", "2024年3月4日的账", "2.00元"),
        kBlank,
        row("", "当天结余：", "98.00元", "           当天总收入：", "100.00元",
            "         当天总开支：", "2.00元"),
        kBlank,
        row("", "查询总天数", "2天", "           查询总收入：", "101.25元",
            "         平均每天进帐：", "50.63元"),
        row("", "有收支天数", "2天", "           查询总开支：", "10.00元",
            "         平均每天开支：", "5.00元"),
        row("", "无收支天数", "0天", "           查询总结余：", "91.25元",
            "         平均每天结余：", "45.63元"),
    };
    EXPECT_EQ(cells(), expected);

    window_.filter = gbk("*?*收入");
    runReport(d4, d5);
    EXPECT_EQ(blockDates(), std::vector<std::string>{gbk("2024年3月5日")});
    EXPECT_EQ(summary(0)[4], gbk("100.00元"));
}

TEST_F(RangeReportTest, AmountsKeepTheirDigitsAndSumInSinglePrecision) {
    const Date d{2024, 3, 5};
    // 16777216 + 1 is not a float: the day's and the range's sums stay at 16777216. The second
    // record is marked deleted.
    useEntries({income(d, "大额", 1234567.875f), income(d, "已删", 1000),
                expense(d, "a", 16777216.0f), expense(d, "b", 1.0f)},
               {1});
    runReport(d, d);
    const std::vector<Cells> all = cells();
    EXPECT_EQ(all[0][3], gbk("大额"));
    EXPECT_EQ(all[0][4], gbk("1234567.88元"));
    EXPECT_EQ(all[1][3], "");  // the deleted entry is not listed
    EXPECT_EQ(all[3][6], gbk("16777216.00元"));
    EXPECT_EQ(summary(0)[4], gbk("1234567.88元"));
    EXPECT_EQ(summary(1)[4], gbk("16777216.00元"));
    // The balance is taken in double from the two single-precision sums.
    EXPECT_EQ(summary(2)[4], gbk("-15542648.13元"));
}

// The report shows stored infinity and NaN as the day view does, and counts them as 0.
TEST_F(RangeReportTest, StoredInfinityAndNanShowAsInvalidAndCountAsZero) {
    const Date d{2024, 3, 5};
    useEntries({income(d, "a", INFINITY), income(d, "b", 10.0f), expense(d, "c", NAN),
                expense(d, "d", 4.0f)},
               {});
    runReport(d, d);
    const std::vector<Cells> all = cells();
    EXPECT_EQ(all[0][4], gbk("金额无效"));
    EXPECT_EQ(all[1][4], gbk("10.00元"));
    EXPECT_EQ(all[0][6], gbk("金额无效"));
    EXPECT_EQ(all[1][6], gbk("4.00元"));
    EXPECT_EQ(summary(0)[4], gbk("10.00元"));
    EXPECT_EQ(summary(1)[4], gbk("4.00元"));
    EXPECT_EQ(summary(2)[4], gbk("6.00元"));
}

TEST_F(RangeReportTest, EntriesOfADayKeepTheirStoreOrder) {
    std::vector<Entry> entries;
    for (int i = 0; i < 60; ++i) {
        const std::string item = std::to_string(i);
        entries.push_back(income({2024, 3, 2 - i % 2}, item.c_str(), static_cast<float>(i)));
    }
    useEntries(entries);
    runReport({2024, 3, 1}, {2024, 3, 2});
    std::vector<std::string> items;
    for (int r = 0; r < list_.rowCount(); ++r) {
        // Entry items, not the labels of balance and summary rows (which begin with spaces).
        if (!list_.text(r, 3).empty() && list_.text(r, 3)[0] != ' ') {
            items.push_back(list_.text(r, 3));
        }
    }
    std::vector<std::string> expected;
    for (int i = 1; i < 60; i += 2) expected.push_back(std::to_string(i));
    for (int i = 0; i < 60; i += 2) expected.push_back(std::to_string(i));
    EXPECT_EQ(items, expected);
}

TEST_F(RangeReportTest, UnreadableStoreReportsNoEntries) {
    useEntries({income({2024, 3, 1}, "工资", 10)});
    store_.close();
    runReport({2024, 3, 1}, {2024, 3, 2});
    EXPECT_TRUE(blockDates().empty());
    EXPECT_EQ(list_.rowCount(), 5);
    EXPECT_EQ(summary(2)[2], gbk("2天"));
}

TEST_F(RangeReportTest, SecondRunAskedForDuringTheWalkIsQueuedAndRunsOnce) {
    useEntries({income({2024, 3, 1}, "工资", 10), income({2024, 3, 2}, "奖金", 5)});
    report_.setEventInterval(std::chrono::nanoseconds(0));
    bool asked = false;
    window_.onEvents = [&] {
        if (asked) return;
        asked = true;
        window_.end = {2024, 3, 2};
        report_.run();
        report_.run();  // asked twice: still one run afterwards
        EXPECT_TRUE(queue_.busy());
    };
    runReport({2024, 3, 1}, {2024, 3, 1});
    EXPECT_EQ(window_.runsStarted, 2);
    // The list holds the second report only, built once.
    EXPECT_EQ(blockDates(), (std::vector<std::string>{gbk("2024年3月1日"), gbk("2024年3月2日")}));
    EXPECT_EQ(summary(0)[2], gbk("2天"));
    EXPECT_EQ(list_.rowCount(), 11);
}

TEST_F(RangeReportTest, WindowSeesOnlyFinishedRowsInBatches) {
    std::vector<Entry> entries;
    for (int day = 1; day <= 20; ++day) {
        entries.push_back(income({2024, 3, day}, "收", static_cast<float>(day)));
        entries.push_back(expense({2024, 3, day}, "支", 1));
    }
    // A day long enough for the window to run while its block is being filled: the block's rows
    // must not reach the list half written.
    for (int i = 0; i < 2500; ++i) {
        entries.push_back(i % 2 ? expense({2024, 3, 21}, "支", 2) : income({2024, 3, 21}, "收", 3));
    }
    useEntries(entries);
    CountingObserver observer;
    list_.setObserver(&observer);
    report_.setEventInterval(std::chrono::nanoseconds(0));
    std::vector<std::vector<ledger::ReportRow>> seen;
    window_.onEvents = [&] { seen.push_back(list_.rows()); };
    runReport({2024, 3, 1}, {2024, 3, 21});

    // One call after the store pass, one after each day but the last, and two inside day 21.
    ASSERT_EQ(seen.size(), 1u + 20u + 2u);
    EXPECT_EQ(seen[21].size(), seen[20].size());
    const std::vector<ledger::ReportRow>& final = list_.rows();
    for (const auto& snapshot : seen) {
        ASSERT_LE(snapshot.size(), final.size());
        for (size_t r = 0; r < snapshot.size(); ++r) EXPECT_EQ(snapshot[r], final[r]) << r;
    }
    EXPECT_EQ(observer.resets, 1);
    EXPECT_EQ(observer.cellChanges, 0);
    EXPECT_TRUE(observer.contiguous);
    EXPECT_EQ(observer.nextRow, list_.rowCount());
    list_.setObserver(nullptr);
}

TEST(ReportListTest, CellsOutsideTheListAreIgnoredAndChangesAreTold) {
    ledger::ReportList list;
    CountingObserver observer;
    list.setObserver(&observer);
    EXPECT_EQ(list.appendRow(), 0);
    EXPECT_EQ(list.appendRow(), 1);
    list.setText(1, 6, "x");
    list.setImage(0, 0, 0);
    list.setText(2, 0, "outside");
    list.setText(0, 8, "outside");
    list.setImage(-1, 0, 0);
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.text(1, 6), "x");
    EXPECT_EQ(list.text(5, 0), "");
    EXPECT_EQ(list.image(0, 0), 0);
    EXPECT_EQ(list.image(0, 1), ledger::kNoImage);
    EXPECT_EQ(observer.inserts, 2);
    EXPECT_EQ(observer.cellChanges, 2);
    std::vector<ledger::ReportRow> more(3);
    list.appendRows(std::move(more));
    EXPECT_EQ(list.rowCount(), 5);
    EXPECT_EQ(observer.inserts, 3);
    EXPECT_TRUE(observer.contiguous);
    list.removeAll();
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(observer.resets, 1);
}

}  // namespace
