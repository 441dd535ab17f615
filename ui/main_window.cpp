#include "ui/main_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryFile>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <cstdlib>

#include "ledger/gbk.h"
#include "ledger/ledger_open.h"
#include "ledger/ledger_schema.h"
#include "ledger/settings_file.h"
#include "ui/inputs.h"
#include "ui/list_models.h"
#include "ui/lunar_date_box.h"
#include "ui/skin.h"
#include "ui/status_bar.h"

namespace ui {
namespace {

constexpr int kWidth = 850;
constexpr int kHeight = 600;
constexpr int kToolbarHeight = 56;
constexpr int kStatusHeight = 20;

// Byte limits of the inputs, counted in GBK.
constexpr int kItemBytes = ledger::kItemWidth;  // 200
constexpr int kNoteBytes = ledger::kNoteWidth;  // 50
constexpr int kAmountBytes = 10;
constexpr int kCategoryBytes = ledger::kCategoryWidth;  // 20

// The item input's preset items.
const char* const kItemPresets[] = {"买菜",     "买米",   "买油",     "买零食",
                                    "买衣服",   "买鞋子", "买家电",   "买日常用品",
                                    "打牌输钱", "工资",   "路上捡钱", "打牌赢钱"};

const QString kCaption = QStringLiteral("Tamvelo1.0版");
const QString kReady = QStringLiteral("  一切准备就绪...");
const QString kPromptTitle = QStringLiteral("Tamvelo1.0版 提示您...");

QFont pixelFont(const QString& family, int pixels) {
    QFont f = family.isEmpty() ? QApplication::font() : QFont(family);
    f.setPixelSize(pixels);
    return f;
}

QFont songti(int pixels) { return pixelFont(QStringLiteral("宋体"), pixels); }

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromUtf8(name));
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    l->setGeometry(place);
    l->setAccessibleName(text.simplified());
    return l;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setGeometry(place);
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setAccessibleName(QString(text).replace(QLatin1Char('\n'), QString()).simplified());
    return b;
}

QComboBox* makeCombo(QWidget* parent, const char* name, bool editable, QRect place) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromUtf8(name));
    c->setEditable(editable);
    if (editable) {
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);  // the typed text stays as typed
    }
    // A placeholder keeps the box from choosing the first item by itself when items arrive;
    // an editable box never shows it.
    c->setPlaceholderText(QStringLiteral(" "));
    c->setGeometry(place);
    c->setMaxVisibleItems(12);
    return c;
}

QTableView* makeList(QWidget* parent, const char* name, QAbstractItemModel* model,
                     const int* widths, int columns, int rowHeight) {
    auto* v = new QTableView(parent);
    v->setObjectName(QString::fromUtf8(name));
    v->setModel(model);
    v->setShowGrid(true);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setTabKeyNavigation(false);
    v->setWordWrap(false);
    v->setCornerButtonEnabled(false);
    v->verticalHeader()->hide();
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->verticalHeader()->setDefaultSectionSize(rowHeight);
    QHeaderView* h = v->horizontalHeader();
    h->setSectionsClickable(false);
    h->setHighlightSections(false);
    h->setStretchLastSection(false);
    h->setSortIndicatorShown(false);
    h->setFixedHeight(20);
    for (int c = 0; c < columns; ++c) h->resizeSection(c, widths[c]);
    // The selection stays visible while the list does not have the focus.
    QPalette p = v->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    v->setPalette(p);
    return v;
}

