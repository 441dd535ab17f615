// The query page: a report of the chosen range in the list, and date boxes wide enough for
// every date of their range.

#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QMenu>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionComboBox>

#include "ledger/window_port.h"
#include "tests/ui/window_fixture.h"
#include "ui/lunar_calendar.h"
#include "ui/lunar_date_box.h"

namespace ui {
namespace {

// The narrowest date box shows the longest text of the whole range uncut.
TEST_F(QueryPageTest, EveryDateOfTheRangeFitsTheNarrowestDateBox) {
    start();
    auto* box = find<LunarDateBox>("农历日期框3");
    QStyleOptionComboBox opt;
    opt.initFrom(box);
    opt.editable = false;
    const int room =
        box->style()
            ->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box)
            .width();
    int widest = 0;
    QDate at;
    for (QDate d = kFirstLunarDay; d <= kLastLunarDay; d = d.addDays(1)) {
        int w = box->fontMetrics().horizontalAdvance(lunarDateText(d));
        if (w > widest) {
            widest = w;
            at = d;
        }
    }
    EXPECT_LE(widest, room) << at.toString(Qt::ISODate).toStdString() << " "
                            << u8(lunarDateText(at));
}

TEST_F(QueryPageTest, QueryReportsTheRangeInTheList) {
    seed(sample::week());
    start();
    clickToolbar(ToolbarSlot::Query);
    find<LunarDateBox>("农历日期框2")->setDate({2024, 3, 1});
    find<LunarDateBox>("农历日期框3")->setDate({2024, 3, 5});
    clickButton("按钮3");
    QAbstractItemModel* m = find<QTableView>("超级列表框_查")->model();
    ASSERT_EQ(m->columnCount(), 8);
    EXPECT_EQ(u8(m->headerData(1, Qt::Horizontal).toString()), "日  期    ");
    ASSERT_GT(m->rowCount(), 4);
    EXPECT_EQ(u8(m->index(0, 0).data().toString()), "1");
    EXPECT_FALSE(m->index(0, 0).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(m->index(0, 1).data(Qt::DecorationRole).isNull());
    EXPECT_EQ(u8(m->index(0, 1).data().toString()), "2024年3月1日");
    EXPECT_EQ(u8(m->index(0, 3).data().toString()), "工资");
    EXPECT_EQ(u8(m->index(0, 4).data().toString()), "6800.00元");
    int last = m->rowCount() - 1;
    EXPECT_EQ(u8(m->index(last, 1).data().toString()), "无收支天数");
    EXPECT_EQ(u8(m->index(last - 2, 2).data().toString()), "5天");
    for (int r = 0; r <= last; ++r) EXPECT_TRUE(m->index(r, 7).data().toString().isEmpty());

    find<LunarDateBox>("农历日期框3")->setDate({2024, 2, 29});
    clickButton("按钮3");
    EXPECT_EQ(m->rowCount(), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(u8(messages[0].text), "日期选择错误，请重选择!");
    EXPECT_EQ(messages[0].icon, ledger::MessageIcon::Error);
}

// On the real window: a date typed into the day page's box moves the day list, PageDown steps a
// month, a refused text keeps the day and says which forms are read; the query page's boxes read
// the same forms, and their calendars offer the year and the month directly.
TEST_F(QueryPageTest, DateBoxesReadTypedDatesAndPageKeys) {
    seed(sample::week());
    start();
    clickToolbar(ToolbarSlot::Expense);
    auto* day = find<LunarDateBox>("农历日期框1");
    day->setFocus();
    typeText(day, QStringLiteral("2024/3/6"));
    QTest::keyClick(day, Qt::Key_Return);
    settle();
    EXPECT_EQ(day->date(), QDate(2024, 3, 6));
    ASSERT_EQ(dayModel()->rowCount(), 1);
    EXPECT_EQ(u8(dayCell(0, 2)), "买衣服");
    typeText(day, QStringLiteral("2024/3/6x"));
    QTest::keyClick(day, Qt::Key_Return);
    settle();
    EXPECT_EQ(day->date(), QDate(2024, 3, 6));
    EXPECT_EQ(day->toolTip(), kTypedDateForms);
    QTest::keyClick(day, Qt::Key_PageUp, Qt::ControlModifier);
    settle();
    EXPECT_EQ(day->date(), QDate(2023, 3, 6));
    EXPECT_EQ(dayModel()->rowCount(), 0);
    EXPECT_EQ(day->accessibleName(), QStringLiteral("日期"));

    clickToolbar(ToolbarSlot::Query);
    auto* from = find<LunarDateBox>("农历日期框2");
    from->setFocus();
    typeText(from, QStringLiteral("2024年3月1日"));
    QTest::keyClick(from, Qt::Key_Return);
    settle();
    EXPECT_EQ(from->date(), QDate(2024, 3, 1));
    QTest::keyClick(from, Qt::Key_PageDown);
    EXPECT_EQ(from->date(), QDate(2024, 4, 1));
    EXPECT_EQ(from->accessibleDescription(), lunarDateText({2024, 4, 1}));
    from->showPopup();
    EXPECT_TRUE(from->calendar()->isNavigationBarVisible());
    EXPECT_NE(from->calendar()->findChild<QSpinBox*>(), nullptr);  // the year, typed or stepped
    EXPECT_NE(from->calendar()->findChild<QMenu*>(), nullptr);     // the twelve months
    from->hidePopup();
}

}  // namespace
}  // namespace ui
