// What one day view refresh pays for its category choices: the settings file is read once for
// the count and once per category, so the cost grows with the square of the category count.
// Compare BM_ModeChoices/n with n times BM_ReadOneKey/n. And what one add on the settings page
// pays: two atomic rewrites of the file, each flushed to the disk with its folder (real time,
// since the flushes wait for the disk rather than the processor).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ledger/categories.h"
#include "ledger/settings_file.h"
#include "ledger/value_texts.h"

namespace {

std::string settingsWith(int n) {
    std::string path =
        (std::filesystem::temp_directory_path() /
         ("categories_bench_" + std::to_string(::getpid()) + "_" + std::to_string(n) + ".ini"))
            .string();
    std::string text = "[\xd7\xdc]\r\n1=" + std::to_string(n) + "\r\n[\xc0\xe0]\r\n";  // 总, 类
    for (int k = 1; k <= n; ++k) {
        // alternately 工资收入 and 其它开支 with a number, like a real list
        text += std::to_string(k) + "=" +
                (k % 2 ? "\xb9\xa4\xd7\xca\xca\xd5\xc8\xeb" : "\xc6\xe4\xcb\xfc\xbf\xaa\xd6\xa7") +
                std::to_string(k) + "\r\n";
    }
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void BM_ReadOneKey(benchmark::State& state) {
    int n = static_cast<int>(state.range(0));
    std::string path = settingsWith(n);
    std::string key = std::to_string(n);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ledger::readProfileString(*store::posixFileAccess(), path, "\xc0\xe0", key));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadOneKey)->Arg(10)->Arg(50)->Arg(200);

void BM_ModeChoices(benchmark::State& state) {
    int n = static_cast<int>(state.range(0));
    ledger::Categories c{settingsWith(n), 0};
    ledger::TextList choices;
    for (auto _ : state) ledger::loadModeCategoryChoices(c, ledger::LedgerMode::Income, choices);
    std::filesystem::remove(c.settingsPath);
}
BENCHMARK(BM_ModeChoices)->Arg(10)->Arg(50)->Arg(200);

void BM_AddCategory(benchmark::State& state) {
    int n = static_cast<int>(state.range(0));
    ledger::Categories c{settingsWith(n), n};
    ledger::TextList box;
    for (auto _ : state)
        ledger::addCategory(c, box, "\xc9\xfa\xbb\xee\xbf\xaa\xd6\xa7");  // 生活开支
    std::filesystem::remove(c.settingsPath);
}
BENCHMARK(BM_AddCategory)->Arg(10)->Arg(200)->UseRealTime();

}  // namespace
