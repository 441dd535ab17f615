#pragma once

#include <cstdint>
#include <string>

namespace store {

// The type of a value handed to or returned by the store. Omitted means "no value given".
enum class ValueType {
    Omitted,
    Byte,
    Short,
    Int,
    Long,
    Float,
    Double,
    Bool,
    DateTime,
    Text,
    Bytes,
    RoutinePointer,
};

// True for Byte, Short, Int, Long, Float and Double.
bool isNumeric(ValueType t);

// A typed value. Integers (Byte to Long, Bytes, RoutinePointer, Bool) live in `integer`, Float,
// Double and DateTime in `real` (a Float payload is always exactly a 32-bit float), Text in
// `text` as GBK bytes without NUL.
struct StoreValue {
    ValueType type = ValueType::Omitted;
    int64_t integer = 0;
    double real = 0;
    std::string text;

    static StoreValue omitted() { return {}; }
    static StoreValue ofBool(bool b) { return {ValueType::Bool, b ? 1 : 0, 0, {}}; }
    static StoreValue ofByte(uint8_t v) { return {ValueType::Byte, v, 0, {}}; }
    static StoreValue ofShort(int16_t v) { return {ValueType::Short, v, 0, {}}; }
    static StoreValue ofInt(int32_t v) { return {ValueType::Int, v, 0, {}}; }
    static StoreValue ofLong(int64_t v) { return {ValueType::Long, v, 0, {}}; }
    static StoreValue ofFloat(float v) { return {ValueType::Float, 0, v, {}}; }
    static StoreValue ofDouble(double v) { return {ValueType::Double, 0, v, {}}; }
    static StoreValue ofDateTime(double v) { return {ValueType::DateTime, 0, v, {}}; }
    static StoreValue ofText(std::string t) { return {ValueType::Text, 0, 0, std::move(t)}; }

    bool asBool() const { return integer != 0; }
    float asFloat() const { return static_cast<float>(real); }

    bool operator==(const StoreValue&) const = default;
};

}  // namespace store
