#pragma once

// The ledger's table as every record of Database.edb holds it: nine fields, their widths and the
// record length. Which field holds what is the entry codec's (ledger/entry.h); code elsewhere
// handles entries, never field positions.

#include <cstdint>
#include <filesystem>
#include <string>

#include "store/file_access.h"

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

// A first start's database: writes the empty ledger database as the new file `path`, complete
// and flushed to the disk before it takes its name. Never replaces a file that is there
// (AccessDenied); on any failure no file is left behind, and the status says why.
store::Status writeEmptyDatabase(store::FileAccess& files, const std::filesystem::path& path);

}  // namespace ledger
