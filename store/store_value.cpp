#include "store/store_value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace store {

bool isNumeric(ValueType t) {
    switch (t) {
        case ValueType::Byte:
        case ValueType::Short:
        case ValueType::Int:
        case ValueType::Long:
        case ValueType::Float:
        case ValueType::Double:
            return true;
        default:
            return false;
    }
}

static bool isReal(ValueType t) { return t == ValueType::Float || t == ValueType::Double; }

double StoreValue::asReal() const {
    if (type == ValueType::Float || type == ValueType::Double || type == ValueType::DateTime) {
        return real;
    }
    return static_cast<double>(integer);
}

// Keeps the low-order bytes of an integer for a narrower type, sign- or zero-extending them back
// to 64 bits the way the narrower type reads.
static int64_t narrowInteger(int64_t v, ValueType to) {
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
static double floatToDouble(double f) {
    if (!std::isfinite(f) || f == 0) return f;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", f);
    return std::strtod(buf, nullptr);
}

// Truncates a real toward zero to a 64-bit integer; values outside its range saturate.
static int64_t truncateReal(double r) {
    if (std::isnan(r)) return 0;
    if (r >= 9223372036854775807.0) return INT64_MAX;
    if (r <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(r);
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