// The date boxes use the window's font with half a pixel less between the glyphs, so that the
// longest text of their range ("丁酉年(鸡)闰八月十七 1957-10-10") fits the narrowest box, 199
// pixels, uncut.
LunarDateBox* makeDateBox(QWidget* parent, const char* name, const QString& accessible, QRect place,
                          const QFont& windowFont) {
    auto* b = new LunarDateBox(parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setGeometry(place);
    b->setAccessibleName(accessible);
    QFont f = windowFont;
    f.setLetterSpacing(QFont::AbsoluteSpacing, -0.5);
    b->setFont(f);
    b->setDate({2010, 2, 19});
    return b;
}

QMessageBox::Icon boxIcon(int code) {
    switch (code) {
        case ledger::kIconError:
            return QMessageBox::Critical;
        case ledger::kIconQuestion:
            return QMessageBox::Question;
        case ledger::kIconWarning:
            return QMessageBox::Warning;
        case ledger::kIconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

ledger::DateTime endOfDay(const QDate& d) { return {{d.year(), d.month(), d.day()}, 23, 59, 59}; }

// The boxes speak the window's language: the toolkit's own button texts are English.
void nameButtons(QMessageBox& box) {
    const std::pair<QMessageBox::StandardButton, QString> names[] = {
        {QMessageBox::Yes, QStringLiteral("是")},
        {QMessageBox::No, QStringLiteral("否")},
        {QMessageBox::Ok, QStringLiteral("确定")}};
    for (const auto& [which, text] : names) {
        if (QAbstractButton* b = box.button(which)) b->setText(text);
    }
}

}  // namespace

QString MainWindow::fromGbk(const std::string& gbk) {
    return QString::fromStdString(ledger::gbkToUtf8(gbk));
}

std::string MainWindow::toGbk(const QString& text) {
    return ledger::utf8ToGbk(text.toStdString()).value_or(std::string());
}

MainWindow::MainWindow(const QString& runDirectory, WindowHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      hooks_(std::move(hooks)),
      runDirectory_(runDirectory.isEmpty() ? QCoreApplication::applicationDirPath()
                                           : runDirectory) {
    if (!hooks_.messageBox) {
        hooks_.messageBox = [this](const MessageBoxRequest& r) {
            QMessageBox box(boxIcon(r.icon), r.title, r.text,
                            r.yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, this);
            nameButtons(box);
            return box.exec() == QMessageBox::Yes;
        };
    }
    if (!hooks_.openUrl) hooks_.openUrl = [](const QUrl& u) { QDesktopServices::openUrl(u); };
    if (!hooks_.clock) hooks_.clock = [] { return QDateTime::currentDateTime(); };
    if (!hooks_.quit) {
        hooks_.quit = [this] {
            close();
            QCoreApplication::exit(0);
        };
    }

    // The window as its definition creates it.
    installFontFallbacks();
    setObjectName(QStringLiteral("窗口"));
    setFont(pixelFont(QStringLiteral("Noto Sans Mono CJK SC"), 12));
    setWindowIcon(ui::windowIcon());  // not QWidget::windowIcon(), the empty one it has
    setAccessibleName(kCaption);
    resize(kWidth, kHeight);
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        move(s->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    }

    dayPage_ = std::make_unique<ledger::DayPage>(store_, *this, guard_, categories_);
    report_ = std::make_unique<ledger::RangeReport>(store_, *this, reportList_, guard_);

    buildToolbar();
    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("选择夹_主"));
    pages_->setGeometry(1, 56, 839, 504);
    pages_->setAccessibleName(QStringLiteral("页面"));
    const char* const pageNames[] = {"收支", "查", "设", ""};
    for (const char* name : pageNames) {
        auto* page = new QWidget(pages_);
        page->setObjectName(QString::fromUtf8(name));
        page->setProperty("page", true);
        page->setAttribute(Qt::WA_StyledBackground);
        page->setAccessibleName(QString::fromUtf8(name));
        pages_->addWidget(page);
    }
    buildDayPage(pages_->widget(0));
    buildQueryPage(pages_->widget(1));
    buildSettingsPage(pages_->widget(2));
    pages_->setCurrentIndex(0);

    statusBar_ = new StatusBar(this);
    statusBar_->setObjectName(QStringLiteral("状态条1"));
    statusBar_->setGeometry(0, kHeight - kStatusHeight, kWidth, kStatusHeight);

    bindLedger();
    onWindowCreated();
}

MainWindow::~MainWindow() {
    // onWindowDestroyed. The controls and their models go first, while the ledger's lists they
    // observe still exist.
    dayPage_->setObserver(nullptr);
    QList<QPointer<QObject>> kids;
    for (QObject* c : children()) kids.append(c);
    for (const QPointer<QObject>& c : kids) delete c.data();
    store_.close(QFile::encodeName(ledgerPath_).toStdString());
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
    toolbar_->addSeparator();                                // 0
    radio(1, QStringLiteral("  收入  "))->setChecked(true);  // 1 notepad with a pencil
    radio(3, QStringLiteral("开支"));                        // 2 table sheet, writing hand
    radio(5, QStringLiteral("查询"));                        // 3 note sheet with a sum
    QAction* slot4 = radio(-1, QString());                   // 4 the empty disabled slot
    slot4->setEnabled(false);
    radio(4, QStringLiteral("设置"));                                // 5 monitor with a person
    toolbar_->addSeparator();                                        // 6
    toolbar_->addAction(toolbarPicture(0), QStringLiteral("退出"));  // 7 bust
    const QList<QAction*> actions = toolbar_->actions();
    for (int i = 0; i < actions.size(); ++i) {
        QWidget* w = toolbar_->widgetForAction(actions[i]);
        if (!w) continue;
        w->setObjectName(QStringLiteral("工具条1_%1").arg(i));
        w->setAccessibleName(actions[i]->text().trimmed());
        w->installEventFilter(this);  // no button shows a tooltip
        if (i == 4) w->setMinimumWidth(36);
        w->setMinimumHeight(kToolbarHeight - 4);
    }
    connect(toolbar_, &QToolBar::actionTriggered, this,
            [this](QAction* a) { onToolbarClick(toolbar_->actions().indexOf(a)); });
}

void MainWindow::buildDayPage(QWidget* page) {
    makeLabel(page, "标签1", QStringLiteral("日期"), {7, 8, 32, 24});
    dayBox_ = makeDateBox(page, "农历日期框1", QStringLiteral("日期"), {39, 8, 288, 24}, font());

    auto* prev = makeButton(page, "按钮_前", QStringLiteral("< 前一天"), {359, 8, 56, 24});
    auto* today = makeButton(page, "按钮_今", QStringLiteral("> 今天 <"), {448, 8, 56, 24});
    auto* next = makeButton(page, "按钮_后", QStringLiteral("后一天 >"), {536, 8, 63, 24});
    prev->setAccessibleName(QStringLiteral("前一天"));
    today->setAccessibleName(QStringLiteral("今天"));
    next->setAccessibleName(QStringLiteral("后一天"));
    connect(prev, &QPushButton::clicked, this, [this] { dayPage_->stepPreviousDay(); });
    connect(today, &QPushButton::clicked, this, [this] { dayPage_->stepToday(); });
    connect(next, &QPushButton::clicked, this, [this] { dayPage_->stepNextDay(); });

    QLabel* hint =
        makeLabel(page, "标签11", QStringLiteral("说明：\n    双击修改!"), {639, 8, 192, 72});
    hint->setWordWrap(true);
    hint->setProperty("warning", true);
    hint->setProperty("shallowSunken", true);
    hint->setAccessibleName(QStringLiteral("说明：双击修改!"));

    itemCaption_ = makeLabel(page, "标签2", QStringLiteral("收入项目"), {6, 46, 56, 24});
    itemInput_ = makeCombo(page, "组合框1", true, {62, 46, 256, 24});
    for (const char* item : kItemPresets) itemInput_->addItem(QString::fromUtf8(item));
    itemInput_->setCurrentIndex(-1);
    itemInput_->setEditText(QString());
    itemInput_->setFont(songti(19));
    itemInput_->setValidator(new GbkLimitValidator(kItemBytes, itemInput_));
    itemInput_->setAccessibleName(QStringLiteral("项目"));

    makeLabel(page, "标签5", QStringLiteral("类别"), {327, 48, 24, 24});
    categoryInput_ = makeCombo(page, "组合框2", false, {359, 48, 112, 20});
    categoryInput_->setFont(pixelFont(QString(), 19));
    categoryInput_->setProperty("tinted", true);
    categoryInput_->setAccessibleName(QStringLiteral("类别"));

    addButton_ = makeButton(page, "按钮_添", QStringLiteral("添加\n修改"), {495, 48, 55, 56});
    addButton_->setFont(pixelFont(QString(), 19));
    addButton_->setAccessibleName(QStringLiteral("添加或修改"));
    auto* del = makeButton(page, "按钮_删", QStringLiteral("删除\n记录"), {567, 48, 55, 56});
    del->setFont(pixelFont(QString(), 19));
    del->setAccessibleName(QStringLiteral("删除记录"));
    connect(addButton_, &QPushButton::clicked, this, [this] { dayPage_->addOrSave(); });
    connect(del, &QPushButton::clicked, this, [this] { dayPage_->deleteEntry(); });

    amountCaption_ =
        makeLabel(page, "标签4",
                  QStringLiteral("收入金额") + QString(25, QLatin1Char(' ')) + QStringLiteral("元"),
                  {6, 78, 216, 24});
    amountCaption_->setAccessibleName(QStringLiteral("收入金额"));
    amountInput_ = new AmountEdit(kAmountBytes, page);
    amountInput_->setObjectName(QStringLiteral("编辑框1"));
    amountInput_->setGeometry(62, 78, 136, 28);
    amountInput_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    amountInput_->setFont(songti(19));
    amountInput_->setProperty("amount", true);
    amountInput_->setAccessibleName(QStringLiteral("金额（元）"));

    makeLabel(page, "标签9", QStringLiteral("备注"), {230, 80, 24, 24});
    noteInput_ = new QLineEdit(page);
    noteInput_->setObjectName(QStringLiteral("编辑框3"));
    noteInput_->setGeometry(262, 80, 209, 28);
    noteInput_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    noteInput_->setFont(songti(19));
    noteInput_->setValidator(new GbkLimitValidator(kNoteBytes, noteInput_));
    noteInput_->setAccessibleName(QStringLiteral("备注"));

    dayTotal_ = makeLabel(page, "标签3", QString(), {639, 80, 192, 24});
    dayTotal_->setProperty("shallowSunken", true);
    dayTotal_->setAccessibleName(QStringLiteral("本天合计"));

    dayModel_ = new DayListModel(dayPage_->dayList(), this);
    dayView_ = makeList(page, "超级列表框_收支", dayModel_, DayListModel::kWidths,
                        ledger::kDayColumnCount, 18);
    dayView_->setGeometry(0, 110, 790, 290);
    dayView_->setProperty("dayList", true);
    dayView_->setAccessibleName(QStringLiteral("当天记录"));
    dayView_->setAccessibleDescription(QStringLiteral("双击一行可修改该记录"));

    // Plain Tab visits the inputs in the order Enter leads through them.
    setTabOrder(itemInput_, amountInput_);
    setTabOrder(amountInput_, noteInput_);
    setTabOrder(noteInput_, categoryInput_);
    setTabOrder(categoryInput_, addButton_);
    setTabOrder(addButton_, del);
    setTabOrder(del, dayView_);
    setTabOrder(dayView_, dayBox_);
    setTabOrder(dayBox_, prev);
    setTabOrder(prev, today);
    setTabOrder(today, next);
}

void MainWindow::buildQueryPage(QWidget* page) {
    makeLabel(page, "标签6", QStringLiteral("起始时间"), {7, 8, 48, 24});
    startBox_ =
        makeDateBox(page, "农历日期框2", QStringLiteral("起始时间"), {55, 8, 200, 24}, font());
    makeLabel(page, "标签7", QStringLiteral("终止时间"), {264, 10, 47, 24});
    endBox_ =
        makeDateBox(page, "农历日期框3", QStringLiteral("终止时间"), {312, 10, 199, 24}, font());
    makeLabel(page, "标签8", QStringLiteral("类别"), {536, 8, 24, 24});
    filterBox_ = makeCombo(page, "组合框3", false, {568, 8, 143, 24});
    filterBox_->setFont(pixelFont(QString(), 16));
    filterBox_->setProperty("tinted", true);
    filterBox_->setAccessibleName(QStringLiteral("查询类别"));
    auto* query = makeButton(page, "按钮3", QStringLiteral("查询"), {735, 8, 48, 24});
    connect(query, &QPushButton::clicked, this, [this] { report_->run(); });

    reportModel_ = new ReportListModel(reportList_, this);
    reportView_ = makeList(page, "超级列表框_查", reportModel_, ReportListModel::kWidths,
                           ledger::kReportColumnCount, 20);
    reportView_->setGeometry(1, 42, 782, 286);
    reportView_->setFont(songti(14));
    reportView_->horizontalHeader()->setFont(font());
    reportView_->setIconSize(QSize(16, 15));
    reportView_->setProperty("reportList", true);
    reportView_->setAccessibleName(QStringLiteral("查询结果"));
}

void MainWindow::buildSettingsPage(QWidget* page) {
    auto* group = new QGroupBox(page);
    group->setObjectName(QStringLiteral("分组框1"));
    group->setGeometry(10, 0, 788, 488);
    group->setAccessibleName(QStringLiteral("设置"));
    makeLabel(group, "标签10", QStringLiteral("添加类"), {21, 64, 40, 24});
    categoryBox_ = makeCombo(group, "组合框4", true, {64, 64, 112, 20});
    categoryBox_->setFont(pixelFont(QString(), 19));
    categoryBox_->setProperty("tinted", true);
    categoryBox_->setValidator(new GbkLimitValidator(kCategoryBytes, categoryBox_));
    categoryBox_->setAccessibleName(QStringLiteral("类别名称"));
    auto* add = makeButton(group, "按钮1", QStringLiteral("添加"), {181, 64, 56, 24});
    auto* remove = makeButton(group, "按钮2", QStringLiteral("删除"), {253, 64, 56, 24});
    add->setAccessibleName(QStringLiteral("添加类别"));
    remove->setAccessibleName(QStringLiteral("删除类别"));
    connect(add, &QPushButton::clicked, this, &MainWindow::addCategoryClicked);
    connect(remove, &QPushButton::clicked, this, &MainWindow::removeCategoryClicked);

    QLabel* rules = makeLabel(group, "标签12",
                              QStringLiteral("添加类说明：\n   1、 收入类中必需有“收入”二字\n"
                                             "   2、 开支类中必需有“开支”二字"),
                              {349, 56, 296, 136});
    rules->setWordWrap(true);
    rules->setProperty("shallowSunken", true);
    rules->setProperty("ownBackground", true);
    rules->setAutoFillBackground(true);
    rules->setAccessibleName(QStringLiteral("添加类说明"));
    rules->setAccessibleDescription(rules->text());

    auto* link = new QLabel(group);
    link->setObjectName(QStringLiteral("超级链接框1"));
    link->setGeometry(149, 384, 408, 56);
    link->setTextFormat(Qt::RichText);
    link->setText(QStringLiteral("<a href=\"readme\" style=\"color:#0000ff\">本程序主页</a>"));
    link->setAlignment(Qt::AlignCenter);
    link->setFont(pixelFont(QString(), 21));
    link->setProperty("link", true);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setFocusPolicy(Qt::StrongFocus);
    link->setAccessibleName(QStringLiteral("本程序主页"));
    link->setAccessibleDescription(QStringLiteral("打开程序旁边的说明文件"));
    connect(link, &QLabel::linkActivated, this, &MainWindow::openHomePage);
    makeLabel(group, "标签13", QStringLiteral("在这里可以找到程序的最新版本"), {269, 440, 184, 24});
}

void MainWindow::bindLedger() {
    dayPage_->setObserver(this);

    choicesModel_ = new TextListModel(dayPage_->entryCategoryChoices(), this);
    categoryInput_->setModel(choicesModel_);
    for (const auto& fixed : ledger::kFixedFilterItems) filterList_.append(std::string(fixed));
    filterList_.select(0);
    filterModel_ = new TextListModel(filterList_, this);
    filterBox_->setModel(filterModel_);
    categoryBoxModel_ = new TextListModel(categoryBoxList_, this);
    categoryBox_->setModel(categoryBoxModel_);
    categoryBox_->setEditText(QString());
    for (auto [box, model] :
         {std::pair{categoryInput_, choicesModel_}, std::pair{filterBox_, filterModel_},
          std::pair{categoryBox_, categoryBoxModel_}}) {
        syncChoice(box, model);
        connect(model, &TextListModel::listChanged, this,
                [this, box, model] { syncChoice(box, model); });
        connect(box, &QComboBox::activated, this, [this, model](int i) {
            if (!syncing_) model->list().select(i);
        });
    }

    connect(categoryBox_, &QComboBox::editTextChanged, this, [this](const QString& t) {
        if (!syncing_) categoryBoxText_ = t;
    });
    connect(itemInput_, &QComboBox::editTextChanged, this, [this](const QString& t) {
        if (!syncing_) dayPage_->entryInputs().item = toGbk(t);
    });
    connect(amountInput_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!syncing_) dayPage_->entryInputs().amount = toGbk(t);
    });
    connect(noteInput_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!syncing_) dayPage_->entryInputs().note = toGbk(t);
    });
    itemInput_->installEventFilter(this);
    amountInput_->installEventFilter(this);
    noteInput_->installEventFilter(this);

    connect(dayView_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        // Only the user's own choice reaches the ledger: while the ledger changes the rows, the
        // view moves its selection by itself (onto the row after a deleted one).
        if (syncing_ || dayModel_->changingRows()) return;
        QModelIndexList rows = dayView_->selectionModel()->selectedRows();
        dayPage_->dayList().select(rows.isEmpty() ? -1 : rows.first().row());
    });
    connect(dayModel_, &DayListModel::ledgerSelectionChanged, this,
            &MainWindow::syncSelectionFromLedger);
    connect(dayView_, &QAbstractItemView::doubleClicked, this, [this] { dayPage_->beginModify(); });
    connect(dayBox_, &LunarDateBox::dateChanged, this, [this] { dayPage_->onDayDateChanged(); });
}

