#include <cmath>
#include <cstring>

#include "day_page_fixture.h"
#include "ledger/day_texts.h"
#include "ledger/value_texts.h"

namespace ledger::testing {
namespace {

std::string yuan(const char* number) { return std::string(number) + kYuan; }
std::string incomeTotal(const char* n) { return std::string(texts::kDayIncomeLabel) + yuan(n); }
std::string expenseTotal(const char* n) { return std::string(texts::kDayExpenseLabel) + yuan(n); }
std::string net(const char* n) { return std::string(texts::kNetIncomeLabel) + yuan(n); }

const Date kDay{2024, 3, 5};
const std::string kTime0805 =
    "08\xca\xb1"
    "05\xb7\xd6";  // 08时05分
const std::string kDateTime0805 =
    "2024\xc4\xea"
    "3\xd4\xc2"
    "5\xc8\xd5" +
    kTime0805;

// ---- day view ----

TEST_F(DayPageTest, EmptyDayShowsZeroTotalsInBothModes) {
    storeEntry(true, {2024, 3, 6}, "x", 5);  // another day
    page->refreshDayView();
    EXPECT_EQ(page->dayList().rowCount(), 0);
    EXPECT_EQ(page->dayTotalText(), incomeTotal("0.00"));
    EXPECT_EQ(page->netIncomeText(), net("0.00"));
    EXPECT_EQ(page->netIncomeText(), net("0.00"));
    EXPECT_EQ(page->progressText(), texts::kProgressRefresh);
    page->switchMode(LedgerMode::Expense);
    EXPECT_EQ(page->dayTotalText(), expenseTotal("0.00"));
}

TEST_F(DayPageTest, DayShowsOnlyTheModesEntriesButNetsBoth) {
    storeEntry(true, kDay, "a", 12.5f);
    storeEntry(false, kDay, "b", 20.f);
    storeEntry(true, {2024, 4, 5}, "other month", 100.f);
    storeEntry(true, {2023, 3, 5}, "other year", 100.f);
    storeEntry(false, {2024, 3, 4}, "other day", 100.f);

    page->refreshDayView();
    ASSERT_EQ(page->dayList().rowCount(), 1);
    EXPECT_EQ(page->dayList().row(0).texts,
              (std::array<std::string, 6>{"1", kDateTime0805, "a", yuan("12.50"), "", ""}));
    EXPECT_EQ(page->dayTotalText(), incomeTotal("12.50"));
    EXPECT_EQ(page->netIncomeText(), net("-7.50"));

    page->switchMode(LedgerMode::Expense);
    ASSERT_EQ(page->dayList().rowCount(), 1);
    EXPECT_EQ(page->dayList().text(0, kColumnItem), "b");
    EXPECT_EQ(page->dayTotalText(), expenseTotal("20.00"));
    EXPECT_EQ(page->netIncomeText(), net("-7.50"));
    EXPECT_EQ(page->progressText(), kExpenseWord);
    EXPECT_EQ(page->itemCaption(), "\xbf\xaa\xd6\xa7\xcf\xee\xc4\xbf");    // 开支项目
    EXPECT_EQ(page->amountCaption(), "\xbf\xaa\xd6\xa7\xbd\xf0\xb6\xee");  // 开支金额
}

TEST_F(DayPageTest, RowsAreNumberedInStoreOrderAndCarryTheirSerials) {
    storeEntry(true, kDay, "first", 1, "n1", kWages);
    storeEntry(false, kDay, "expense", 1);
    storeEntry(true, kDay, "second", 2);
    page->refreshDayView();
    EXPECT_EQ(column(kColumnNumber), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(column(kColumnCategory), (std::vector<std::string>{kWages, ""}));
    EXPECT_EQ(column(kColumnNote), (std::vector<std::string>{"n1", ""}));
    EXPECT_EQ(page->dayList().entry(0).serial, kFirstSerial);
    EXPECT_EQ(page->dayList().entry(1).serial, kFirstSerial + 2);
}

TEST_F(DayPageTest, TotalIsTheSumOfStoredAmountsAfterRefreshAndAfterRecompute) {
    // 12.345 shows as 12.35元; summing the texts would give 24.70元.
    storeEntry(true, kDay, "a", 12.345f);
    storeEntry(true, kDay, "b", 12.345f);
    page->refreshDayView();
    EXPECT_EQ(column(kColumnAmount), (std::vector<std::string>{yuan("12.35"), yuan("12.35")}));
    EXPECT_EQ(page->dayTotalText(), incomeTotal("24.69"));
    page->recomputeDayTotals();
    EXPECT_EQ(page->dayTotalText(), incomeTotal("24.69"));

    // An add recomputes; the total then equals a fresh refresh's (the texts would give 37.05).
    add("c", "12.345");
    EXPECT_EQ(page->dayTotalText(), incomeTotal("37.03"));
    page->refreshDayView();
    EXPECT_EQ(page->dayTotalText(), incomeTotal("37.03"));
}

// Records holding infinity or NaN (written by another program) show as invalid and count as 0,
// after a refresh and after a recompute alike.
TEST_F(DayPageTest, StoredInfinityAndNanShowAsInvalidAndCountAsZero) {
    const std::string invalid = "\xbd\xf0\xb6\xee\xce\xde\xd0\xa7";  // 金额无效
    storeEntry(true, kDay, "a", 12.5f);
    storeEntry(true, kDay, "b", INFINITY);
    storeEntry(true, kDay, "c", NAN);
    storeEntry(false, kDay, "d", -INFINITY);
    storeEntry(false, kDay, "e", 2.0f);
    page->refreshDayView();
    EXPECT_EQ(column(kColumnAmount), (std::vector<std::string>{yuan("12.50"), invalid, invalid}));
    EXPECT_EQ(page->dayTotalText(), incomeTotal("12.50"));
    EXPECT_EQ(page->netIncomeText(), net("10.50"));
    page->recomputeDayTotals();
    EXPECT_EQ(page->dayTotalText(), incomeTotal("12.50"));
}

// A text that would be stored as infinity is refused with a message and stores nothing.
TEST_F(DayPageTest, AddOfAnAmountBeyondTheFloatRangeIsRefused) {
    page->refreshDayView();
    add("a", "1e39");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, texts::kAmountOutOfRange);
    EXPECT_EQ(page->dayList().rowCount(), 0);
    EXPECT_EQ(store.recordCount(), 0);
    page->refreshDayView();
    EXPECT_EQ(page->dayList().rowCount(), 0);
}

TEST_F(DayPageTest, SumsAreAddedAsFloats) {
    // 0.1 + 0.2 in 32-bit steps is 0.3000000119, in 64 bits 0.30000000447; both show 0.30, so
    // compare the float itself.
    storeEntry(true, kDay, "a", 0.1f);
    storeEntry(true, kDay, "b", 0.2f);
    storeEntry(true, kDay, "c", 16777216.f);
    storeEntry(true, kDay, "d", 1.f);  // lost when rounded back to 32 bits after each addition
    page->refreshDayView();
    float expected = static_cast<float>(static_cast<double>(0.1f) + static_cast<double>(0.2f));
    expected = static_cast<float>(static_cast<double>(expected) + 16777216.0);
    expected = static_cast<float>(static_cast<double>(expected) + 1.0);
    EXPECT_EQ(page->dayTotals().income, expected);
    page->recomputeDayTotals();
    EXPECT_EQ(page->dayTotals().income, expected);
}

TEST_F(DayPageTest, CategoryChoicesFollowTheModeAndTheFile) {
    writeCategories({kWages, kOtherExpense, kTransfer});
    page->refreshDayView();
    EXPECT_EQ(page->categoryCount(), 3);
    EXPECT_EQ(page->entryCategoryChoices().items(), (std::vector<std::string>{kWages, kTransfer}));
    EXPECT_EQ(page->entryCategoryChoices().selected(), 0);
    EXPECT_EQ(page->entryInputs().category(), kWages);

    page->switchMode(LedgerMode::Expense);
    EXPECT_EQ(page->entryCategoryChoices().items(),
              (std::vector<std::string>{kOtherExpense, kTransfer}));
    EXPECT_EQ(page->entryInputs().category(), kOtherExpense);

    // The file is read again by every refresh.
    writeCategories({kWages});
    page->refreshDayView();
    EXPECT_EQ(page->categoryCount(), 1);
    EXPECT_EQ(page->entryCategoryChoices().size(), 0);
    EXPECT_EQ(page->entryInputs().category(), "");
}

TEST_F(DayPageTest, EmptyStoreStillRebuildsCategories) {
    writeCategories({kWages});
    page->refreshDayView();
    EXPECT_EQ(page->dayList().rowCount(), 0);
    EXPECT_EQ(page->dayTotals().income, 0);
    EXPECT_EQ(page->dayTotals().expense, 0);
    EXPECT_EQ(page->entryCategoryChoices().items(), (std::vector<std::string>{kWages}));
}

TEST_F(DayPageTest, RecordsMarkedDeletedAreSkipped) {
    storeEntry(true, kDay, "gone", 5);
    storeEntry(true, kDay, "kept", 7);
    ASSERT_TRUE(store.goTo(1));
    ASSERT_TRUE(store.markDeleted());  // left unpurged, as after a purge that failed
    page->refreshDayView();
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"kept"}));
    EXPECT_EQ(page->dayTotalText(), incomeTotal("7.00"));
}

