#pragma once

// Ledger files written byte by byte for tests and benchmarks: the empty database followed by
// records laid out field by field, with the header's count and next serial raised to match.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ledger/ledger_schema.h"

namespace ledgertest {

struct FixtureEntry {
    bool income = true;
    int32_t year = 2024;
    int32_t month = 1;
    int32_t day = 1;
    std::string item;
    float amount = 0;
    std::string category;
    std::string note;
    std::string time =
        "08\xca\xb1"
        "05\xb7\xd6";  // 08时05分
    bool deleted = false;
};

inline void putInt(std::string& bytes, size_t at, int32_t v) { std::memcpy(&bytes[at], &v, 4); }

inline void putText(std::string& bytes, size_t at, const std::string& t, size_t width) {
    std::memcpy(&bytes[at], t.data(), t.size() < width ? t.size() : width);
}

// Record offsets of the nine fields (the serial takes the first four bytes).
inline constexpr size_t kAtKind = 4, kAtYear = 5, kAtMonth = 9, kAtDay = 13, kAtTime = 17,
                        kAtItem = 25, kAtAmount = 225, kAtNote = 229, kAtCategory = 279;

inline std::string ledgerFileBytes(const std::vector<FixtureEntry>& entries) {
    std::string bytes = ledger::emptyLedgerDatabase();
    const size_t dataStart = bytes.size();
    bytes.resize(dataStart + entries.size() * ledger::kLedgerRecordLength, '\0');
    for (size_t i = 0; i < entries.size(); ++i) {
        const FixtureEntry& e = entries[i];
        const size_t at = dataStart + i * ledger::kLedgerRecordLength;
        const int32_t serial = ledger::kFirstSerial + static_cast<int32_t>(i);
        putInt(bytes, at, e.deleted ? -serial : serial);
        bytes[at + kAtKind] = e.income ? 1 : 0;
        putInt(bytes, at + kAtYear, e.year);
        putInt(bytes, at + kAtMonth, e.month);
        putInt(bytes, at + kAtDay, e.day);
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

inline bool writeLedgerFile(const std::string& path, const std::vector<FixtureEntry>& entries) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = ledgerFileBytes(entries);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace ledgertest