// Shows the list's chosen item in its drop-down. An editable box keeps the text typed in it.
void MainWindow::syncChoice(QComboBox* box, TextListModel* model) {
    bool was = syncing_;
    syncing_ = true;
    box->setCurrentIndex(model->list().selected());
    if (box == categoryBox_) box->setEditText(categoryBoxText_);
    syncing_ = was;
}

void MainWindow::syncSelectionFromLedger(int row) {
    bool was = syncing_;
    syncing_ = true;
    if (row < 0) {
        dayView_->clearSelection();
    } else {
        dayView_->selectRow(row);
    }
    syncing_ = was;
}

void MainWindow::onWindowCreated() {
    // 1-3: skin, size, caption.
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
    // 4-6: the page container and both lists take their full sizes.
    pages_->setGeometry(1, 56, 843, 520);
    dayView_->setGeometry(0, 110, 840, 386);
    reportView_->setGeometry(1, 42, 840, 454);
    // 7-8: both files live beside the program.
    QDir dir(runDirectory_);
    ledgerPath_ = QDir::toNativeSeparators(dir.absoluteFilePath(QStringLiteral("Database.edb")));
    settingsPath_ = QDir::toNativeSeparators(dir.absoluteFilePath(QStringLiteral("pz.ini")));
    categories_.settingsPath = QFile::encodeName(settingsPath_).toStdString();
    // 9-10: a first start writes the empty database; a file that is there is never replaced.
    bool existed = QFileInfo::exists(ledgerPath_);
    if (!existed) writeEmptyDatabase();
    if (!ledger::openLedger(store_, QFile::encodeName(ledgerPath_).toStdString())) {
        if (existed) reportOpenFailure(store::RecordStore::lastError());
    } else if (store_.lastRepair().changed()) {
        reportRepair(store_.lastRepair());
    }
    reportSettingsProblem();
    // 11-13: income mode, the day view (still on the box's first date), the category lists.
    dayPage_->setLedgerMode(ledger::LedgerMode::Income);
    dayPage_->refreshDayView();
    ledger::loadCategoryLists(categories_, filterList_, categoryBoxList_);
    // 14: today into the three boxes; each queues its date-changed notification.
    QDate today = hooks_.clock().date();
    dayBox_->setDate(today);
    startBox_->setDate(today);
    endBox_->setDate(today);
    // 15-16.
    itemInput_->setFocus(Qt::OtherFocusReason);
    setStatusText(4, kReady);
}

