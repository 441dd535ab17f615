// The cost of one add (an append of a ledger entry) with its two flushes, and the same add with
// the flushes left out, side by side on the same disk in one run. The flushes are what makes an
// acknowledged add survive a power cut; an add must stay within 10 ms.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "bench/unflushed_access.h"
#include "ledger/ledger_open.h"
#include "ledger/ledger_schema.h"
#include "store/file_access.h"
#include "store/record_store.h"

namespace {

using store::StoreValue;

const std::vector<StoreValue>& entry() {
    static const std::vector<StoreValue> values = {StoreValue::ofBool(false),
                                                   StoreValue::ofInt(2024),
                                                   StoreValue::ofInt(3),
                                                   StoreValue::ofInt(5),
                                                   StoreValue::ofText("09\xca\xb1"
                                                                      "05\xb7\xd6"),
                                                   StoreValue::ofText("rice"),
                                                   StoreValue::ofFloat(12.5f),
                                                   StoreValue::ofText("note"),
                                                   StoreValue::ofText("cat")};
    return values;
}

// Appends entries to a fresh ledger beside the benchmark (the disk the program would use is the
// one the user runs it from; the temporary folder is the closest this run can get).
void addOneEntry(benchmark::State& state, std::shared_ptr<store::FileAccess> files) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("flush_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "Database.edb").string();
    {
        const std::string bytes = ledger::emptyLedgerDatabase();
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
    }
    store::RecordStore db(files);
    if (!ledger::openLedger(db, path)) state.SkipWithError("open failed");
    for (auto _ : state) {
        if (!db.appendRecord(entry())) state.SkipWithError("append failed");
    }
    db.close();
    std::filesystem::remove_all(dir);
}

void BM_AddFlushed(benchmark::State& state) { addOneEntry(state, store::posixFileAccess()); }
void BM_AddUnflushed(benchmark::State& state) { addOneEntry(state, bench::unflushed()); }

BENCHMARK(BM_AddFlushed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AddUnflushed)->Unit(benchmark::kMicrosecond);

}  // namespace
