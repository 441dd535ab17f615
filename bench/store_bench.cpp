// The record store at 1k, 10k and 100k ledger records: append, the per-operation walk
// (goToFirst, readField(3), skip for every record), the batch read of fields 1-4 and 7, and a
// purge with the first record marked. Compare the walk and the batch read in one run. The walks
// measure the store's two ways of reading, so they address the ledger's fields by position, as the
// store's own tests do.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "bench/unflushed_access.h"
#include "ledger/entry.h"
#include "ledger/ledger_schema.h"
#include "store/record_store.h"

namespace {

using store::RecordStore;
using store::StoreValue;

// Positions of the fields the walks read.
enum { kKind = 1, kYear = 2, kMonth = 3, kDay = 4, kAmount = 7 };

std::vector<StoreValue> entry(int i) {
    ledger::Entry e;
    e.income = i % 3 == 0;
    e.date = {2024, i % 12 + 1, i % 28 + 1};
    e.time =
        "09\xca\xb1"
        "05\xb7\xd6";
    e.item = "item";
    e.amount = 12.5f;
    e.note = "note";
    e.category = "cat";
    return ledger::entryValues(e);
}

// The benchmark's files, removed when the program ends.
struct ScratchDir {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("store_bench_" + std::to_string(getpid()));
    ScratchDir() { std::filesystem::create_directories(dir); }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

std::string scratch(const std::string& name) {
    static ScratchDir scratchDir;
    return (scratchDir.dir / name).string();
}

void writeEmpty(const std::string& path) {
    std::string bytes = ledger::emptyLedgerDatabase();
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

// A ledger file of n records, built once per size.
const std::string& ledgerOf(int n) {
    static std::map<int, std::string> files;
    auto it = files.find(n);
    if (it != files.end()) return it->second;
    std::string path = scratch("ledger" + std::to_string(n) + ".edb");
    writeEmpty(path);
    RecordStore db(bench::unflushed());  // the fixture only; flush_bench measures the flushes
    db.open(path);
    for (int i = 0; i < n; ++i) db.appendRecord(entry(i));
    return files[n] = path;
}

void BM_Append(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string path = scratch("append.edb");
    for (auto _ : state) {
        state.PauseTiming();
        writeEmpty(path);
        // The store's own cost of an append; an append with its flushes is flush_bench's.
        RecordStore db(bench::unflushed());
        db.open(path);
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) db.appendRecord(entry(i));
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_PerOperationWalk(benchmark::State& state) {
    RecordStore db;
    db.open(ledgerOf(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        int64_t sum = 0;
        int32_t count = db.recordCount();
        db.goToFirst();
        for (int32_t i = 0; i < count; ++i) {
            sum += db.readField(kMonth).integer;
            db.skip(1);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BatchRead(benchmark::State& state) {
    RecordStore db;
    db.open(ledgerOf(static_cast<int>(state.range(0))));
    const int fields[] = {kKind, kYear, kMonth, kDay, kAmount};
    for (auto _ : state) {
        double sum = 0;
        db.readRecords(fields, [&](const store::RecordView& r) {
            sum += static_cast<double>(r.integer(kKind) + r.integer(kYear) + r.integer(kMonth) +
                                       r.integer(kDay)) +
                   r.real(kAmount);
            return true;
        });
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PurgeFirstMarked(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string path = scratch("purge" + std::to_string(n) + ".edb");
    std::filesystem::copy_file(ledgerOf(n), path,
                               std::filesystem::copy_options::overwrite_existing);
    RecordStore db;
    db.open(path);
    for (auto _ : state) {
        state.PauseTiming();
        db.appendRecord(entry(0));  // keeps n records after each purge
        db.goToFirst();
        db.markDeleted();
        state.ResumeTiming();
        db.purgeDeleted();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Opening for writing checks the header and scans the serials for copies a cut-short purge left.
void BM_Open(benchmark::State& state) {
    const std::string& path = ledgerOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        RecordStore db;
        benchmark::DoNotOptimize(db.open(path));
    }
}

BENCHMARK(BM_Append)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PerOperationWalk)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchRead)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PurgeFirstMarked)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