// Writes the empty ledger database under a temporary name and moves it into place, so that a
// failed first start never leaves a partial file; the move refuses to replace a file that
// appeared meanwhile.
void MainWindow::writeEmptyDatabase() {
    const std::string bytes = ledger::emptyLedgerDatabase();
    QTemporaryFile temp(QFileInfo(ledgerPath_).absolutePath() +
                        QStringLiteral("/Database.edb.XXXXXX"));
    if (!temp.open()) return;
    if (temp.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !temp.flush()) {
        return;
    }
    temp.close();
    if (QFile::rename(temp.fileName(), ledgerPath_)) {
        temp.setAutoRemove(false);
        QFile::setPermissions(ledgerPath_, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                               QFile::ReadOther);
    }
}

void MainWindow::reportOpenFailure(int32_t code) {
    QString text =
        QStringLiteral("无法打开数据库文件：\n%1\n\n%2（%3）\n\n文件保持原样，未作任何改动。")
            .arg(ledgerPath_, fromGbk(store::errorText(code)))
            .arg(code);
    // Shown once the window is up, so that it comes up in every case.
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            hooks_.messageBox({text, kPromptTitle, ledger::kIconError, false});
        },
        Qt::QueuedConnection);
}

// Shown once the window is up, as the open failure is.
void MainWindow::showMessageLater(const QString& text, int icon) {
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
            .arg(ledgerPath_, lines.join(QStringLiteral("\n")),
                 QDir::toNativeSeparators(QFile::decodeName(report.copyPath.c_str()))),
        ledger::kIconWarning);
}

