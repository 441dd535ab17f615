#pragma once

// Comma-separated text as RFC 4180 writes it: fields holding a comma, a quote or a line break
// are quoted, quotes inside doubled. The reader also takes LF line ends and ragged rows, as the
// bills of payment services have them.

#include <string>
#include <string_view>
#include <vector>

namespace exchange {

struct CsvRow {
    int line = 0;  // the 1-based line of the file the row starts on
    std::vector<std::string> cells;
};

// Splits `text` into rows. A line break inside quotes belongs to the field. False when a quoted
// field is never closed; `errorLine` is then the line it opened on.
bool parseCsv(std::string_view text, std::vector<CsvRow>& rows, int& errorLine);

// Appends `field` to `out`, quoted when it holds a comma, a quote, a CR or an LF.
void appendCsvField(std::string& out, std::string_view field);

}  // namespace exchange
