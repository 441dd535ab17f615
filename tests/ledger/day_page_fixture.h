#pragma once

// A day page on a real store in a temporary folder, with a fake window.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ledger/categories.h"
#include "ledger/day_page.h"
#include "ledger/entry.h"
#include "ledger/ledger_schema.h"
#include "ledger/settings_file.h"
#include "ledger/window_port.h"
#include "ledger/work_queue.h"
#include "store/record_store.h"
#include "testsupport/fault_file_access.h"

namespace ledger::testing {

// GBK texts the tests use.
inline constexpr char kBuyFood[] = "\xc2\xf2\xb2\xcb";                       // 买菜
inline constexpr char kWages[] = "\xb9\xa4\xd7\xca\xca\xd5\xc8\xeb";         // 工资收入
inline constexpr char kOtherExpense[] = "\xc6\xe4\xcb\xfc\xbf\xaa\xd6\xa7";  // 其它开支
inline constexpr char kTransfer[] =
    "\xca\xd5\xc8\xeb\xbf\xaa\xd6\xa7\xd7\xaa\xd5\xcb";  // 收入开支转账
inline constexpr char kYuan[] = "\xd4\xaa";              // 元

// The day date box accepts what it can show: a calendar date from 1901-02-19 to 2048-12-31.
inline bool dateBoxAccepts(const Date& d) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.month < 1 || d.month > 12 || d.day < 1) return false;
    bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    int last = kDays[d.month - 1] + (d.month == 2 && leap ? 1 : 0);
    if (d.day > last) return false;
    if (d.year > 2048) return false;
    if (d.year < 1901 || (d.year == 1901 && (d.month < 2 || (d.month == 2 && d.day < 19)))) {
        return false;
    }
    return true;
}

class FakeWindow : public WindowPort {
  public:
    Date day{2024, 3, 5};
    DateTime clock{{2024, 3, 5}, 8, 5, 0};
    bool answer = true;
    int dateNotifications = 0;  // queued date-changed notifications, delivered by the test
    int focusCount = 0;
    int questions = 0;
    struct Message {
        std::string text;
        MessageIcon icon;
        std::string title;
    };
    std::vector<Message> messages;
    std::function<void()> onProcessEvents;
    std::function<void()> onMessage;  // runs inside the modal box, as its event loop would

    DateTime dayDate() const override { return {day, 23, 59, 59}; }
    bool setDayDate(const Date& d) override {
        if (!dateBoxAccepts(d)) return false;
        day = d;
        ++dateNotifications;
        return true;
    }
    DateTime startDate() const override { return {day, 23, 59, 59}; }
    DateTime endDate() const override { return {day, 23, 59, 59}; }
    std::string filterText() const override { return {}; }
    bool askYesNo(const std::string&, const std::string&) override {
        ++questions;
        return answer;
    }
    void showMessage(const std::string& text, MessageIcon icon, const std::string& title) override {
        messages.push_back({text, icon, title});
        if (onMessage) onMessage();
    }
    void focusItemInput() override { ++focusCount; }
    void processEvents() override {
        if (onProcessEvents) onProcessEvents();
    }
    DateTime now() const override { return clock; }
};

// Counts what the day list tells its view.
class ListEvents : public ListObserver {
  public:
    int resets = 0;
    std::function<void()> onReset;
    void reset() override {
        ++resets;
        if (onReset) onReset();
    }
};

class DayPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "day_page_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        ledgerPath = (dir / "Database.edb").string();
        categories.settingsPath = (dir / "pz.ini").string();
        std::ofstream(ledgerPath, std::ios::binary) << emptyLedgerDatabase();
        ASSERT_TRUE(store.open(ledgerPath));
        page = std::make_unique<DayPage>(store, window, queue, categories);
        page->dayList().setObserver(&listEvents);
    }
    void TearDown() override {
        page.reset();
        store.close();
        std::filesystem::remove_all(dir);
    }

    // Appends a record the way another day's add would have, bypassing the page.
    void storeEntry(bool income, Date d, const std::string& item, float amount,
                    const std::string& note = {}, const std::string& category = {},
                    const std::string& time =
                        "08\xca\xb1"
                        "05\xb7\xd6") {
        Entry e;
        e.income = income;
        e.date = d;
        e.time = time;
        e.item = item;
        e.amount = amount;
        e.note = note;
        e.category = category;
        ASSERT_NE(appendEntry(store, e), 0);
    }

    void writeCategories(const std::vector<std::string>& names) {
        for (size_t k = 0; k < names.size(); ++k) {
            writeProfileString(*categories.files, categories.settingsPath,
                               std::string(kCategorySection), std::to_string(k + 1), names[k]);
        }
        writeProfileString(*categories.files, categories.settingsPath, std::string(kCountSection),
                           std::string(kCountKey), std::to_string(names.size()));
    }

    // Types into the inputs and presses the add button.
    void add(const std::string& item, const std::string& amount, const std::string& note = {}) {
        page->entryInputs().item = item;
        page->entryInputs().amount = amount;
        page->entryInputs().note = note;
        page->addOrSave();
    }

    void doubleClick(int row) {
        page->dayList().select(row);
        page->beginModify();
    }

    void deleteRow(int row) {
        page->dayList().select(row);
        page->deleteEntry();
    }

    // The entry of the 1-based record n, as the store holds it (no record is left marked between
    // the page's operations, so positions count live records).
    Entry stored(int32_t n) {
        std::vector<Entry> all;
        EXPECT_TRUE(readEntries(store, [&](const EntryView& e) {
            all.push_back(e.entry());
            return true;
        }));
        EXPECT_GE(n, 1);
        EXPECT_LE(n, static_cast<int32_t>(all.size()));
        return n >= 1 && n <= static_cast<int32_t>(all.size()) ? all[n - 1] : Entry{};
    }

    std::vector<std::string> column(int c) const {
        std::vector<std::string> out;
        for (int r = 0; r < page->dayList().rowCount(); ++r)
            out.push_back(page->dayList().text(r, c));
        return out;
    }

    std::filesystem::path dir;
    std::string ledgerPath;
    std::shared_ptr<testsupport::FaultFileAccess> files =
        std::make_shared<testsupport::FaultFileAccess>();
    store::RecordStore store{files};
    FakeWindow window;
    WorkQueue queue;
    Categories categories;
    ListEvents listEvents;
    std::unique_ptr<DayPage> page;
};

}  // namespace ledger::testing
