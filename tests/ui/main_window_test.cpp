#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <deque>
#include <memory>

#include "ledger/ledger_schema.h"
#include "ledger/settings_file.h"
#include "tests/ui/qt_app.h"
#include "tests/ui/sample_ledger.h"
#include "ui/lunar_calendar.h"
#include "ui/lunar_date_box.h"
#include "ui/status_bar.h"

namespace ui {
namespace {

std::string u8(const QString& s) { return s.toStdString(); }

// Types `text` one character at a time as key events carrying the character, the way an input
// method delivers Chinese text (QTest::keyClicks only knows ASCII keys).
void typeText(QWidget* w, const QString& text) {
    for (int i = 0; i < text.size(); ++i) {
        int n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QString ch = text.mid(i, n);
        i += n - 1;
        int key = ch.size() == 1 && ch.at(0).unicode() < 128 ? int{ch.at(0).toUpper().unicode()}
                                                             : Qt::Key_unknown;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, ch);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, ch);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A window started in a fresh directory with a fixed clock; message boxes are recorded and
// answered from `answers` (Yes when it runs dry).
class WindowTest : public ::testing::Test {
  protected:
    WindowTest() { qtApp(); }

    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    std::string nativePath(const char* name) const {
        return QFile::encodeName(path(name)).toStdString();
    }

    void start() {
        WindowHooks hooks;
        hooks.messageBox = [this](const MessageBoxRequest& r) {
            messages.push_back(r);
            if (!r.yesNo || answers.empty()) return true;
            bool a = answers.front();
            answers.pop_front();
            return a;
        };
        hooks.openUrl = [this](const QUrl& u) { opened.push_back(u); };
        hooks.clock = [this] { return clock; };
        hooks.quit = [this] { ++quits; };
        window = std::make_unique<MainWindow>(dir.path(), hooks);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        settle();
    }

    // Lets the queued notifications run.
    static void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }

    // Writes entries through a store of its own, as a previous run would have.
    void seed(const std::vector<sample::Entry>& entries) {
        {
            WindowHooks quiet;
            quiet.messageBox = [](const MessageBoxRequest&) { return true; };
            MainWindow first(dir.path(), quiet);
        }
        sample::writeCategories(nativePath("pz.ini"), sample::weekCategories());
        store::RecordStore s;
        ASSERT_TRUE(s.open(nativePath("Database.edb")));
        for (const auto& e : entries) ASSERT_TRUE(sample::append(s, e));
        s.close();
    }

    template <class T>
    T* find(const char* name) const {
        T* w = window->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString labelText(const char* name) const { return find<QLabel>(name)->text(); }

    void clickToolbar(int index) {
        QToolButton* b = find<QToolButton>(QStringLiteral("工具条1_%1").arg(index).toUtf8().data());
        QTest::mouseClick(b, Qt::LeftButton);
        settle();
    }
    void clickButton(const char* name) {
        QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton);
        settle();
    }