TEST_F(DayPageTest, ClosedStoreShowsAnEmptyDay) {
    storeEntry(true, kDay, "a", 5);
    store.close();
    page->refreshDayView();
    EXPECT_EQ(page->dayList().rowCount(), 0);
    EXPECT_EQ(page->dayTotalText(), incomeTotal("0.00"));
    add("b", "1");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, texts::kAddFailed);
}

TEST_F(DayPageTest, AStoreWithoutTheNineFieldsTakesNoEntries) {
    // The ledger's first eight fields only: no category field.
    std::string bytes = emptyLedgerDatabase();
    bytes.resize(116 + 72 * 8);
    bytes[112] = 8;
    bytes[24] = static_cast<char>(279 & 0xFF);
    bytes[25] = static_cast<char>(279 >> 8);
    store.close();
    std::ofstream(ledgerPath, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_TRUE(store.open(ledgerPath));
    ASSERT_EQ(store.fieldCount(), 8);

    page->refreshDayView();
    EXPECT_EQ(page->dayList().rowCount(), 0);
    // An entry added here could be listed but never saved: the save reads field 9, which
    // stops the program. So the page takes no entries, as with no store at all.
    add("b", "1");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, texts::kAddFailed);
    EXPECT_EQ(page->dayList().rowCount(), 0);
    EXPECT_EQ(store.recordCount(), 0);
}

