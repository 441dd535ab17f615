// The day view's refresh on ledgers of 1k, 10k and 100k records (about ten entries a day), side
// by side with the same walk written the per-operation way (goToFirst, readField, skip), and the
// delete of an entry near the start of a 100k-record ledger (locate by serial, mark, purge).
//
//   build/bench/day_view_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "bench/unflushed_access.h"
#include "ledger/categories.h"
#include "ledger/day_page.h"
#include "ledger/day_stepping.h"
#include "ledger/entry.h"
#include "ledger/ledger_schema.h"
#include "ledger/value_texts.h"
#include "ledger/window_port.h"
#include "ledger/work_queue.h"
#include "store/record_store.h"

namespace {

using ledger::Date;
using ledger::DateTime;

constexpr int kEntriesPerDay = 10;
const Date kFirstDay{2000, 1, 1};

class BenchWindow : public ledger::WindowPort {
  public:
    Date day = kFirstDay;
    DateTime dayDate() const override { return {day, 23, 59, 59}; }
    bool setDayDate(const Date& d) override {
        day = d;
        return true;
    }
    DateTime startDate() const override { return dayDate(); }
    DateTime endDate() const override { return dayDate(); }
    std::string filterText() const override { return {}; }
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    void showMessage(const std::string&, ledger::MessageIcon, const std::string&) override {}
    void focusItemInput() override {}
    void processEvents() override {}
    DateTime now() const override { return {day, 8, 5, 0}; }
};

// The benchmark's files, removed when the program ends.
struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "day_view_bench_XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

std::filesystem::path benchDir() {
    static const ScratchDir dir;
    return dir.path;
}

// A ledger of n records, ten a day from kFirstDay on, income and expense alternating; written
// once per size and kept for the run.
std::string ledgerOf(int n) {
    static std::map<int, std::string> made;
    auto it = made.find(n);
    if (it != made.end()) return it->second;
    std::string path = (benchDir() / ("ledger_" + std::to_string(n) + ".edb")).string();
    std::ofstream(path, std::ios::binary) << ledger::emptyLedgerDatabase();
    store::RecordStore s(bench::unflushed());  // the fixture only: flushes cost a run its time
    if (!s.open(path)) std::abort();
    Date day = kFirstDay;
    for (int i = 0; i < n; ++i) {
        if (i > 0 && i % kEntriesPerDay == 0) day = ledger::nextDate(day);
        ledger::Entry e;
        e.income = i % 2 == 0;
        e.date = day;
        e.time = ledger::hourMinuteText(8, i % 60);
        e.item = "item " + std::to_string(i);
        e.amount = static_cast<float>(i % 1000) + 0.25f;
        e.note = "note";
        if (ledger::appendEntry(s, e) == 0) std::abort();
    }
    s.close();
    made[n] = path;
    return path;
}

// The day in the middle of a ledger of n records.
Date middleDay(int n) {
    Date d = kFirstDay;
    for (int i = 0; i < n / kEntriesPerDay / 2; ++i) d = ledger::nextDate(d);
    return d;
}

void BM_RefreshDayView(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    store::RecordStore s;
    if (!s.open(ledgerOf(n))) std::abort();
    BenchWindow window;
    window.day = middleDay(n);
    ledger::WorkQueue queue;
    ledger::Categories categories{(benchDir() / "pz.ini").string(), 0};
    ledger::DayPage page(s, window, queue, categories);
    for (auto _ : state) {
        page.refreshDayView();
        benchmark::DoNotOptimize(page.dayList().rowCount());
    }
    if (page.dayList().rowCount() != kEntriesPerDay / 2) state.SkipWithError("wrong day view");
    state.SetItemsProcessed(state.iterations() * n);
}

// The same walk, one store call per field and per step: the month first, then year and day, the
// whole record only for the chosen day. A baseline of the store's cursor access, so it addresses
// the ledger's fields by position, as the store's own tests do.
void BM_PerOperationWalk(benchmark::State& state) {
    enum { kKind = 1, kYear, kMonth, kDay, kTime, kItem, kAmount, kNote, kCategory };
    const int n = static_cast<int>(state.range(0));
    store::RecordStore s;
    if (!s.open(ledgerOf(n))) std::abort();
    const Date day = middleDay(n);
    for (auto _ : state) {
        int rows = 0;
        float income = 0, expense = 0;
        s.goToFirst();
        int32_t count = s.recordCount();
        for (int32_t i = 0; i < count; ++i) {
            if (s.readField(kMonth).integer == day.month &&
                s.readField(kYear).integer == day.year && s.readField(kDay).integer == day.day) {
                bool kind = s.readField(kKind).asBool();
                float amount = s.readField(kAmount).asFloat();
                if (kind) {
                    income = ledger::addAmount(income, amount);
                    std::string text = ledger::entryDateTimeText(day.year, day.month, day.day,
                                                                 s.readField(kTime).text);
                    benchmark::DoNotOptimize(text);
                    benchmark::DoNotOptimize(s.readField(kItem));
                    benchmark::DoNotOptimize(s.readField(kNote));
                    benchmark::DoNotOptimize(s.readField(kCategory));
                    ++rows;
                } else {
                    expense = ledger::addAmount(expense, amount);
                }
            }
            s.skip(1);
        }
        benchmark::DoNotOptimize(rows);
        benchmark::DoNotOptimize(income + expense);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Deletes the first entry of the first day (near the start of the file): locate by serial in one
// batch read, mark, purge (which moves every later record), remove the row.
void BM_LocateAndDeleteNearStart(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string pristine = ledgerOf(n);
    const std::string work = (benchDir() / "work.edb").string();
    BenchWindow window;
    window.day = kFirstDay;
    ledger::WorkQueue queue;
    ledger::Categories categories{(benchDir() / "pz.ini").string(), 0};
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(pristine, work,
                                   std::filesystem::copy_options::overwrite_existing);
        store::RecordStore s;
        if (!s.open(work)) std::abort();
        ledger::DayPage page(s, window, queue, categories);
        page.refreshDayView();
        page.dayList().select(0);
        state.ResumeTiming();

        page.deleteEntry();

        state.PauseTiming();
        if (s.recordCount() != n - 1) state.SkipWithError("nothing deleted");
        s.close();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_RefreshDayView)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PerOperationWalk)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateAndDeleteNearStart)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
