#pragma once

// One run of the program on one ledger: the database and the settings file beside the program,
// the open store, the category state, the lists the pages show, and the day page and range report
// that work on them. `app/` builds one and hands it to the window; the window shows what it
// holds and owns none of it.

#include <cstdint>
#include <memory>
#include <string>

#include "ledger/categories.h"
#include "ledger/day_page.h"
#include "ledger/range_report.h"
#include "ledger/report_list.h"
#include "ledger/text_list.h"
#include "ledger/window_port.h"
#include "ledger/work_queue.h"
#include "store/file_access.h"
#include "store/record_store.h"

namespace ledger {

class Session {
  public:
    // The ledger in `runDirectory` (the program's own folder, in the file system's encoding):
    // Database.edb and pz.ini beside each other, every file reached through `files`. Touches no
    // file yet; the store stays closed until openLedger(). The filter list starts with its fixed
    // items, the first one chosen.
    explicit Session(const std::string& runDirectory,
                     std::shared_ptr<store::FileAccess> files = store::posixFileAccess());
    // Closes the store with ledgerPath(); closing writes nothing to the file. A window attached
    // to the session must have been detached before.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The folder the two files live in, made absolute, and the files' full paths.
    const std::string& runDirectory() const { return runDirectory_; }
    const std::string& ledgerPath() const { return ledgerPath_; }
    const std::string& settingsPath() const { return settingsPath_; }

    // ---- the window ----
    // Builds the day page and the range report on `window`, which answers their questions
    // (dates, the filter, message boxes, the clock) until detachWindow(). One window at a time.
    void attachWindow(WindowPort& window);
    // Drops the day page and the range report; the lists they filled keep their rows.
    void detachWindow();

    // ---- startup, in this order ----
    // A first start (no file at ledgerPath()) writes the empty ledger database there; a file
    // that is there is never replaced. Then opens the store on it. Returns 0, or the store's
    // error code when a database that was already there could not be opened: it is left as it
    // was and the store stays closed, so every walk finds no entries. A failed first-start write
    // is not reported; the store then stays closed in the same way. The open checks the ledger's
    // layout before any repair; what a repair changed is in recordStore().lastRepair().
    int32_t openLedger();
    // The pages' first fill: income mode, the day view for the date the day box holds (its first
    // date, not yet today), then the category count and the category filter and box from the
    // settings file. Needs an attached window.
    void fillPages();

    // ---- what the pages show and share ----
    store::RecordStore& recordStore() { return store_; }
    Categories& categories() { return categories_; }
    // The query page's category filter (组合框3): the fixed items, then the file's categories.
    TextList& filterList() { return filterList_; }
    // The settings page's category box (组合框4): the file's categories and those added since.
    TextList& categoryBoxList() { return categoryBoxList_; }
    ReportList& reportList() { return reportList_; }
    // The one queue of the work that uses the store; a batch of changes runs through it too.
    WorkQueue& workQueue() { return queue_; }
    // The day page and the range report exist while a window is attached.
    DayPage& dayPage() { return *dayPage_; }
    RangeReport& rangeReport() { return *report_; }

  private:
    std::string runDirectory_;
    std::string ledgerPath_;
    std::string settingsPath_;

    std::shared_ptr<store::FileAccess> files_;
    store::RecordStore store_;
    // The one queue of the work that uses the store: the day page's and the report's.
    WorkQueue queue_;
    Categories categories_;
    TextList filterList_;
    TextList categoryBoxList_;
    ReportList reportList_;
    std::unique_ptr<DayPage> dayPage_;
    std::unique_ptr<RangeReport> report_;
};

}  // namespace ledger
