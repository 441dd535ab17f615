#pragma once

// The program's one window: the frame around the three pages. It holds the toolbar, the page
// container and the status bar, runs the startup, lets the user drag it by its background, and
// answers the ledger's questions as its WindowPort, forwarding them to the pages. The ledger's
// state lives in the Session the window is given; the window shows it and owns none of it.

#include <QPoint>
#include <QString>
#include <QWidget>
#include <string>

#include "ledger/window_port.h"
#include "ui/window_hooks.h"

class QStackedWidget;
class QToolBar;

namespace ledger {
class Session;
}

namespace ui {

class DayPageWidget;
class QueryPageWidget;
class SettingsPageWidget;
class StatusBar;

// The toolbar's slots from the left, separators counted, as onToolbarClick receives them.
enum class ToolbarSlot {
    LeadingSeparator = 0,
    Income = 1,
    Expense = 2,
    Query = 3,
    EmptySlot = 4,  // disabled, between 查询 and 设置
    Settings = 5,
    QuitSeparator = 6,
    Quit = 7,
};

class MainWindow : public QWidget, public ledger::WindowPort {
    Q_OBJECT
  public:
    // Attaches itself to `session` as its window, creates every control in its defined state,
    // then runs the startup (onWindowCreated). `session` outlives the window.
    explicit MainWindow(ledger::Session& session, WindowHooks hooks = {},
                        QWidget* parent = nullptr);
    // Removes the controls, then detaches from the session (which keeps the store open).
    ~MainWindow() override;

    // ---- ledger::WindowPort ----
    ledger::DateTime dayDate() const override;
    bool setDayDate(const ledger::Date& d) override;
    ledger::DateTime startDate() const override;
    ledger::DateTime endDate() const override;
    std::string filterText() const override;
    bool askYesNo(const std::string& text, const std::string& title) override;
    void showMessage(const std::string& text, ledger::MessageIcon icon,
                     const std::string& title) override;
    void focusItemInput() override;
    void processEvents() override;
    ledger::DateTime now() const override;

    // A click on a toolbar slot: income and expense switch the day page's mode (and show the
    // day page), query and settings show their pages, quit ends the program; the separators and
    // the empty slot do nothing.
    void onToolbarClick(ToolbarSlot slot);

    // Sets status bar part `index`; outside 0 to 6 nothing changes.
    void setStatusText(int index, const QString& text);
    QString statusText(int index) const;

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void exportClicked();
    void importClicked();
    void tellOutcome(const QString& text, bool error);
    void buildToolbar();
    void buildPages();
    void onWindowCreated();
    void reportOpenFailure(int32_t code);
    // Shows a message once the window is up, as the open failure is.
    void showMessageLater(const QString& text, ledger::MessageIcon icon);
    // What the open's repair changed, with the copy it made first.
    void reportRepair(const store::RepairReport& report);
    // A settings file that cannot be read is named; it is left as it is.
    void reportSettingsProblem();
    void showDayPageStatus();

    ledger::Session& session_;
    WindowHooks hooks_;

    // The day page's progress text as last put into status part 4.
    std::string shownProgress_;
    // Set when the window wrote part 4 itself (ready, query, settings); the day page's next
    // progress text then shows even when it is the one shown before.
    bool windowTextInPart4_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;

    QToolBar* toolbar_ = nullptr;                 // 工具条1
    QStackedWidget* pages_ = nullptr;             // 选择夹_主
    DayPageWidget* dayPage_ = nullptr;            // 收支
    QueryPageWidget* queryPage_ = nullptr;        // 查
    SettingsPageWidget* settingsPage_ = nullptr;  // 设
    StatusBar* statusBar_ = nullptr;              // 状态条1
};

}  // namespace ui