// ---- adding ----

TEST_F(DayPageTest, AddWritesTheRecordAndTheRow) {
    page->setLedgerMode(LedgerMode::Expense);
    page->refreshDayView();
    add(kBuyFood, "12.5");

    // The record, byte for byte: serial 49, kind false, 2024, 3, 5, 08时05分, 买菜 and 12.5,
    // the note and the category empty.
    std::ifstream in(ledgerPath, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t kDataStart = 116 + 72 * 9;
    ASSERT_EQ(file.size(), kDataStart + kLedgerRecordLength);
    std::string expected(kLedgerRecordLength, '\0');
    auto put = [&](size_t offset, const void* bytes, size_t n) {
        std::memcpy(expected.data() + offset, bytes, n);
    };
    const unsigned char serial[] = {49, 0, 0, 0}, year[] = {0xE8, 0x07, 0, 0},
                        march[] = {3, 0, 0, 0}, fifth[] = {5, 0, 0, 0},
                        amount[] = {0x00, 0x00, 0x48, 0x41};
    put(0, serial, 4);
    put(5, year, 4);
    put(9, march, 4);
    put(13, fifth, 4);
    put(17, kTime0805.data(), 8);
    put(25, kBuyFood, 4);
    put(225, amount, 4);
    EXPECT_EQ(file.substr(kDataStart), expected);
    int32_t nextSerial = 0, count = 0;
    std::memcpy(&count, file.data() + 0x10, 4);
    std::memcpy(&nextSerial, file.data() + 0x14, 4);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(nextSerial, 50);

    ASSERT_EQ(page->dayList().rowCount(), 1);
    EXPECT_EQ(page->dayList().row(0).texts,
              (std::array<std::string, 6>{"1", kDateTime0805, kBuyFood, yuan("12.50"), "", ""}));
    EXPECT_EQ(page->dayList().entry(0).serial, 49);
    EXPECT_EQ(page->dayTotalText(), expenseTotal("12.50"));
    EXPECT_EQ(page->progressText(), texts::kProgressAdd);
    EXPECT_EQ(page->entryInputs().item, "");
    EXPECT_EQ(page->entryInputs().amount, "");
    EXPECT_EQ(window.focusCount, 1);
}

TEST_F(DayPageTest, AddTakesTheChosenDayTheClockAndTheCategory) {
    writeCategories({kWages});
    window.day = {2023, 12, 31};
    window.clock = {{2024, 1, 2}, 0, 7, 30};
    page->refreshDayView();
    add("item", "abc", "note");  // an amount without a number is stored as 0
    ASSERT_EQ(store.recordCount(), 1);
    Entry expected;
    expected.income = true;
    expected.date = {2023, 12, 31};
    expected.time =
        "00\xca\xb1"
        "07\xb7\xd6";
    expected.item = "item";
    expected.amount = 0;
    expected.category = kWages;
    expected.note = "note";
    expected.serial = kFirstSerial;
    EXPECT_EQ(stored(1), expected);
    EXPECT_EQ(page->dayList().text(0, kColumnAmount), yuan("0.00"));
    EXPECT_EQ(page->entryInputs().category(), kWages);  // the category input keeps its choice

    // The row the add shows is the row the next refresh builds from the record.
    ASSERT_EQ(page->dayList().rowCount(), 1);
    const DayRow added = page->dayList().row(0);
    page->refreshDayView();
    ASSERT_EQ(page->dayList().rowCount(), 1);
    EXPECT_EQ(page->dayList().row(0), added);
}

TEST_F(DayPageTest, AddWithoutItemOrAmountDoesNothing) {
    page->refreshDayView();
    for (auto [item, amount] : {std::pair{"", "5"}, std::pair{"x", ""}}) {
        add(item, amount, "note");
        EXPECT_EQ(store.recordCount(), 0);
        EXPECT_EQ(page->entryInputs().note, "note");
        EXPECT_EQ(page->progressText(), texts::kProgressAdd);
    }
    EXPECT_EQ(window.focusCount, 0);
}

TEST_F(DayPageTest, FailedAppendShowsAddFailedAndAddsNoRow) {
    page->refreshDayView();
    testsupport::FaultPlan plan;
    plan.failWriteAt = 0;
    files->setPlan(plan);
    add("x", "5", "n");
    files->setPlan({});
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, texts::kAddFailed);
    EXPECT_EQ(window.messages[0].title, texts::kInfoTitle);
    EXPECT_EQ(page->dayList().rowCount(), 0);
    EXPECT_EQ(store.recordCount(), 0);
    EXPECT_EQ(page->entryInputs().item, "");
    EXPECT_EQ(page->entryInputs().note, "");
    EXPECT_EQ(page->dayTotalText(), incomeTotal("0.00"));
}

