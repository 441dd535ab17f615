// The settings page: categories added to and removed from the settings file through the
// category box.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileInfo>
#include <QListView>

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
    EXPECT_EQ(ledger::readProfileString(*store::posixFileAccess(), ini, sample::gbk("总"), "1"),
              "2");
    EXPECT_EQ(ledger::readProfileString(*store::posixFileAccess(), ini, sample::gbk("类"), "1"),
              sample::gbk("工资收入"));
    EXPECT_EQ(ledger::readProfileString(*store::posixFileAccess(), ini, sample::gbk("类"), "2"),
              sample::gbk("生活开支"));

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
    EXPECT_EQ(ledger::readProfileString(*store::posixFileAccess(), ini, sample::gbk("总"), "1"),
              "1");
    EXPECT_EQ(ledger::readProfileString(*store::posixFileAccess(), ini, sample::gbk("类"), "1"),
              sample::gbk("生活开支"));
    EXPECT_NE(u8(messages.back().text).find("工资收入"), std::string::npos);
}

// Names the lists could never offer, and names already there, are refused with a message that
// says which rule they break; the file, the box and the list stay as they were.
TEST_F(SettingsPageTest, RefusedNamesSayWhyAndChangeNothing) {
    start();
    clickToolbar(ToolbarSlot::Settings);
    auto* box = find<QComboBox>("组合框4");
    typeText(box, QStringLiteral("工资收入"));
    clickButton("按钮1");
    const QByteArray before = fileBytes(path("pz.ini"));
    struct Case {
        const char* name;
        const char* message;
    };
    const Case cases[] = {
        {"零花钱", "收入类中必需有“收入”二字，开支类中必需有“开支”二字!"},
        {"", "收入类中必需有“收入”二字，开支类中必需有“开支”二字!"},
        {"工资收入", "已有这个类别!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        box->setEditText(QString());
        typeText(box, QString::fromUtf8(c.name));
        clickButton("按钮1");
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(u8(messages[0].text), c.message);
        EXPECT_FALSE(messages[0].yesNo);
        EXPECT_EQ(fileBytes(path("pz.ini")), before);
        EXPECT_EQ(box->count(), 1);
        EXPECT_EQ(find<QListView>("列表框_类别")->model()->rowCount(), 1);
    }
    // The refusal quotes the rules label word for word.
    const QString rules = labelText("标签12");
    EXPECT_TRUE(rules.contains(QStringLiteral("收入类中必需有“收入”二字")));
    EXPECT_TRUE(rules.contains(QStringLiteral("开支类中必需有“开支”二字")));
}

// The list beside the box shows every category; one chosen there is removed by 删除 or by the
// Delete key, from the list, the box and the file.
TEST_F(SettingsPageTest, CategoryListShowsAndRemovesCategories) {
    seed({});
    start();
    clickToolbar(ToolbarSlot::Settings);
    auto* list = find<QListView>("列表框_类别");
    auto* box = find<QComboBox>("组合框4");
    const std::vector<const char*> week = sample::weekCategories();
    ASSERT_EQ(list->model()->rowCount(), static_cast<int>(week.size()));
    ASSERT_GE(week.size(), 3u);
    for (int i = 0; i < list->model()->rowCount(); ++i) {
        EXPECT_EQ(u8(list->model()->index(i, 0).data().toString()), week[i]);
    }
    EXPECT_FALSE(list->accessibleName().isEmpty());

    // Chosen with the mouse, removed by the button after the question.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(1, 0)).center());
    const QString second = list->model()->index(1, 0).data().toString();
    EXPECT_EQ(box->currentText(), second);
    messages.clear();
    clickButton("按钮2");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].yesNo);
    ASSERT_EQ(list->model()->rowCount(), static_cast<int>(week.size()) - 1);
    EXPECT_NE(list->model()->index(1, 0).data().toString(), second);
    const std::string ini = nativePath("pz.ini");
    EXPECT_EQ(ledger::readCategoryCount(ledger::Categories{ini}),
              static_cast<int32_t>(week.size()) - 1);

    // Chosen with the keyboard, removed by the Delete key; a No keeps it.
    list->setFocus();
    list->setCurrentIndex(list->model()->index(0, 0));
    const QString first = list->model()->index(0, 0).data().toString();
    answers = {false};
    QTest::keyClick(list, Qt::Key_Delete);
    settle();
    EXPECT_EQ(list->model()->rowCount(), static_cast<int>(week.size()) - 1);
    QTest::keyClick(list, Qt::Key_Delete);
    settle();
    ASSERT_EQ(list->model()->rowCount(), static_cast<int>(week.size()) - 2);
    EXPECT_NE(list->model()->index(0, 0).data().toString(), first);
    EXPECT_EQ(ledger::readCategoryCount(ledger::Categories{ini}),
              static_cast<int32_t>(week.size()) - 2);
}

// At a first start there are no categories: the day page's category box says where to add them,
// and starting writes no settings file. The hint goes once a category of the mode exists.
TEST_F(SettingsPageTest, FirstStartPointsToTheSettingsPageAndWritesNoSettings) {
    start();
    auto* category = find<QComboBox>("组合框2");
    EXPECT_EQ(category->count(), 0);
    EXPECT_EQ(u8(category->placeholderText()), "请先在设置页添加类别");
    EXPECT_EQ(category->currentIndex(), -1);
    EXPECT_FALSE(QFileInfo::exists(path("pz.ini")));
    clickToolbar(ToolbarSlot::Expense);
    clickToolbar(ToolbarSlot::Query);
    clickToolbar(ToolbarSlot::Settings);
    EXPECT_FALSE(QFileInfo::exists(path("pz.ini")));

    auto* box = find<QComboBox>("组合框4");
    typeText(box, QStringLiteral("生活开支"));
    clickButton("按钮1");
    clickToolbar(ToolbarSlot::Expense);
    ASSERT_EQ(category->count(), 1);
    EXPECT_EQ(category->currentIndex(), 0);
    EXPECT_EQ(u8(category->currentText()), "生活开支");
}

}  // namespace
}  // namespace ui
