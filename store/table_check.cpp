#include "store/table_check.h"

#include <algorithm>
#include <cstring>

#include "store/format.h"

namespace store {

namespace fmt = format;

namespace {

std::vector<FieldLayout> byOffset(std::vector<FieldLayout> fields) {
    std::sort(fields.begin(), fields.end(),
              [](const FieldLayout& a, const FieldLayout& b) { return a.offset < b.offset; });
    return fields;
}

}  // namespace

bool layoutFillsRecord(const std::vector<FieldLayout>& fields, int32_t recordLength) {
    int64_t end = fmt::kSerialOffset + fmt::kSerialSize;
    for (const FieldLayout& f : byOffset(fields)) {
        if (f.width <= 0 || f.offset < end) return false;
        end = int64_t{f.offset} + f.width;
        if (end > recordLength) return false;
    }
    return end == recordLength;
}

RecordShape::RecordShape(const std::vector<FieldLayout>& fields, int32_t recordLength)
    : fields_(fields) {
    // Sums in 64 bits: a descriptor may claim an offset and a width near the 32-bit limit.
    int64_t at = fmt::kSerialOffset + fmt::kSerialSize;
    for (const FieldLayout& f : byOffset(fields)) {
        if (f.offset > at) gaps_.push_back({static_cast<int32_t>(at), f.offset});
        at = std::max<int64_t>(at, int64_t{f.offset} + f.width);
    }
    if (recordLength > at) gaps_.push_back({static_cast<int32_t>(at), recordLength});
}

bool RecordShape::wellFormed(const unsigned char* record) const {
    auto zero = [&](int32_t begin, int32_t end) {
        for (int32_t i = begin; i < end; ++i) {
            if (record[i] != 0) return false;
        }
        return true;
    };
    for (const Gap& g : gaps_) {
        if (!zero(g.begin, g.end)) return false;
    }
    for (const FieldLayout& f : fields_) {
        const unsigned char* p = record + f.offset;
        if (f.type == fmt::kBool && p[0] > 1) return false;
        if (f.type == fmt::kText) {
            const void* nul = std::memchr(p, 0, static_cast<size_t>(f.width));
            if (nul != nullptr) {
                int32_t n = static_cast<int32_t>(static_cast<const unsigned char*>(nul) - p);
                if (!zero(f.offset + n, f.offset + f.width)) return false;
            }
        }
    }
    return true;
}

}  // namespace store
