#include "ledger/range_report.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ledger/categories.h"
#include "ledger/day_stepping.h"
#include "ledger/entry.h"
#include "ledger/value_texts.h"

namespace ledger {

namespace {

// The report's own texts, GBK bytes.
constexpr char kDayBalance[] = "\xb5\xb1\xcc\xec\xbd\xe1\xd3\xe0\xa3\xba";  // 当天结余：
// 当天总收入： after 9 spaces in a block followed by another, after 11 in the last block.
constexpr char kDayIncome[] = "         \xb5\xb1\xcc\xec\xd7\xdc\xca\xd5\xc8\xeb\xa3\xba";
constexpr char kLastDayIncome[] = "           \xb5\xb1\xcc\xec\xd7\xdc\xca\xd5\xc8\xeb\xa3\xba";
constexpr char kDayExpense[] =
    "         \xb5\xb1\xcc\xec\xd7\xdc\xbf\xaa\xd6\xa7\xa3\xba";            // 当天总开支：
constexpr char kDaysWalked[] = "\xb2\xe9\xd1\xaf\xd7\xdc\xcc\xec\xca\xfd";  // 查询总天数
constexpr char kDaysWithEntries[] = "\xd3\xd0\xca\xd5\xd6\xa7\xcc\xec\xca\xfd";  // 有收支天数
constexpr char kDaysWithout[] = "\xce\xde\xca\xd5\xd6\xa7\xcc\xec\xca\xfd";      // 无收支天数
constexpr char kDays[] = "\xcc\xec";                                             // 天
constexpr char kTotalIncome[] =
    "           \xb2\xe9\xd1\xaf\xd7\xdc\xca\xd5\xc8\xeb\xa3\xba";  // 查询总收入：
constexpr char kTotalExpense[] =
    "           \xb2\xe9\xd1\xaf\xd7\xdc\xbf\xaa\xd6\xa7\xa3\xba";  // 查询总开支：
constexpr char kTotalBalance[] =
    "           \xb2\xe9\xd1\xaf\xd7\xdc\xbd\xe1\xd3\xe0\xa3\xba";  // 查询总结余：
constexpr char kAverageIncome[] =
    "         \xc6\xbd\xbe\xf9\xc3\xbf\xcc\xec\xbd\xf8\xd5\xca\xa3\xba";  // 平均每天进帐：
constexpr char kAverageExpense[] =
    "         \xc6\xbd\xbe\xf9\xc3\xbf\xcc\xec\xbf\xaa\xd6\xa7\xa3\xba";  // 平均每天开支：
constexpr char kAverageBalance[] =
    "         \xc6\xbd\xbe\xf9\xc3\xbf\xcc\xec\xbd\xe1\xd3\xe0\xa3\xba";  // 平均每天结余：
// 日期选择错误，请重选择!
constexpr char kDateMessage[] =
    "\xc8\xd5\xc6\xda\xd1\xa1\xd4\xf1\xb4\xed\xce\xf3\xa3\xac\xc7\xeb\xd6\xd8\xd1\xa1\xd4\xf1!";

// Columns of a report row.
constexpr int kColumnNumber = 0;
constexpr int kColumnDate = 1;
constexpr int kColumnIncomeItem = 3;
constexpr int kColumnIncomeAmount = 4;
constexpr int kColumnExpenseItem = 5;
constexpr int kColumnExpenseAmount = 6;

// A day as one ordered number: year, month and day compare in that order.
int64_t dayKey(int64_t year, int64_t month, int64_t day) {
    return (year * 100 + month) * 100 + day;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// One entry of the range as the walk needs it; the item's bytes live in a shared buffer.
struct DayEntry {
    int64_t key;
    uint32_t itemOffset;
    uint32_t itemLength;
    float amount;
    bool income;
};

ReportRow balanceRow(float dayIncome, float dayExpense, bool last) {
    ReportRow row;
    row.texts[1] = kDayBalance;
    row.texts[2] = amountText(static_cast<double>(dayIncome) - static_cast<double>(dayExpense));
    row.texts[3] = last ? kLastDayIncome : kDayIncome;
    row.texts[4] = amountText(dayIncome);
    row.texts[5] = kDayExpense;
    row.texts[6] = amountText(dayExpense);
    return row;
}

ReportRow summaryRow(std::string label, std::string days, const char* totalLabel, double total,
                     const char* averageLabel, double average) {
    ReportRow row;
    row.texts[1] = std::move(label);
    row.texts[2] = std::move(days);
    row.texts[3] = totalLabel;
    row.texts[4] = amountText(total);
    row.texts[5] = averageLabel;
    row.texts[6] = amountText(average);
    return row;
}

}  // namespace

RangeReport::RangeReport(store::RecordStore& store, WindowPort& window, ReportList& list,
                         WorkQueue& queue)
    : store_(store), window_(window), list_(list), queue_(queue) {}

void RangeReport::run() {
    queue_.run(WorkQueue::Work::Report, [this] { runNow(); });
}

void RangeReport::runNow() {
    using Clock = std::chrono::steady_clock;

    // A failed run leaves the list empty, so the rows go before the inputs are checked.
    list_.removeAll();

    const Date start = chosenDay(window_.startDate());
    const Date end = chosenDay(window_.endDate());
    const std::string filter = window_.filterText();
    // The filter's first fixed item means no filter.
    const bool filtered = filter != kAllCategories;
    const int64_t dayCount = daysFromCivil(end.year, end.month, end.day) -
                             daysFromCivil(start.year, start.month, start.day) + 1;
    if (dayCount < 1) {
        window_.showMessage(kDateMessage, MessageIcon::Error, kPromptTitle);
        return;
    }

    // Collect: one pass over the store under its lock, keeping only the entries of the range in
    // the filter's category. Nothing here may let the window run.
    const int64_t firstKey = dayKey(start.year, start.month, start.day);
    const int64_t lastKey = dayKey(end.year, end.month, end.day);
    std::vector<DayEntry> entries;
    std::string items;
    const bool read = readEntries(store_, [&](const EntryView& entry) {
        const int64_t year = entry.year();
        const int64_t month = entry.month();
        const int64_t day = entry.day();
        if (year < start.year || year > end.year || month < 1 || month > 12 || day < 1 ||
            day > 31) {
            return true;
        }
        const int64_t key = dayKey(year, month, day);
        if (key < firstKey || key > lastKey) return true;
        if (filtered && entry.category() != filter) return true;
        const std::string_view item = entry.item();
        entries.push_back({key, static_cast<uint32_t>(items.size()),
                           static_cast<uint32_t>(item.size()), entry.amount(), entry.income()});
        items.append(item);
        return true;
    });
    if (!read) {
        entries.clear();
        items.clear();
    }
    // Within a day the entries keep their store order.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const DayEntry& a, const DayEntry& b) { return a.key < b.key; });

    // Room for every row at once, so the list never moves its rows while it grows; entries of
    // days the walk passes over make this an upper bound.
    {
        size_t rows = 5;
        for (size_t i = 0; i < entries.size();) {
            size_t incomes = 0;
            size_t expenses = 0;
            const size_t first = i;
            for (; i < entries.size() && entries[i].key == entries[first].key; ++i) {
                ++(entries[i].income ? incomes : expenses);
            }
            rows += std::max(incomes, expenses) + 3;
        }
        list_.reserve(static_cast<int>(std::min<size_t>(rows, 1u << 30)));
    }
    // A household's amounts repeat: each distinct stored amount is turned into the amount the
    // report counts and its text once per run.
    struct ShownAmount {
        float amount;
        std::string text;
    };
    std::unordered_map<uint32_t, ShownAmount> shownAmounts;

    // Rows of finished days wait here and reach the list in batches, each time the window is let
    // run, so the view sees whole days only and gets one insert signal per batch.
    std::vector<ReportRow> pending;
    auto lastEvents = Clock::now();
    auto letWindowRun = [&](bool flushRows) {
        if (Clock::now() - lastEvents < eventInterval_) return;
        if (flushRows) {
            list_.appendRows(std::move(pending));
            pending.clear();
        }
        window_.processEvents();
        lastEvents = Clock::now();
    };
    letWindowRun(true);

    int32_t blockCount = 0;
    int32_t daysWalked = 0;
    float dayIncome = 0;
    float dayExpense = 0;
    float totalIncome = 0;
    float totalExpense = 0;
    size_t next = 0;

    // Walk the days by the calendar the day page steps by; the walk ends when the day after the
    // one just walked reads as the day after the end date.
    const std::string pastEndText = dateText(end.year, end.month, end.day + 1);
    Date walked = start;
    for (int64_t budget = dayCount; budget >= 0; --budget) {
        const int64_t key = dayKey(walked.year, walked.month, walked.day);
        // Entries of days the walk never visits (a 30 February) are passed over.
        while (next < entries.size() && entries[next].key < key) ++next;
        const size_t first = next;
        size_t incomes = 0;
        size_t expenses = 0;
        for (; next < entries.size() && entries[next].key == key; ++next) {
            ++(entries[next].income ? incomes : expenses);
        }
        if (next > first) {
            ++blockCount;
            if (blockCount > 1) {
                pending.push_back(balanceRow(dayIncome, dayExpense, false));
                pending.emplace_back();
            }
            // The i-th income and the i-th expense share the block's i-th row; one spare row
            // ends the block.
            const size_t base = pending.size();
            pending.resize(base + std::max(incomes, expenses) + 1);
            pending[base].texts[kColumnNumber] = integerText(blockCount);
            pending[base].images[kColumnNumber] = kReportImage;
            pending[base].texts[kColumnDate] = dateText(walked.year, walked.month, walked.day);
            dayIncome = 0;
            dayExpense = 0;
            size_t incomeRow = base;
            size_t expenseRow = base;
            for (size_t i = first; i < next; ++i) {
                const DayEntry& e = entries[i];
                uint32_t bits;
                std::memcpy(&bits, &e.amount, sizeof bits);
                auto [shown, added] = shownAmounts.try_emplace(bits);
                if (added) {
                    // Amounts go through their text as the report has always counted them.
                    // A stored infinity or NaN shows as invalid and counts as 0, as in the day
                    // view (its text would otherwise read back as 0.00元).
                    if (isUsableAmount(e.amount)) {
                        shown->second.amount = parseNumber(floatText(e.amount));
                        shown->second.text = amountText(shown->second.amount);
                    } else {
                        shown->second.amount = 0;
                        shown->second.text = kInvalidAmountText;
                    }
                }
                const float amount = shown->second.amount;
                ReportRow& row = pending[e.income ? incomeRow++ : expenseRow++];
                const int itemColumn = e.income ? kColumnIncomeItem : kColumnExpenseItem;
                row.texts[itemColumn].assign(items, e.itemOffset, e.itemLength);
                row.texts[itemColumn + 1] = shown->second.text;
                if (e.income) {
                    dayIncome += amount;
                    totalIncome += amount;
                } else {
                    dayExpense += amount;
                    totalExpense += amount;
                }
                if (((i - first) & 1023) == 1023) letWindowRun(false);
            }
        }

        if (dateText(walked.year, walked.month, walked.day + 1) == pastEndText) break;
        walked = nextDate(walked);
        ++daysWalked;
        letWindowRun(true);
    }

    // The last block's balance row, also when no block was opened; then the summary.
    pending.push_back(balanceRow(dayIncome, dayExpense, true));
    ++daysWalked;
    ReportRow separator;
    for (int c = 1; c <= 6; ++c) separator.images[c] = kReportImage;
    pending.push_back(std::move(separator));
    const double income = totalIncome;
    const double expense = totalExpense;
    pending.push_back(summaryRow(kDaysWalked, integerText(daysWalked) + kDays, kTotalIncome, income,
                                 kAverageIncome, income / daysWalked));
    pending.push_back(summaryRow(kDaysWithEntries, integerText(blockCount) + kDays, kTotalExpense,
                                 expense, kAverageExpense, expense / daysWalked));
    pending.push_back(summaryRow(
        kDaysWithout, realText(static_cast<double>(daysWalked - blockCount)) + kDays, kTotalBalance,
        income - expense, kAverageBalance, (income - expense) / daysWalked));
    list_.appendRows(std::move(pending));
}

}  // namespace ledger
