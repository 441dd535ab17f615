#pragma once

// The query page's report of a date range: for every day of the range that has entries, a block
// with the day's income entries beside its expense entries and the day's balance; then the
// range's day counts, totals and per-day averages.

#include <chrono>

#include "ledger/report_list.h"
#include "ledger/window_port.h"
#include "ledger/work_queue.h"
#include "store/record_store.h"

namespace ledger {

class RangeReport {
  public:
    // All four are borrowed and must outlive the report.
    RangeReport(store::RecordStore& store, WindowPort& window, ReportList& list, WorkQueue& queue);

    // The action of 查询: empties the list, reads the two query date boxes and the filter text,
    // and fills the list with the report of that range (every entry in range once, under its own
    // date, in store order within a day). An end date before the start date shows the date
    // message and leaves the list empty. Runs through the work queue: asked for while other work
    // runs, it waits for it, and asked for again while it waits, it still runs once. Never writes
    // the store; a store that cannot be read is reported as holding no entries.
    void run();

    // How much work the report does between two calls of processEvents (5 ms by default);
    // zero lets the window handle its events at every day of the walk.
    void setEventInterval(std::chrono::nanoseconds interval) { eventInterval_ = interval; }

  private:
    void runNow();

    store::RecordStore& store_;
    WindowPort& window_;
    ReportList& list_;
    WorkQueue& queue_;
    std::chrono::nanoseconds eventInterval_ = std::chrono::milliseconds(5);
};

}  // namespace ledger