// ---- changing ----

TEST_F(DayPageTest, DoubleClickThenAddSavesIntoThatRecord) {
    page->setLedgerMode(LedgerMode::Expense);
    writeCategories({kOtherExpense, kTransfer});
    page->refreshDayView();
    page->entryCategoryChoices().selectText(kTransfer);
    add(kBuyFood, "12.5", "n");
    add("other", "3");

    doubleClick(0);
    EXPECT_TRUE(page->pendingModify());
    EXPECT_EQ(page->scanAction(), ScanAction::Modify);
    EXPECT_EQ(page->progressText(), texts::kProgressScan);
    EXPECT_EQ(page->entryInputs().item, kBuyFood);
    EXPECT_EQ(page->entryInputs().amount, "12.5");
    EXPECT_EQ(page->entryInputs().note, "n");
    EXPECT_EQ(page->entryInputs().category(), kTransfer);

    page->entryInputs().amount = "20";
    page->addOrSave();
    EXPECT_FALSE(page->pendingModify());
    EXPECT_EQ(store.recordCount(), 2);
    EXPECT_EQ(stored(1).amount, 20.0f);
    EXPECT_EQ(stored(1).item, kBuyFood);
    EXPECT_EQ(stored(1).category, kTransfer);
    EXPECT_EQ(stored(1).time, kTime0805);  // fields 1 to 5 stay
    EXPECT_EQ(stored(2).amount, 3.0f);
    EXPECT_EQ(
        page->dayList().row(0).texts,
        (std::array<std::string, 6>{"1", kDateTime0805, kBuyFood, yuan("20.00"), kTransfer, "n"}));
    EXPECT_EQ(page->dayTotalText(), expenseTotal("23.00"));
    EXPECT_EQ(page->entryInputs().amount, "");
}

