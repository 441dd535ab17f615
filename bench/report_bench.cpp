// The range report over ledgers of 100k and 10k entries spread over ten years, and the one-year
// report the way it used to be built (every collected line searched for every day's date text)
// side by side with today's on the same 10k file.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ledger/entry.h"
#include "ledger/range_report.h"
#include "ledger/report_list.h"
#include "ledger/value_texts.h"
#include "ledger/window_port.h"
#include "ledger/work_queue.h"
#include "store/record_store.h"
#include "tests/ledger/entry_file.h"

namespace {

using ledger::Date;
using ledger::DateTime;

class BenchWindow : public ledger::WindowPort {
  public:
    Date start;
    Date end;
    std::string filter = "\xc8\xab\xb2\xbf\xca\xfd\xbe\xdd";  // 全部数据
    int events = 0;
    DateTime dayDate() const override { return {start, 23, 59, 59}; }
    bool setDayDate(const Date&) override { return true; }
    DateTime startDate() const override { return {start, 23, 59, 59}; }
    DateTime endDate() const override { return {end, 23, 59, 59}; }
    std::string filterText() const override { return filter; }
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void showMessage(const std::string&, ledger::MessageIcon, const std::string&) override {}
    void focusItemInput() override {}
    void processEvents() override { benchmark::DoNotOptimize(++events); }
    DateTime now() const override { return {start, 12, 0, 0}; }
};

// A household's ten years, 2015 to 2024, entries in the order they were added, day by day.
class Ledger {
  public:
    // Amounts repeat as a household's do (20000 different ones), or with `distinctAmounts` no two
    // are alike.
    Ledger(int entries, bool distinctAmounts) {
        char dir[] = "/tmp/report_benchXXXXXX";
        if (mkdtemp(dir) != nullptr) dir_ = dir;
        path_ = dir_ + "/Database.edb";
        static const std::array<const char*, 6> kItems{
            "\xce\xe7\xb7\xb9",                  // 午饭
            "\xb3\xb5\xb7\xd1",                  // 车费
            "\xb3\xac\xca\xd0\xb2\xc9\xb9\xba",  // 超市采购
            "\xcb\xae\xb5\xe7\xb7\xd1",          // 水电费
            "\xb9\xa4\xd7\xca",                  // 工资
            "\xbd\xb1\xbd\xf0",                  // 奖金
        };
        static const std::array<const char*, 3> kCategories{
            "\xb2\xcd\xd2\xfb\xbf\xaa\xd6\xa7",  // 餐饮开支
            "\xbd\xbb\xcd\xa8\xbf\xaa\xd6\xa7",  // 交通开支
            "",
        };
        std::vector<ledger::Entry> all;
        all.reserve(entries);
        const int64_t days = 3653;
        for (int i = 0; i < entries; ++i) {
            ledger::Entry e;
            e.date = dayAfter({2015, 1, 1}, static_cast<int>(int64_t{i} * days / entries));
            e.time = ledgertest::kFixtureTime;
            e.income = i % 5 == 0;
            e.item = kItems[(i * 7) % kItems.size()];
            e.amount = distinctAmounts ? static_cast<float>(i) * 0.37f
                                       : static_cast<float>((i * 37) % 20000) / 8.0f;
            e.category = e.income ? "\xb9\xa4\xd7\xca\xca\xd5\xc8\xeb"  // 工资收入
                                  : kCategories[i % kCategories.size()];
            e.note = i % 3 == 0 ? "\xb1\xb8\xd7\xa2" : "";  // 备注
            all.push_back(std::move(e));
        }
        ledgertest::writeLedgerFile(path_, all);
        store_.open(path_);
    }
    ~Ledger() {
        store_.close();
        std::remove(path_.c_str());
        rmdir(dir_.c_str());
    }
    store::RecordStore& store() { return store_; }

