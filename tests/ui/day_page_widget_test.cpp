// The day page: the keyboard flow through the entry inputs, their limits and the amount's
// normalising, adding, changing and deleting entries through the list, and stepping the day.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFocusEvent>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolTip>

#include "ledger/ledger_schema.h"
#include "tests/ui/window_fixture.h"
#include "ui/inputs.h"
#include "ui/lunar_date_box.h"

namespace ui {
namespace {

TEST_F(DayPageTest, EnterLeadsThroughTheInputsAndAddsTheEntry) {
    clock = QDateTime(QDate(2024, 3, 5), QTime(8, 5));
    start();
    clickToolbar(ToolbarSlot::Expense);
    auto* item = find<QComboBox>("组合框1");
    auto* amount = find<QLineEdit>("编辑框1");
    auto* note = find<QLineEdit>("编辑框3");
    item->setFocus();
    typeText(item, QStringLiteral("买菜"));
    QTest::keyClick(item, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), amount);
    typeText(amount, QStringLiteral("12.50"));
    QTest::keyClick(amount, Qt::Key_Enter);  // the keypad's Enter works the same
    EXPECT_EQ(QApplication::focusWidget(), note);
    EXPECT_EQ(amount->text(), QStringLiteral("12.5"));  // normalised on leaving
    typeText(note, QStringLiteral("早市"));
    QTest::keyClick(note, Qt::Key_Return);
    settle();

    ASSERT_EQ(storedCount(), 1);
    ledger::Entry expected =
        sample::ledgerEntry({false, 2024, 3, 5, "08时05分", "买菜", 12.5f, "早市", ""});
    expected.serial = ledger::kFirstSerial;
    EXPECT_EQ(storedEntry(1), expected);

    ASSERT_EQ(dayModel()->rowCount(), 1);
    const char* row[] = {"1", "2024年3月5日08时05分", "买菜", "12.50元", "", "早市"};
    for (int c = 0; c < 6; ++c) EXPECT_EQ(u8(dayCell(0, c)), row[c]) << c;
    EXPECT_EQ(u8(labelText("标签3")), "本天总开支：12.50元");
    EXPECT_EQ(u8(window->statusText(6)), "本天净收入：-12.50元");
    EXPECT_TRUE(item->currentText().isEmpty());
    EXPECT_TRUE(amount->text().isEmpty());
    EXPECT_TRUE(note->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), item);
}

TEST_F(DayPageTest, CtrlTabFollowsTheInputsAndPlainTabTheTabOrder) {
    start();
    auto* item = find<QComboBox>("组合框1");
    auto* amount = find<QLineEdit>("编辑框1");
    auto* note = find<QLineEdit>("编辑框3");
    item->setFocus();
    QTest::keyClick(item, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), amount);
    QTest::keyClick(amount, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), note);
    QTest::keyClick(note, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), find<QPushButton>("按钮_添"));
    note->setFocus();
    QTest::keyClick(note, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), find<QComboBox>("组合框2"));
    // Enter in the note with nothing typed adds nothing.
    note->setFocus();
    QTest::keyClick(note, Qt::Key_Return);
    settle();
    EXPECT_EQ(storedCount(), 0);
}

TEST_F(DayPageTest, InputsCountTheirLimitsInGbkBytesAndRefuseOtherCharacters) {
    start();
    struct Case {
        const char* name;
        QString typed;
        QString kept;
    };
    const QString hundredAndOne = QString(101, QChar(0x4e70));  // 买 x 101
    const Case cases[] = {
        {"组合框1", hundredAndOne, QString(100, QChar(0x4e70))},              // 200 bytes
        {"编辑框3", QString(26, QChar(0x5907)), QString(25, QChar(0x5907))},  // 50 bytes
        {"编辑框3", QStringLiteral("ab备注cd"), QStringLiteral("ab备注cd")},
        {"编辑框3", QStringLiteral("早😀市"), QStringLiteral("早市")},              // no GBK form
        {"组合框4", QString(11, QChar(0x6536)), QString(10, QChar(0x6536))},       // 20 bytes
        {"编辑框1", QStringLiteral("12345678901"), QStringLiteral("1234567890")},  // 10 bytes
        {"编辑框1", QStringLiteral("1a-2.3x.4元"), QStringLiteral("1-2.3.4")},
    };
    clickToolbar(ToolbarSlot::Settings);  // the settings page, so that 组合框4 can take the focus
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* w = window->findChild<QWidget*>(QString::fromUtf8(c.name));
        ASSERT_NE(w, nullptr);
        auto* combo = qobject_cast<QComboBox*>(w);
        QLineEdit* edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit*>(w);
        edit->clear();
        typeText(w, c.typed);
        EXPECT_EQ(edit->text(), c.kept);
    }
}