// A settings file that cannot be read is named; the program runs without its categories and
// never writes over it.
void MainWindow::reportSettingsProblem() {
    QString why;
    switch (ledger::profileFileState(categories_.settingsPath)) {
        case ledger::ProfileFileState::NotAFile:
            why = QStringLiteral("它不是普通文件（设备、管道或文件夹）。");
            break;
        case ledger::ProfileFileState::TooLarge:
            why = QStringLiteral("它大于 1 MB。");
            break;
        case ledger::ProfileFileState::Unreadable:
            why = QStringLiteral("它无法读取。");
            break;
        default:
            return;
    }
    showMessageLater(
        QStringLiteral("无法读取设置文件：\n%1\n\n%2\n\n文件保持原样，程序不带类别运行。")
            .arg(settingsPath_, why),
        ledger::kIconWarning);
}

void MainWindow::showCategoryWriteFailure(const char* action) {
    setStatusText(4, fromGbk(ledger::writeFailureStatus(
                         action, store::errorCode(categories_.lastWriteError))));
}

void MainWindow::addCategoryClicked() {
    switch (
        ledger::addCategory(categories_, categoryBoxList_, toGbk(categoryBox_->currentText()))) {
        case ledger::AddResult::BadName:
            hooks_.messageBox(
                {QStringLiteral("类别名称不能含有回车、换行、制表符等控制字符，未添加。"),
                 QStringLiteral("信息："), ledger::kIconInformation, false});
            break;
        case ledger::AddResult::WriteFailed:
            showCategoryWriteFailure("\xcc\xed\xbc\xd3\xc0\xe0\xb1\xf0");  // 添加类别
            break;
        case ledger::AddResult::Added:
            break;
    }
}

