#include "ledger/day_page.h"

#include <array>
#include <string_view>
#include <utility>

#include "ledger/day_stepping.h"
#include "ledger/day_texts.h"
#include "ledger/ledger_open.h"
#include "ledger/ledger_schema.h"
#include "ledger/value_texts.h"
#include "store/record_store.h"

namespace ledger {

namespace {

using store::RecordView;
using store::StoreValue;

// The fields the day view reads of every record.
constexpr std::array<int, 9> kAllFields = {kFieldKind,   kFieldYear, kFieldMonth,
                                           kFieldDay,    kFieldTime, kFieldItem,
                                           kFieldAmount, kFieldNote, kFieldCategory};
// Finding a record by its serial reads no field beyond the serial itself.
constexpr std::array<int, 1> kSerialOnly = {kFieldKind};

// Whether the open store has the ledger's nine fields. One without them is treated like no
// store: its entries are not listed, and none is added, since saving one reads field 9.
bool holdsLedger(const store::RecordStore& s) {
    return s.isOpen() && s.fieldCount() >= kFieldCount;
}

std::string modeWord(LedgerMode mode) {
    return isIncome(mode) ? texts::kIncomeWord : texts::kExpenseWord;
}

// The row of one entry. An entry just added gets the row a refresh would build for its record,
// so that the list reads the same before and after the next refresh.
DayRow entryRow(int64_t number, const Date& day, const std::string& time, std::string_view item,
                float amount, std::string_view category, std::string_view note, int32_t serial) {
    DayRow row;
    row.texts[kColumnNumber] = integerText(number);
    row.texts[kColumnDateTime] = entryDateTimeText(day.year, day.month, day.day, time);
    row.texts[kColumnItem] = item;
    row.texts[kColumnAmount] = amountText(amount);
    row.texts[kColumnCategory] = category;
    row.texts[kColumnNote] = note;
    row.serial = serial;
    row.amount = amount;
    return row;
}

}  // namespace

DayPage::DayPage(store::RecordStore& store, WindowPort& window, WalkGuard& guard,
                 Categories& categories)
    : store_(store), window_(window), guard_(guard), categories_(categories) {}

// ---- keeping uses of the store apart ----

void DayPage::runOrQueue(std::function<void()> work, Work kind) {
    if (!guard_.busy()) {
        guard_.run(WalkGuard::kDayView, std::move(work));
        return;
    }
    if (kind == Work::Refresh || kind == Work::ModeRefresh) {
        std::erase_if(queued_, [](const Queued& q) { return q.kind == Work::Locate; });
        // Two refreshes in a row give the same view as one; the mode switch's also sets its
        // status text, so it is the one kept.
        if (!queued_.empty() &&
            (queued_.back().kind == Work::Refresh || queued_.back().kind == Work::ModeRefresh)) {
            if (kind == Work::Refresh) return;
            queued_.back() = {std::move(work), kind};
            return;
        }
    }
    queued_.push_back({std::move(work), kind});
    guard_.run(WalkGuard::kDayView, [this] { drainQueued(); });
}

void DayPage::drainQueued() {
    while (!queued_.empty()) {
        auto work = std::move(queued_.front().work);
        queued_.erase(queued_.begin());
        work();
    }
}

// ---- notifications ----

void DayPage::notifyTexts() {
    if (observer_) observer_->textsChanged();
}

void DayPage::notifyInputs() {
    if (observer_) observer_->inputsChanged();
}

void DayPage::setStatusPart4(const std::string& t) {
    statusPart4_ = t;
    notifyTexts();
}

void DayPage::showWriteFailure(const std::string& action) {
    int32_t code = holdsLedger(store_) ? store::RecordStore::lastError() : -67;
    setStatusPart4(writeFailureStatus(action, code));
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
    bool income = isIncome(mode);
    itemCaption_ = income ? texts::kIncomeItemCaption : texts::kExpenseItemCaption;
    amountCaption_ = income ? texts::kIncomeAmountCaption : texts::kExpenseAmountCaption;
    mode_ = mode;
    clearInputs();
    notifyTexts();
    runOrQueue(
        [this, mode] {
            refreshNow();
            setStatusPart4(modeWord(mode));
        },
        Work::ModeRefresh);
}

// ---- day view ----

void DayPage::refreshDayView() {
    runOrQueue([this] { refreshNow(); }, Work::Refresh);
}

void DayPage::refreshNow() {
    // A pending change belongs to a row of the view being replaced.
    pending_ = {};
    setStatusPart4(texts::kProgressRefresh);

    const Date day = chosenDay(window_.dayDate());
    const bool incomeMode = isIncome(mode_);
    DayTotals totals;
    std::vector<DayRow> rows;

    if (holdsLedger(store_)) {
        // The month is tested first: a record of another month is passed over on one field.
        bool ok = store_.readRecords(kAllFields, [&](const RecordView& rec) {
            if (rec.isDeleted() || rec.integer(kFieldMonth) != day.month ||
                rec.integer(kFieldYear) != day.year || rec.integer(kFieldDay) != day.day) {
                return true;
            }
            const bool income = rec.integer(kFieldKind) != 0;
            const float amount = static_cast<float>(rec.real(kFieldAmount));
            if (income) {
                totals.income = addAmount(totals.income, amount);
            } else {
                totals.expense = addAmount(totals.expense, amount);
            }
            if (income == incomeMode) {
                rows.push_back(entryRow(static_cast<int64_t>(rows.size()) + 1, day,
                                        std::string(rec.text(kFieldTime)), rec.text(kFieldItem),
                                        amount, rec.text(kFieldCategory), rec.text(kFieldNote),
                                        rec.serial()));
            }
            return true;
        });
        // A walk cut short would show part of the day as if it were all of it.
        if (!ok) {
            rows.clear();
            totals = {};
        }
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
    for (int r = 0; r < dayList_.rowCount(); ++r) sum = addAmount(sum, dayList_.amount(r));
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
    if (serial <= 0 || !store_.isOpen()) return -1;
    int32_t found = -1;
    store_.readRecords(kSerialOnly, [&](const RecordView& rec) {
        if (rec.serial() != serial) return true;
        found = rec.index();
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
    runOrQueue([this, request] { addNow(request); });
}

void DayPage::addNow(const AddRequest& in) {
    setStatusPart4(texts::kProgressAdd);
    if (in.item.empty() || in.amount.empty()) return;
    if (pending_.active) {
        saveNow(in);
    } else {
        const Date& day = in.day;
        const DateTime now = window_.now();
        const std::string time = hourMinuteText(now.hour, now.minute);
        const float amount = parseNumber(in.amount);
        const std::string& category = in.category;
        const std::vector<StoreValue> values = {StoreValue::ofBool(isIncome(in.mode)),
                                                StoreValue::ofInt(day.year),
                                                StoreValue::ofInt(day.month),
                                                StoreValue::ofInt(day.day),
                                                StoreValue::ofText(time),
                                                StoreValue::ofText(in.item),
                                                StoreValue::ofFloat(amount),
                                                StoreValue::ofText(in.note),
                                                StoreValue::ofText(category)};
        if (!holdsLedger(store_) || !store_.appendRecord(values)) {
            showWriteFailure(texts::kActionAdd);
            window_.showMessage(texts::kAddFailed, kIconInformation, texts::kInfoTitle);
        } else {
            // The append leaves the cursor on the new record; its serial lets the row be changed
            // or deleted later.
            dayList_.append(entryRow(dayList_.rowCount() + 1, day, time, in.item, amount, category,
                                     in.note, store_.currentSerial()));
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
    const float amount = parseNumber(in.amount);
    const std::string& category = in.category;
    const std::array<int, 4> fields = {kFieldItem, kFieldAmount, kFieldNote, kFieldCategory};
    const std::array<StoreValue, 4> values = {
        StoreValue::ofText(in.item), StoreValue::ofFloat(amount), StoreValue::ofText(in.note),
        StoreValue::ofText(category)};

    bool saved = goToSerial(pending.serial);
    int32_t failure = saved ? 0 : -60;
    if (saved) {
        std::array<StoreValue, 4> before;
        for (size_t i = 0; i < fields.size(); ++i) before[i] = store_.readField(fields[i]);
        size_t written = 0;
        // Each write checks that the record still holds the serial: another program's purge may
        // move the records at any moment, and the save must never land in another entry.
        while (written < fields.size() &&
               store_.writeFieldIf(fields[written], values[written], pending.serial)) {
            ++written;
        }
        saved = written == fields.size();
        if (!saved) failure = store::RecordStore::lastError();
        // A save is all or nothing: put back what was written before the failing write.
        for (size_t i = 0; !saved && i < written; ++i) {
            store_.writeFieldIf(fields[i], before[i], pending.serial);
        }
    }
    if (!saved) {
        setStatusPart4(writeFailureStatus(texts::kActionSave, failure));
        window_.showMessage(texts::kSaveFailed, kIconInformation, texts::kInfoTitle);
        return;
    }
    int r = pending.row;
    if (r < 0 || r >= dayList_.rowCount() || dayList_.serial(r) != pending.serial) {
        r = dayList_.findSerial(pending.serial);
    }
    if (r < 0) return;
    dayList_.setText(r, kColumnItem, in.item);
    dayList_.setText(r, kColumnAmount, amountText(amount));
    dayList_.setText(r, kColumnCategory, category);
    dayList_.setText(r, kColumnNote, in.note);
    dayList_.setAmount(r, amount);
}

int32_t DayPage::selectedSerial() const {
    int r = dayList_.selected();
    return r >= 0 ? dayList_.serial(r) : 0;
}

void DayPage::beginModify() {
    const int32_t serial = selectedSerial();
    runOrQueue([this, serial] { locateNow(ScanAction::Modify, serial); }, Work::Locate);
}

void DayPage::deleteEntry() {
    // The row is taken before the question: the answer is about the row the user saw.
    const int32_t serial = selectedSerial();
    if (!window_.askYesNo(texts::kDeleteQuestion, texts::kPromptTitle)) return;
    runOrQueue([this, serial] {
        pending_ = {};
        clearInputs();
        locateNow(ScanAction::Delete, serial);
    });
    window_.focusItemInput();
}

void DayPage::locateScan() {
    const int32_t serial = selectedSerial();
    const ScanAction action = scanAction_;
    runOrQueue([this, action, serial] { locateNow(action, serial); },
               action == ScanAction::Modify ? Work::Locate : Work::Other);
}

void DayPage::locateNow(ScanAction action, int32_t serial) {
    scanAction_ = action;
    setStatusPart4(texts::kProgressScan);
    const int r = serial > 0 ? dayList_.findSerial(serial) : -1;
    if (r >= 0) {
        if (action == ScanAction::Modify) {
            if (findRecord(serial) >= 0) {
                pending_ = {true, serial, r};
                inputs_.item = dayList_.text(r, kColumnItem);
                // The stored amount, not its two-decimal text: saving a changed note must not
                // change an untouched amount.
                inputs_.amount = floatText(dayList_.amount(r));
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
