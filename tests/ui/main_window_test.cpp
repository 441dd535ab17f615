// The window's frame: startup and its files, the places and texts of every control, the
// toolbar's pages, modes and keys, the status bar, dragging, a database that cannot be opened,
// and Qt's own texts in Chinese.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolTip>

#include "ledger/ledger_schema.h"
#include "tests/ui/window_fixture.h"
#include "ui/gbk_text.h"
#include "ui/list_models.h"
#include "ui/lunar_date_box.h"
#include "ui/status_bar.h"

namespace ui {
namespace {

TEST_F(WindowTest, FirstStartInAnEmptyDirectoryWritesTheEmptyLedgerAndSettles) {
    start();
    const std::string empty = ledger::emptyLedgerDatabase();
    EXPECT_EQ(fileBytes(path("Database.edb")), QByteArray(empty.data(), empty.size()));
    // No temporary file is left, and the settings file waits for the first category.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Database.edb"});
    EXPECT_TRUE(session->recordStore().isOpen());

    EXPECT_EQ(u8(window->windowTitle()), "Tamvelo1.0版");
    EXPECT_EQ(window->windowIcon().availableSizes().size(), 8);
    EXPECT_EQ(window->size(), QSize(850, 600));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(find<QStackedWidget>("选择夹_主")->geometry(), QRect(1, 56, 843, 520));
    EXPECT_EQ(find<QTableView>("超级列表框_收支")->geometry(), QRect(0, 110, 840, 386));
    EXPECT_EQ(find<QTableView>("超级列表框_查")->geometry(), QRect(1, 42, 840, 454));
    EXPECT_EQ(find<QStackedWidget>("选择夹_主")->currentIndex(), 0);
    EXPECT_EQ(find<QStackedWidget>("选择夹_主")->count(), 4);

    // The day box's queued notification refreshed once more after the ready text.
    EXPECT_EQ(u8(window->statusText(4)), "  正在初始化数据库...");
    EXPECT_EQ(u8(window->statusText(2)), "  当前任务");
    EXPECT_EQ(u8(window->statusText(6)), "本天净收入：0.00元");
    EXPECT_EQ(u8(labelText("标签3")), "本天总收入：0.00元");
    EXPECT_EQ(u8(labelText("标签4")), "收入金额                         元");
    EXPECT_EQ(dayModel()->rowCount(), 0);
    for (const char* box : {"农历日期框1", "农历日期框2", "农历日期框3"}) {
        EXPECT_EQ(find<LunarDateBox>(box)->date(), QDate(2024, 3, 5)) << box;
    }
    EXPECT_EQ(u8(find<LunarDateBox>("农历日期框1")->displayText()), "甲辰年(龙)正月廿五 2024-3-5");
    EXPECT_EQ(QApplication::focusWidget(), find<QComboBox>("组合框1"));
    EXPECT_TRUE(find<QToolButton>("工具条1_1")->isChecked());
    EXPECT_FALSE(find<QToolButton>("工具条1_4")->isEnabled());
    EXPECT_EQ(u8(find<QComboBox>("组合框3")->currentText()), "全部数据");
    EXPECT_EQ(find<QComboBox>("组合框3")->count(), 4);
    EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, ControlsHaveTheirTextsAndPlaces) {
    start();
    struct Control {
        const char* name;
        QRect place;
        const char* text;  // nullptr: not checked
    };
    const Control controls[] = {
        {"标签1", {7, 8, 32, 24}, "日期"},
        {"农历日期框1", {39, 8, 288, 24}, nullptr},
        {"按钮_前", {359, 8, 56, 24}, "< 前一天"},
        {"按钮_今", {448, 8, 56, 24}, "> 今天 <"},
        {"按钮_后", {536, 8, 63, 24}, "后一天 >"},
        {"标签11", {639, 8, 192, 72}, "说明：\n    双击修改!"},
        {"标签2", {6, 46, 56, 24}, "收入项目"},
        {"组合框1", {62, 46, 256, 24}, nullptr},
        {"标签5", {327, 48, 24, 24}, "类别"},
        {"组合框2", {359, 48, 112, 20}, nullptr},
        {"按钮_添", {495, 48, 55, 56}, "添加\n修改"},
        {"按钮_删", {567, 48, 55, 56}, "删除\n记录"},
        {"标签4", {6, 78, 216, 24}, nullptr},
        {"编辑框1", {62, 78, 136, 28}, nullptr},
        {"标签9", {230, 80, 24, 24}, "备注"},
        {"编辑框3", {262, 80, 209, 28}, nullptr},
        {"标签3", {639, 80, 192, 24}, nullptr},
        {"标签6", {7, 8, 48, 24}, "起始时间"},
        {"农历日期框2", {55, 8, 200, 24}, nullptr},
        {"标签7", {264, 10, 47, 24}, "终止时间"},
        {"农历日期框3", {312, 10, 199, 24}, nullptr},
        {"标签8", {536, 8, 24, 24}, "类别"},
        {"组合框3", {568, 8, 143, 24}, nullptr},
        {"按钮3", {735, 8, 48, 24}, "查询"},
        {"分组框1", {10, 0, 788, 488}, nullptr},
        {"标签10", {21, 64, 40, 24}, "添加类"},
        {"组合框4", {64, 64, 112, 20}, nullptr},
        {"按钮1", {181, 64, 56, 24}, "添加"},
        {"按钮2", {253, 64, 56, 24}, "删除"},
        {"标签12",
         {349, 56, 296, 136},
         "添加类说明：\n   1、 收入类中必需有“收入”二字\n   2、 开支类中必需有“开支”二字"},
        {"超级链接框1", {149, 384, 408, 56}, nullptr},
        {"标签13", {269, 440, 184, 24}, "在这里可以找到程序的最新版本"},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        QWidget* w = window->findChild<QWidget*>(QString::fromUtf8(c.name));
        ASSERT_NE(w, nullptr);
        if (qobject_cast<QComboBox*>(w)) {
            // A drop-down may grow downwards to fit its font.
            EXPECT_EQ(w->pos(), c.place.topLeft());
            EXPECT_EQ(w->width(), c.place.width());
            EXPECT_GE(w->height(), c.place.height());
        } else {
            EXPECT_EQ(w->geometry(), c.place);
        }
        EXPECT_FALSE(w->accessibleName().isEmpty());
        if (!c.text) continue;
        QString text = qobject_cast<QLabel*>(w) ? qobject_cast<QLabel*>(w)->text()
                                                : qobject_cast<QPushButton*>(w)->text();
        EXPECT_EQ(u8(text), c.text);
    }

    const char* toolbar[] = {"", "  收入  ", "开支", "查询", "", "设置", "", "退出"};
    const char* tips[] = {
        "", "收入（Alt+1）", "开支（Alt+2）", "查询（Alt+3）", "Alt+4", "设置（Alt+5）",
        "", "退出（Ctrl+Q）"};
    for (int i = 0; i < 8; ++i) {
        auto* b = window->findChild<QToolButton*>(QStringLiteral("工具条1_%1").arg(i));
        if (i == 0 || i == 6) {
            EXPECT_EQ(b, nullptr);  // separators
            continue;
        }
        ASSERT_NE(b, nullptr) << i;
        EXPECT_EQ(u8(b->text()), toolbar[i]);
        EXPECT_EQ(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_EQ(b->isCheckable(), i != 7);
        EXPECT_EQ(b->icon().isNull(), i == 4);
        EXPECT_EQ(u8(b->toolTip()), tips[i]);
        if (!b->isEnabled()) continue;
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), b->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(b, &help);
        settle();
        EXPECT_TRUE(QToolTip::isVisible()) << i;
        EXPECT_EQ(u8(QToolTip::text()), tips[i]);
    }

    auto* items = find<QComboBox>("组合框1");
    const char* presets[] = {"买菜",   "买米",       "买油",     "买零食", "买衣服",   "买鞋子",
                             "买家电", "买日常用品", "打牌输钱", "工资",   "路上捡钱", "打牌赢钱"};
    ASSERT_EQ(items->count(), 12);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(u8(items->itemText(i)), presets[i]);

    struct Column {
        const char* caption;
        int width;  // 0: fitted to the view (BothListsFitTheirViewsWithTheLastColumnStretched)
        bool right;
    };
    const Column day[] = {{" 序号", 50, false},
                          {"      日    期", 150, false},
                          {"             项         目", 250, false},
                          {"金  额     ", 100, true},
                          {"      类", 100, false},
                          {"        备        注", 0, false}};
    const Column report[] = {{"序号", 50, false},        {"日  期    ", 110, true},
                             {"结余金额 ", 100, true},   {"     收入项目", 180, false},
                             {"收入金额   ", 100, true}, {"     开支项目", 0, false},
                             {"开支金额  ", 100, true},  {"备注", 0, false}};
    auto checkColumns = [](QTableView* v, const Column* cols, int n) {
        ASSERT_EQ(v->model()->columnCount(), n);
        EXPECT_FALSE(v->horizontalHeader()->sectionsClickable());
        EXPECT_TRUE(v->showGrid());
        EXPECT_EQ(v->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(v->selectionMode(), QAbstractItemView::SingleSelection);
        for (int c = 0; c < n; ++c) {
            EXPECT_EQ(u8(v->model()->headerData(c, Qt::Horizontal).toString()), cols[c].caption);
            if (cols[c].width) EXPECT_EQ(v->columnWidth(c), cols[c].width) << c;
            auto align = v->model()->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt();
            EXPECT_EQ(bool(align & Qt::AlignRight), cols[c].right) << c;
        }
    };
    checkColumns(find<QTableView>("超级列表框_收支"), day, 6);
    checkColumns(find<QTableView>("超级列表框_查"), report, 8);
}

// What a screen reader reads is what the window shows: the captions after a mode switch and
// every status part's text.
TEST_F(WindowTest, AScreenReaderReadsTheShownTexts) {
    start();
    clickToolbar(ToolbarSlot::Expense);
    auto read = [](QWidget* w, QAccessible::Text t) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        return a ? a->text(t) : QString();
    };
    for (const char* name : {"标签2", "标签4"}) {
        EXPECT_EQ(u8(read(find<QLabel>(name), QAccessible::Name)), u8(labelText(name))) << name;
    }
    auto* bar = find<StatusBar>("状态条1");
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(u8(read(bar->part(i), QAccessible::Description)), u8(window->statusText(i))) << i;
    }
    EXPECT_EQ(u8(read(bar->part(2), QAccessible::Description)), "  当前任务");
}

// Every drop-down's text field holds a whole line of its font: the 19-pixel boxes defined 20
// pixels tall cut the top strokes off their Chinese text.
TEST_F(WindowTest, DropDownTextFieldsFitTheirFont) {
    start();
    int checked = 0;
    // Each page in turn, so that its boxes are laid out.
    for (ToolbarSlot slot : {ToolbarSlot::Income, ToolbarSlot::Query, ToolbarSlot::Settings}) {
        clickToolbar(slot);
        for (QComboBox* box : window->findChildren<QComboBox*>()) {
            if (!box->isVisible()) continue;
            ++checked;
            SCOPED_TRACE(u8(box->objectName()));
            int field = 0;
            if (box->lineEdit()) {
                field = box->lineEdit()->contentsRect().height();
            } else {
                QStyleOptionComboBox opt;
                opt.initFrom(box);
                field = box->style()
                            ->subControlRect(QStyle::CC_ComboBox, &opt,
                                             QStyle::SC_ComboBoxEditField, box)
                            .height();
            }
            EXPECT_GE(field, QFontInfo(box->font()).pixelSize() + 2);
        }
    }
    EXPECT_EQ(checked, 7);
}

TEST_F(WindowTest, StatusPartsHaveTheirFixedWidths) {
    start();
    auto* bar = find<StatusBar>("状态条1");
    int right = 0;
    const int edges[] = {5, 10, 90, 95, 595, 600, 750};
    for (int i = 0; i < 7; ++i) {
        right += bar->part(i)->width();
        EXPECT_EQ(right, edges[i]) << i;
    }
    window->setStatusText(7, QStringLiteral("x"));
    window->setStatusText(-1, QStringLiteral("x"));
    for (int i = 0; i < 7; ++i) EXPECT_NE(window->statusText(i), QStringLiteral("x"));
}

TEST_F(WindowTest, ModeSwitchesSetCaptionsClearInputsAndRefresh) {
    seed(sample::week());
    start();
    auto* item = find<QComboBox>("组合框1");
    auto* pages = find<QStackedWidget>("选择夹_主");
    ASSERT_EQ(dayModel()->rowCount(), 3);  // the income entries of 2024-03-05
    item->setEditText(QStringLiteral("买米"));
    find<QLineEdit>("编辑框1")->setText(QStringLiteral("3"));

    clickToolbar(ToolbarSlot::Query);
    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_EQ(u8(window->statusText(4)), "查询");
    clickToolbar(ToolbarSlot::Settings);
    EXPECT_EQ(pages->currentIndex(), 2);
    EXPECT_EQ(u8(window->statusText(4)), "设置");
    EXPECT_EQ(u8(item->currentText()), "买米");  // the pages leave the inputs alone
    EXPECT_EQ(session->dayPage().ledgerMode(), ledger::LedgerMode::Income);

    clickToolbar(ToolbarSlot::Expense);
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_TRUE(find<QToolButton>("工具条1_2")->isChecked());
    EXPECT_EQ(u8(labelText("标签2")), "开支项目");
    EXPECT_EQ(u8(labelText("标签4")), "开支金额");
    EXPECT_EQ(u8(window->statusText(4)), "开支");
    EXPECT_TRUE(item->currentText().isEmpty());
    EXPECT_TRUE(find<QLineEdit>("编辑框1")->text().isEmpty());
    ASSERT_EQ(dayModel()->rowCount(), 2);
    EXPECT_EQ(u8(dayCell(0, 2)), "买菜");
    EXPECT_EQ(u8(labelText("标签3")), "本天总开支：36.30元");
    EXPECT_EQ(u8(window->statusText(6)), "本天净收入：323.70元");
    auto* choices = find<QComboBox>("组合框2");
    ASSERT_EQ(choices->count(), 2);
    EXPECT_EQ(u8(choices->currentText()), "生活开支");

    find<QLineEdit>("编辑框3")->setText(QStringLiteral("x"));
    clickToolbar(ToolbarSlot::Income);
    EXPECT_EQ(u8(labelText("标签2")), "收入项目");
    EXPECT_EQ(u8(labelText("标签4")), "收入金额");
    EXPECT_EQ(u8(window->statusText(4)), "收入");
    EXPECT_TRUE(find<QLineEdit>("编辑框3")->text().isEmpty());
    EXPECT_EQ(dayModel()->rowCount(), 3);
    EXPECT_EQ(u8(choices->currentText()), "工资收入");

    // The chosen mode clicked again still clears the inputs and refreshes.
    item->setEditText(QStringLiteral("买米"));
    window->setStatusText(4, QString());
    clickToolbar(ToolbarSlot::Income);
    EXPECT_TRUE(find<QToolButton>("工具条1_1")->isChecked());
    EXPECT_TRUE(item->currentText().isEmpty());
    EXPECT_EQ(u8(window->statusText(4)), "收入");
}

TEST_F(WindowTest, APressOnTheBackgroundDragsTheWindow) {
    start();
    QWidget* page = find<QWidget>("收支");
    const QPoint before = window->pos();
    const QPoint at(610, 20);  // between 按钮_后 and 标签11
    ASSERT_EQ(page->childAt(at), nullptr);
    QTest::mousePress(page, Qt::LeftButton, {}, at);
    QTest::mouseMove(page, at + QPoint(30, 20));
    QTest::mouseRelease(page, Qt::LeftButton, {}, at + QPoint(30, 20));
    settle();
    EXPECT_EQ(window->pos(), before + QPoint(30, 20));
}

TEST_F(WindowTest, ADatabaseThatCannotBeOpenedIsReportedAndLeftAlone) {
    const QByteArray garbage("WEDB but not really a ledger database file", 44);
    {
        QFile f(path("Database.edb"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    start();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.indexOf(QDir::toNativeSeparators(path("Database.edb"))), -1);
    // The store's own code and text are named.
    QRegularExpressionMatch code =
        QRegularExpression(QStringLiteral("（(-\\d+)）")).match(messages[0].text);
    ASSERT_TRUE(code.hasMatch()) << u8(messages[0].text);
    EXPECT_NE(messages[0].text.indexOf(fromGbk(store::errorText(code.captured(1).toInt()))), -1);
    EXPECT_EQ(messages[0].icon, ledger::MessageIcon::Error);
    EXPECT_EQ(fileBytes(path("Database.edb")), garbage);
    EXPECT_FALSE(session->recordStore().isOpen());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(dayModel()->rowCount(), 0);
}

// A damaged count: the start keeps both entries, copies the file aside first and says so.
TEST_F(WindowTest, ARepairAtStartIsNamedWithWhereTheCopyIs) {
    seed({{true, 2024, 3, 5, "08时05分", "工资", 100, "", ""},
          {true, 2024, 3, 5, "09时00分", "奖金", 50, "", ""}});
    QByteArray damaged = fileBytes(path("Database.edb"));
    ASSERT_EQ(damaged.size(), 764 + 2 * 299);
    damaged[16] = 0;  // recordCount 2 -> 0
    {
        QFile f(path("Database.edb"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(damaged);
    }
    start();
    ASSERT_EQ(messages.size(), 1u);
    const QString& text = messages[0].text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("数据库文件已修复："))) << u8(text);
    EXPECT_NE(text.indexOf(QDir::toNativeSeparators(path("Database.edb"))), -1);
    EXPECT_NE(text.indexOf(QStringLiteral("找回记录数之外的 2 条完整记录")), -1) << u8(text);
    QStringList copies =
        QDir(dir.path()).entryList({QStringLiteral("Database-*-before-repair.edb")});
    ASSERT_EQ(copies.size(), 1);
    EXPECT_NE(text.indexOf(QDir::toNativeSeparators(dir.filePath(copies[0]))), -1);
    EXPECT_EQ(fileBytes(dir.filePath(copies[0])), damaged);
    EXPECT_EQ(messages[0].icon, ledger::MessageIcon::Warning);
    EXPECT_EQ(dayModel()->rowCount(), 2);
    EXPECT_EQ(storedCount(), 2);
}

// pz.ini as a link to an endless device: named, left as it is, and the program runs without
// its categories.
TEST_F(WindowTest, ASettingsFileThatCannotBeReadIsNamedAndLeftAlone) {
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path("pz.ini")));
    start();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("无法读取设置文件：")))
        << u8(messages[0].text);
    EXPECT_NE(messages[0].text.indexOf(QDir::toNativeSeparators(path("pz.ini"))), -1);
    EXPECT_NE(messages[0].text.indexOf(QStringLiteral("它不是普通文件")), -1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(find<QComboBox>("组合框4")->count(), 0);
    EXPECT_EQ(QFileInfo(path("pz.ini")).symLinkTarget(), QStringLiteral("/dev/zero"));
}