void MainWindow::removeCategoryClicked() {
    QString name = categoryBox_->currentText();
    if (!hooks_.messageBox({QStringLiteral("您确定要删除类别“%1”吗？").arg(name), kPromptTitle,
                            ledger::kIconQuestion, true})) {
        return;
    }
    switch (ledger::removeCategory(categories_, categoryBoxList_, toGbk(name))) {
        case ledger::RemoveResult::Removed:
            categoryBoxText_.clear();
            categoryBox_->setEditText(QString());
            break;
        case ledger::RemoveResult::NotFound:
            hooks_.messageBox({QStringLiteral("没有这个类别!"), QStringLiteral("信息："),
                               ledger::kIconInformation, false});
            break;
        case ledger::RemoveResult::WriteFailed:
            showCategoryWriteFailure("\xc9\xbe\xb3\xfd\xc0\xe0\xb1\xf0");  // 删除类别
            hooks_.messageBox({QStringLiteral("删除失败!"), QStringLiteral("信息："),
                               ledger::kIconInformation, false});
            break;
    }
}

void MainWindow::openHomePage() {
    hooks_.openUrl(
        QUrl::fromLocalFile(QDir(runDirectory_).absoluteFilePath(QStringLiteral("README.md"))));
}

void MainWindow::onToolbarClick(int index) {
    switch (index) {
        case 1:
        case 2:
            pages_->setCurrentIndex(0);
            dayPage_->switchMode(index == 1 ? ledger::LedgerMode::Income
                                            : ledger::LedgerMode::Expense);
            break;
        case 3:
            pages_->setCurrentIndex(1);
            setStatusText(4, QStringLiteral("查询"));
            break;
        case 5:
            pages_->setCurrentIndex(2);
            setStatusText(4, QStringLiteral("设置"));
            break;
        case 7:
            hooks_.quit();
            break;
        default:
            break;
    }
}

