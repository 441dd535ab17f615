#include "ui/day_page_widget.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

#include "ledger/day_list.h"
#include "ledger/ledger_schema.h"
#include "ui/choice_binding.h"
#include "ui/controls.h"
#include "ui/gbk_text.h"
#include "ui/inputs.h"
#include "ui/list_models.h"
#include "ui/lunar_date_box.h"

namespace ui {
namespace {

// Byte limits of the inputs, counted in GBK.
constexpr int kItemBytes = ledger::kItemWidth;  // 200
constexpr int kNoteBytes = ledger::kNoteWidth;  // 50
constexpr int kAmountBytes = 10;

// The item input's preset items.
const char* const kItemPresets[] = {"买菜",     "买米",   "买油",     "买零食",
                                    "买衣服",   "买鞋子", "买家电",   "买日常用品",
                                    "打牌输钱", "工资",   "路上捡钱", "打牌赢钱"};

// The hints of an add that lacks an input, and of a delete without a chosen row.
const QString kMissingItemHint = QStringLiteral("请输入项目");
const QString kMissingAmountHint = QStringLiteral("请输入金额");
const QString kNoRowToDeleteHint = QStringLiteral("请先选择要删除的记录");

// Applies the skin's rules again after a property they depend on changed.
void repolish(QWidget* w) {
    w->style()->unpolish(w);
    w->style()->polish(w);
    w->update();
}

// Shows `hint` just below `w`, where the user is looking.
void showHintAt(QWidget* w, const QString& hint) {
    QToolTip::showText(w->mapToGlobal(QPoint(0, w->height())), hint, w);
}

}  // namespace

DayPageWidget::DayPageWidget(ledger::DayPage& dayPage, QWidget* parent)
    : QWidget(parent), dayPage_(dayPage) {
    setUpPage(this, "收支");
    buildControls();
    bindLedger();
}

DayPageWidget::~DayPageWidget() { dayPage_.setObserver(nullptr); }

void DayPageWidget::buildControls() {
    makeLabel(this, "标签1", QStringLiteral("日期"), {7, 8, 32, 24});
    dayBox_ = makeDateBox(this, "农历日期框1", QStringLiteral("日期"), {39, 8, 288, 24}, font());

    previousDay_ = makeButton(this, "按钮_前", QStringLiteral("< 前一天"), {359, 8, 56, 24});
    today_ = makeButton(this, "按钮_今", QStringLiteral("> 今天 <"), {448, 8, 56, 24});
    nextDay_ = makeButton(this, "按钮_后", QStringLiteral("后一天 >"), {536, 8, 63, 24});
    previousDay_->setAccessibleName(QStringLiteral("前一天"));
    today_->setAccessibleName(QStringLiteral("今天"));
    nextDay_->setAccessibleName(QStringLiteral("后一天"));

    QLabel* hint =
        makeLabel(this, "标签11", QStringLiteral("说明：\n    双击修改!"), {639, 8, 192, 72});
    hint->setWordWrap(true);
    hint->setProperty("warning", true);
    hint->setProperty("shallowSunken", true);
    hint->setAccessibleName(QStringLiteral("说明：双击修改!"));

    itemCaption_ = makeLabel(this, "标签2", QStringLiteral("收入项目"), {6, 46, 56, 24});
    itemInput_ = makeCombo(this, "组合框1", true, {62, 46, 256, 24});
    for (const char* item : kItemPresets) itemInput_->addItem(QString::fromUtf8(item));
    itemInput_->setCurrentIndex(-1);
    itemInput_->setEditText(QString());
    itemInput_->setFont(songti(19));
    itemInput_->setValidator(new GbkLimitValidator(kItemBytes, itemInput_));
    itemInput_->setAccessibleName(QStringLiteral("项目"));

    makeLabel(this, "标签5", QStringLiteral("类别"), {327, 48, 24, 24});
    categoryInput_ = makeCombo(this, "组合框2", false, {359, 48, 112, 20});
    categoryInput_->setFont(pixelFont(QString(), 19));
    categoryInput_->setProperty("tinted", true);
    categoryInput_->setAccessibleName(QStringLiteral("类别"));
    // Shown while the mode has no category to offer, as at a first start.
    categoryInput_->setPlaceholderText(QStringLiteral("请先在设置页添加类别"));

    addButton_ = makeButton(this, "按钮_添", QStringLiteral("添加\n修改"), {495, 48, 55, 56});
    addButton_->setFont(pixelFont(QString(), 19));
    addButton_->setAccessibleName(QStringLiteral("添加或修改"));
    deleteButton_ = makeButton(this, "按钮_删", QStringLiteral("删除\n记录"), {567, 48, 55, 56});
    deleteButton_->setFont(pixelFont(QString(), 19));
    deleteButton_->setAccessibleName(QStringLiteral("删除记录"));

    amountCaption_ =
        makeLabel(this, "标签4",
                  QStringLiteral("收入金额") + QString(25, QLatin1Char(' ')) + QStringLiteral("元"),
                  {6, 78, 216, 24});
    amountCaption_->setAccessibleName(QStringLiteral("收入金额"));
    amountInput_ = new AmountEdit(kAmountBytes, this);
    amountInput_->setObjectName(QStringLiteral("编辑框1"));
    amountInput_->setGeometry(62, 78, 136, 28);
    amountInput_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    amountInput_->setFont(songti(19));
    amountInput_->setProperty("amount", true);
    amountInput_->setAccessibleName(QStringLiteral("金额（元）"));

    makeLabel(this, "标签9", QStringLiteral("备注"), {230, 80, 24, 24});
    noteInput_ = new QLineEdit(this);
    noteInput_->setObjectName(QStringLiteral("编辑框3"));
    noteInput_->setGeometry(262, 80, 209, 28);
    noteInput_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    noteInput_->setFont(songti(19));
    noteInput_->setValidator(new GbkLimitValidator(kNoteBytes, noteInput_));
    noteInput_->setAccessibleName(QStringLiteral("备注"));

    dayTotal_ = makeLabel(this, "标签3", QString(), {639, 80, 192, 24});
    dayTotal_->setProperty("shallowSunken", true);
    dayTotal_->setAccessibleName(QStringLiteral("本天合计"));

    dayModel_ = new DayListModel(dayPage_.dayList(), this);
    dayView_ = makeList(this, "超级列表框_收支", dayModel_, DayListModel::kWidths,
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
    setTabOrder(addButton_, deleteButton_);
    setTabOrder(deleteButton_, dayView_);
    setTabOrder(dayView_, dayBox_);
    setTabOrder(dayBox_, previousDay_);
    setTabOrder(previousDay_, today_);
    setTabOrder(today_, nextDay_);
}

void DayPageWidget::bindLedger() {
    dayPage_.setObserver(this);
    new ChoiceBinding(categoryInput_, dayPage_.entryCategoryChoices(), this);

    connect(previousDay_, &QPushButton::clicked, this, [this] { dayPage_.stepPreviousDay(); });
    connect(today_, &QPushButton::clicked, this, [this] { dayPage_.stepToday(); });
    connect(nextDay_, &QPushButton::clicked, this, [this] { dayPage_.stepNextDay(); });
    connect(addButton_, &QPushButton::clicked, this, &DayPageWidget::requestAdd);
    connect(deleteButton_, &QPushButton::clicked, this, &DayPageWidget::requestDelete);

    connect(itemInput_, &QComboBox::editTextChanged, this, [this](const QString& t) {
        if (!t.isEmpty()) setMissing(itemInput_, QString());
        if (!syncing_) dayPage_.entryInputs().item = toGbk(t);
    });
    connect(amountInput_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!t.isEmpty()) setMissing(amountInput_, QString());
        if (!syncing_) dayPage_.entryInputs().amount = toGbk(t);
    });
    connect(noteInput_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!syncing_) dayPage_.entryInputs().note = toGbk(t);
    });
    itemInput_->installEventFilter(this);
    amountInput_->installEventFilter(this);
    noteInput_->installEventFilter(this);

    connect(dayView_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        // Only the user's own choice reaches the ledger: while the ledger changes the rows, the
        // view moves its selection by itself (onto the row after a deleted one).
        if (syncing_ || dayModel_->changingRows()) return;
        QModelIndexList rows = dayView_->selectionModel()->selectedRows();
        dayPage_.dayList().select(rows.isEmpty() ? -1 : rows.first().row());
    });
    connect(dayModel_, &DayListModel::ledgerSelectionChanged, this,
            &DayPageWidget::showLedgerSelection);
    connect(dayView_, &QAbstractItemView::doubleClicked, this, [this] { dayPage_.beginModify(); });
    connect(dayBox_, &LunarDateBox::dateChanged, this, [this] { dayPage_.onDayDateChanged(); });
}