TEST_F(DayPageTest, SavingWithoutANumberStoresZero) {
    storeEntry(true, kDay, "a", 5);
    page->refreshDayView();
    doubleClick(0);
    page->entryInputs().amount = "\xd4\xaa";  // 元
    page->addOrSave();
    EXPECT_EQ(stored(1).amount, 0.0f);
    EXPECT_EQ(page->dayList().text(0, kColumnAmount), yuan("0.00"));
}

TEST_F(DayPageTest, AnUntouchedAmountSurvivesASave) {
    // Neither 12.345 (shown as 12.35元) nor 1234567.875 (six significant digits in the input)
    // may change when only the note is changed.
    for (float amount : {12.345f, 1234567.875f}) {
        storeEntry(true, kDay, "a", amount);
        page->refreshDayView();
        int last = page->dayList().rowCount() - 1;
        doubleClick(last);
        ASSERT_TRUE(page->pendingModify()) << amount;
        EXPECT_EQ(parseNumber(page->entryInputs().amount), amount);
        page->entryInputs().note = "changed";
        page->addOrSave();
        EXPECT_EQ(stored(store.recordCount()).amount, amount);
        EXPECT_EQ(stored(store.recordCount()).note, "changed");
        EXPECT_EQ(page->dayList().entry(last).amount, amount);
    }
}

TEST_F(DayPageTest, SaveGoesToTheRememberedRecordAndRowNotTheSelection) {
    storeEntry(true, kDay, "a", 1);
    storeEntry(true, kDay, "b", 2);
    page->refreshDayView();
    doubleClick(0);
    page->dayList().select(1);  // the user clicks another row before saving
    page->entryInputs().item = "a2";
    page->addOrSave();
    EXPECT_EQ(stored(1).item, "a2");
    EXPECT_EQ(stored(2).item, "b");
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"a2", "b"}));
}

TEST_F(DayPageTest, AnyRefreshCancelsAPendingChange) {
    struct Case {
        const char* name;
        std::function<void(DayPage&)> navigate;
    };
    const std::vector<Case> cases = {
        {"mode switch", [](DayPage& p) { p.switchMode(LedgerMode::Income); }},
        {"day step", [](DayPage& p) { p.stepNextDay(); }},
        {"date changed", [](DayPage& p) { p.onDayDateChanged(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window.day = kDay;
        page->refreshDayView();
        add("a", "1");
        doubleClick(page->dayList().rowCount() - 1);
        ASSERT_TRUE(page->pendingModify());
        int32_t before = store.recordCount();
        c.navigate(*page);
        EXPECT_FALSE(page->pendingModify());
        add("new", "2");
        EXPECT_EQ(store.recordCount(), before + 1);  // added, not silently saved elsewhere
        EXPECT_EQ(stored(before + 1).item, "new");
        EXPECT_EQ(page->dayList().text(page->dayList().rowCount() - 1, kColumnItem), "new");
    }
}

TEST_F(DayPageTest, FailedSaveShowsSaveFailedAndKeepsRowAndRecord) {
    storeEntry(true, kDay, "a", 1, "n");
    page->refreshDayView();
    doubleClick(0);
    page->entryInputs().item = "b";
    page->entryInputs().amount = "2";
    // The item is written, the amount's write fails: the item is put back.
    testsupport::FaultPlan plan;
    plan.failWriteAt = 1;
    files->setPlan(plan);
    page->addOrSave();
    files->setPlan({});
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, texts::kSaveFailed);
    EXPECT_EQ(window.messages[0].title, texts::kInfoTitle);
    EXPECT_EQ(stored(1).item, "a");
    EXPECT_EQ(stored(1).amount, 1.0f);
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"a"}));
    EXPECT_EQ(column(kColumnAmount), (std::vector<std::string>{yuan("1.00")}));
    EXPECT_FALSE(page->pendingModify());
}

