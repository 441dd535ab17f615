#include "store/field_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "store/coding.h"
#include "store/format.h"

namespace store {

namespace fmt = format;
using namespace coding;

namespace {

// A real toward zero as a 64-bit integer: a file may hold NaN or a value beyond the integer's
// range, which saturate (NaN gives 0) instead of being converted undefined.
int64_t truncateReal(double r) {
    if (std::isnan(r)) return 0;
    if (r >= 9223372036854775807.0) return INT64_MAX;
    if (r <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(r);
}

double limitDateTime(double d) {
    if (std::isnan(d)) return fmt::kMinDateTime;
    return std::clamp(d, fmt::kMinDateTime, fmt::kMaxDateTime);
}

bool isReal(ValueType t) { return t == ValueType::Float || t == ValueType::Double; }

// Keeps the low-order bytes of an integer for a narrower type, sign- or zero-extending them back
// to 64 bits the way the narrower type reads.
int64_t narrowInteger(int64_t v, ValueType to) {
    switch (to) {
        case ValueType::Byte:
            return static_cast<uint8_t>(v);
        case ValueType::Short:
            return static_cast<int16_t>(v);
        case ValueType::Int:
            return static_cast<int32_t>(v);
        default:
            return v;
    }
}

// A Float widened to a Double keeps only six significant decimal digits, so that 0.1f becomes
// the Double nearest 0.1 rather than 0.100000001490116.
double floatToDouble(double f) {
    if (!std::isfinite(f) || f == 0) return f;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", f);
    return std::strtod(buf, nullptr);
}

size_t textLength(const Field& f, const unsigned char* p) {
    const void* nul = std::memchr(p, 0, static_cast<size_t>(f.width));
    return nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - p)
               : static_cast<size_t>(f.width);
}

}  // namespace

Status parseDescriptor(const unsigned char* d, Field& out) {
    if (std::memchr(d + fmt::kNameOffset, 0, fmt::kNameMaxLength + 1) == nullptr) {
        return Status::NotADatabase;
    }
    out.type = decodeU32(d + fmt::kTypeOffset);
    out.offset = decodeI32(d + fmt::kFieldOffsetOffset);
    int32_t width = decodeI32(d + fmt::kWidthOffset);
    if (out.offset < 0 || out.type < fmt::kFirstType || out.type > fmt::kLastType) {
        return Status::NotADatabase;
    }
    if (out.type == fmt::kText && width <= 0) return Status::NotADatabase;
    out.width = out.type == fmt::kText ? width : fmt::fixedWidth(out.type);
    out.valueType = valueTypeOf(out.type);
    return Status::Ok;
}

ValueType valueTypeOf(uint32_t fieldType) {
    switch (fieldType) {
        case fmt::kByte:
            return ValueType::Byte;
        case fmt::kShort:
            return ValueType::Short;
        case fmt::kInt:
            return ValueType::Int;
        case fmt::kLong:
            return ValueType::Long;
        case fmt::kFloat:
            return ValueType::Float;
        case fmt::kDouble:
            return ValueType::Double;
        case fmt::kBool:
            return ValueType::Bool;
        case fmt::kDateTime:
            return ValueType::DateTime;
        case fmt::kRoutinePointer:
            return ValueType::RoutinePointer;
        case fmt::kText:
            return ValueType::Text;
        case fmt::kBytes:
            return ValueType::Bytes;
        case fmt::kMemo:
            return ValueType::Text;
        default:
            return ValueType::Omitted;
    }
}

StoreValue zeroValue(ValueType t) {
    StoreValue v;
    v.type = t;
    return v;
}

StoreValue decode(const Field& f, const unsigned char* p) {
    switch (f.type) {
        case fmt::kByte:
            return StoreValue::ofByte(p[0]);
        case fmt::kShort:
            return StoreValue::ofShort(decodeI16(p));
        case fmt::kInt:
            return StoreValue::ofInt(decodeI32(p));
        case fmt::kLong:
            return StoreValue::ofLong(decodeI64(p));
        case fmt::kFloat:
            return StoreValue::ofFloat(decodeFloat(p));
        case fmt::kDouble:
            return StoreValue::ofDouble(decodeDouble(p));
        case fmt::kBool:
            return StoreValue::ofBool(p[0] != 0);
        case fmt::kDateTime:
            return StoreValue::ofDateTime(limitDateTime(decodeDouble(p)));
        case fmt::kRoutinePointer:
            return {ValueType::RoutinePointer, decodeI32(p), 0, {}};
        case fmt::kText:
            return StoreValue::ofText(
                std::string(reinterpret_cast<const char*>(p), textLength(f, p)));
        case fmt::kBytes:
            return {ValueType::Bytes, decodeI32(p), 0, {}};
        default:
            // Memo values live in the companion file, which this store does not open.
            return zeroValue(f.valueType);
    }
}

int64_t decodeInteger(const Field& f, const unsigned char* p) {
    switch (f.type) {
        case fmt::kByte:
            return p[0];
        case fmt::kBool:
            return p[0] != 0 ? 1 : 0;
        case fmt::kShort:
            return decodeI16(p);
        case fmt::kInt:
        case fmt::kRoutinePointer:
        case fmt::kBytes:
            return decodeI32(p);
        case fmt::kLong:
            return decodeI64(p);
        case fmt::kFloat:
            return truncateReal(decodeFloat(p));
        case fmt::kDouble:
            return truncateReal(decodeDouble(p));
        case fmt::kDateTime:
            return truncateReal(limitDateTime(decodeDouble(p)));
        default:
            return 0;
    }
}

double decodeReal(const Field& f, const unsigned char* p) {
    switch (f.type) {
        case fmt::kFloat:
            return decodeFloat(p);
        case fmt::kDouble:
            return decodeDouble(p);
        case fmt::kDateTime:
            return limitDateTime(decodeDouble(p));
        case fmt::kText:
        case fmt::kMemo:
            return 0;
        default:
            return static_cast<double>(decodeInteger(f, p));
    }
}

std::string_view decodeText(const Field& f, const unsigned char* p) {
    if (f.type != fmt::kText) return {};
    return {reinterpret_cast<const char*>(p), textLength(f, p)};
}

Status storedValue(const Field& f, const StoreValue& v, StoreValue& out) {
    if (v.type == ValueType::Omitted) {
        out = zeroValue(f.valueType);
        out.type = ValueType::Omitted;
        return Status::Ok;
    }
    if (v.type == f.valueType) {
        out = v;
        return Status::Ok;
    }
    if (isNumeric(v.type) && isNumeric(f.valueType)) {
        out = convertNumeric(v, f.valueType);
        return Status::Ok;
    }
    return Status::TypeMismatch;
}

void encode(const Field& f, const StoreValue& v, unsigned char* p) {
    if (v.type == ValueType::Omitted) return;
    switch (f.type) {
        case fmt::kByte:
            p[0] = static_cast<unsigned char>(v.integer);
            break;
        case fmt::kShort:
            encodeU16(p, static_cast<uint16_t>(v.integer));
            break;
        case fmt::kInt:
        case fmt::kRoutinePointer:
        case fmt::kBytes:
            encodeU32(p, static_cast<uint32_t>(v.integer));
            break;
        case fmt::kLong:
            encodeI64(p, v.integer);
            break;
        case fmt::kFloat:
            encodeFloat(p, static_cast<float>(v.real));
            break;
        case fmt::kDouble:
        case fmt::kDateTime:
            encodeDouble(p, v.real);
            break;
        case fmt::kBool:
            p[0] = v.integer != 0 ? 1 : 0;
            break;
        case fmt::kText:
            std::memcpy(p, v.text.data(), std::min(v.text.size(), static_cast<size_t>(f.width)));
            break;
        default:
            break;  // Memo: no companion file, the block number stays 0
    }
}

StoreValue convertNumeric(const StoreValue& v, ValueType to) {
    StoreValue out;
    out.type = to;
    if (v.type == to) return v;
    if (isReal(to)) {
        double r;
        if (v.type == ValueType::Float && to == ValueType::Double) {
            r = floatToDouble(v.real);
        } else if (isReal(v.type)) {
            r = v.real;
        } else if (to == ValueType::Float) {
            // Straight to float: through a double first, a Long could be rounded twice.
            out.real = static_cast<double>(static_cast<float>(v.integer));
            return out;
        } else {
            r = static_cast<double>(v.integer);
        }
        out.real = to == ValueType::Float ? static_cast<double>(static_cast<float>(r)) : r;
        return out;
    }
    int64_t i = isReal(v.type) ? truncateReal(v.real) : v.integer;
    out.integer = narrowInteger(i, to);
    return out;
}

}  // namespace store
