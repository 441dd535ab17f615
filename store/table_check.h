#pragma once

// Checks of a table's layout and of single records that the format itself does not make: a
// repair at open acts only on a table whose records it can read as they were written.

#include <cstdint>
#include <vector>

#include "store/open_policy.h"

namespace store {

// Whether the fields tile the record as a writer lays them out: each begins past the serial and
// ends inside the record, no two overlap, and the furthest ends exactly at `recordLength`.
bool layoutFillsRecord(const std::vector<FieldLayout>& fields, int32_t recordLength);

// The checks of a record's bytes that hold for every record a writer of the format builds,
// prepared once per table. Only for a layout that fills its record.
class RecordShape {
  public:
    RecordShape(const std::vector<FieldLayout>& fields, int32_t recordLength);
    // Bytes no field covers are zero, a Bool is 0 or 1, a Text is zero after its first NUL.
    bool wellFormed(const unsigned char* record) const;

  private:
    struct Gap {
        int32_t begin, end;
    };
    std::vector<Gap> gaps_;
    std::vector<FieldLayout> fields_;
};

}  // namespace store
