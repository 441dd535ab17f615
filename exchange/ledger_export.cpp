#include "exchange/ledger_export.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "exchange/csv_text.h"
#include "exchange/exchange_files.h"
#include "ledger/categories.h"
#include "ledger/gbk.h"
#include "ledger/value_texts.h"

namespace exchange {

namespace {

constexpr const char* kHeaders[] = {"日期", "时间", "收支", "项目", "金额", "类别", "备注"};
constexpr int kColumns = 7;

int64_t dayKey(const ledger::Date& d) {
    return (static_cast<int64_t>(d.year) * 100 + d.month) * 100 + d.day;
}

std::string isoDate(const ledger::Date& d) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buffer;
}

// The seven cells of an entry, as GBK texts.
std::array<std::string, kColumns> cellsOf(const ledger::Entry& e) {
    return {isoDate(e.date),
            exportTimeText(e.time),
            std::string(e.income ? ledger::kIncomeWord : ledger::kExpenseWord),
            e.item,
            ledger::formatNumber(static_cast<double>(e.amount), 2),
            e.category,
            e.note};
}

bool isCalendarDate(const ledger::Date& d) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 1900 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
    if (d.day > kDays[d.month - 1]) return false;
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    return !(d.month == 2 && d.day == 29 && !leap);
}

bool isAscii(const std::string& t) {
    for (unsigned char c : t) {
        if (c >= 0x80) return false;
    }
    return true;
}

// Display width of UTF-8 text in spreadsheet columns: a Chinese character takes two.
int displayWidth(const std::string& utf8) {
    int w = 0;
    for (unsigned char c : utf8) {
        if (c < 0x80) {
            ++w;
        } else if (c >= 0xC0) {
            w += 2;
        }
    }
    return w;
}

}  // namespace

