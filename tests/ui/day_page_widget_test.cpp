// The day page: the keyboard flow through the entry inputs, their limits and the amount's
// normalising, adding, changing and deleting entries through the list, and stepping the day.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFocusEvent>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>

#include "ledger/ledger_schema.h"
#include "tests/ui/window_fixture.h"
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

// The day list is wider than its view, so it shows a horizontal scroll bar: both its step
// buttons are drawn with their arrows, at either end, beside the slider.
TEST_F(DayPageTest, TheScrollBarShowsBothStepButtons) {
    start();
    QScrollBar* bar = find<QTableView>("超级列表框_收支")->horizontalScrollBar();
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
