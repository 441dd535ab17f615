#include "ui/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include "ledger/ledger_open.h"
#include "ledger/session.h"
#include "ledger/settings_file.h"
#include "ui/controls.h"
#include "ui/day_page_widget.h"
#include "ui/gbk_text.h"
#include "ui/query_page_widget.h"
#include "ui/settings_page_widget.h"
#include "ui/skin.h"
#include "ui/status_bar.h"

namespace ui {
namespace {

constexpr int kWidth = 850;
constexpr int kHeight = 600;
constexpr int kToolbarHeight = 56;
constexpr int kStatusHeight = 20;
// Status bar part 4 carries progress and mode texts, part 6 the day's net income.
constexpr int kProgressPart = 4;
constexpr int kNetIncomePart = 6;

const QString kCaption = QStringLiteral("Tamvelo1.0版");
const QString kReady = QStringLiteral("  一切准备就绪...");
const QString kIncomeModeDescription = QStringLiteral("收入模式：记录收入");
const QString kExpenseModeDescription = QStringLiteral("开支模式：记录开支");

// The page container's pages, in the order the toolbar chooses them.
enum PageIndex { kDayPage = 0, kQueryPage = 1, kSettingsPage = 2 };

ledger::DateTime endOfDay(const QDate& d) { return {{d.year(), d.month(), d.day()}, 23, 59, 59}; }

// A path of the file system, in its encoding, as the window shows it.
QString shownPath(const std::string& path) {
    return QDir::toNativeSeparators(QFile::decodeName(QByteArray::fromStdString(path)));
}

}  // namespace

MainWindow::MainWindow(ledger::Session& session, WindowHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      session_(session),
      hooks_(std::move(hooks)) {
    if (!hooks_.messageBox) {
        hooks_.messageBox = [this](const MessageBoxRequest& r) { return showMessageBox(this, r); };
    }
    if (!hooks_.openUrl) hooks_.openUrl = [](const QUrl& u) { QDesktopServices::openUrl(u); };
    if (!hooks_.clock) hooks_.clock = [] { return QDateTime::currentDateTime(); };
    if (!hooks_.quit) {
        hooks_.quit = [this] {
            close();
            QCoreApplication::exit(0);
        };
    }

    // The frame as it is created: centred on the screen, in the window's font, before the skin.
    installFontFallbacks();
    setObjectName(QStringLiteral("窗口"));
    setFont(pixelFont(QStringLiteral("Noto Sans Mono CJK SC"), 12));
    setWindowIcon(ui::windowIcon());  // not QWidget::windowIcon(), the empty one it has
    setAccessibleName(kCaption);
    resize(kWidth, kHeight);
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        move(s->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    }

    session_.attachWindow(*this);
    buildToolbar();
    buildPages();
    statusBar_ = new StatusBar(this);
    statusBar_->setObjectName(QStringLiteral("状态条1"));
    statusBar_->setGeometry(0, kHeight - kStatusHeight, kWidth, kStatusHeight);

    onWindowCreated();
}

MainWindow::~MainWindow() {
    // The controls and their models go first, while the ledger's lists they observe still exist.
    QList<QPointer<QObject>> kids;
    for (QObject* c : children()) kids.append(c);
    for (const QPointer<QObject>& c : kids) delete c.data();
    session_.detachWindow();
}

void MainWindow::buildToolbar() {
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("工具条1"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setGeometry(0, 0, kWidth, kToolbarHeight);
    toolbar_->setAccessibleName(QStringLiteral("工具条"));
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    auto radio = [&](int picture, const QString& caption) {
        QAction* a = toolbar_->addAction(picture >= 0 ? toolbarPicture(picture) : QIcon(), caption);
        // The icon text is set apart so the caption keeps its spaces ("  收入  ").
        a->setIconText(caption);
        a->setCheckable(true);
        group->addAction(a);
        return a;
    };
    // The slots in ToolbarSlot's order; the pictures by their place in the toolbar's list.
    toolbar_->addSeparator();
    radio(1, QStringLiteral("  收入  "))->setChecked(true);  // notepad with a pencil
    radio(3, QStringLiteral("开支"));                        // table sheet, writing hand
    radio(5, QStringLiteral("查询"));                        // note sheet with a sum
    radio(-1, QString())->setEnabled(false);
    radio(4, QStringLiteral("设置"));  // monitor with a person
    toolbar_->addSeparator();
    toolbar_->addAction(toolbarPicture(0), QStringLiteral("退出"));  // bust
    const QList<QAction*> actions = toolbar_->actions();
    // Alt+1 to Alt+5 choose the buttons from the left, the empty slot counted (a disabled action
    // ignores its key), and Ctrl+Q quits; each button's tooltip names its key.
    const struct {
        ToolbarSlot slot;
        QKeySequence keys;
    } kKeys[] = {{ToolbarSlot::Income, QKeySequence(Qt::ALT | Qt::Key_1)},
                 {ToolbarSlot::Expense, QKeySequence(Qt::ALT | Qt::Key_2)},
                 {ToolbarSlot::Query, QKeySequence(Qt::ALT | Qt::Key_3)},
                 {ToolbarSlot::EmptySlot, QKeySequence(Qt::ALT | Qt::Key_4)},
                 {ToolbarSlot::Settings, QKeySequence(Qt::ALT | Qt::Key_5)},
                 {ToolbarSlot::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)}};
    for (const auto& k : kKeys) {
        QAction* a = actions[static_cast<int>(k.slot)];
        a->setShortcut(k.keys);
        a->setShortcutContext(Qt::WindowShortcut);
        const QString caption = a->text().trimmed();
        // Portable text: the keys read the same as on the keyboard, whatever Qt's translation.
        const QString keys = k.keys.toString(QKeySequence::PortableText);
        a->setToolTip(caption.isEmpty() ? keys : QStringLiteral("%1（%2）").arg(caption, keys));
    }
    for (int i = 0; i < actions.size(); ++i) {
        QWidget* w = toolbar_->widgetForAction(actions[i]);
        if (!w) continue;
        w->setObjectName(QStringLiteral("工具条1_%1").arg(i));
        w->setAccessibleName(actions[i]->text().trimmed());
        if (i == static_cast<int>(ToolbarSlot::EmptySlot)) w->setMinimumWidth(36);
        w->setMinimumHeight(kToolbarHeight - 4);
    }
    connect(toolbar_, &QToolBar::actionTriggered, this, [this](QAction* a) {
        onToolbarClick(static_cast<ToolbarSlot>(toolbar_->actions().indexOf(a)));
    });
}

void MainWindow::buildPages() {
    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("选择夹_主"));
    pages_->setGeometry(1, 56, 839, 504);
    pages_->setAccessibleName(QStringLiteral("页面"));

    dayPage_ = new DayPageWidget(session_.dayPage(), pages_);
    connect(dayPage_, &DayPageWidget::statusTextsChanged, this, &MainWindow::showDayPageStatus);
    queryPage_ = new QueryPageWidget(session_.rangeReport(), session_.reportList(),
                                     session_.filterList(), pages_);
    const QString readme =
        QDir(QFile::decodeName(QByteArray::fromStdString(session_.runDirectory())))
            .absoluteFilePath(QStringLiteral("README.md"));
    settingsPage_ = new SettingsPageWidget(session_.categories(), session_.categoryBoxList(),
                                           hooks_, readme, pages_);
    connect(queryPage_, &QueryPageWidget::exportRequested, this, &MainWindow::exportClicked);
    connect(settingsPage_, &SettingsPageWidget::importRequested, this, &MainWindow::importClicked);
    connect(settingsPage_, &SettingsPageWidget::progressTextRequested, this,
            [this](const QString& text) { setStatusText(kProgressPart, text); });
    // A fourth page without controls, which the toolbar never chooses.
    auto* blank = new QWidget(pages_);
    setUpPage(blank, "");
    for (QWidget* page : {static_cast<QWidget*>(dayPage_), static_cast<QWidget*>(queryPage_),
                          static_cast<QWidget*>(settingsPage_), blank}) {
        pages_->addWidget(page);
    }
    pages_->setCurrentIndex(kDayPage);
}

// 导出... takes the range and the category the query page has chosen, as 查询 would show them.
void MainWindow::exportClicked() {
    const ledger::Date from = ledger::chosenDay(startDate());
    const ledger::Date to = ledger::chosenDay(endDate());
    exportEntries(this, session_.recordStore(), {from, to, filterText()}, hooks_.exchange,
                  [this](const QString& text, bool error) { tellOutcome(text, error); });
}

// 导入账单... adds the confirmed rows as one piece of work, then shows the day again.
void MainWindow::importClicked() {
    importBill(
        this, session_.recordStore(), session_.settingsPath(), session_.workQueue(),
        hooks_.exchange, [this](const QString& text, bool error) { tellOutcome(text, error); },
        [this] { session_.dayPage().refreshDayView(); });
}

void MainWindow::tellOutcome(const QString& text, bool error) {
    hooks_.messageBox({text, kPromptTitle,
                       error ? ledger::MessageIcon::Error : ledger::MessageIcon::Information,
                       false});
}

void MainWindow::onWindowCreated() {
    // The skin, the fixed size and the caption.
    setStyleSheet(blueSkin());
    // A drop-down's field is as tall as its font needs under the skin, as the platform's
    // drop-downs size it; a 19-pixel text in a 20-pixel box loses its top strokes (开 reads 廾).
    for (QComboBox* box : findChildren<QComboBox*>()) {
        box->ensurePolished();
        int needed = box->sizeHint().height();
        if (box->height() < needed) box->resize(box->width(), needed);
    }
    setFixedSize(kWidth, kHeight);
    setWindowTitle(kCaption);
    // The page container and both lists take their full sizes.
    pages_->setGeometry(1, 56, 843, 520);
    dayPage_->fitListToPage();
    queryPage_->fitListToPage();
    // The ledger beside the program, written empty at a first start, then the pages' models:
    // income mode, the day view for the day box's first date, the category lists.
    if (int32_t failure = session_.openLedger(); failure != 0) {
        reportOpenFailure(failure);
    } else if (session_.recordStore().lastRepair().changed()) {
        reportRepair(session_.recordStore().lastRepair());
    }
    reportSettingsProblem();
    session_.fillPages();
    // Today into the three date boxes; each queues its date-changed notification, and the day
    // box's refreshes the day view again, now for today.
    QDate today = hooks_.clock().date();
    dayPage_->setDayDate(today);
    queryPage_->setDates(today, today);
    dayPage_->focusItemInput();
    setStatusText(kProgressPart, kReady);
}

void MainWindow::reportOpenFailure(int32_t code) {
    QString text =
        QStringLiteral("无法打开数据库文件：\n%1\n\n%2（%3）\n\n文件保持原样，未作任何改动。")
            .arg(shownPath(session_.ledgerPath()), fromGbk(store::errorText(code)))
            .arg(code);
    showMessageLater(text, ledger::MessageIcon::Error);
}

// Shown once the window is up, so that it comes up in every case.
void MainWindow::showMessageLater(const QString& text, ledger::MessageIcon icon) {
    QMetaObject::invokeMethod(
        this,
        [this, text, icon] {
            hooks_.messageBox({text, kPromptTitle, icon, false});
        },
        Qt::QueuedConnection);
}

void MainWindow::reportRepair(const store::RepairReport& report) {
    QStringList lines;
    for (const std::string& line : ledger::repairLines(report)) lines << fromGbk(line);
    showMessageLater(
        QStringLiteral("数据库文件已修复：\n%1\n\n%2\n\n修复前的原文件已完整复制为：\n%3")
            .arg(shownPath(session_.ledgerPath()), lines.join(QStringLiteral("\n")),
                 shownPath(report.copyPath)),
        ledger::MessageIcon::Warning);
}

// The program runs without the file's categories and never writes over it.
void MainWindow::reportSettingsProblem() {
    QString why;
    switch (ledger::profileFileState(*session_.categories().files, session_.settingsPath())) {
        case ledger::ProfileFileState::NotAFile:
            why = QStringLiteral("它不是普通文件（设备、管道或文件夹）。");
            break;
        case ledger::ProfileFileState::TooLarge:
            why = QStringLiteral("它大于 1 MB。");
            break;
        case ledger::ProfileFileState::Unreadable:
            why = QStringLiteral("它无法读取。");
            break;
        case ledger::ProfileFileState::Ok:
        case ledger::ProfileFileState::Missing:
            return;
    }
    showMessageLater(
        QStringLiteral("无法读取设置文件：\n%1\n\n%2\n\n文件保持原样，程序不带类别运行。")
            .arg(shownPath(session_.settingsPath()), why),
        ledger::MessageIcon::Warning);
}

void MainWindow::onToolbarClick(ToolbarSlot slot) {
    switch (slot) {
        case ToolbarSlot::Income:
        case ToolbarSlot::Expense:
            pages_->setCurrentIndex(kDayPage);
            session_.dayPage().switchMode(slot == ToolbarSlot::Income
                                              ? ledger::LedgerMode::Income
                                              : ledger::LedgerMode::Expense);
            break;
        case ToolbarSlot::Query:
            pages_->setCurrentIndex(kQueryPage);
            setStatusText(kProgressPart, QStringLiteral("查询"));
            break;
        case ToolbarSlot::Settings:
            pages_->setCurrentIndex(kSettingsPage);
            setStatusText(kProgressPart, QStringLiteral("设置"));
            break;
        case ToolbarSlot::Quit:
            hooks_.quit();
            break;
        case ToolbarSlot::LeadingSeparator:
        case ToolbarSlot::EmptySlot:
        case ToolbarSlot::QuitSeparator:
            break;
    }
}

void MainWindow::showDayPageStatus() {
    const ledger::DayPage& day = session_.dayPage();
    // The mode is read out with the window, not only seen on the pressed button.
    setAccessibleDescription(day.ledgerMode() == ledger::LedgerMode::Income
                                 ? kIncomeModeDescription
                                 : kExpenseModeDescription);
    statusBar_->setPartText(kNetIncomePart, fromGbk(day.netIncomeText()));
    if (windowTextInPart4_ || day.progressText() != shownProgress_) {
        shownProgress_ = day.progressText();
        windowTextInPart4_ = false;
        statusBar_->setPartText(kProgressPart, fromGbk(shownProgress_));
    }
}

void MainWindow::setStatusText(int index, const QString& text) {
    if (index == kProgressPart) windowTextInPart4_ = true;
    statusBar_->setPartText(index, text);
}

QString MainWindow::statusText(int index) const { return statusBar_->partText(index); }

// ---- ledger::WindowPort ----

ledger::DateTime MainWindow::dayDate() const { return endOfDay(dayPage_->dayDate()); }

bool MainWindow::setDayDate(const ledger::Date& d) {
    return dayPage_->setDayDate(QDate(d.year, d.month, d.day));
}

ledger::DateTime MainWindow::startDate() const { return endOfDay(queryPage_->startDate()); }
ledger::DateTime MainWindow::endDate() const { return endOfDay(queryPage_->endDate()); }
std::string MainWindow::filterText() const { return session_.filterList().selectedText(); }

bool MainWindow::askYesNo(const std::string& text, const std::string& title) {
    return hooks_.messageBox({fromGbk(text), fromGbk(title), ledger::MessageIcon::Question, true});
}

void MainWindow::showMessage(const std::string& text, ledger::MessageIcon icon,
                             const std::string& title) {
    hooks_.messageBox({fromGbk(text), fromGbk(title), icon, false});
}

void MainWindow::focusItemInput() { dayPage_->focusItemInput(); }
void MainWindow::processEvents() { QCoreApplication::processEvents(); }

ledger::DateTime MainWindow::now() const {
    QDateTime t = hooks_.clock();
    return {{t.date().year(), t.date().month(), t.date().day()},
            t.time().hour(),
            t.time().minute(),
            t.time().second()};
}

// ---- dragging by the background ----

void MainWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
}

void MainWindow::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_) {
        move(e->globalPosition().toPoint() - dragOffset_);
    } else {
        QWidget::mouseMoveEvent(e);
    }
}

void MainWindow::mouseReleaseEvent(QMouseEvent* e) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(e);
}

}  // namespace ui