void DayPageWidget::fitListToPage() { dayView_->setGeometry(0, 110, 840, 386); }

QDate DayPageWidget::dayDate() const { return dayBox_->date(); }
bool DayPageWidget::setDayDate(const QDate& d) { return dayBox_->setDate(d); }
void DayPageWidget::focusItemInput() { itemInput_->setFocus(Qt::OtherFocusReason); }

void DayPageWidget::showLedgerSelection(int row) {
    bool was = syncing_;
    syncing_ = true;
    if (row < 0) {
        dayView_->clearSelection();
    } else {
        dayView_->selectRow(row);
    }
    syncing_ = was;
}

void DayPageWidget::onItemKey(EntryKey) { amountInput_->setFocus(Qt::TabFocusReason); }

void DayPageWidget::onAmountKey(EntryKey) { noteInput_->setFocus(Qt::TabFocusReason); }

void DayPageWidget::requestAdd() {
    // Judged before the ledger runs the add, which clears the inputs once it has added. The
    // ledger is asked even with an input empty: it shows its progress text and adds nothing.
    const ledger::EntryInputs& in = dayPage_.entryInputs();
    const bool noItem = in.item.empty();
    const bool noAmount = in.amount.empty();
    dayPage_.addOrSave();
    if (noAmount) setMissing(amountInput_, kMissingAmountHint);
    if (noItem) setMissing(itemInput_, kMissingItemHint);
    // The first empty input in the order Enter leads through them takes the focus and the hint.
    QWidget* first = noItem     ? static_cast<QWidget*>(itemInput_)
                     : noAmount ? static_cast<QWidget*>(amountInput_)
                                : nullptr;
    if (first) {
        first->setFocus(Qt::OtherFocusReason);
        showHintAt(first, noItem ? kMissingItemHint : kMissingAmountHint);
    }
}

