#include "exchange/bill_import.h"

#include <array>
#include <optional>

#include "exchange/csv_text.h"
#include "exchange/text_encoding.h"
#include "ledger/ledger_schema.h"
#include "ledger/value_texts.h"

namespace exchange {

namespace {

// What a layout calls the columns an entry is made from; an empty name is a column the layout
// does not have.
struct Layout {
    ImportFormat format;
    std::string_view time, kind, amount, goods, counterparty, remark, status, category;
};

constexpr std::array<Layout, 3> kBillLayouts = {{
    {ImportFormat::WeChat, "交易时间", "收/支", "金额(元)", "商品", "交易对方", "备注", "当前状态",
     "交易类型"},
    {ImportFormat::AlipayCurrent, "交易时间", "收/支", "金额", "商品说明", "交易对方", "备注",
     "交易状态", "交易分类"},
    {ImportFormat::AlipayOlder, "交易创建时间", "收/支", "金额（元）", "商品名称", "交易对方",
     "备注", "交易状态", "类型"},
}};

constexpr std::array<std::string_view, 7> kOwnHeader = {"日期", "时间", "收支", "项目",
                                                        "金额", "类别", "备注"};

std::string trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

bool contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

// Reads a run of 1 to `maxDigits` decimal digits at s[i].
std::optional<int> readNumber(std::string_view s, size_t& i, size_t maxDigits) {
    size_t start = i;
    int v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < maxDigits) {
        v = v * 10 + (s[i] - '0');
        ++i;
    }
    if (i == start) return std::nullopt;
    return v;
}

bool validDate(const ledger::Date& d) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > kDays[d.month - 1]) {
        return false;
    }
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    return !(d.month == 2 && d.day == 29 && !leap);
}

// "2026-12-11" or "2026/12/11" (a bill saved again by a spreadsheet program writes 2026/12/11).
std::optional<ledger::Date> readDate(std::string_view s, size_t& i) {
    ledger::Date d;
    auto y = readNumber(s, i, 4);
    if (!y || i >= s.size() || (s[i] != '-' && s[i] != '/')) return std::nullopt;
    const char sep = s[i++];
    auto m = readNumber(s, i, 2);
    if (!m || i >= s.size() || s[i] != sep) return std::nullopt;
    ++i;
    auto day = readNumber(s, i, 2);
    if (!day) return std::nullopt;
    d = {*y, *m, *day};
    if (!validDate(d)) return std::nullopt;
    return d;
}

// A transaction time: date, blanks, H:MM with optional :SS. Gives the date and the time text.
bool readTransactionTime(std::string_view s, ledger::Date& date, std::string& timeText) {
    size_t i = 0;
    auto d = readDate(s, i);
    if (!d) return false;
    size_t blanks = i;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i == blanks) return false;
    auto h = readNumber(s, i, 2);
    if (!h || i >= s.size() || s[i] != ':') return false;
    ++i;
    auto m = readNumber(s, i, 2);
    if (!m || *h > 23 || *m > 59) return false;
    if (i < s.size() && s[i] == ':') {
        ++i;
        auto sec = readNumber(s, i, 2);
        if (!sec || *sec > 59) return false;
    }
    if (i != s.size()) return false;
    date = *d;
    timeText = ledger::hourMinuteText(*h, *m);
    return true;
}

std::string amountError(bool outOfRange) {
    return outOfRange ? "金额超出可记录的范围：" : "金额无法读取：";
}

// An amount: an optional sign (own CSV only), digits, an optional decimal part. A bill's yuan
// sign (¥ or ￥) and thousands separators are dropped first. A well-formed amount beyond the
// float's range (forty digits) sets `outOfRange`: it would be stored as infinity.
std::optional<float> readAmount(std::string s, bool signAllowed, bool& outOfRange) {
    outOfRange = false;
    for (std::string_view sign : {"\xC2\xA5", "\xEF\xBF\xA5"}) {
        if (s.compare(0, sign.size(), sign) == 0) s.erase(0, sign.size());
    }
    std::string plain;
    for (char c : s) {
        if (c != ',') plain += c;
    }
    size_t i = 0;
    if (signAllowed && i < plain.size() && plain[i] == '-') ++i;
    const size_t digits = i;
    while (i < plain.size() && plain[i] >= '0' && plain[i] <= '9') ++i;
    if (i == digits) return std::nullopt;
    if (i < plain.size() && plain[i] == '.') {
        ++i;
        const size_t decimals = i;
        while (i < plain.size() && plain[i] >= '0' && plain[i] <= '9') ++i;
        if (i == decimals) return std::nullopt;
    }
    if (i != plain.size() || plain.size() > 40) return std::nullopt;
    std::optional<float> amount = ledger::parseAmount(plain);
    outOfRange = !amount;
    return amount;
}