TEST_F(DayPageTest, TheAmountIsNormalisedWhenTheInputLosesTheFocus) {
    start();
    auto* amount = find<QLineEdit>("编辑框1");
    auto* note = find<QLineEdit>("编辑框3");
    const std::pair<const char*, const char*> cases[] = {
        {"12.50", "12.5"}, {"007", "7"},       {"0.00", ""},  {"-", ""}, {"0", ""},
        {"1-2.3", "1"},    {"-3.25", "-3.25"}, {".5", "0.5"}, {"", ""},
    };
    for (auto [typed, shown] : cases) {
        amount->setFocus();
        amount->clear();
        typeText(amount, QString::fromUtf8(typed));
        note->setFocus();
        EXPECT_EQ(u8(amount->text()), shown) << typed;
        EXPECT_EQ(session->dayPage().entryInputs().amount, shown) << typed;
    }
}

// Opening the input's own context menu (to paste, say) is not leaving it.
TEST_F(DayPageTest, TheAmountStaysAsTypedWhileItsContextMenuIsOpen) {
    start();
    auto* amount = find<QLineEdit>("编辑框1");
    amount->setFocus();
    typeText(amount, QStringLiteral("1."));
    QFocusEvent toMenu(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(amount, &toMenu);
    EXPECT_EQ(u8(amount->text()), "1.");
    typeText(amount, QStringLiteral("5"));
    find<QLineEdit>("编辑框3")->setFocus();
    EXPECT_EQ(u8(amount->text()), "1.5");
}

// A day list narrower than its fixed columns shows a horizontal scroll bar: both its step
// buttons are drawn with their arrows, at either end, beside the slider.
TEST_F(DayPageTest, TheScrollBarShowsBothStepButtons) {
    start();
    auto* view = find<QTableView>("超级列表框_收支");
    view->resize(400, view->height());
    settle();
    QScrollBar* bar = view->horizontalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    const QImage image = bar->grab().toImage();
    auto arrowIn = [&](int left, int right) {
        for (int x = left; x < right; ++x) {
            for (int y = 0; y < image.height(); ++y) {
                if (image.pixelColor(x, y) == QColor(0x1d, 0x4f, 0x82)) return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(arrowIn(0, 16));
    EXPECT_TRUE(arrowIn(image.width() - 16, image.width()));
}

// An add that lacks the item or the amount marks what is missing, puts the focus on the first of
// them (in the order Enter leads), stores nothing, and still shows the ledger's progress text;
// typing into a marked input clears its mark.
TEST_F(DayPageTest, AnAddWithAnEmptyInputMarksItAndKeepsTheFocusThere) {
    struct Case {
        const char* item;
        const char* amount;
        bool viaEnter;  // Enter in the note input rather than the add button
        bool itemMarked, amountMarked;
        const char* focused;
        const char* hint;
    };
    const Case cases[] = {
        {"买菜", "", false, false, true, "编辑框1", "请输入金额"},
        {"", "12", false, true, false, "组合框1", "请输入项目"},
        {"", "", false, true, true, "组合框1", "请输入项目"},
        {"买菜", "", true, false, true, "编辑框1", "请输入金额"},
    };
    start();
    auto* item = find<QComboBox>("组合框1");
    auto* amount = find<QLineEdit>("编辑框1");
    auto* note = find<QLineEdit>("编辑框3");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.item) + "|" + c.amount + (c.viaEnter ? "|enter" : "|click"));
        item->setEditText(QString::fromUtf8(c.item));
        amount->setText(QString::fromUtf8(c.amount));
        QToolTip::hideText();
        if (c.viaEnter) {
            note->setFocus();
            QTest::keyClick(note, Qt::Key_Return);
            settle();
        } else {
            clickButton("按钮_添");
        }
        EXPECT_EQ(storedCount(), 0);
        EXPECT_EQ(u8(window->statusText(4)), "  添加记录...");
        EXPECT_EQ(item->property("missing").toBool(), c.itemMarked);
        EXPECT_EQ(amount->property("missing").toBool(), c.amountMarked);
        EXPECT_EQ(u8(item->toolTip()), c.itemMarked ? "请输入项目" : "");
        EXPECT_EQ(u8(amount->toolTip()), c.amountMarked ? "请输入金额" : "");
        QWidget* focused = QApplication::focusWidget();
        QWidget* expected = find<QWidget>(c.focused);
        EXPECT_TRUE(focused == expected || expected->isAncestorOf(focused));
        EXPECT_TRUE(QToolTip::isVisible());
        EXPECT_EQ(u8(QToolTip::text()), c.hint);
        // The typed inputs are kept as they were.
        EXPECT_EQ(u8(item->currentText()), c.item);
        EXPECT_EQ(u8(amount->text()), c.amount);
    }
    // The red frame is the skin's: a marked input draws a different border than an unmarked one.
    EXPECT_NE(amount->grab().toImage().pixelColor(0, amount->height() / 2),
              note->grab().toImage().pixelColor(0, note->height() / 2));

    typeText(item, QStringLiteral("买"));
    EXPECT_FALSE(item->property("missing").toBool());
    EXPECT_TRUE(item->toolTip().isEmpty());
    EXPECT_TRUE(amount->property("missing").toBool());  // untouched, still marked
    amount->setFocus();
    typeText(amount, QStringLiteral("3"));
    EXPECT_FALSE(amount->property("missing").toBool());
    clickButton("按钮_添");
    EXPECT_EQ(storedCount(), 1);
    EXPECT_FALSE(item->property("missing").toBool());
    EXPECT_FALSE(amount->property("missing").toBool());
}

// A character the amount input does not take is refused with a tooltip naming what it takes;
// one past the length limit gets the limit. Taken keys and moves show nothing.
TEST_F(DayPageTest, ARefusedAmountKeystrokeSaysWhatTheInputTakes) {
    start();
    auto* amount = find<QLineEdit>("编辑框1");
    amount->setFocus();
    struct Case {
        QString before;
        QString typed;
        const char* hint;  // nullptr: no tooltip
    };
    const Case cases[] = {
        {"12", QStringLiteral("元"), "金额只能输入数字0-9、小数点“.”和负号“-”"},
        {"12", QStringLiteral("a"), "金额只能输入数字0-9、小数点“.”和负号“-”"},
        {"12", QStringLiteral(" "), "金额只能输入数字0-9、小数点“.”和负号“-”"},
        {"1234567890", QStringLiteral("1"), "金额最多输入10个字符"},
        {"12", QStringLiteral("."), nullptr},
        {"12", QStringLiteral("-"), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(u8(c.before + QLatin1Char('|') + c.typed));
        amount->setText(c.before);
        amount->end(false);
        // A tooltip hides only after a delay, so a marker shows which tooltip came last.
        QToolTip::showText(amount->mapToGlobal(QPoint(0, 0)), QStringLiteral("marker"), amount);
        typeText(amount, c.typed);
        if (c.hint) {
            EXPECT_EQ(amount->text(), c.before);
            EXPECT_TRUE(QToolTip::isVisible());
            EXPECT_EQ(u8(QToolTip::text()), c.hint);
        } else {
            EXPECT_EQ(amount->text(), c.before + c.typed);
            EXPECT_TRUE(!QToolTip::isVisible() || QToolTip::text() == QStringLiteral("marker"));
        }
    }
    amount->setText(QStringLiteral("12"));
    QToolTip::showText(amount->mapToGlobal(QPoint(0, 0)), QStringLiteral("marker"), amount);
    QTest::keyClick(amount, Qt::Key_Left);
    QTest::keyClick(amount, Qt::Key_Backspace);
    EXPECT_EQ(u8(amount->text()), "2");
    EXPECT_TRUE(!QToolTip::isVisible() || QToolTip::text() == QStringLiteral("marker"));
}

// 删除记录 without a chosen row says so beside the button, asks nothing and deletes nothing.
TEST_F(DayPageTest, DeleteWithoutAChosenRowHintsAndAsksNothing) {
    seed(sample::week());
    start();
    ASSERT_EQ(dayModel()->rowCount(), 3);
    QToolTip::hideText();
    clickButton("按钮_删");
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(u8(QToolTip::text()), "请先选择要删除的记录");
    EXPECT_EQ(storedCount(), 9);
    EXPECT_EQ(dayModel()->rowCount(), 3);
    // With a row chosen the question comes as before.
    selectDayRow(0);
    answers = {false};
    clickButton("按钮_删");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(u8(messages[0].text), "您确定要删除此项记录吗？");
}

TEST_F(DayPageTest, DoubleClickCopiesTheRowAndAddSavesIntoItsRecord) {
    seed(sample::week());
    start();
    clickToolbar(ToolbarSlot::Expense);
    doubleClickDayRow(0);
    EXPECT_EQ(u8(find<QComboBox>("组合框1")->currentText()), "买菜");
    EXPECT_EQ(u8(find<QLineEdit>("编辑框1")->text()), "12.5");
    EXPECT_EQ(u8(find<QLineEdit>("编辑框3")->text()), "早市");
    EXPECT_EQ(u8(find<QComboBox>("组合框2")->currentText()), "生活开支");
    EXPECT_TRUE(session->dayPage().pendingModify());

    auto* amount = find<QLineEdit>("编辑框1");
    amount->setFocus();
    amount->selectAll();
    typeText(amount, QStringLiteral("20"));
    clickButton("按钮_添");

    // Record 6 of the sample is that expense; it now holds 20, the others are untouched.
    EXPECT_EQ(storedCount(), 9);
    EXPECT_EQ(storedEntry(6).amount, 20.0f);
    EXPECT_EQ(storedEntry(6).item, sample::gbk("买菜"));
    EXPECT_EQ(storedEntry(7).amount, 23.8f);
    EXPECT_EQ(u8(dayCell(0, 0)), "1");
    EXPECT_EQ(u8(dayCell(0, 1)), "2024年3月5日07时40分");
    EXPECT_EQ(u8(dayCell(0, 3)), "20.00元");
    EXPECT_EQ(u8(labelText("标签3")), "本天总开支：43.80元");
    EXPECT_FALSE(session->dayPage().pendingModify());
}

TEST_F(DayPageTest, DeleteAsksFirstAndRemovesOnlyAfterYes) {
    seed(sample::week());
    start();
    selectDayRow(1);  // 打牌赢钱
    answers = {false};
    clickButton("按钮_删");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(u8(messages[0].text), "您确定要删除此项记录吗？");
    EXPECT_EQ(u8(messages[0].title), "Tamvelo1.0版 提示您...");
    EXPECT_EQ(messages[0].icon, ledger::MessageIcon::Question);
    EXPECT_EQ(storedCount(), 9);
    EXPECT_EQ(dayModel()->rowCount(), 3);

    answers = {true};
    clickButton("按钮_删");
    EXPECT_EQ(storedCount(), 8);
    ASSERT_EQ(dayModel()->rowCount(), 2);
    EXPECT_EQ(u8(dayCell(0, 0)), "1");
    EXPECT_EQ(u8(dayCell(1, 0)), "3");  // row numbers stay
    EXPECT_EQ(u8(dayCell(1, 2)), "工资");
    EXPECT_EQ(u8(labelText("标签3")), "本天总收入：310.00元");
    EXPECT_EQ(storedEntry(5).item, sample::gbk("买菜"));
}

// The list view selects the row after a removed one by itself; that must not become the
// ledger's selection, or the next "删除记录" would delete an entry the user never chose.
TEST_F(DayPageTest, ADeletedRowLeavesNoRowSelected) {
    seed(sample::week());
    start();
    auto* view = find<QTableView>("超级列表框_收支");
    selectDayRow(0);  // 路上捡钱, with 打牌赢钱 below it
    answers = {true};
    clickButton("按钮_删");
    ASSERT_EQ(dayModel()->rowCount(), 2);
    EXPECT_EQ(session->dayPage().dayList().selected(), -1);
    EXPECT_TRUE(view->selectionModel()->selectedRows().isEmpty());

    answers = {true};
    clickButton("按钮_删");
    EXPECT_EQ(storedCount(), 8);
    EXPECT_EQ(dayModel()->rowCount(), 2);
    EXPECT_EQ(u8(dayCell(0, 2)), "打牌赢钱");
}

TEST_F(DayPageTest, StepButtonsMoveTheChosenDay) {
    seed(sample::week());
    start();
    auto* box = find<LunarDateBox>("农历日期框1");
    clickToolbar(ToolbarSlot::Expense);
    clickButton("按钮_后");
    EXPECT_EQ(box->date(), QDate(2024, 3, 6));
    ASSERT_EQ(dayModel()->rowCount(), 1);
    EXPECT_EQ(u8(dayCell(0, 2)), "买衣服");
    clickButton("按钮_前");
    clickButton("按钮_前");
    EXPECT_EQ(box->date(), QDate(2024, 3, 4));
    EXPECT_EQ(dayModel()->rowCount(), 0);
    clickButton("按钮_今");
    EXPECT_EQ(box->date(), QDate(2024, 3, 5));
    EXPECT_EQ(dayModel()->rowCount(), 2);

    ASSERT_TRUE(box->setDate({2048, 12, 31}));
    settle();
    clickButton("按钮_后");
    EXPECT_EQ(box->date(), QDate(2048, 12, 31));
    ASSERT_TRUE(box->setDate({1901, 2, 19}));
    settle();
    clickButton("按钮_前");
    EXPECT_EQ(box->date(), QDate(1901, 2, 19));
}

}  // namespace
}  // namespace ui
