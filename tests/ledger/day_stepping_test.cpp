#include "ledger/day_stepping.h"

#include "day_page_fixture.h"
#include "ledger/value_texts.h"

namespace ledger::testing {
namespace {

struct Step {
    Date from;
    Date to;
};

TEST(DaySteppingTest, NextDateCrossesMonthsAndYears) {
    const Step cases[] = {
        {{2024, 2, 28}, {2024, 2, 29}},  {{2024, 2, 29}, {2024, 3, 1}},
        {{2023, 2, 28}, {2023, 3, 1}},   {{2000, 2, 28}, {2000, 2, 29}},
        {{2024, 1, 31}, {2024, 2, 1}},   {{2024, 3, 31}, {2024, 4, 1}},
        {{2024, 4, 30}, {2024, 5, 1}},   {{2024, 7, 31}, {2024, 8, 1}},
        {{2024, 9, 30}, {2024, 10, 1}},  {{2024, 10, 31}, {2024, 11, 1}},
        {{2024, 11, 30}, {2024, 12, 1}}, {{2024, 12, 31}, {2025, 1, 1}},
        {{2024, 6, 15}, {2024, 6, 16}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nextDate(c.from), c.to) << dateText(c.from.year, c.from.month, c.from.day);
    }
}

TEST(DaySteppingTest, PreviousDateCrossesMonthsAndYears) {
    const Step cases[] = {
        {{2024, 3, 1}, {2024, 2, 29}},   {{2023, 3, 1}, {2023, 2, 28}},
        {{1900, 3, 1}, {1900, 2, 29}},  // divisibility by 4 alone
        {{2024, 5, 1}, {2024, 4, 30}},   {{2024, 8, 1}, {2024, 7, 31}},
        {{2024, 11, 1}, {2024, 10, 31}}, {{2024, 10, 1}, {2024, 9, 30}},
        {{2025, 1, 1}, {2024, 12, 31}},  {{2024, 2, 1}, {2024, 1, 31}},
        {{2024, 6, 16}, {2024, 6, 15}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(previousDate(c.from), c.to) << dateText(c.from.year, c.from.month, c.from.day);
    }
}

TEST(DaySteppingTest, EveryDayOfTheBoxRangeStepsBackAndForth) {
    for (Date d{1901, 2, 19}; d.year <= 2048; d = nextDate(d)) {
        ASSERT_TRUE(dateBoxAccepts(d)) << dateText(d.year, d.month, d.day);
        ASSERT_EQ(previousDate(nextDate(d)), d);
        if (d == Date{2048, 12, 31}) break;
    }
}

TEST(DaySteppingTest, SplitDateTextReadsTheBoxValue) {
    const struct {
        DateTime value;
    } cases[] = {{{{2024, 3, 5}, 23, 59, 59}},
                 {{{2024, 12, 25}, 23, 59, 59}},
                 {{{1901, 2, 19}, 23, 59, 59}},
                 {{{2048, 12, 31}, 0, 0, 0}}};
    for (const auto& c : cases) {
        EXPECT_EQ(splitDateText(dateTimeText(c.value)), c.value.date);
    }
    EXPECT_EQ(splitDateText("no date"), (Date{0, 0, 0}));
}

TEST(DaySteppingTest, SplitDateTextNeverMatchesAcrossTwoCharacters) {
    // 澳 (B0 C4) then EA B0: the byte pair C4 EA, which is 年, straddles the two characters.
    // A byte-wise match would take the year from there and read the month as 0.
    const std::string text =
        "\xb0\xc4\xea\xb0"
        "2024\xc4\xea"
        "3\xd4\xc2"
        "5\xc8\xd5";
    const Date d = splitDateText(text);
    EXPECT_EQ(d.month, 3);
    EXPECT_EQ(d.day, 5);
    // The same for 月 (D4 C2) inside B0 D4 C2 B0: a byte-wise match would start the day's
    // capture on a trail byte and read the day as 0.
    const std::string month =
        "2024\xc4\xea"
        "3\xb0\xd4\xc2\xb0"
        "\xd4\xc2"
        "5\xc8\xd5";
    EXPECT_EQ(splitDateText(month), (Date{2024, 3, 5}));
}

// ---- the step actions on the day page ----

class DayStepActionsTest : public DayPageTest {};

TEST_F(DayStepActionsTest, StepsSetTheBoxAndRefresh) {
    storeEntry(true, {2024, 3, 6}, "sixth", 1);
    storeEntry(true, {2024, 3, 4}, "fourth", 1);
    page->stepNextDay();
    EXPECT_EQ(window.day, (Date{2024, 3, 6}));
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"sixth"}));
    page->stepPreviousDay();
    page->stepPreviousDay();
    EXPECT_EQ(window.day, (Date{2024, 3, 4}));
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"fourth"}));
    EXPECT_EQ(listEvents.resets, 3);
    EXPECT_EQ(window.dateNotifications, 3);  // each accepted date also notifies
}

TEST_F(DayStepActionsTest, ARefusedDateKeepsTheDayAndRefreshesOnce) {
    const struct {
        Date shown;
        bool forward;
    } cases[] = {{{2048, 12, 31}, true}, {{1901, 2, 19}, false}};
    for (const auto& c : cases) {
        window.day = c.shown;
        window.dateNotifications = 0;
        listEvents.resets = 0;
        if (c.forward) {
            page->stepNextDay();
        } else {
            page->stepPreviousDay();
        }
        EXPECT_EQ(window.day, c.shown);
        EXPECT_EQ(listEvents.resets, 1);
        EXPECT_EQ(window.dateNotifications, 0);
    }
}

TEST_F(DayStepActionsTest, TodayGoesToTheClocksDate) {
    storeEntry(false, {2025, 7, 1}, "today", 3);
    page->setLedgerMode(LedgerMode::Expense);
    window.clock = {{2025, 7, 1}, 9, 30, 0};
    page->stepToday();
    EXPECT_EQ(window.day, (Date{2025, 7, 1}));
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"today"}));
    // Already on today: still set (and notified) again, and rebuilt.
    page->stepToday();
    EXPECT_EQ(window.dateNotifications, 2);
    EXPECT_EQ(listEvents.resets, 2);
    page->onDayDateChanged();
    EXPECT_EQ(listEvents.resets, 3);
}

}  // namespace
}  // namespace ledger::testing
