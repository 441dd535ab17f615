#pragma once

// Reading a file to import: this program's own CSV export, a WeChat Pay bill or an Alipay bill
// (current or older column layout), recognised by content, never by file name. A bill's rows
// become candidate entries with GBK texts; which of them are added is import_plan.h's business.

#include <string>
#include <string_view>
#include <vector>

#include "ledger/entry.h"

namespace exchange {

enum class ImportFormat { OwnCsv, WeChat, AlipayCurrent, AlipayOlder };

// The format's name for messages (UTF-8).
std::string formatName(ImportFormat f);

// One row of the file that would become an entry.
struct ImportRow {
    int line = 0;                // 1-based line of the file
    ledger::Entry entry;         // GBK texts; the category only when keepsCategory
    bool keepsCategory = false;  // this program's own CSV: the category is taken as written
    std::string billCategory;    // the bill's own category column (GBK), empty when it has none
};

struct ParsedFile {
    ImportFormat format = ImportFormat::OwnCsv;
    std::vector<ImportRow> rows;
    // Rows left out because they are neither income nor expense (收/支 "/", 不计收支 or empty),
    // or closed, or fully refunded.
    int leftOut = 0;
};

// Why a file cannot be imported: the 1-based line (0 for the file as a whole) and the reason.
struct ImportError {
    int line = 0;
    std::string reason;  // UTF-8
};

// "FILE 第N行：REASON" (or "FILE：REASON" for the file as a whole), UTF-8.
std::string importErrorText(const std::string& file, const ImportError& e);

// Parses a whole file's bytes. Any row whose date or amount does not read fails the whole file,
// so that nothing of a file is imported that could not all be read.
bool parseImportFile(std::string_view bytes, ParsedFile& parsed, ImportError& error);

}  // namespace exchange
