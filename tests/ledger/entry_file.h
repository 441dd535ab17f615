#pragma once

// Ledger files written byte by byte for tests and benchmarks: the empty database followed by
// records laid out field by field from the format's record offsets, with the header's count and
// next serial raised to match. An oracle of the file format that shares nothing with the entry
// codec but the Entry type it is handed.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "ledger/entry.h"
#include "ledger/ledger_schema.h"

namespace ledgertest {

// The time text fixtures give an entry when the test does not care: 08时05分.
inline constexpr char kFixtureTime[] =
    "08\xca\xb1"
    "05\xb7\xd6";

inline void putInt(std::string& bytes, size_t at, int32_t v) { std::memcpy(&bytes[at], &v, 4); }

inline void putText(std::string& bytes, size_t at, const std::string& t, size_t width) {
    std::memcpy(&bytes[at], t.data(), t.size() < width ? t.size() : width);
}

// Record offsets of the nine fields (the serial takes the first four bytes).
inline constexpr size_t kAtKind = 4, kAtYear = 5, kAtMonth = 9, kAtDay = 13, kAtTime = 17,
                        kAtItem = 25, kAtAmount = 225, kAtNote = 229, kAtCategory = 279;

// The entries get serials from 49 on in the order given (their own serials are ignored); the
// records at the 0-based positions in `marked` are marked deleted.
inline std::string ledgerFileBytes(const std::vector<ledger::Entry>& entries,
                                   const std::set<size_t>& marked = {}) {
    std::string bytes = ledger::emptyLedgerDatabase();
    const size_t dataStart = bytes.size();
    bytes.resize(dataStart + entries.size() * ledger::kLedgerRecordLength, '\0');
    for (size_t i = 0; i < entries.size(); ++i) {
        const ledger::Entry& e = entries[i];
        const size_t at = dataStart + i * ledger::kLedgerRecordLength;
        const int32_t serial = ledger::kFirstSerial + static_cast<int32_t>(i);
        putInt(bytes, at, marked.count(i) ? -serial : serial);
        bytes[at + kAtKind] = e.income ? 1 : 0;
        putInt(bytes, at + kAtYear, e.date.year);
        putInt(bytes, at + kAtMonth, e.date.month);
        putInt(bytes, at + kAtDay, e.date.day);
        putText(bytes, at + kAtTime, e.time, ledger::kTimeWidth);
        putText(bytes, at + kAtItem, e.item, ledger::kItemWidth);
        std::memcpy(&bytes[at + kAtAmount], &e.amount, 4);
        putText(bytes, at + kAtNote, e.note, ledger::kNoteWidth);
        putText(bytes, at + kAtCategory, e.category, ledger::kCategoryWidth);
    }
    putInt(bytes, 16, static_cast<int32_t>(entries.size()));
    putInt(bytes, 20, ledger::kFirstSerial + static_cast<int32_t>(entries.size()));
    return bytes;
}

inline bool writeLedgerFile(const std::string& path, const std::vector<ledger::Entry>& entries,
                            const std::set<size_t>& marked = {}) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = ledgerFileBytes(entries, marked);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace ledgertest
