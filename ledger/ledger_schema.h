#pragma once

// The ledger's table as every record of Database.edb holds it: nine fields, their widths and the
// record length. Which field holds what is in ledger/field_positions.h and the entry codec.

#include <cstdint>
#include <string>

namespace ledger {

inline constexpr int kFieldCount = 9;

inline constexpr int32_t kTimeWidth = 8;
inline constexpr int32_t kItemWidth = 200;
inline constexpr int32_t kNoteWidth = 50;
// Holds the longest name the settings page's category box accepts (20 bytes).
inline constexpr int32_t kCategoryWidth = 20;
inline constexpr int32_t kLedgerRecordLength = 279 + kCategoryWidth;
// The serial the first entry of a new ledger receives.
inline constexpr int32_t kFirstSerial = 49;

// The bytes of the empty ledger database that a first start writes (764 bytes, no records).
std::string emptyLedgerDatabase();

}  // namespace ledger
