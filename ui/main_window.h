#pragma once

// The program's one window: toolbar, three pages and the status bar, bound to the ledger's day
// page, range report and categories. Widgets show the ledger's models and forward the user's
// events to its actions; the window itself keeps no ledger state.

#include <QDateTime>
#include <QPoint>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>

#include "ledger/categories.h"
#include "ledger/day_page.h"
#include "ledger/range_report.h"
#include "ledger/report_list.h"
#include "ledger/text_list.h"
#include "ledger/walk_guard.h"
#include "ledger/window_port.h"
#include "store/record_store.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableView;
class QToolBar;
class QGroupBox;

namespace ui {

class AmountEdit;
class DayListModel;
class LunarDateBox;
class ReportListModel;
class StatusBar;
class TextListModel;

// A message box the window is about to show, in UTF-8.
struct MessageBoxRequest {
    QString text;
    QString title;
    int icon = 0;  // ledger::kIconError, kIconQuestion or kIconInformation
    bool yesNo = false;
};

// What the window does outside itself; tests replace these.
struct WindowHooks {
    // Shows a message box; for a Yes/No question returns true for Yes. Default: QMessageBox.
    std::function<bool(const MessageBoxRequest&)> messageBox;
    // Opens a link. Default: QDesktopServices.
    std::function<void(const QUrl&)> openUrl;
    // The local clock. Default: QDateTime::currentDateTime.
    std::function<QDateTime()> clock;
    // The toolbar's "退出". Default: closes the window and ends the event loop with code 0.
    std::function<void()> quit;
};

class MainWindow : public QWidget, public ledger::WindowPort, private ledger::DayPageObserver {
    Q_OBJECT
  public:
    // Creates every control in its defined state, then runs the startup (onWindowCreated) on
    // the database and settings file in `runDirectory` (empty: the program's own directory).
    explicit MainWindow(const QString& runDirectory = QString(), WindowHooks hooks = {},
                        QWidget* parent = nullptr);
    // Closes the store.
    ~MainWindow() override;

    // ---- ledger::WindowPort ----
    ledger::DateTime dayDate() const override;
    bool setDayDate(const ledger::Date& d) override;
    ledger::DateTime startDate() const override;
    ledger::DateTime endDate() const override;
    std::string filterText() const override;
    bool askYesNo(const std::string& text, const std::string& title) override;
    void showMessage(const std::string& text, int icon, const std::string& title) override;
    void focusItemInput() override;
    void processEvents() override;
    ledger::DateTime now() const override;

    // ---- the window's own handlers ----
    // A click on toolbar slot `index` (separators counted): 1 income, 2 expense, 3 query,
    // 5 settings, 7 quit; the others do nothing.
    void onToolbarClick(int index);
    // A key in the item, amount or note input (Qt key code; Ctrl+Tab arrives as Qt::Key_Tab).
    void onItemKey(int key);
    void onAmountKey(int key);
    void onNoteKey(int key);

    // Sets status bar part `index`; outside 0 to 6 nothing changes.
    void setStatusText(int index, const QString& text);
    QString statusText(int index) const;

    QString ledgerPath() const { return ledgerPath_; }
    QString settingsPath() const { return settingsPath_; }
    store::RecordStore& recordStore() { return store_; }
    ledger::DayPage& dayPage() { return *dayPage_; }
    ledger::ReportList& reportList() { return reportList_; }
    ledger::RangeReport& rangeReport() { return *report_; }
    ledger::Categories& categories() { return categories_; }

    // Makes the ledger's GBK text a UTF-8 one for the widgets, and back (empty when it has no
    // GBK form).
    static QString fromGbk(const std::string& gbk);
    static std::string toGbk(const QString& text);

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void buildToolbar();
    void buildDayPage(QWidget* page);
    void buildQueryPage(QWidget* page);
    void buildSettingsPage(QWidget* page);
    void bindLedger();
    void onWindowCreated();
    void writeEmptyDatabase();
    void reportOpenFailure(int32_t code);
    void showMessageLater(const QString& text, int icon);
    void reportRepair(const store::RepairReport& report);
    void reportSettingsProblem();
    void showCategoryWriteFailure(const char* action);
    void addCategoryClicked();
    void removeCategoryClicked();
    void openHomePage();
    void syncChoice(QComboBox* box, TextListModel* model);
    void syncSelectionFromLedger(int row);

    // ledger::DayPageObserver
    void textsChanged() override;
    void inputsChanged() override;

    WindowHooks hooks_;
    QString runDirectory_;
    QString ledgerPath_;
    QString settingsPath_;

    store::RecordStore store_;
    ledger::WalkGuard guard_;
    ledger::Categories categories_;
    ledger::TextList filterList_;       // 组合框3
    ledger::TextList categoryBoxList_;  // 组合框4
    ledger::ReportList reportList_;
    std::unique_ptr<ledger::DayPage> dayPage_;
    std::unique_ptr<ledger::RangeReport> report_;

    // The ledger's status part 4 as last shown; the window's own texts there (ready, query,
    // settings) reset it, so the ledger's next text is shown even when it is the same.
    std::string shownLedgerPart4_;
    // What the user typed into the category box; kept when its items change.
    QString categoryBoxText_;
    bool syncing_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;

    QToolBar* toolbar_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    StatusBar* statusBar_ = nullptr;
    LunarDateBox* dayBox_ = nullptr;      // 农历日期框1
    LunarDateBox* startBox_ = nullptr;    // 农历日期框2
    LunarDateBox* endBox_ = nullptr;      // 农历日期框3
    QComboBox* itemInput_ = nullptr;      // 组合框1
    QComboBox* categoryInput_ = nullptr;  // 组合框2
    QComboBox* filterBox_ = nullptr;      // 组合框3
    QComboBox* categoryBox_ = nullptr;    // 组合框4
    AmountEdit* amountInput_ = nullptr;   // 编辑框1
    QLineEdit* noteInput_ = nullptr;      // 编辑框3
    QLabel* itemCaption_ = nullptr;       // 标签2
    QLabel* amountCaption_ = nullptr;     // 标签4
    QLabel* dayTotal_ = nullptr;          // 标签3
    QPushButton* addButton_ = nullptr;    // 按钮_添
    QTableView* dayView_ = nullptr;       // 超级列表框_收支
    QTableView* reportView_ = nullptr;    // 超级列表框_查
    DayListModel* dayModel_ = nullptr;
    ReportListModel* reportModel_ = nullptr;
    TextListModel* choicesModel_ = nullptr;
    TextListModel* filterModel_ = nullptr;
    TextListModel* categoryBoxModel_ = nullptr;
};

// The store's fatal stop: a modal box titled "错误" ("运行时出错!", a blank line, "错误信息："
// and the message), then the process ends with exit code -1. Safe from any thread.
[[noreturn]] void fatalStop(const std::string& gbkMessage);

}  // namespace ui