TEST_F(DayPageTest, SaveOfARecordGoneMeanwhileFails) {
    storeEntry(true, kDay, "a", 1);
    page->refreshDayView();
    doubleClick(0);
    ASSERT_TRUE(store.goTo(1));
    ASSERT_TRUE(store.markDeleted());  // another program deletes it
    ASSERT_TRUE(store.purgeDeleted());
    page->entryInputs().item = "b";
    page->addOrSave();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, texts::kSaveFailed);
    EXPECT_EQ(store.recordCount(), 0);
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"a"}));
}

TEST_F(DayPageTest, CategoryNotOfferedIsKeptBySave) {
    writeCategories({kWages});
    storeEntry(true, kDay, "a", 1, "", kOtherExpense);  // an expense category on an income entry
    page->refreshDayView();
    doubleClick(0);
    EXPECT_EQ(page->entryInputs().category(), kOtherExpense);
    page->entryInputs().note = "n";
    page->addOrSave();
    EXPECT_EQ(stored(1).category, kOtherExpense);
}

TEST_F(DayPageTest, NoSelectedRowChangesNothing) {
    storeEntry(true, kDay, "a", 1);
    page->refreshDayView();
    page->entryInputs().item = "typed";
    page->beginModify();
    EXPECT_FALSE(page->pendingModify());
    EXPECT_EQ(page->entryInputs().item, "typed");
    page->deleteEntry();
    EXPECT_EQ(store.recordCount(), 1);
    EXPECT_EQ(page->dayList().rowCount(), 1);
}

// ---- deleting ----

TEST_F(DayPageTest, DeleteKeepsRowNumbersAndTheNextAddNumbersOn) {
    for (const char* item : {"a", "b", "c"}) storeEntry(true, kDay, item, 1);
    page->refreshDayView();
    page->entryInputs().item = "typed";
    deleteRow(1);
    EXPECT_EQ(window.questions, 1);
    EXPECT_EQ(page->scanAction(), ScanAction::Delete);
    EXPECT_EQ(column(kColumnNumber), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(page->entryInputs().item, "");
    EXPECT_EQ(page->dayTotalText(), incomeTotal("2.00"));
    ASSERT_EQ(store.recordCount(), 2);
    EXPECT_EQ(stored(1).item, "a");
    EXPECT_EQ(stored(2).item, "c");
    add("d", "1");
    EXPECT_EQ(column(kColumnNumber), (std::vector<std::string>{"1", "3", "3"}));
}

TEST_F(DayPageTest, DeleteAnsweredNoChangesNothing) {
    storeEntry(true, kDay, "a", 1);
    page->refreshDayView();
    doubleClick(0);
    page->entryInputs().note = "typed";
    window.answer = false;
    deleteRow(0);
    EXPECT_EQ(store.recordCount(), 1);
    EXPECT_EQ(page->dayList().rowCount(), 1);
    EXPECT_TRUE(page->pendingModify());
    EXPECT_EQ(page->entryInputs().note, "typed");
    EXPECT_EQ(page->entryInputs().item, "a");
}

TEST_F(DayPageTest, DeleteRemovesTheSelectedLookAlike) {
    // Same day, mode, item, amount and minute; only the notes differ.
    storeEntry(true, kDay, "a", 1, "first");
    storeEntry(true, kDay, "a", 1, "second");
    page->refreshDayView();
    deleteRow(1);
    ASSERT_EQ(store.recordCount(), 1);
    EXPECT_EQ(stored(1).note, "first");
    EXPECT_EQ(column(kColumnNote), (std::vector<std::string>{"first"}));

    // And a change of the second look-alike goes to the second record.
    storeEntry(true, kDay, "a", 1, "third");
    page->refreshDayView();
    doubleClick(1);
    page->entryInputs().item = "changed";
    page->addOrSave();
    EXPECT_EQ(stored(1).item, "a");
    EXPECT_EQ(stored(2).item, "changed");
}

TEST_F(DayPageTest, AnAmountThatDoesNotSurviveItsTextCanBeDeleted) {
    storeEntry(true, kDay, "a", 12.345f);
    page->refreshDayView();
    deleteRow(0);
    EXPECT_EQ(store.recordCount(), 0);
    EXPECT_EQ(page->dayList().rowCount(), 0);
}

TEST_F(DayPageTest, TheFirstRecordOfTheStoreCanBeChangedAndDeleted) {
    storeEntry(true, kDay, "first", 1);
    storeEntry(true, {2024, 3, 6}, "later", 1);
    page->refreshDayView();
    doubleClick(0);
    page->entryInputs().item = "changed";
    page->addOrSave();
    EXPECT_EQ(stored(1).item, "changed");
    deleteRow(0);
    ASSERT_EQ(store.recordCount(), 1);
    EXPECT_EQ(stored(1).item, "later");
}

// ---- keeping walks apart ----

// A piece of work that lets the window process events between its days, as the range report
// does. Handlers run there must not walk inside it.
TEST_F(DayPageTest, ActionsAskedForDuringAReportRunOnceAfterIt) {
    storeEntry(true, kDay, "a", 1);
    storeEntry(true, {2024, 3, 6}, "next day", 2);
    page->refreshDayView();
    listEvents.resets = 0;
    bool inReport = false;
    int resetsInReport = 0;
    listEvents.onReset = [&] { resetsInReport += inReport ? 1 : 0; };
    window.onProcessEvents = [&] {
        page->stepNextDay();  // a click on "后一天 >"
        while (window.dateNotifications > 0) {
            --window.dateNotifications;
            page->onDayDateChanged();
        }
    };
    queue.run(WorkQueue::Work::Report, [&] {
        inReport = true;
        window.processEvents();  // one day of the report
        EXPECT_EQ(page->dayList().text(0, kColumnItem), "a");
        inReport = false;
    });
    window.onProcessEvents = nullptr;
    EXPECT_EQ(resetsInReport, 0);
    EXPECT_EQ(listEvents.resets, 1);
    EXPECT_EQ(window.day, (Date{2024, 3, 6}));
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"next day"}));
}