void MainWindow::onItemKey(int key) {
    if (key == 13 || key == 9) amountInput_->setFocus(Qt::TabFocusReason);
}

void MainWindow::onAmountKey(int key) {
    if (key == 13 || key == 9) noteInput_->setFocus(Qt::TabFocusReason);
}

void MainWindow::onNoteKey(int key) {
    if (key == 13) {
        dayPage_->addOrSave();
    } else if (key == 9) {
        addButton_->setFocus(Qt::TabFocusReason);
    }
}

// Enter (with any modifier) and Ctrl+Tab reach the key handlers; a plain Tab is the window's.
bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::ToolTip && watched->parent() == toolbar_) return true;
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        int code = 0;
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            code = 13;
        } else if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
                   (k->modifiers() & Qt::ControlModifier)) {
            code = 9;
        }
        if (code != 0) {
            if (watched == itemInput_) {
                if (itemInput_->view()->isVisible()) return false;  // choosing from the list
                onItemKey(code);
            } else if (watched == amountInput_) {
                onAmountKey(code);
            } else if (watched == noteInput_) {
                onNoteKey(code);
            }
        }
    }
    return QWidget::eventFilter(watched, e);
}

void MainWindow::textsChanged() {
    dayTotal_->setText(fromGbk(dayPage_->dayTotalText()));
    dayTotal_->setAccessibleDescription(dayTotal_->text());
    statusBar_->setPartText(6, fromGbk(dayPage_->netIncomeText()));
    if (dayPage_->statusPart4() != shownLedgerPart4_) {
        shownLedgerPart4_ = dayPage_->statusPart4();
        statusBar_->setPartText(4, fromGbk(shownLedgerPart4_));
    }
    if (!dayPage_->itemCaption().empty()) {
        itemCaption_->setText(fromGbk(dayPage_->itemCaption()));
        itemCaption_->setAccessibleName(itemCaption_->text());
        amountCaption_->setText(fromGbk(dayPage_->amountCaption()));
        amountCaption_->setAccessibleName(amountCaption_->text());
    }
}