  private:
    static Date dayAfter(Date d, int n) {
        static const int kLength[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        while (n-- > 0) {
            const bool leap = d.year % 4 == 0;
            const int length = d.month == 2 && leap ? 29 : kLength[d.month - 1];
            if (++d.day > length) {
                d.day = 1;
                if (++d.month > 12) {
                    d.month = 1;
                    ++d.year;
                }
            }
        }
        return d;
    }

    std::string dir_ = "/tmp";
    std::string path_;
    store::RecordStore store_;
};

Ledger& ledgerOf(int entries, bool distinctAmounts = false) {
    static std::map<std::pair<int, bool>, std::unique_ptr<Ledger>> ledgers;
    auto& slot = ledgers[{entries, distinctAmounts}];
    if (!slot) slot = std::make_unique<Ledger>(entries, distinctAmounts);
    return *slot;
}

// The old report: every entry of the range's years as one text line joined by "*?*", and for
// every day a search of every line for the day's date text, with window events before each.
namespace lineSearch {

const std::string kSeparator = "*?*";

std::vector<std::string> textSplit(const std::string& t, const std::string& sep) {
    std::vector<std::string> parts;
    size_t from = 0;
    size_t i = 0;
    while (i < t.size()) {
        if (t.compare(i, sep.size(), sep) == 0) {
            parts.push_back(t.substr(from, i - from));
            i += sep.size();
            from = i;
        } else {
            i += static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1;
        }
    }
    parts.push_back(t.substr(from < t.size() ? from : t.size()));
    return parts;
}

void writeBalance(ledger::ReportList& list, int r, float income, float expense, bool last) {
    list.setText(r, 1, "\xb5\xb1\xcc\xec\xbd\xe1\xd3\xe0\xa3\xba");
    list.setText(r, 2, ledger::amountText(static_cast<double>(income) - expense));
    list.setText(r, 3,
                 last ? "           \xb5\xb1\xcc\xec\xd7\xdc\xca\xd5\xc8\xeb\xa3\xba"
                      : "         \xb5\xb1\xcc\xec\xd7\xdc\xca\xd5\xc8\xeb\xa3\xba");
    list.setText(r, 4, ledger::amountText(income));
    list.setText(r, 5, "         \xb5\xb1\xcc\xec\xd7\xdc\xbf\xaa\xd6\xa7\xa3\xba");
    list.setText(r, 6, ledger::amountText(expense));
}

void run(store::RecordStore& store, ledger::WindowPort& window, ledger::ReportList& list) {
    list.removeAll();
    const Date s = ledger::chosenDay(window.startDate());
    const Date e = ledger::chosenDay(window.endDate());
    const std::string filter = window.filterText();
    const std::string startText = ledger::dateText(s.year, s.month, s.day);

    std::vector<std::string> lines;
    ledger::readEntries(store, [&](const ledger::EntryView& entry) {
        const int64_t year = entry.year();
        if (year >= s.year && year <= e.year) {
            const Date d = entry.date();
            std::string line = entry.income() ? "1" : "0";
            line += kSeparator;
            line += ledger::dateText(d.year, d.month, d.day);
            line += kSeparator;
            line += entry.item();
            line += kSeparator + ledger::floatText(entry.amount());
            line += kSeparator;
            line += entry.note();
            line += kSeparator;
            line += entry.category();
            lines.push_back(std::move(line));
        }
        return true;
    });

    std::string lastDayText = startText;
    bool newDay = true;
    int32_t blockCount = 0, daysWalked = 0;
    float dayIncome = 0, dayExpense = 0, totalIncome = 0, totalExpense = 0;
    int incomeRow = 0, expenseRow = 0;
    int32_t y = s.year, m = s.month, d = s.day;
    const std::string pastEnd = ledger::dateText(e.year, e.month, e.day + 1);
    // Both dates read back at midnight; both ends count.
    auto serialDay = [](const Date& t) {
        const int64_t yy = t.year - (t.month <= 2);
        const int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
        const int64_t yoe = yy - era * 400;
        const int64_t doy = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
        return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy;
    };
    const int64_t dayCount = serialDay(e) - serialDay(s) + 1;
    if (dayCount < 1) return;
    for (int64_t budget = dayCount; budget >= 0; --budget) {
        const std::string dayText = ledger::dateText(y, m, d);
        for (const std::string& line : lines) {
            window.processEvents();
            if (ledger::textFind(line, dayText) == -1) continue;
            std::vector<std::string> parts = textSplit(line, kSeparator);
            if (parts.size() != 6) continue;
            if (filter != "\xc8\xab\xb2\xbf\xca\xfd\xbe\xdd" && parts[5] != filter) continue;
            if (lastDayText != dayText) {
                lastDayText = dayText;
                newDay = true;
            }
            if (newDay) {
                newDay = false;
                ++blockCount;
                if (list.rowCount() > 0) {
                    int r = list.appendRow();
                    writeBalance(list, r, dayIncome, dayExpense, false);
                    list.appendRow();
                }
                int f = list.appendRow();
                list.setImage(f, 0, 0);
                list.setText(f, 0, ledger::integerText(blockCount));
                list.setText(f, 1, parts[1]);
                dayIncome = dayExpense = 0;
                incomeRow = expenseRow = f;
            }
            const float amount = ledger::parseNumber(parts[3]);
            if (parts[0] == "1") {
                if (incomeRow >= expenseRow) list.appendRow();
                list.setText(incomeRow, 3, parts[2]);
                list.setText(incomeRow, 4, ledger::amountText(amount));
                ++incomeRow;
                dayIncome += amount;
                totalIncome += amount;
            } else {
                if (expenseRow >= incomeRow) list.appendRow();
                list.setText(expenseRow, 5, parts[2]);
                list.setText(expenseRow, 6, ledger::amountText(amount));
                ++expenseRow;
                dayExpense += amount;
                totalExpense += amount;
            }
        }
        ++d;
        if (ledger::dateText(y, m, d) == pastEnd) break;
        if (m == 2) {
            if (d == (y % 400 == 0 || y % 4 == 0 ? 30 : 29)) d = 1, m = 3;
        } else if (m == 1 || m == 3 || m == 5 || m == 7 || m == 8 || m == 10 || m == 12) {
            if (d == 32) d = 1, ++m;
        } else if (d == 31) {
            d = 1, ++m;
        }
        if (m == 13) m = 1, ++y;
        ++daysWalked;
    }
    int r = list.appendRow();
    writeBalance(list, r, dayIncome, dayExpense, true);
    ++daysWalked;
    int sep = list.appendRow();
    for (int c = 1; c <= 6; ++c) list.setImage(sep, c, 0);
    // The summary rows cost nothing beside the walk; three rows keep the row count comparable.
    for (int i = 0; i < 3; ++i) list.appendRow();
    benchmark::DoNotOptimize(totalIncome + totalExpense + daysWalked);
}

}  // namespace lineSearch

struct Range {
    Date start;
    Date end;
};

const Range kMonth{{2020, 3, 1}, {2020, 3, 31}};
const Range kYear{{2020, 1, 1}, {2020, 12, 31}};
const Range kTenYears{{2015, 1, 1}, {2024, 12, 31}};

void reportBench(benchmark::State& state, int entries, Range range, bool distinctAmounts = false) {
    Ledger& ledger = ledgerOf(entries, distinctAmounts);
    if (!ledger.store().isOpen()) {
        state.SkipWithError("the benchmark ledger could not be opened");
        return;
    }
    BenchWindow window;
    window.start = range.start;
    window.end = range.end;
    ledger::ReportList list;
    ledger::WorkQueue queue;
    ledger::RangeReport report(ledger.store(), window, list, queue);
    for (auto _ : state) {
        report.run();
        benchmark::DoNotOptimize(list.rowCount());
    }
    state.counters["rows"] = list.rowCount();
    state.counters["events"] =
        benchmark::Counter(window.events, benchmark::Counter::kAvgIterations);
}

void lineSearchBench(benchmark::State& state, int entries, Range range) {
    Ledger& ledger = ledgerOf(entries);
    if (!ledger.store().isOpen()) {
        state.SkipWithError("the benchmark ledger could not be opened");
        return;
    }
    BenchWindow window;
    window.start = range.start;
    window.end = range.end;
    ledger::ReportList old;
    ledger::ReportList now;
    ledger::WorkQueue queue;
    // Both ways must show the same rows for these ordinary entries (the summary rows aside).
    lineSearch::run(ledger.store(), window, old);
    ledger::RangeReport(ledger.store(), window, now, queue).run();
    if (old.rowCount() != now.rowCount() ||
        !std::equal(old.rows().begin(), old.rows().end() - 3, now.rows().begin())) {
        state.SkipWithError("the two reports differ");
        return;
    }
    for (auto _ : state) {
        lineSearch::run(ledger.store(), window, old);
        benchmark::DoNotOptimize(old.rowCount());
    }
    state.counters["rows"] = old.rowCount();
}

BENCHMARK_CAPTURE(reportBench, month_100k, 100000, kMonth)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(reportBench, year_100k, 100000, kYear)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(reportBench, tenYears_100k, 100000, kTenYears)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(reportBench, tenYears_100k_distinctAmounts, 100000, kTenYears, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(reportBench, year_10k, 10000, kYear)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(lineSearchBench, year_10k, 10000, kYear)->Unit(benchmark::kMillisecond);

}  // namespace
