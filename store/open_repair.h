#pragma once

// The repair a writable open makes after the header and descriptors passed their checks: it
// makes the count name exactly the records that are there, and undoes what an interrupted
// append, delete or purge can leave. It removes a record only when it can show that the record
// holds no entry of its own, and copies the whole file aside before its first change.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "store/file_access.h"
#include "store/open_policy.h"

namespace store {

struct RepairTable {
    File* file = nullptr;
    FileAccess* access = nullptr;
    std::string path;  // the database's absolute path; the copy is made beside it
    int64_t dataStart = 0;
    int32_t recordLength = 0;
    std::vector<FieldLayout> fields;
    // Whether a well-formed record holds a valid entry; empty: all do.
    std::function<bool(const unsigned char* record)> validEntry;
    bool purgeMarked = false;
    // The purge walk, run with the whole file held; returns its status.
    std::function<Status()> purge;
};

// Repairs the file, the caller holding the whole file. Leaves `report` empty when nothing needed
// changing. A table whose layout does not fill its record is refused (NotADatabase) before anything
// is written, and so is one whose copy cannot be made (the failure's status): the file is then as
// it was. A failure after the copy leaves every record that was there in the file, and the next
// writable open repairs again.
Status repairAtOpen(const RepairTable& table, RepairReport& report);

// The name of the copy a repair keeps: `Database.edb` gives `Database-YYYYMMDD-HHMMSS-before-
// repair.edb` beside it, with "-2", "-3", ... after the time when that name is taken.
std::string beforeRepairName(const std::string& path, const std::string& stamp, int attempt);

}  // namespace store