bool collectEntries(store::RecordStore& s, const ExportFilter& filter,
                    std::vector<ledger::Entry>& entries, std::string& error) {
    entries.clear();
    const bool byCategory = !filter.category.empty() && filter.category != ledger::kAllCategories;
    const int64_t first = filter.from ? dayKey(*filter.from) : INT64_MIN;
    const int64_t last = filter.to ? dayKey(*filter.to) : INT64_MAX;
    const bool read = ledger::readEntries(s, [&](const ledger::EntryView& v) {
        const int64_t key = (v.year() * 100 + v.month()) * 100 + v.day();
        if (key < first || key > last) return true;
        if (byCategory && v.category() != filter.category) return true;
        entries.push_back(v.entry());
        return true;
    });
    if (!read) {
        error =
            "读取账本失败：" + ledger::gbkToUtf8(store::errorText(store::RecordStore::lastError()));
        return false;
    }
    // A ledger is mostly kept day by day, so the entries usually come in date order already.
    const auto byDate = [](const ledger::Entry& a, const ledger::Entry& b) {
        return dayKey(a.date) < dayKey(b.date);
    };
    if (!std::is_sorted(entries.begin(), entries.end(), byDate)) {
        // Sorting positions rather than entries moves no texts.
        std::vector<std::pair<int64_t, uint32_t>> order(entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            order[i] = {dayKey(entries[i].date), static_cast<uint32_t>(i)};
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<ledger::Entry> sorted;
        sorted.reserve(entries.size());
        for (const auto& [key, i] : order) sorted.push_back(std::move(entries[i]));
        entries = std::move(sorted);
    }
    return true;
}

std::string exportTimeText(const std::string& t) {
    // "14时35分": two digits, 时 (0xCA 0xB1), two digits, 分 (0xB7 0xD6).
    const auto digit = [&](size_t i) { return t[i] >= '0' && t[i] <= '9'; };
    if (t.size() == 8 && digit(0) && digit(1) && t.compare(2, 2, "\xca\xb1") == 0 && digit(4) &&
        digit(5) && t.compare(6, 2, "\xb7\xd6") == 0) {
        return t.substr(0, 2) + ":" + t.substr(4, 2);
    }
    return t;
}

std::string csvBytes(const std::vector<ledger::Entry>& entries, CsvEncoding encoding) {
    std::string out;
    out.reserve(entries.size() * 64 + 64);
    const bool utf8 = encoding == CsvEncoding::Utf8;
    if (utf8) out += "\xEF\xBB\xBF";
    for (int c = 0; c < kColumns; ++c) {
        if (c) out += ',';
        out += utf8 ? std::string(kHeaders[c]) : ledger::utf8ToGbk(kHeaders[c]).value_or("");
    }
    out += "\r\n";
    for (const ledger::Entry& e : entries) {
        const auto cells = cellsOf(e);
        for (int c = 0; c < kColumns; ++c) {
            if (c) out += ',';
            appendCsvField(out,
                           utf8 && !isAscii(cells[c]) ? ledger::gbkToUtf8(cells[c]) : cells[c]);
        }
        out += "\r\n";
    }
    return out;
}

bool xlsxBytes(const std::vector<ledger::Entry>& entries, std::string& bytes, std::string& error) {
    // The library writes only to a named file: it gets a private folder of its own, for the
    // workbook and for the temporary files of its constant-memory mode.
    PrivateTempDir temp;
    if (temp.path().empty()) {
        error = "无法创建临时文件夹";
        return false;
    }
    const std::string path = temp.path() + "/export.xlsx";
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(temp.path().c_str());
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    if (!book) {
        error = "无法创建 Excel 文件";
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* amountFormat = workbook_add_format(book);
    format_set_num_format(amountFormat, "0.00");
    lxw_format* dateFormat = workbook_add_format(book);
    format_set_num_format(dateFormat, "yyyy-mm-dd");
    lxw_format* headerFormat = workbook_add_format(book);
    format_set_bold(headerFormat);

    // Texts in UTF-8 once, widths from them; constant-memory mode needs the widths first.
    std::vector<std::array<std::string, kColumns>> rows;
    rows.reserve(entries.size());
    std::array<int, kColumns> widths{};
    for (int c = 0; c < kColumns; ++c) widths[c] = displayWidth(kHeaders[c]);
    for (const ledger::Entry& e : entries) {
        auto cells = cellsOf(e);
        for (int c = 0; c < kColumns; ++c) {
            if (!isAscii(cells[c])) cells[c] = ledger::gbkToUtf8(cells[c]);
            widths[c] = std::max(widths[c], displayWidth(cells[c]));
        }
        rows.push_back(std::move(cells));
    }
    for (int c = 0; c < kColumns; ++c) {
        worksheet_set_column(sheet, c, c, std::min(widths[c], 120) + 2, nullptr);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    for (int c = 0; c < kColumns; ++c)
        worksheet_write_string(sheet, 0, c, kHeaders[c], headerFormat);
    for (size_t r = 0; r < rows.size(); ++r) {
        const lxw_row_t row = static_cast<lxw_row_t>(r + 1);
        const ledger::Entry& e = entries[r];
        if (isCalendarDate(e.date)) {
            lxw_datetime d = {e.date.year, e.date.month, e.date.day, 0, 0, 0};
            worksheet_write_datetime(sheet, row, 0, &d, dateFormat);
        } else {
            // A date edited by hand into the file is shown as it is rather than lost.
            worksheet_write_string(sheet, row, 0, rows[r][0].c_str(), nullptr);
        }
        worksheet_write_number(sheet, row, 4, static_cast<double>(e.amount), amountFormat);
        for (int c : {1, 2, 3, 5, 6}) {
            if (!rows[r][c].empty())
                worksheet_write_string(sheet, row, c, rows[r][c].c_str(), nullptr);
        }
    }
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        error = std::string("写入 Excel 文件失败：") + lxw_strerror(closed);
        return false;
    }
    return readUserFile(path, INT64_MAX, bytes, error);
}

std::optional<ExportFormat> formatFromPath(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == "csv") return ExportFormat::Csv;
    if (ext == "xlsx") return ExportFormat::Xlsx;
    return std::nullopt;
}

ExportResult exportToFile(store::RecordStore& s, const ExportFilter& filter,
                          const std::string& path, CsvEncoding encoding) {
    ExportResult result;
    const auto format = formatFromPath(path);
    if (!format) {
        result.error = path + "：导出文件的扩展名应为 .csv 或 .xlsx";
        return result;
    }
    std::vector<ledger::Entry> entries;
    if (!collectEntries(s, filter, entries, result.error)) return result;
    std::string bytes;
    if (*format == ExportFormat::Csv) {
        bytes = csvBytes(entries, encoding);
    } else if (!xlsxBytes(entries, bytes, result.error)) {
        return result;
    }
    if (!writeUserFile(path, bytes, result.error)) {
        result.error = path + "：" + result.error;
        return result;
    }
    result.ok = true;
    result.count = static_cast<int>(entries.size());
    return result;
}

}  // namespace exchange