void MainWindow::inputsChanged() {
    bool was = syncing_;
    syncing_ = true;
    const ledger::EntryInputs& in = dayPage_->entryInputs();
    itemInput_->setEditText(fromGbk(in.item));
    amountInput_->setText(fromGbk(in.amount));
    noteInput_->setText(fromGbk(in.note));
    syncing_ = was;
}

void MainWindow::setStatusText(int index, const QString& text) {
    if (index == 4) shownLedgerPart4_ = "\x01";  // the ledger's next text shows again
    statusBar_->setPartText(index, text);
}

QString MainWindow::statusText(int index) const { return statusBar_->partText(index); }

// ---- ledger::WindowPort ----

ledger::DateTime MainWindow::dayDate() const { return endOfDay(dayBox_->date()); }

bool MainWindow::setDayDate(const ledger::Date& d) {
    return dayBox_->setDate(QDate(d.year, d.month, d.day));
}

ledger::DateTime MainWindow::startDate() const { return endOfDay(startBox_->date()); }
ledger::DateTime MainWindow::endDate() const { return endOfDay(endBox_->date()); }
std::string MainWindow::filterText() const { return filterList_.selectedText(); }

bool MainWindow::askYesNo(const std::string& text, const std::string& title) {
    return hooks_.messageBox({fromGbk(text), fromGbk(title), ledger::kIconQuestion, true});
}

void MainWindow::showMessage(const std::string& text, int icon, const std::string& title) {
    hooks_.messageBox({fromGbk(text), fromGbk(title), icon, false});
}

void MainWindow::focusItemInput() { itemInput_->setFocus(Qt::OtherFocusReason); }
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

// ---- the store's fatal stop ----

void fatalStop(const std::string& gbkMessage) {
    QString text = QStringLiteral("运行时出错!\n\n错误信息：") + MainWindow::fromGbk(gbkMessage) +
                   QStringLiteral("\n");
    auto show = [text] {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        nameButtons(box);
        box.exec();
    };
    if (qApp && QThread::currentThread() == qApp->thread()) {
        show();
    } else if (qApp) {
        QMetaObject::invokeMethod(qApp, show, Qt::BlockingQueuedConnection);
    }
    std::exit(-1);
}

}  // namespace ui