std::string quotedCell(std::string_view s) { return "“" + std::string(s) + "”"; }

bool isTableEnd(const CsvRow& row) {
    return !row.cells.empty() && trimmed(row.cells[0]).rfind("---", 0) == 0;
}

bool isBlank(const CsvRow& row) {
    for (const std::string& c : row.cells) {
        if (!trimmed(c).empty()) return false;
    }
    return true;
}

// The index of each named column in `header`, -1 for a name that is empty or absent.
template <size_t N>
std::array<int, N> columnIndexes(const std::vector<std::string>& header,
                                 const std::array<std::string_view, N>& names) {
    std::array<int, N> at;
    at.fill(-1);
    for (size_t n = 0; n < N; ++n) {
        if (names[n].empty()) continue;
        for (size_t c = 0; c < header.size(); ++c) {
            if (header[c] == names[n]) {
                at[n] = static_cast<int>(c);
                break;
            }
        }
    }
    return at;
}

bool parseOwnCsv(const std::vector<CsvRow>& rows, ParsedFile& parsed, ImportError& error) {
    parsed.format = ImportFormat::OwnCsv;
    for (size_t r = 1; r < rows.size(); ++r) {
        const CsvRow& row = rows[r];
        if (isBlank(row)) continue;
        if (row.cells.size() < kOwnHeader.size()) {
            error = {row.line, "列数不足（应有 7 列）"};
            return false;
        }
        // Read back exactly as written: only the time text is turned back into its stored form.
        ImportRow out;
        out.line = row.line;
        out.keepsCategory = true;
        ledger::Entry& e = out.entry;
        size_t i = 0;
        auto d = readDate(row.cells[0], i);
        if (!d || i != row.cells[0].size()) {
            error = {row.line, "日期无法读取：" + quotedCell(row.cells[0])};
            return false;
        }
        e.date = *d;
        const std::string& time = row.cells[1];
        if (time.size() == 5 && time[2] == ':') {
            size_t k = 0;
            auto h = readNumber(time, k, 2);
            ++k;
            auto m = k == 3 ? readNumber(time, k, 2) : std::nullopt;
            e.time = h && m && k == 5 ? ledger::hourMinuteText(*h, *m)
                                      : toGbkCut(time, ledger::kTimeWidth);
        } else {
            e.time = toGbkCut(time, ledger::kTimeWidth);
        }
        if (row.cells[2] == "收入") {
            e.income = true;
        } else if (row.cells[2] == "开支") {
            e.income = false;
        } else {
            error = {row.line, "收支应为“收入”或“开支”：" + quotedCell(row.cells[2])};
            return false;
        }
        e.item = toGbkCut(row.cells[3], ledger::kItemWidth);
        bool outOfRange = false;
        auto amount = readAmount(row.cells[4], true, outOfRange);
        if (!amount) {
            error = {row.line, amountError(outOfRange) + quotedCell(row.cells[4])};
            return false;
        }
        e.amount = *amount;
        e.category = toGbkCut(row.cells[5], ledger::kCategoryWidth);
        e.note = toGbkCut(row.cells[6], ledger::kNoteWidth);
        parsed.rows.push_back(std::move(out));
    }
    return true;
}

