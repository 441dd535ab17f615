#include "ledger/day_page.h"

#include <utility>

#include "ledger/day_stepping.h"
#include "ledger/day_texts.h"
#include "ledger/entry.h"
#include "ledger/ledger_open.h"
#include "ledger/value_texts.h"
#include "store/record_store.h"

namespace ledger {

namespace {

using Work = WorkQueue::Work;

// The row of one entry. An entry just added gets the row a refresh would build for its record,
// so that the list reads the same before and after the next refresh.
DayRow entryRow(int64_t number, Entry entry) {
    DayRow row;
    row.texts[kColumnNumber] = integerText(number);
    row.texts[kColumnDateTime] =
        entryDateTimeText(entry.date.year, entry.date.month, entry.date.day, entry.time);
    row.texts[kColumnItem] = entry.item;
    row.texts[kColumnAmount] = amountCellText(entry.amount);
    row.texts[kColumnCategory] = entry.category;
    row.texts[kColumnNote] = entry.note;
    row.entry = std::move(entry);
    return row;
}

}  // namespace

DayPage::DayPage(store::RecordStore& store, WindowPort& window, WorkQueue& queue,
                 Categories& categories)
    : store_(store), window_(window), queue_(queue), categories_(categories) {}

// ---- notifications ----

void DayPage::notifyTexts() {
    if (observer_) observer_->textsChanged();
}

void DayPage::notifyInputs() {
    if (observer_) observer_->inputsChanged();
}

void DayPage::setProgressText(const std::string& t) {
    progressText_ = t;
    notifyTexts();
}

void DayPage::showWriteFailure(const std::string& action) {
    showWriteFailure(action, holdsEntries(store_)
                                 ? static_cast<store::Status>(store::RecordStore::lastError())
                                 : store::Status::NotOpen);
}

void DayPage::showWriteFailure(const std::string& action, store::Status why) {
    setProgressText(writeFailureStatus(action, why));
}

void DayPage::clearInputs() {
    inputs_.item.clear();
    inputs_.amount.clear();
    inputs_.note.clear();
    notifyInputs();
}

// ---- mode ----

void DayPage::switchMode(LedgerMode mode) {
    // Captions, mode and inputs change at once, so that what the user types next is kept even
    // while the refresh waits for a running walk.
    itemCaption_ = std::string(modeWord(mode)) + texts::kItemCaptionEnd;
    amountCaption_ = std::string(modeWord(mode)) + texts::kAmountCaptionEnd;
    mode_ = mode;
    clearInputs();
    notifyTexts();
    queue_.run(Work::ModeRefresh, [this, mode] {
        refreshNow();
        setProgressText(modeWord(mode));
    });
}

// ---- day view ----

void DayPage::refreshDayView() {
    queue_.run(Work::Refresh, [this] { refreshNow(); });
}

void DayPage::refreshNow() {
    // A pending change belongs to a row of the view being replaced.
    pending_ = {};
    setProgressText(texts::kProgressRefresh);

    const Date day = chosenDay(window_.dayDate());
    const bool incomeMode = isIncome(mode_);
    DayTotals totals;
    std::vector<DayRow> rows;

    auto takeEntryOfTheDay = [&](const EntryView& entry) {
        const bool income = entry.income();
        const float amount = entry.amount();
        if (income) {
            totals.income = addAmount(totals.income, amount);
        } else {
            totals.expense = addAmount(totals.expense, amount);
        }
        if (income == incomeMode) {
            rows.push_back(entryRow(static_cast<int64_t>(rows.size()) + 1, entry.entry()));
        }
    };
    // An entry of another day is passed over on its date alone, in a test small enough to stay
    // inside the walk's loop; only the day's own entries copy texts.
    const bool ok = readEntries(store_, [&](const EntryView& entry) {
        if (entry.isOn(day)) takeEntryOfTheDay(entry);
        return true;
    });
    // A walk cut short would show part of the day as if it were all of it; a closed store or
    // one without the ledger's fields shows an empty day.
    if (!ok) {
        rows.clear();
        totals = {};
    }

    dayList_.assign(std::move(rows));
    totals_ = totals;
    updateTotalTexts();
    rebuildCategoryChoices();
    notifyTexts();
}

void DayPage::rebuildCategoryChoices() {
    // The file is read on every refresh: a category added since (here or by hand) shows up.
    loadModeCategoryChoices(categories_, mode_, inputs_.categoryChoices);
}

void DayPage::updateTotalTexts() {
    const bool income = isIncome(mode_);
    dayTotalText_ = std::string(income ? texts::kDayIncomeLabel : texts::kDayExpenseLabel) +
                    amountText(income ? totals_.income : totals_.expense);
    netIncomeText_ = texts::kNetIncomeLabel + amountText(static_cast<double>(totals_.income) -
                                                         static_cast<double>(totals_.expense));
}

void DayPage::recomputeDayTotals() {
    // The rows carry their records' stored amounts, so this sum equals the refresh's.
    float sum = 0;
    for (int r = 0; r < dayList_.rowCount(); ++r) sum = addAmount(sum, dayList_.entry(r).amount);
    if (isIncome(mode_)) {
        totals_.income = sum;
    } else {
        totals_.expense = sum;
    }
    updateTotalTexts();
    notifyTexts();
}

// ---- finding a record ----

int32_t DayPage::findRecord(int32_t serial) {
    if (serial <= 0) return -1;
    int32_t found = -1;
    readEntries(store_, [&](const EntryView& entry) {
        if (entry.serial() != serial) return true;
        found = entry.index();
        return false;
    });
    return found;
}

bool DayPage::goToSerial(int32_t serial) {
    int32_t index = findRecord(serial);
    if (index < 0 || !store_.goTo(index + 1)) return false;
    // Another program may have purged in between and moved the records.
    return store_.currentSerial() == serial;
}

// ---- entry editing ----

void DayPage::addOrSave() {
    AddRequest request{inputs_.item,       inputs_.amount, inputs_.note,
                       inputs_.category(), mode_,          chosenDay(window_.dayDate())};
    queue_.run(Work::Edit, [this, request] { addNow(request); });
}

void DayPage::addNow(const AddRequest& in) {
    setProgressText(texts::kProgressAdd);
    if (in.item.empty() || in.amount.empty()) return;
    // The amount input keeps such texts out; a text set by other means must not store infinity.
    if (!parseAmount(in.amount)) {
        window_.showMessage(texts::kAmountOutOfRange, MessageIcon::Information, texts::kInfoTitle);
        return;
    }
    if (pending_.active) {
        saveNow(in);
    } else {
        const DateTime now = window_.now();
        Entry entry;
        entry.income = isIncome(in.mode);
        entry.date = in.day;
        entry.time = hourMinuteText(now.hour, now.minute);
        entry.item = in.item;
        entry.amount = parseNumber(in.amount);
        entry.category = in.category;
        entry.note = in.note;
        // The serial the store gives lets the row be changed or deleted later.
        entry.serial = appendEntry(store_, entry);
        if (entry.serial == 0) {
            showWriteFailure(texts::kActionAdd);
            window_.showMessage(texts::kAddFailed, MessageIcon::Information, texts::kInfoTitle);
        } else {
            dayList_.append(entryRow(dayList_.rowCount() + 1, std::move(entry)));
        }
    }
    // What the user typed after asking (while the add waited for a walk) is kept.
    if (inputs_.item == in.item && inputs_.amount == in.amount && inputs_.note == in.note) {
        clearInputs();
    }
    recomputeDayTotals();
    window_.focusItemInput();
}

void DayPage::saveNow(const AddRequest& in) {
    const PendingModify pending = pending_;
    pending_ = {};
    int r = pending.row;
    if (r < 0 || r >= dayList_.rowCount() || dayList_.entry(r).serial != pending.serial) {
        r = dayList_.findSerial(pending.serial);
    }
    // A change keeps the entry's kind, date and time; only what the inputs hold is replaced.
    Entry changed = r >= 0 ? dayList_.entry(r) : Entry{};
    changed.item = in.item;
    changed.amount = parseNumber(in.amount);
    changed.note = in.note;
    changed.category = in.category;

    store::Status failure = store::Status::NoCurrentRecord;
    if (!goToSerial(pending.serial) || !rewriteEntry(store_, pending.serial, changed, &failure)) {
        showWriteFailure(texts::kActionSave, failure);
        window_.showMessage(texts::kSaveFailed, MessageIcon::Information, texts::kInfoTitle);
        return;
    }
    if (r < 0) return;
    dayList_.setText(r, kColumnItem, changed.item);
    dayList_.setText(r, kColumnAmount, amountCellText(changed.amount));
    dayList_.setText(r, kColumnCategory, changed.category);
    dayList_.setText(r, kColumnNote, changed.note);
    dayList_.setEntry(r, std::move(changed));
}

int32_t DayPage::selectedSerial() const {
    int r = dayList_.selected();
    return r >= 0 ? dayList_.entry(r).serial : 0;
}

void DayPage::beginModify() {
    const int32_t serial = selectedSerial();
    queue_.run(Work::Locate, [this, serial] { locateNow(ScanAction::Modify, serial); });
}

void DayPage::deleteEntry() {
    // The row is taken before the question: the answer is about the row the user saw.
    const int32_t serial = selectedSerial();
    if (!window_.askYesNo(texts::kDeleteQuestion, kPromptTitle)) return;
    queue_.run(Work::Edit, [this, serial] {
        pending_ = {};
        clearInputs();
        locateNow(ScanAction::Delete, serial);
    });
    window_.focusItemInput();
}

void DayPage::locateNow(ScanAction action, int32_t serial) {
    scanAction_ = action;
    setProgressText(texts::kProgressScan);
    const int r = serial > 0 ? dayList_.findSerial(serial) : -1;
    if (r >= 0) {
        if (action == ScanAction::Modify) {
            if (findRecord(serial) >= 0) {
                pending_ = {true, serial, r};
                inputs_.item = dayList_.text(r, kColumnItem);
                // The stored amount, not its two-decimal text: saving a changed note must not
                // change an untouched amount.
                inputs_.amount = floatText(dayList_.entry(r).amount);
                inputs_.note = dayList_.text(r, kColumnNote);
                // A category that the current mode does not offer (a settings file edited by
                // hand) is offered for this entry, so that saving keeps it.
                const std::string& category = dayList_.text(r, kColumnCategory);
                TextList& choices = inputs_.categoryChoices;
                choices.selectText(category);
                if (choices.selected() < 0 && !category.empty()) {
                    choices.append(category);
                    choices.select(choices.size() - 1);
                }
                notifyInputs();
            }
        } else if (goToSerial(serial) && store_.markDeletedIf(serial)) {
            // Once marked, the record is gone for every walk, even if the purge fails; the
            // next open purges it.
            store_.purgeDeleted();
            dayList_.removeRow(r);
        } else {
            showWriteFailure(texts::kActionDelete);
        }
    }
    recomputeDayTotals();
}

// ---- day stepping ----

void DayPage::stepTo(const Date& d) {
    // A refused date leaves the box as it was; the view is rebuilt all the same.
    window_.setDayDate(d);
    refreshDayView();
}

void DayPage::stepPreviousDay() {
    stepTo(previousDate(splitDateText(dateTimeText(window_.dayDate()))));
}

void DayPage::stepNextDay() { stepTo(nextDate(splitDateText(dateTimeText(window_.dayDate())))); }

void DayPage::stepToday() { stepTo(window_.now().date); }

void DayPage::onDayDateChanged() { refreshDayView(); }

}  // namespace ledger