    QAbstractItemModel* dayModel() const { return find<QTableView>("超级列表框_收支")->model(); }
    QString dayCell(int row, int column) const {
        return dayModel()->index(row, column).data().toString();
    }
    void doubleClickDayRow(int row) {
        QTableView* v = find<QTableView>("超级列表框_收支");
        QPoint p = v->visualRect(v->model()->index(row, 2)).center();
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, p);
        settle();
    }
    void selectDayRow(int row) {
        QTableView* v = find<QTableView>("超级列表框_收支");
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {},
                          v->visualRect(v->model()->index(row, 2)).center());
        settle();
    }

    // Field p of 1-based record n, read through a store of its own.
    store::StoreValue storedField(int n, int p) {
        store::RecordStore s;
        EXPECT_TRUE(s.open(nativePath("Database.edb")));
        s.goTo(n);
        store::StoreValue v = s.readField(p);
        s.close();
        return v;
    }
    int32_t storedCount() {
        store::RecordStore s;
        EXPECT_TRUE(s.open(nativePath("Database.edb")));
        int32_t n = s.recordCount();
        s.close();
        return n;
    }

    QTemporaryDir dir;
    QDateTime clock{QDate(2024, 3, 5), QTime(8, 5)};
    std::vector<MessageBoxRequest> messages;
    std::deque<bool> answers;
    std::vector<QUrl> opened;
    int quits = 0;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowTest, FirstStartInAnEmptyDirectoryWritesTheEmptyLedgerAndSettles) {
    start();
    const std::string empty = ledger::emptyLedgerDatabase();
    EXPECT_EQ(fileBytes(path("Database.edb")), QByteArray(empty.data(), empty.size()));
    // No temporary file is left, and the settings file waits for the first category.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Database.edb"});
    EXPECT_TRUE(window->recordStore().isOpen());

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
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), b->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(b, &help);
        settle();
        EXPECT_FALSE(QToolTip::isVisible()) << i;
    }

    auto* items = find<QComboBox>("组合框1");
    const char* presets[] = {"买菜",   "买米",       "买油",     "买零食", "买衣服",   "买鞋子",
                             "买家电", "买日常用品", "打牌输钱", "工资",   "路上捡钱", "打牌赢钱"};
    ASSERT_EQ(items->count(), 12);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(u8(items->itemText(i)), presets[i]);

    struct Column {
        const char* caption;
        int width;
        bool right;
    };
    const Column day[] = {{" 序号", 50, false},
                          {"      日    期", 150, false},
                          {"             项         目", 250, false},
                          {"金  额     ", 100, true},
                          {"      类", 100, false},
                          {"        备        注", 200, false}};
    const Column report[] = {{"序号", 50, false},        {"日  期    ", 110, true},
                             {"结余金额 ", 100, true},   {"     收入项目", 180, false},
                             {"收入金额   ", 100, true}, {"     开支项目", 180, false},
                             {"开支金额  ", 100, true},  {"备注", 200, false}};
    auto checkColumns = [](QTableView* v, const Column* cols, int n) {
        ASSERT_EQ(v->model()->columnCount(), n);
        EXPECT_FALSE(v->horizontalHeader()->sectionsClickable());
        EXPECT_TRUE(v->showGrid());
        EXPECT_EQ(v->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(v->selectionMode(), QAbstractItemView::SingleSelection);
        for (int c = 0; c < n; ++c) {
            EXPECT_EQ(u8(v->model()->headerData(c, Qt::Horizontal).toString()), cols[c].caption);
            EXPECT_EQ(v->columnWidth(c), cols[c].width) << c;
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
    clickToolbar(2);
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
    for (int slot : {1, 3, 5}) {  // each page in turn, so that its boxes are laid out
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

TEST_F(WindowTest, EnterLeadsThroughTheInputsAndAddsTheEntry) {
    clock = QDateTime(QDate(2024, 3, 5), QTime(8, 5));
    start();
    clickToolbar(2);  // expense
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
    EXPECT_FALSE(storedField(1, ledger::kFieldKind).asBool());
    EXPECT_EQ(storedField(1, ledger::kFieldYear).integer, 2024);
    EXPECT_EQ(storedField(1, ledger::kFieldMonth).integer, 3);
    EXPECT_EQ(storedField(1, ledger::kFieldDay).integer, 5);
    EXPECT_EQ(storedField(1, ledger::kFieldTime).text, sample::gbk("08时05分"));
    EXPECT_EQ(storedField(1, ledger::kFieldItem).text, sample::gbk("买菜"));
    EXPECT_EQ(storedField(1, ledger::kFieldAmount).asFloat(), 12.5f);
    EXPECT_EQ(storedField(1, ledger::kFieldNote).text, sample::gbk("早市"));
    EXPECT_EQ(storedField(1, ledger::kFieldCategory).text, "");

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

TEST_F(WindowTest, CtrlTabFollowsTheInputsAndPlainTabTheTabOrder) {
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

TEST_F(WindowTest, InputsCountTheirLimitsInGbkBytesAndRefuseOtherCharacters) {
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
    clickToolbar(5);  // the settings page, so that 组合框4 can take the focus
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

TEST_F(WindowTest, TheAmountIsNormalisedWhenTheInputLosesTheFocus) {
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
        EXPECT_EQ(window->dayPage().entryInputs().amount, shown) << typed;
    }
}

// Opening the input's own context menu (to paste, say) is not leaving it.
TEST_F(WindowTest, TheAmountStaysAsTypedWhileItsContextMenuIsOpen) {
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

TEST_F(WindowTest, ModeSwitchesSetCaptionsClearInputsAndRefresh) {
    seed(sample::week());
    start();
    auto* item = find<QComboBox>("组合框1");
    auto* pages = find<QStackedWidget>("选择夹_主");
    ASSERT_EQ(dayModel()->rowCount(), 3);  // the income entries of 2024-03-05
    item->setEditText(QStringLiteral("买米"));
    find<QLineEdit>("编辑框1")->setText(QStringLiteral("3"));

    clickToolbar(3);
    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_EQ(u8(window->statusText(4)), "查询");
    clickToolbar(5);
    EXPECT_EQ(pages->currentIndex(), 2);
    EXPECT_EQ(u8(window->statusText(4)), "设置");
    EXPECT_EQ(u8(item->currentText()), "买米");  // the pages leave the inputs alone
    EXPECT_EQ(window->dayPage().ledgerMode(), ledger::LedgerMode::Income);

    clickToolbar(2);
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
    clickToolbar(1);
    EXPECT_EQ(u8(labelText("标签2")), "收入项目");
    EXPECT_EQ(u8(labelText("标签4")), "收入金额");
    EXPECT_EQ(u8(window->statusText(4)), "收入");
    EXPECT_TRUE(find<QLineEdit>("编辑框3")->text().isEmpty());
    EXPECT_EQ(dayModel()->rowCount(), 3);
    EXPECT_EQ(u8(choices->currentText()), "工资收入");

    // The chosen mode clicked again still clears the inputs and refreshes.
    item->setEditText(QStringLiteral("买米"));
    window->setStatusText(4, QString());
    clickToolbar(1);
    EXPECT_TRUE(find<QToolButton>("工具条1_1")->isChecked());
    EXPECT_TRUE(item->currentText().isEmpty());
    EXPECT_EQ(u8(window->statusText(4)), "收入");
}

// The narrowest date box shows the longest text of the whole range uncut.
TEST_F(WindowTest, EveryDateOfTheRangeFitsTheNarrowestDateBox) {
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

// The day list is wider than its view, so it shows a horizontal scroll bar: both its step
// buttons are drawn with their arrows, at either end, beside the slider.
TEST_F(WindowTest, TheScrollBarShowsBothStepButtons) {
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

TEST_F(WindowTest, DoubleClickCopiesTheRowAndAddSavesIntoItsRecord) {
    seed(sample::week());
    start();
    clickToolbar(2);
    doubleClickDayRow(0);
    EXPECT_EQ(u8(find<QComboBox>("组合框1")->currentText()), "买菜");
    EXPECT_EQ(u8(find<QLineEdit>("编辑框1")->text()), "12.5");
    EXPECT_EQ(u8(find<QLineEdit>("编辑框3")->text()), "早市");
    EXPECT_EQ(u8(find<QComboBox>("组合框2")->currentText()), "生活开支");
    EXPECT_TRUE(window->dayPage().pendingModify());

    auto* amount = find<QLineEdit>("编辑框1");
    amount->setFocus();
    amount->selectAll();
    typeText(amount, QStringLiteral("20"));
    clickButton("按钮_添");

    // Record 6 of the sample is that expense; it now holds 20, the others are untouched.
    EXPECT_EQ(storedCount(), 9);
    EXPECT_EQ(storedField(6, ledger::kFieldAmount).asFloat(), 20.0f);
    EXPECT_EQ(storedField(6, ledger::kFieldItem).text, sample::gbk("买菜"));
    EXPECT_EQ(storedField(7, ledger::kFieldAmount).asFloat(), 23.8f);
    EXPECT_EQ(u8(dayCell(0, 0)), "1");
    EXPECT_EQ(u8(dayCell(0, 1)), "2024年3月5日07时40分");
    EXPECT_EQ(u8(dayCell(0, 3)), "20.00元");
    EXPECT_EQ(u8(labelText("标签3")), "本天总开支：43.80元");
    EXPECT_FALSE(window->dayPage().pendingModify());
}

TEST_F(WindowTest, DeleteAsksFirstAndRemovesOnlyAfterYes) {
    seed(sample::week());
    start();
    selectDayRow(1);  // 打牌赢钱
    answers = {false};
    clickButton("按钮_删");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(u8(messages[0].text), "您确定要删除此项记录吗？");
    EXPECT_EQ(u8(messages[0].title), "Tamvelo1.0版 提示您...");
    EXPECT_EQ(messages[0].icon, ledger::kIconQuestion);
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
    EXPECT_EQ(storedField(5, ledger::kFieldItem).text, sample::gbk("买菜"));
}

// The list view selects the row after a removed one by itself; that must not become the
// ledger's selection, or the next "删除记录" would delete an entry the user never chose.
TEST_F(WindowTest, ADeletedRowLeavesNoRowSelected) {
    seed(sample::week());
    start();
    auto* view = find<QTableView>("超级列表框_收支");
    selectDayRow(0);  // 路上捡钱, with 打牌赢钱 below it
    answers = {true};
    clickButton("按钮_删");
    ASSERT_EQ(dayModel()->rowCount(), 2);
    EXPECT_EQ(window->dayPage().dayList().selected(), -1);
    EXPECT_TRUE(view->selectionModel()->selectedRows().isEmpty());

    answers = {true};
    clickButton("按钮_删");
    EXPECT_EQ(storedCount(), 8);
    EXPECT_EQ(dayModel()->rowCount(), 2);
    EXPECT_EQ(u8(dayCell(0, 2)), "打牌赢钱");
}

TEST_F(WindowTest, StepButtonsMoveTheChosenDay) {
    seed(sample::week());
    start();
    auto* box = find<LunarDateBox>("农历日期框1");
    clickToolbar(2);
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

TEST_F(WindowTest, QueryReportsTheRangeInTheList) {
    seed(sample::week());
    start();
    clickToolbar(3);
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
    EXPECT_EQ(messages[0].icon, ledger::kIconError);
}

TEST_F(WindowTest, SettingsPageAddsAndRemovesCategories) {
    start();
    clickToolbar(5);
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
    EXPECT_EQ(ledger::readProfileString(ini, sample::gbk("总"), "1"), "2");
    EXPECT_EQ(ledger::readProfileString(ini, sample::gbk("类"), "1"), sample::gbk("工资收入"));
    EXPECT_EQ(ledger::readProfileString(ini, sample::gbk("类"), "2"), sample::gbk("生活开支"));

    clickToolbar(2);  // the day page offers the new expense category at its next refresh
    ASSERT_EQ(find<QComboBox>("组合框2")->count(), 1);
    EXPECT_EQ(u8(find<QComboBox>("组合框2")->currentText()), "生活开支");

    clickToolbar(5);
    box->setEditText(QStringLiteral("工资收入"));
    answers = {false};
    clickButton("按钮2");
    EXPECT_EQ(box->count(), 2);
    answers = {true};
    clickButton("按钮2");
    ASSERT_EQ(box->count(), 1);
    EXPECT_EQ(u8(box->itemText(0)), "生活开支");
    EXPECT_EQ(ledger::readProfileString(ini, sample::gbk("总"), "1"), "1");
    EXPECT_EQ(ledger::readProfileString(ini, sample::gbk("类"), "1"), sample::gbk("生活开支"));
    EXPECT_NE(u8(messages.back().text).find("工资收入"), std::string::npos);
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
    EXPECT_NE(
        messages[0].text.indexOf(MainWindow::fromGbk(store::errorText(code.captured(1).toInt()))),
        -1);
    EXPECT_EQ(messages[0].icon, ledger::kIconError);
    EXPECT_EQ(fileBytes(path("Database.edb")), garbage);
    EXPECT_FALSE(window->recordStore().isOpen());
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
    EXPECT_EQ(messages[0].icon, ledger::kIconWarning);
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
    clickToolbar(5);
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
    clickToolbar(5);
    find<QComboBox>("组合框4")->setEditText(QStringLiteral("工资收入"));
    clickButton("按钮1");
    EXPECT_EQ(u8(window->statusText(4)), "  添加类别失败：文件只读");
    clickToolbar(2);
    EXPECT_EQ(window->statusText(4).indexOf(QStringLiteral("失败")), -1);
}

TEST_F(WindowTest, TheLinkOpensTheReadmeBesideTheProgramAndQuitEnds) {
    start();
    auto* link = find<QLabel>("超级链接框1");
    EXPECT_NE(link->text().indexOf(QStringLiteral("本程序主页")), -1);
    emit link->linkActivated(QStringLiteral("readme"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(path("README.md")));
    clickToolbar(7);
    EXPECT_EQ(quits, 1);
    clickToolbar(4);  // the disabled slot does nothing
    EXPECT_EQ(find<QStackedWidget>("选择夹_主")->currentIndex(), 0);
}

// The window's own message boxes: the delete question with Chinese buttons, answered No.
TEST(WindowMessageBox, AsksInChineseAndNoKeepsTheEntry) {
    qtApp();
    QTemporaryDir dir;
    WindowHooks hooks;
    hooks.clock = [] { return QDateTime(QDate(2024, 3, 5), QTime(8, 5)); };
    MainWindow window(dir.path(), hooks);
    window.show();
    ASSERT_TRUE(
        sample::append(window.recordStore(), {true, 2024, 3, 5, "08时05分", "工资", 10, "", ""}));
    window.dayPage().refreshDayView();
    window.dayPage().dayList().select(0);
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
    EXPECT_EQ(window.dayPage().dayList().rowCount(), 1);
    EXPECT_EQ(window.recordStore().recordCount(), 1);
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
