#include "ui/lunar_date_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include "tests/ui/qt_app.h"
#include "ui/lunar_calendar.h"

namespace ui {
namespace {

// Published dates of the Chinese calendar: the first day of the lunar year and, where the year
// has one, the leap month and the day it begins.
struct PublishedYear {
    int year;
    QDate newYear;
    int leapMonth;  // 0: none
    QDate leapStart;
};

const PublishedYear kPublished[] = {
    {1901, {1901, 2, 19}, 0, {}},
    {1906, {1906, 1, 25}, 4, {1906, 5, 23}},
    {1911, {1911, 1, 30}, 6, {1911, 7, 26}},
    {1920, {1920, 2, 20}, 0, {}},
    {1933, {1933, 1, 26}, 5, {1933, 6, 23}},
    {1949, {1949, 1, 29}, 7, {1949, 8, 24}},
    {1954, {1954, 2, 3}, 0, {}},
    {1966, {1966, 1, 21}, 3, {1966, 4, 21}},
    {1976, {1976, 1, 31}, 8, {1976, 9, 24}},
    {1984, {1984, 2, 2}, 10, {1984, 11, 23}},
    {1985, {1985, 2, 20}, 0, {}},
    {1987, {1987, 1, 29}, 6, {1987, 7, 26}},
    {1990, {1990, 1, 27}, 5, {1990, 6, 23}},
    {1995, {1995, 1, 31}, 8, {1995, 9, 25}},
    {2000, {2000, 2, 5}, 0, {}},
    {2001, {2001, 1, 24}, 4, {2001, 5, 23}},
    {2004, {2004, 1, 22}, 2, {2004, 3, 21}},
    {2006, {2006, 1, 29}, 7, {2006, 8, 24}},
    {2009, {2009, 1, 26}, 5, {2009, 6, 23}},
    {2012, {2012, 1, 23}, 4, {2012, 5, 21}},
    {2014, {2014, 1, 31}, 9, {2014, 10, 24}},
    {2017, {2017, 1, 28}, 6, {2017, 7, 23}},
    {2020, {2020, 1, 25}, 4, {2020, 5, 23}},
    {2023, {2023, 1, 22}, 2, {2023, 3, 22}},
    {2024, {2024, 2, 10}, 0, {}},
    {2025, {2025, 1, 29}, 6, {2025, 7, 25}},
    {2027, {2027, 2, 6}, 0, {}},
    {2028, {2028, 1, 26}, 5, {2028, 6, 23}},
    {2030, {2030, 2, 3}, 0, {}},
    {2031, {2031, 1, 23}, 3, {2031, 4, 22}},
    {2033, {2033, 1, 31}, 11, {2033, 12, 22}},
    {2036, {2036, 1, 28}, 6, {2036, 7, 23}},
};

// The first day of lunar year y and its leap month, found by walking the days around it.
struct Found {
    QDate newYear;
    int leapMonth = 0;
    QDate leapStart;
};

Found findLunarYear(int y) {
    Found f;
    QDate from = QDate(y, 1, 1) < kFirstLunarDay ? kFirstLunarDay : QDate(y, 1, 1);
    QDate to = QDate(y + 1, 2, 28) > kLastLunarDay ? kLastLunarDay : QDate(y + 1, 2, 28);
    for (QDate d = from; d <= to; d = d.addDays(1)) {
        LunarDay l = lunarDayOf(d);
        if (l.year != y || l.day != 1) continue;
        if (l.month == 1 && !l.leap && !f.newYear.isValid()) f.newYear = d;
        if (l.leap) {
            f.leapMonth = l.month;
            f.leapStart = d;
        }
    }
    return f;
}

TEST(LunarCalendar, NewYearAndLeapMonthMatchThePublishedCalendar) {
    for (const PublishedYear& p : kPublished) {
        SCOPED_TRACE(p.year);
        Found f = findLunarYear(p.year);
        EXPECT_EQ(f.newYear, p.newYear);
        EXPECT_EQ(f.leapMonth, p.leapMonth);
        EXPECT_EQ(f.leapStart, p.leapStart);
    }
}

// Every day of the range follows the one before it: the day counts on, or a new month of 29 or
// 30 days begins; a leap month follows the month of its number; the year turns at month 1 only.
TEST(LunarCalendar, EveryDayOfTheRangeFollowsTheDayBefore) {
    LunarDay prev = lunarDayOf(kFirstLunarDay);
    ASSERT_EQ(prev, (LunarDay{1901, 1, false, 1}));
    int failures = 0;
    for (QDate d = kFirstLunarDay.addDays(1); d <= kLastLunarDay && failures < 5;
         d = d.addDays(1)) {
        LunarDay l = lunarDayOf(d);
        bool ok;
        if (l.day == prev.day + 1) {
            ok = l.year == prev.year && l.month == prev.month && l.leap == prev.leap;
        } else if (l.day == 1 && (prev.day == 29 || prev.day == 30)) {
            if (l.leap) {
                ok = l.year == prev.year && l.month == prev.month && !prev.leap;
            } else if (l.month == 1) {
                ok = l.year == prev.year + 1 && prev.month == 12;
            } else {
                ok = l.year == prev.year && l.month == prev.month + 1;
            }
        } else {
            ok = false;
        }
        if (!ok) {
            ++failures;
            ADD_FAILURE() << d.toString(Qt::ISODate).toStdString() << ": " << l.year << "/"
                          << (l.leap ? "*" : "") << l.month << "/" << l.day << " after "
                          << prev.year << "/" << (prev.leap ? "*" : "") << prev.month << "/"
                          << prev.day;
        }
        prev = l;
    }
    EXPECT_EQ(lunarDayOf(kLastLunarDay).year, 2048);
    EXPECT_EQ(lunarDayOf(kFirstLunarDay.addDays(-1)), LunarDay{});
    EXPECT_EQ(lunarDayOf(kLastLunarDay.addDays(1)), LunarDay{});
}

TEST(LunarCalendar, DisplayTextNamesYearAnimalMonthAndDay) {
    struct Case {
        QDate date;
        const char* text;
    };
    const Case cases[] = {
        {{1987, 7, 26}, "丁卯年(兔)闰六月初一 1987-7-26"},
        {{1987, 7, 25}, "丁卯年(兔)六月三十 1987-7-25"},
        // The lunar year turns at the new year, not on 1 January.
        {{2027, 2, 5}, "丙午年(马)腊月廿九 2027-2-5"},
        {{2027, 2, 6}, "丁未年(羊)正月初一 2027-2-6"},
        {{2033, 12, 22}, "癸丑年(牛)闰冬月初一 2033-12-22"},
        {{1901, 2, 19}, "辛丑年(牛)正月初一 1901-2-19"},
        {{2048, 12, 31}, "戊辰年(龙)冬月廿七 2048-12-31"},
        {{2024, 2, 19}, "甲辰年(龙)正月初十 2024-2-19"},
        {{2024, 3, 10}, "甲辰年(龙)二月初一 2024-3-10"},
        {{2024, 2, 29}, "甲辰年(龙)正月二十 2024-2-29"},
        {{2024, 3, 9}, "甲辰年(龙)正月廿九 2024-3-9"},
        {{2024, 2, 3}, "癸卯年(兔)腊月廿四 2024-2-3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lunarDateText(c.date).toStdString(), c.text);
    }
    EXPECT_TRUE(lunarDateText({1901, 2, 18}).isEmpty());
    EXPECT_EQ(dayName(11).toStdString(), "十一");
    EXPECT_EQ(dayName(21).toStdString(), "廿一");
}

class WithApp : public ::testing::Test {
  protected:
    WithApp() { qtApp(); }
};

class LunarDateBoxTest : public WithApp {
  protected:
    LunarDateBox box;
};

TEST_F(LunarDateBoxTest, AcceptedDatesNotifyThroughTheEventLoopEveryTime) {
    QSignalSpy spy(&box, &LunarDateBox::dateChanged);
    ASSERT_TRUE(box.setDate({2024, 3, 5}));
    EXPECT_EQ(spy.count(), 0);  // queued, not delivered inside setDate
    QCoreApplication::processEvents();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toDate(), QDate(2024, 3, 5));
    EXPECT_EQ(box.displayText().toStdString(), "甲辰年(龙)正月廿五 2024-3-5");
    EXPECT_EQ(box.accessibleDescription(), box.displayText());

    ASSERT_TRUE(box.setDate({2024, 3, 5}));  // the same date notifies again
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(LunarDateBoxTest, DatesOutsideTheRangeAreRefusedSilently) {
    ASSERT_TRUE(box.setDate({2048, 12, 31}));
    ASSERT_TRUE(box.setDate(kFirstLunarDay));
    QCoreApplication::processEvents();
    QSignalSpy spy(&box, &LunarDateBox::dateChanged);
    for (QDate d : {QDate(1901, 2, 18), QDate(2049, 1, 1), QDate(1850, 1, 1), QDate()}) {
        EXPECT_FALSE(box.setDate(d));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(box.date(), kFirstLunarDay);
}

TEST_F(LunarDateBoxTest, PickingADayInTheCalendarSetsIt) {
    box.setDate({2024, 3, 5});
    QCoreApplication::processEvents();
    QSignalSpy spy(&box, &LunarDateBox::dateChanged);
    box.showPopup();
    EXPECT_TRUE(box.calendar()->isVisible());
    EXPECT_EQ(box.calendar()->selectedDate(), QDate(2024, 3, 5));
    box.calendar()->setCurrentPage(2024, 5);  // browsing does not notify
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 0);
    box.calendar()->setSelectedDate({2024, 5, 20});
    QTest::keyClick(box.calendar()->focusWidget() ? box.calendar()->focusWidget() : box.calendar(),
                    Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_FALSE(box.calendar()->isVisible());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(box.date(), QDate(2024, 5, 20));
}

// PageUp/PageDown step a month, with Ctrl a year, keeping the day where the month has it; a
// step past the range changes nothing.
TEST_F(LunarDateBoxTest, PageKeysStepAMonthAndWithCtrlAYear) {
    struct Case {
        QDate from;
        int key;
        Qt::KeyboardModifiers modifiers;
        QDate to;
    };
    const Case cases[] = {
        {{2024, 3, 5}, Qt::Key_PageDown, Qt::NoModifier, {2024, 4, 5}},
        {{2024, 3, 5}, Qt::Key_PageUp, Qt::NoModifier, {2024, 2, 5}},
        {{2024, 3, 31}, Qt::Key_PageUp, Qt::NoModifier, {2024, 2, 29}},
        {{2024, 12, 15}, Qt::Key_PageDown, Qt::NoModifier, {2025, 1, 15}},
        {{2024, 2, 29}, Qt::Key_PageDown, Qt::ControlModifier, {2025, 2, 28}},
        {{2024, 3, 5}, Qt::Key_PageUp, Qt::ControlModifier, {2023, 3, 5}},
        {{2048, 12, 31}, Qt::Key_PageDown, Qt::NoModifier, {2048, 12, 31}},
        {{2048, 6, 1}, Qt::Key_PageDown, Qt::ControlModifier, {2048, 6, 1}},
        {kFirstLunarDay, Qt::Key_PageUp, Qt::NoModifier, kFirstLunarDay},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from.toString(Qt::ISODate).toStdString());
        ASSERT_TRUE(box.setDate(c.from));
        QCoreApplication::processEvents();
        QTest::keyClick(&box, static_cast<Qt::Key>(c.key), c.modifiers);
        EXPECT_EQ(box.date(), c.to);
        EXPECT_EQ(box.accessibleDescription(), lunarDateText(c.to));
    }
}

// Dates typed as people type them are read with Enter; anything else is refused with a tooltip
// giving the forms, and the date stays.
TEST_F(LunarDateBoxTest, TypedDatesAreReadInTheFiveFormsOnly) {
    struct Case {
        const char* typed;
        QDate to;  // invalid: refused
    };
    const Case cases[] = {
        {"2024-1-1", {2024, 1, 1}},
        {"2024/1/1", {2024, 1, 1}},
        {"2024.1.1", {2024, 1, 1}},
        {"2024年1月1日", {2024, 1, 1}},
        {"20240101", {2024, 1, 1}},
        {"2024/11/30", {2024, 11, 30}},
        {"2024-01-05", {2024, 1, 5}},
        {"2024/1-1", {}},
        {"2024/13/1", {}},
        {"2023-2-29", {}},
        {"2024111", {}},
        {"24/1/1", {}},
        {"2024年1月1", {}},
        {"1901-2-18", {}},
        {"2049-1-1", {}},
        {"abc", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ASSERT_TRUE(box.setDate({2020, 6, 15}));
        QCoreApplication::processEvents();
        box.setFocus();
        for (QChar ch : QString::fromUtf8(c.typed)) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(&box, &press);
        }
        QTest::keyClick(&box, Qt::Key_Return);
        if (c.to.isValid()) {
            EXPECT_EQ(box.date(), c.to);
            EXPECT_EQ(box.accessibleDescription(), lunarDateText(c.to));
            EXPECT_TRUE(box.toolTip().isEmpty());
        } else {
            EXPECT_EQ(box.date(), QDate(2020, 6, 15));
            EXPECT_EQ(box.toolTip(), kTypedDateForms);
            EXPECT_EQ(box.accessibleDescription(), lunarDateText({2020, 6, 15}));
        }
    }
    EXPECT_TRUE(kTypedDateForms.contains(QStringLiteral("2024年1月1日")));
}

}  // namespace
}  // namespace ui