TEST_F(DayPageTest, QueuedActionsRunInTheOrderAsked) {
    storeEntry(true, kDay, "a", 1);
    page->refreshDayView();
    queue.run(WorkQueue::Work::Report, [&] {
        doubleClick(0);
        page->switchMode(LedgerMode::Expense);  // drops the change located just before
        add("new", "5");
        EXPECT_EQ(store.recordCount(), 1);
        EXPECT_FALSE(page->pendingModify());
    });
    ASSERT_EQ(store.recordCount(), 2);
    EXPECT_EQ(stored(1).item, "a");
    EXPECT_FALSE(stored(2).income);
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"new"}));
}

TEST_F(DayPageTest, AQueuedSaveKeepsItsLocateWhenARefreshFollows) {
    storeEntry(true, kDay, "a", 1);
    page->refreshDayView();
    queue.run(WorkQueue::Work::Report, [&] {
        doubleClick(0);
        page->entryInputs().item = "changed";
        page->entryInputs().amount = "2";
        page->addOrSave();
        page->onDayDateChanged();  // the refresh comes after the save, which needs its locate
    });
    ASSERT_EQ(store.recordCount(), 1);
    EXPECT_EQ(stored(1).item, "changed");
    EXPECT_EQ(stored(1).amount, 2.0f);
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"changed"}));
}

TEST_F(DayPageTest, QueuedRefreshesRunOnceAndKeepTheModeText) {
    storeEntry(false, kDay, "expense", 1);
    page->refreshDayView();
    listEvents.resets = 0;
    queue.run(WorkQueue::Work::Report, [&] {
        page->onDayDateChanged();
        page->switchMode(LedgerMode::Expense);
        page->refreshDayView();
        EXPECT_EQ(listEvents.resets, 0);
    });
    EXPECT_EQ(listEvents.resets, 1);
    EXPECT_EQ(page->progressText(), kExpenseWord);
    EXPECT_EQ(column(kColumnItem), (std::vector<std::string>{"expense"}));
}

TEST_F(DayPageTest, ARefreshFromInsideAMessageBoxWaitsForTheAdd) {
    page->refreshDayView();
    testsupport::FaultPlan plan;
    plan.failWriteAt = 0;
    files->setPlan(plan);
    int focusAtReset = -1;
    listEvents.onReset = [&] { focusAtReset = window.focusCount; };
    window.onMessage = [&] { page->refreshDayView(); };  // the box's own event loop
    add("x", "1");
    files->setPlan({});
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(focusAtReset, 1);  // the refresh ran once the add had finished
    EXPECT_EQ(page->progressText(), texts::kProgressRefresh);
}

}  // namespace
}  // namespace ledger::testing
