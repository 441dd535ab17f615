#pragma once

// The day page ("收支"): the day date box and its step buttons, the entry inputs, the add and
// delete buttons, the day total and the day list, shown from the ledger's DayPage. The controls
// forward the user's events to the DayPage's actions; Enter and Ctrl+Tab lead through the inputs.

#include <QDate>
#include <QWidget>

#include "ledger/day_page.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace ui {

class AmountEdit;
class DayListModel;
class LunarDateBox;

// The keys the entry inputs act on, by the codes they arrive with; no other key does anything.
enum class EntryKey { Tab = 9, Enter = 13 };

class DayPageWidget : public QWidget, private ledger::DayPageObserver {
    Q_OBJECT
  public:
    // Builds every control of the page in its first state on `dayPage`'s models, in the font
    // `parent` passes down, and observes `dayPage` until destroyed. `dayPage` outlives the page.
    DayPageWidget(ledger::DayPage& dayPage, QWidget* parent);
    ~DayPageWidget() override;

    // Gives the day list its full place on the page, as startup sizes it.
    void fitListToPage();

    // The day date box's date.
    QDate dayDate() const;
    // Asks the day date box to show `d`; false when the box refuses it. An accepted date queues
    // the box's date-changed notification, which refreshes the day view.
    bool setDayDate(const QDate& d);
    void focusItemInput();

    // A key in the item, amount or note input. Enter (with any modifier) moves from the item to
    // the amount to the note input and there adds or saves; Ctrl+Tab moves the same way, from
    // the note input to the add button.
    void onItemKey(EntryKey key);
    void onAmountKey(EntryKey key);
    void onNoteKey(EntryKey key);

    // The add button and Enter in the note input: asks the ledger to add or save; an empty item
    // or amount is marked (red frame and tooltip) and the first of them takes the focus.
    void requestAdd();
    // The delete button: with no row chosen shows a hint beside the button and asks nothing;
    // otherwise the ledger asks and deletes.
    void requestDelete();

  signals:
    // The DayPage's progress or net income text may have changed; the window's status bar
    // shows both.
    void statusTextsChanged();

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void buildControls();
    void bindLedger();
    void showLedgerSelection(int row);
    // Marks `input` as missing with `hint` as its tooltip, or unmarks it when `hint` is empty.
    void setMissing(QWidget* input, const QString& hint);

    // ledger::DayPageObserver
    void textsChanged() override;
    void inputsChanged() override;

    ledger::DayPage& dayPage_;
    // Set while the page writes the ledger's state into its controls, so that the controls'
    // change signals are not taken for the user's.
    bool syncing_ = false;

    LunarDateBox* dayBox_ = nullptr;       // 农历日期框1
    QPushButton* previousDay_ = nullptr;   // 按钮_前
    QPushButton* today_ = nullptr;         // 按钮_今
    QPushButton* nextDay_ = nullptr;       // 按钮_后
    QComboBox* itemInput_ = nullptr;       // 组合框1
    QComboBox* categoryInput_ = nullptr;   // 组合框2
    AmountEdit* amountInput_ = nullptr;    // 编辑框1
    QLineEdit* noteInput_ = nullptr;       // 编辑框3
    QLabel* itemCaption_ = nullptr;        // 标签2
    QLabel* amountCaption_ = nullptr;      // 标签4
    QLabel* dayTotal_ = nullptr;           // 标签3
    QPushButton* addButton_ = nullptr;     // 按钮_添
    QPushButton* deleteButton_ = nullptr;  // 按钮_删
    QTableView* dayView_ = nullptr;        // 超级列表框_收支
    DayListModel* dayModel_ = nullptr;
};

}  // namespace ui