bool parseBillRows(const Layout& layout, const std::vector<std::string>& header,
                   const std::vector<CsvRow>& rows, size_t first, ParsedFile& parsed,
                   ImportError& error) {
    parsed.format = layout.format;
    enum { kTime, kKind, kAmount, kGoods, kCounterparty, kRemark, kStatus, kCategory };
    const auto at = columnIndexes<8>(
        header, {layout.time, layout.kind, layout.amount, layout.goods, layout.counterparty,
                 layout.remark, layout.status, layout.category});
    int needed = 0;
    for (int a : at) needed = std::max(needed, a + 1);
    const auto cell = [&](const CsvRow& row, int column) {
        return at[column] < 0 ? std::string() : trimmed(row.cells[at[column]]);
    };
    for (size_t r = first; r < rows.size(); ++r) {
        const CsvRow& row = rows[r];
        if (isTableEnd(row)) break;  // the footer block follows
        if (isBlank(row)) continue;
        if (static_cast<int>(row.cells.size()) < needed) {
            error = {row.line, "列数不足（应至少有 " + std::to_string(needed) + " 列）"};
            return false;
        }
        const std::string kind = cell(row, kKind);
        const std::string status = cell(row, kStatus);
        // A move between the user's own accounts, and what never was or no longer is a payment.
        if (kind == "/" || kind == "不计收支" || kind.empty() || contains(status, "关闭") ||
            contains(status, "全额退款") || status == "退款成功") {
            ++parsed.leftOut;
            continue;
        }
        ImportRow out;
        out.line = row.line;
        ledger::Entry& e = out.entry;
        if (kind == "收入") {
            e.income = true;
        } else if (kind == "支出") {
            e.income = false;
        } else {
            error = {row.line, "收/支无法读取：" + quotedCell(kind)};
            return false;
        }
        const std::string time = cell(row, kTime);
        if (!readTransactionTime(time, e.date, e.time)) {
            error = {row.line, "日期无法读取：" + quotedCell(time)};
            return false;
        }
        const std::string amountText = cell(row, kAmount);
        bool outOfRange = false;
        auto amount = readAmount(amountText, false, outOfRange);
        if (!amount) {
            error = {row.line, amountError(outOfRange) + quotedCell(amountText)};
            return false;
        }
        e.amount = *amount;
        const std::string counterparty = cell(row, kCounterparty);
        std::string goods = cell(row, kGoods);
        if (goods.empty() || goods == "/") goods = counterparty;
        e.item = toGbkCut(goods, ledger::kItemWidth);
        std::string note = counterparty == "/" ? std::string() : counterparty;
        const std::string remark = cell(row, kRemark);
        if (!remark.empty() && remark != "/") note += note.empty() ? remark : " " + remark;
        e.note = toGbkCut(note, ledger::kNoteWidth);
        const std::string category = cell(row, kCategory);
        if (category != "/") out.billCategory = toGbkCut(category, ledger::kItemWidth);
        parsed.rows.push_back(std::move(out));
    }
    return true;
}

}  // namespace

std::string formatName(ImportFormat f) {
    switch (f) {
        case ImportFormat::OwnCsv:
            return "本程序导出的 CSV";
        case ImportFormat::WeChat:
            return "微信支付账单";
        case ImportFormat::AlipayCurrent:
            return "支付宝账单";
        case ImportFormat::AlipayOlder:
            return "支付宝账单（旧版）";
    }
    return {};
}

std::string importErrorText(const std::string& file, const ImportError& e) {
    if (e.line <= 0) return file + "：" + e.reason;
    return file + " 第 " + std::to_string(e.line) + " 行：" + e.reason;
}

bool parseImportFile(std::string_view bytes, ParsedFile& parsed, ImportError& error) {
    parsed = ParsedFile();
    std::string text;
    if (!decodeFileText(bytes, text)) {
        error = {0, "文本既不是有效的 UTF-8，也不是有效的 GB18030 编码"};
        return false;
    }
    std::vector<CsvRow> rows;
    int openLine = 0;
    if (!parseCsv(text, rows, openLine)) {
        error = {openLine, "引号没有闭合"};
        return false;
    }
    if (!rows.empty()) {
        std::vector<std::string> first;
        for (const std::string& c : rows[0].cells) first.push_back(trimmed(c));
        if (first.size() >= kOwnHeader.size() &&
            std::equal(kOwnHeader.begin(), kOwnHeader.end(), first.begin())) {
            return parseOwnCsv(rows, parsed, error);
        }
    }
    // A bill: its header block of free text ends where the column row of a known layout is.
    for (size_t r = 0; r < rows.size(); ++r) {
        std::vector<std::string> header;
        for (const std::string& c : rows[r].cells) header.push_back(trimmed(c));
        for (const Layout& layout : kBillLayouts) {
            const auto at = columnIndexes<5>(
                header, {layout.time, layout.kind, layout.amount, layout.goods, layout.status});
            if (std::find(at.begin(), at.end(), -1) == at.end()) {
                return parseBillRows(layout, header, rows, r + 1, parsed, error);
            }
        }
    }
    error = {0, "不是能识别的格式（可导入本程序导出的 CSV、微信支付账单和支付宝账单）"};
    return false;
}

}  // namespace exchange