void DayPageWidget::requestDelete() {
    // Without a chosen row there is nothing to ask about.
    if (dayPage_.dayList().selected() < 0) {
        showHintAt(deleteButton_, kNoRowToDeleteHint);
        return;
    }
    dayPage_.deleteEntry();
}

void DayPageWidget::setMissing(QWidget* input, const QString& hint) {
    const bool missing = !hint.isEmpty();
    if (input->property("missing").toBool() == missing) return;
    input->setProperty("missing", missing);
    input->setToolTip(hint);
    repolish(input);
}

void DayPageWidget::onNoteKey(EntryKey key) {
    if (key == EntryKey::Enter) {
        requestAdd();
    } else {
        addButton_->setFocus(Qt::TabFocusReason);
    }
}

// Enter (with any modifier) and Ctrl+Tab reach the key handlers; a plain Tab is the window's.
// The handlers do not take the key: the input handles it as usual afterwards.
bool DayPageWidget::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
        const bool ctrlTab = (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
                             (k->modifiers() & Qt::ControlModifier);
        if (enter || ctrlTab) {
            const EntryKey key = enter ? EntryKey::Enter : EntryKey::Tab;
            if (watched == itemInput_) {
                if (itemInput_->view()->isVisible()) return false;  // choosing from the list
                onItemKey(key);
            } else if (watched == amountInput_) {
                onAmountKey(key);
            } else if (watched == noteInput_) {
                onNoteKey(key);
            }
        }
    }
    return QWidget::eventFilter(watched, e);
}

void DayPageWidget::textsChanged() {
    dayTotal_->setText(fromGbk(dayPage_.dayTotalText()));
    dayTotal_->setAccessibleDescription(dayTotal_->text());
    // The day total carries the mode's colour, so the mode shows beyond the pressed button.
    const QString mode = dayPage_.ledgerMode() == ledger::LedgerMode::Income
                             ? QStringLiteral("income")
                             : QStringLiteral("expense");
    if (dayTotal_->property("mode").toString() != mode) {
        dayTotal_->setProperty("mode", mode);
        repolish(dayTotal_);
    }
    if (!dayPage_.itemCaption().empty()) {
        itemCaption_->setText(fromGbk(dayPage_.itemCaption()));
        itemCaption_->setAccessibleName(itemCaption_->text());
        amountCaption_->setText(fromGbk(dayPage_.amountCaption()));
        amountCaption_->setAccessibleName(amountCaption_->text());
    }
    emit statusTextsChanged();
}

void DayPageWidget::inputsChanged() {
    bool was = syncing_;
    syncing_ = true;
    const ledger::EntryInputs& in = dayPage_.entryInputs();
    itemInput_->setEditText(fromGbk(in.item));
    amountInput_->setText(fromGbk(in.amount));
    noteInput_->setText(fromGbk(in.note));
    syncing_ = was;
}

}  // namespace ui
