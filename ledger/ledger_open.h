#pragma once

// Opening the ledger's database with what the ledger knows of its table, and the words the
// window uses for what an open repaired and why a write failed.

#include <cstdint>
#include <string>
#include <vector>

#include "store/open_policy.h"
#include "store/record_store.h"
#include "store/status.h"

namespace ledger {

// The ledger's table: its nine fields as laid out from offset 4, entries whose kind is 0 or 1,
// month 1 to 12 and day 1 to 31, and no marked records between operations (a delete purges at
// once, so a mark found at open is a delete that was cut short).
store::OpenPolicy ledgerOpenPolicy();

// Opens `path` as the ledger's database: a file of another layout is refused (NotADatabase) and
// left as it is; a repair keeps its copy and says what it did in store.lastRepair().
bool openLedger(store::RecordStore& store, const std::string& path);

// What the last open's repair did, one GBK line per kind of change; none when nothing changed.
std::vector<std::string> repairLines(const store::RepairReport& report);

// Why a write failed, in the user's words (GBK): 磁盘已满, 文件只读, ... from the store's status.
std::string writeFailureReason(store::Status why);

// Status bar part 4 after a failed action: "  添加失败：磁盘已满" for `action` 添加 (GBK).
std::string writeFailureStatus(const std::string& action, store::Status why);

}  // namespace ledger
