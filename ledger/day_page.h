#pragma once

// The day page: the entries of one chosen day in one mode, the day's totals, the entry inputs,
// and the actions that add, change and delete entries and step the chosen day. Plain models
// only; the window binds its controls to them and forwards its events to the actions.
//
// How uses of the store are kept apart:
// - Everything here runs on the window's thread, the locate scan included: it finds the record
//   by the serial of the row's entry in one walk, so there is no background thread and nothing
//   to race.
// - Every walk is one readEntries call (one whole-file lock, no window events processed
//   inside), so no other handler can run in the middle of a walk.
// - Each action that uses the store runs through the window's one WorkQueue. While a piece of
//   work that lets the window process events runs (the range report between its days, a message
//   box), an action asked for meanwhile waits and runs after it, by the queue's rules.
// - Records marked deleted are skipped by every walk.

#include <cstdint>
#include <string>

#include "ledger/categories.h"
#include "ledger/day_list.h"
#include "ledger/ledger_mode.h"
#include "ledger/text_list.h"
#include "ledger/value_texts.h"
#include "ledger/window_port.h"
#include "ledger/work_queue.h"
#include "store/status.h"

namespace store {
class RecordStore;
}

namespace ledger {

// The day's income and expense sums. Each addition is made on the 64-bit widening of both
// operands and rounded back to a 32-bit float.
struct DayTotals {
    float income = 0;
    float expense = 0;
};

// sum + amount as the ledger adds amounts: widened to 64 bits, rounded back to 32. A stored
// infinity or NaN counts as 0, so one bad record cannot turn the day's totals into nonsense.
inline float addAmount(float sum, float amount) {
    if (!isUsableAmount(amount)) return sum;
    return static_cast<float>(static_cast<double>(sum) + static_cast<double>(amount));
}

// The day page's inputs. The category input is a choice over the entry category choices: its
// text is the chosen choice's text, empty when none is chosen.
struct EntryInputs {
    std::string item;
    std::string amount;
    std::string note;
    TextList categoryChoices;  // entryCategoryChoices

    std::string category() const { return categoryChoices.selectedText(); }
};

// What the locate scan does with the record it finds.
enum class ScanAction { Modify = 1, Delete = 2 };

// Tells the window that texts or inputs of the day page changed, so it can show them again.
class DayPageObserver {
  public:
    virtual ~DayPageObserver() = default;
    // dayTotalText, netIncomeText, the progress text or the captions changed.
    virtual void textsChanged() {}
    // The item, amount or note text changed (the category choices report through their own
    // TextList observer).
    virtual void inputsChanged() {}
};

class DayPage {
  public:
    // The page works on the window's open store, asks the window through `window`, runs its
    // actions through `queue`, and shares the category state (settings path and categoryCount)
    // with the settings page. All four outlive the page.
    DayPage(store::RecordStore& store, WindowPort& window, WorkQueue& queue,
            Categories& categories);

    // ---- models ----
    DayList& dayList() { return dayList_; }
    const DayList& dayList() const { return dayList_; }
    const DayTotals& dayTotals() const { return totals_; }
    // The window writes what the user types straight into these.
    EntryInputs& entryInputs() { return inputs_; }
    const EntryInputs& entryInputs() const { return inputs_; }
    TextList& entryCategoryChoices() { return inputs_.categoryChoices; }
    LedgerMode ledgerMode() const { return mode_; }
    ScanAction scanAction() const { return scanAction_; }
    bool pendingModify() const { return pending_.active; }
    // The count of categories, as the last refresh read it from the settings file (plus those
    // the settings page added since).
    int32_t categoryCount() const { return categories_.categoryCount; }

    // "本天总收入：" or "本天总开支：" and the current mode's sum.
    const std::string& dayTotalText() const { return dayTotalText_; }
    // "本天净收入：" and income minus expense.
    const std::string& netIncomeText() const { return netIncomeText_; }
    // The status bar's progress text: what the last action started ("  添加记录..."), or the
    // mode's word after a mode switch. The net income text goes beside it.
    const std::string& progressText() const { return progressText_; }
    // The captions of the item and amount inputs (标签2, 标签4) after a mode switch; empty
    // until the first switch, so the window keeps its own start captions.
    const std::string& itemCaption() const { return itemCaption_; }
    const std::string& amountCaption() const { return amountCaption_; }

