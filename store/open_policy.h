#pragma once

// What an opener may ask of a writable open beyond the format's own checks, and what a repair at
// open did to the file.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace store {

class RecordView;

// A field as a table's layout fixes it: its type code, where it begins in the record and the
// bytes it occupies (for a Text field its width, for the others the type's size).
struct FieldLayout {
    uint32_t type = 0;
    int32_t offset = 0;
    int32_t width = 0;
    bool operator==(const FieldLayout&) const = default;
};

// What the opener knows of the table it expects.
struct OpenPolicy {
    // The fields the table must have, in position order; empty for any table. When given, a file
    // whose descriptors lay out other fields, or whose record length is not their extent, is
    // refused with -22 and left untouched, read-only or not.
    std::vector<FieldLayout> fields;
    // Whether a well-formed record holds a valid entry of the table. A repair counts a record
    // found past the count, or trusts a record as the original of its copies, only when this
    // holds. Empty: every well-formed record does.
    std::function<bool(const RecordView&)> validEntry;
    // Purges records marked deleted at a writable open: for a table whose writers purge right
    // after they mark, so that a mark found at open is a delete that was cut short.
    bool purgeMarked = false;
};

// What the last writable open changed in the file; nothing when changed() is false.
struct RepairReport {
    std::string copyPath;  // the whole file as it was, written before the first change
    int32_t countBefore = 0, countAfter = 0;
    int32_t nextSerialBefore = 0, nextSerialAfter = 0;
    int32_t uncountedKept = 0;      // whole, valid records past the count, now counted
    int32_t copiesRemoved = 0;      // lower copies left by an interrupted purge
    int32_t markedPurged = 0;       // records marked deleted before the open
    int32_t serialsGiven = 0;       // records that held serial 0, given a serial of their own
    int32_t emptySlotsRemoved = 0;  // counted slots of zero bytes only
    int64_t bytesCut = 0;           // bytes past the last counted record, cut away
    bool changed() const { return !copyPath.empty(); }
};

}  // namespace store
