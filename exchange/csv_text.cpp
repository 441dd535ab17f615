#include "exchange/csv_text.h"

namespace exchange {

bool parseCsv(std::string_view text, std::vector<CsvRow>& rows, int& errorLine) {
    rows.clear();
    int line = 1;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        CsvRow row;
        row.line = line;
        std::string cell;
        bool rowDone = false;
        while (!rowDone) {
            if (i < n && text[i] == '"') {
                const int openedOn = line;
                ++i;
                for (;;) {
                    if (i >= n) {
                        errorLine = openedOn;
                        return false;
                    }
                    const char c = text[i++];
                    if (c == '"') {
                        if (i < n && text[i] == '"') {
                            cell += '"';
                            ++i;
                            continue;
                        }
                        break;
                    }
                    if (c == '\n') ++line;
                    cell += c;
                }
            }
            // Unquoted text, or what follows a closing quote up to the next separator.
            while (i < n && text[i] != ',' && text[i] != '\n' && text[i] != '\r') cell += text[i++];
            row.cells.push_back(std::move(cell));
            cell.clear();
            if (i >= n) {
                rowDone = true;
            } else if (text[i] == ',') {
                ++i;
            } else {
                if (text[i] == '\r') ++i;
                if (i < n && text[i] == '\n') ++i;
                ++line;
                rowDone = true;
            }
        }
        rows.push_back(std::move(row));
    }
    return true;
}

void appendCsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace exchange