    void setObserver(DayPageObserver* observer) { observer_ = observer; }

    // ---- mode ----
    // Sets the mode alone (startup, before its first refresh).
    void setLedgerMode(LedgerMode mode) { mode_ = mode; }
    // The toolbar's income and expense buttons, also when the mode does not change: sets the
    // captions and the mode, empties the item, amount and note inputs, refreshes the day view and
    // puts "收入" or "开支" into the progress text.
    void switchMode(LedgerMode mode);

    // ---- day view ----
    // Rebuilds the day list, the totals, both texts and the category choices from the store and
    // the settings file for the chosen day and mode, showing the refresh's progress text. Drops
    // a pending change. A closed store or a failed walk shows an empty day.
    void refreshDayView();
    // Sets the current mode's sum from the amounts the rows carry and updates both texts.
    void recomputeDayTotals();

    // ---- entry editing ----
    // The add button: with item and amount texts, adds an entry to the chosen day at the current
    // time, or saves the inputs into the pending record and row. A failed append shows
    // "添加失败!" and adds no row; a failed save shows "修改失败!", puts back any field it had
    // written and leaves the row; the inputs are emptied either way. An add queued behind a
    // running walk stores what was typed when it was asked for.
    void addOrSave();
    // A double-click on a day row: locates the selected row's record and copies the row into the
    // inputs, so that the next addOrSave saves. Nothing happens without a selected row.
    void beginModify();
    // The delete button: after a Yes, deletes the selected row's record and removes the row.
    // Both find the record by the serial the row's entry carries, then recompute the totals; a
    // row whose record is gone changes nothing.
    void deleteEntry();

    // ---- day stepping ----
    // "< 前一天" and "后一天 >": reads the day from the date box's text, asks the box for the day
    // before or after, and refreshes the day view whether or not the box accepted that date.
    void stepPreviousDay();
    void stepNextDay();
    // "> 今天 <": asks the box for the clock's date and refreshes the day view.
    void stepToday();
    // The day date box's date-changed notification.
    void onDayDateChanged();

  private:
    // A located record waiting for its changed values: the record and the row it was located for.
    struct PendingModify {
        bool active = false;
        int32_t serial = 0;
        int row = -1;
    };

    void refreshNow();
    void rebuildCategoryChoices();
    // What the user had typed when pressing add; a queued add saves what was asked for.
    struct AddRequest {
        std::string item, amount, note, category;
        LedgerMode mode = LedgerMode::Income;
        Date day;
    };
    void addNow(const AddRequest& request);
    void saveNow(const AddRequest& request);
    // Locates the record with `serial` and the row showing it, then modifies or deletes.
    void locateNow(ScanAction action, int32_t serial);
    int32_t selectedSerial() const;
    // The 0-based store position of the live record with `serial`, -1 when there is none.
    int32_t findRecord(int32_t serial);
    // Puts the cursor on the live record with `serial`; false when it is gone.
    bool goToSerial(int32_t serial);
    void stepTo(const Date& d);
    void clearInputs();
    void setProgressText(const std::string& t);
    // Names in the progress text (status bar part 4) why the store refused the action's write,
    // until the next action sets its own text.
    void showWriteFailure(const std::string& action);
    void showWriteFailure(const std::string& action, store::Status why);
    void updateTotalTexts();
    void notifyTexts();
    void notifyInputs();

    store::RecordStore& store_;
    WindowPort& window_;
    WorkQueue& queue_;
    Categories& categories_;
    DayPageObserver* observer_ = nullptr;

    DayList dayList_;
    DayTotals totals_;
    EntryInputs inputs_;
    LedgerMode mode_ = LedgerMode::Income;
    ScanAction scanAction_ = ScanAction::Modify;
    PendingModify pending_;

    std::string dayTotalText_;
    std::string netIncomeText_;
    std::string progressText_;
    std::string itemCaption_;
    std::string amountCaption_;
};

}  // namespace ledger
