#pragma once

// Export of the ledger's entries as a CSV or an Excel workbook. Both carry the same seven
// columns: 日期, 时间, 收支, 项目, 金额, 类别, 备注; entries in date order and in store order
// within a day, deleted records never.

#include <optional>
#include <string>
#include <vector>

#include "ledger/entry.h"
#include "store/record_store.h"

namespace exchange {

// Which entries an export takes: the dates from `from` to `to` (both included, either open when
// absent) and, when `category` (GBK) is neither empty nor 全部数据, only that category.
struct ExportFilter {
    std::optional<ledger::Date> from;
    std::optional<ledger::Date> to;
    std::string category;
};

enum class ExportFormat { Csv, Xlsx };
// A CSV is UTF-8 with a byte-order mark, so that spreadsheet programs read the Chinese right;
// GBK is for older programs and carries no mark.
enum class CsvEncoding { Utf8, Gbk };

// The entries of the open store that pass `filter`, sorted by date, store order kept within a
// day. On failure (a store that cannot be read) returns false with `error` set (UTF-8).
bool collectEntries(store::RecordStore& s, const ExportFilter& filter,
                    std::vector<ledger::Entry>& entries, std::string& error);

// The 时间 column's text (GBK): "14:35" for a stored "14时35分", else the stored text as it is.
std::string exportTimeText(const std::string& storedTime);

// The whole CSV file: header row, one row per entry, CRLF line ends.
std::string csvBytes(const std::vector<ledger::Entry>& entries, CsvEncoding encoding);

// The whole XLSX file: amounts as numbers shown as 0.00, dates as dates, the header row frozen,
// columns as wide as their longest text. False with `error` set when the workbook cannot be made.
bool xlsxBytes(const std::vector<ledger::Entry>& entries, std::string& bytes, std::string& error);

// The format named by the file's extension (.csv or .xlsx, any case); nullopt for any other.
std::optional<ExportFormat> formatFromPath(const std::string& path);

struct ExportResult {
    bool ok = false;
    int count = 0;      // entries written
    std::string error;  // UTF-8, when not ok
};

// Collects the entries and writes them to `path` (atomically: a failed export leaves the file
// that was there) in the format its extension names.
ExportResult exportToFile(store::RecordStore& s, const ExportFilter& filter,
                          const std::string& path, CsvEncoding encoding);

}  // namespace exchange
