// The settings page: categories added to and removed from the settings file through the
// category box.

#include <gtest/gtest.h>

#include <QComboBox>

#include "ledger/settings_file.h"
#include "tests/ui/window_fixture.h"

namespace ui {
namespace {

TEST_F(SettingsPageTest, SettingsPageAddsAndRemovesCategories) {
    start();
    clickToolbar(ToolbarSlot::Settings);
    auto* box = find<QComboBox>("组合框4");
    box->setFocus();
    typeText(box, QStringLiteral("工资收入"));
    clickButton("按钮1");
    box->setEditText(QString());
    typeText(box, QStringLiteral("生活开支"));
    clickButton("按钮1");
    EXPECT_EQ(u8(box->currentText()), "生活开支");  // the text stays as typed
    ASSERT_EQ(box->count(), 2);
    const std::string ini = nativePath("pz.ini");
    EXPECT_EQ(ledger::readProfileString(*store::posixFileAccess(), ini, sample::gbk("总"), "1"), "2");
    EXPECT_EQ(ledger::readProfileString(*store::posixFileAccess(), ini, sample::gbk("类"), "1"), sample::gbk("工资收入"));
    EXPECT_EQ(ledger::readProfileString(*store::posixFileAccess(), ini, sample::gbk("类"), "2"), sample::gbk("生活开支"));

    // The day page offers the new expense category at its next refresh.
    clickToolbar(ToolbarSlot::Expense);
    ASSERT_EQ(find<QComboBox>("组合框2")->count(), 1);
    EXPECT_EQ(u8(find<QComboBox>("组合框2")->currentText()), "生活开支");

    clickToolbar(ToolbarSlot::Settings);
    box->setEditText(QStringLiteral("工资收入"));
    answers = {false};
    clickButton("按钮2");
    EXPECT_EQ(box->count(), 2);
    answers = {true};
    clickButton("按钮2");
    ASSERT_EQ(box->count(), 1);
    EXPECT_EQ(u8(box->itemText(0)), "生活开支");
    EXPECT_EQ(ledger::readProfileString(*store::posixFileAccess(), ini, sample::gbk("总"), "1"), "1");
    EXPECT_EQ(ledger::readProfileString(*store::posixFileAccess(), ini, sample::gbk("类"), "1"), sample::gbk("生活开支"));
    EXPECT_NE(u8(messages.back().text).find("工资收入"), std::string::npos);
}

}  // namespace
}  // namespace ui