TEST_F(WindowTest, ACategoryNameWithAControlCharacterIsRefusedWithAMessage) {
    start();
    clickToolbar(ToolbarSlot::Settings);
    auto* box = find<QComboBox>("组合框4");
    box->setEditText(QStringLiteral("工资\t收入"));
    clickButton("按钮1");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(u8(messages[0].text), "类别名称不能含有回车、换行、制表符等控制字符，未添加。");
    EXPECT_EQ(box->count(), 0);
    EXPECT_FALSE(QFile::exists(path("pz.ini")));
}

// A category the file cannot take: the status bar says why until the next action.
TEST_F(WindowTest, AFailedCategoryWriteNamesWhyInTheStatusBar) {
    start();
    {
        QFile f(path("pz.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QFile::setPermissions(path("pz.ini"), QFile::ReadOwner);
    clickToolbar(ToolbarSlot::Settings);
    find<QComboBox>("组合框4")->setEditText(QStringLiteral("工资收入"));
    clickButton("按钮1");
    EXPECT_EQ(u8(window->statusText(4)), "  添加类别失败：文件只读");
    clickToolbar(ToolbarSlot::Expense);
    EXPECT_EQ(window->statusText(4).indexOf(QStringLiteral("失败")), -1);
}

TEST_F(WindowTest, TheLinkOpensTheReadmeBesideTheProgramAndQuitEnds) {
    start();
    auto* link = find<QLabel>("超级链接框1");
    EXPECT_NE(link->text().indexOf(QStringLiteral("本程序主页")), -1);
    emit link->linkActivated(QStringLiteral("readme"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(path("README.md")));
    clickToolbar(ToolbarSlot::Quit);
    EXPECT_EQ(quits, 1);
    clickToolbar(ToolbarSlot::EmptySlot);  // the disabled slot does nothing
    EXPECT_EQ(find<QStackedWidget>("选择夹_主")->currentIndex(), 0);
}

// Alt+1 to Alt+5 press the toolbar's buttons from the left wherever the focus is, the disabled
// fourth slot staying inert; Ctrl+Q quits like 退出.
TEST_F(WindowTest, ToolbarKeysChooseTheButtonsInOrderAndCtrlQQuits) {
    start();
    auto* pages = find<QStackedWidget>("选择夹_主");
    auto* item = find<QComboBox>("组合框1");
    item->setFocus();
    auto press = [&](Qt::Key key, Qt::KeyboardModifier mod) {
        QTest::keyClick(QApplication::focusWidget(), key, mod);
        settle();
    };
    auto checked = [&](ToolbarSlot slot) {
        return find<QToolButton>(
                   QStringLiteral("工具条1_%1").arg(static_cast<int>(slot)).toUtf8().data())
            ->isChecked();
    };
    press(Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_TRUE(checked(ToolbarSlot::Expense));
    EXPECT_EQ(session->dayPage().ledgerMode(), ledger::LedgerMode::Expense);
    EXPECT_EQ(u8(labelText("标签2")), "开支项目");
    press(Qt::Key_3, Qt::AltModifier);
    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_EQ(u8(window->statusText(4)), "查询");
    press(Qt::Key_4, Qt::AltModifier);  // disabled: stays on the query page
    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_TRUE(checked(ToolbarSlot::Query));
    press(Qt::Key_5, Qt::AltModifier);
    EXPECT_EQ(pages->currentIndex(), 2);
    press(Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_TRUE(checked(ToolbarSlot::Income));
    EXPECT_EQ(session->dayPage().ledgerMode(), ledger::LedgerMode::Income);
    EXPECT_EQ(u8(labelText("标签2")), "收入项目");
    EXPECT_EQ(quits, 0);
    // From the amount input too: the inputs do not keep the keys for themselves.
    find<QLineEdit>("编辑框1")->setFocus();
    press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
}

// The window names the current mode to a screen reader, and the day total wears its colour.
TEST_F(WindowTest, TheModeIsReadOutAndColoursTheDayTotal) {
    start();
    auto* total = find<QLabel>("标签3");
    EXPECT_EQ(u8(window->accessibleDescription()), "收入模式：记录收入");
    EXPECT_EQ(total->property("mode").toString(), QStringLiteral("income"));
    const QColor incomeColour = total->palette().color(QPalette::WindowText);
    clickToolbar(ToolbarSlot::Expense);
    EXPECT_EQ(u8(window->accessibleDescription()), "开支模式：记录开支");
    EXPECT_EQ(total->property("mode").toString(), QStringLiteral("expense"));
    const QColor expenseColour = total->palette().color(QPalette::WindowText);
    EXPECT_NE(incomeColour, expenseColour);
    EXPECT_NE(expenseColour, QColor(Qt::black));
    EXPECT_NE(incomeColour, QColor(Qt::black));
    // The query page leaves the mode, and its description, as they were.
    clickToolbar(ToolbarSlot::Query);
    EXPECT_EQ(u8(window->accessibleDescription()), "开支模式：记录开支");
    clickToolbar(ToolbarSlot::Income);
    EXPECT_EQ(u8(window->accessibleDescription()), "收入模式：记录收入");
    EXPECT_EQ(total->palette().color(QPalette::WindowText), incomeColour);
}

// The texts Qt draws itself come in Chinese: an input's context menu, the standard buttons of a
// dialog and the file dialog's own labels.
TEST_F(WindowTest, QtsOwnTextsAreChinese) {
    start();
    std::unique_ptr<QMenu> menu(find<QLineEdit>("编辑框3")->createStandardContextMenu());
    QStringList texts;
    for (QAction* a : menu->actions()) {
        if (!a->isSeparator()) texts << a->text();
    }
    ASSERT_FALSE(texts.isEmpty());
    for (const char* english :
         {"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "Delete", "Select All"}) {
        EXPECT_FALSE(texts.contains(QString::fromUtf8(english))) << english;
    }
    EXPECT_TRUE(texts.join(QLatin1Char('|')).contains(QStringLiteral("复制")))
        << u8(texts.join('|'));
    EXPECT_TRUE(texts.join(QLatin1Char('|')).contains(QStringLiteral("粘贴")));

    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(u8(buttons.button(QDialogButtonBox::Ok)->text()), "确定");
    EXPECT_EQ(u8(buttons.button(QDialogButtonBox::Cancel)->text()), "取消");

    QFileDialog files(window.get());
    files.setOption(QFileDialog::DontUseNativeDialog);
    auto* lookIn = files.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    ASSERT_NE(lookIn, nullptr);
    EXPECT_NE(lookIn->text(), QStringLiteral("Look in:"));
    EXPECT_FALSE(lookIn->text().contains(QLatin1Char('L'))) << u8(lookIn->text());
}

// At the window's size both lists fit their views: the last column takes the rest of the width,
// so no horizontal scroll bar shows and every header reads whole, with few rows and with more
// rows than the view shows (a vertical bar then takes its share).
// The report's defined widths leave its last caption no room, so its expense item column (5)
// alone gives up some of its width.
TEST_F(WindowTest, BothListsFitTheirViewsWithTheLastColumnStretched) {
    std::vector<sample::Entry> entries = sample::week();
    for (int i = 0; i < 30; ++i)
        entries.push_back({false, 2024, 3, 2, "12时00分", "买菜", 5, "", "生活开支"});
    seed(entries);
    start();
    auto checkFits = [&](const char* name, const int* widths, int columns, int narrowed) {
        auto* view = find<QTableView>(name);
        settle();
        QHeaderView* h = view->horizontalHeader();
        ASSERT_EQ(h->count(), columns) << name;
        EXPECT_FALSE(view->horizontalScrollBar()->isVisible()) << name;
        for (int c = 0; c + 1 < columns; ++c) {
            if (c == narrowed) {
                EXPECT_LT(h->sectionSize(c), widths[c]) << name << c;
            } else {
                EXPECT_EQ(h->sectionSize(c), widths[c]) << name << c;
            }
        }
        EXPECT_EQ(h->length(), view->viewport()->width()) << name;
        for (int c = 0; c < columns; ++c) {
            const QString caption = view->model()->headerData(c, Qt::Horizontal).toString();
            EXPECT_GE(h->sectionSize(c), h->fontMetrics().horizontalAdvance(caption.trimmed()))
                << name << " " << u8(caption);
        }
    };
    checkFits("超级列表框_收支", DayListModel::kWidths, ledger::kDayColumnCount, -1);

    clickToolbar(ToolbarSlot::Query);
    find<LunarDateBox>("农历日期框2")->setDate({2024, 3, 3});
    clickButton("按钮3");
    auto* report = find<QTableView>("超级列表框_查");
    ASSERT_FALSE(report->verticalScrollBar()->isVisible());
    checkFits("超级列表框_查", ReportListModel::kWidths, ledger::kReportColumnCount, 5);

    find<LunarDateBox>("农历日期框2")->setDate({2024, 3, 1});
    clickButton("按钮3");
    ASSERT_TRUE(report->verticalScrollBar()->isVisible());
    checkFits("超级列表框_查", ReportListModel::kWidths, ledger::kReportColumnCount, 5);
}

}  // namespace
}  // namespace ui
