// The window's real message boxes, in Chinese, and the store's fatal stop.

#include "ui/message_boxes.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include "tests/ui/window_fixture.h"

namespace ui {
namespace {

// The window's own message boxes: the delete question with Chinese buttons, answered No.
TEST(WindowMessageBox, AsksInChineseAndNoKeepsTheEntry) {
    qtApp();
    QTemporaryDir dir;
    WindowHooks hooks;
    hooks.clock = [] { return QDateTime(QDate(2024, 3, 5), QTime(8, 5)); };
    ledger::Session session(QFile::encodeName(dir.path()).toStdString());
    MainWindow window(session, hooks);
    window.show();
    ASSERT_TRUE(
        sample::append(session.recordStore(), {true, 2024, 3, 5, "08时05分", "工资", 10, "", ""}));
    session.dayPage().refreshDayView();
    session.dayPage().dayList().select(0);
    QStringList buttons;
    QString text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        box->button(QMessageBox::No)->click();
    });
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("按钮_删")), Qt::LeftButton);
    EXPECT_EQ(u8(text), "您确定要删除此项记录吗？");
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("否"), QStringLiteral("是")}));
    EXPECT_EQ(session.dayPage().dayList().rowCount(), 1);
    EXPECT_EQ(session.recordStore().recordCount(), 1);
}

TEST(FatalStopDeathTest, ShowsTheBoxAndEndsWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qtApp();
            QTimer::singleShot(200, [] {
                if (QWidget* box = QApplication::activeModalWidget()) box->close();
            });
            fatalStop(sample::gbk("指定字段不存在"));
        },
        ::testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace ui
