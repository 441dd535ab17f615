#pragma once

// The field codec: a field as its descriptor describes it, the record layout that holds the fields
// of an open file, and a field's value to its bytes in a record and back, with the conversions
// between numeric types that a write of another numeric type goes through.

#include <cstdint>
#include <string_view>
#include <vector>

#include "store/status.h"
#include "store/store_value.h"

namespace store {

// One field of the record, read from its descriptor.
struct Field {
    uint32_t type = 0;  // a format::FieldType code
    int32_t offset = 0;
    int32_t width = 0;  // bytes occupied in the record
    ValueType valueType = ValueType::Omitted;
};

// Reads a descriptor's bytes into `out`. A name without its NUL within 17 bytes, a negative
// offset, a type code outside 1 to 12 or a Text of no width: NotADatabase.
Status parseDescriptor(const unsigned char* descriptor, Field& out);

// The fields of an open file and the record that holds them.
struct RecordLayout {
    std::vector<Field> fields;  // field 1 first
    int32_t recordLength = 0;
    // How far a batch read's buffer reaches past a record for fields that lie beyond its end
    // (nothing keeps a descriptor inside its record).
    int32_t overhang = 0;

    // Field p, counted from 1; nullptr when there is no such field.
    const Field* field(int p) const {
        if (p < 1 || p > static_cast<int>(fields.size())) return nullptr;
        return &fields[static_cast<size_t>(p - 1)];
    }
    // Whether a batch read's buffer holds all of the field's bytes.
    bool inView(const Field& f) const {
        return int64_t{f.offset} + f.width <= int64_t{recordLength} + overhang;
    }
};

// The value type a field of this type reads as (Omitted for a code outside the table).
ValueType valueTypeOf(uint32_t fieldType);

// The value of type t that an empty field holds: false, 0, or the empty text.
StoreValue zeroValue(ValueType t);

// The value the field's bytes at `p` hold: a DateTime limited to its range, a Text up to its
// first NUL (all `width` bytes when there is none), every other type as stored.
StoreValue decode(const Field& f, const unsigned char* p);
// The same reads without building a value: integers and Bool as int64 (reals truncated toward
// zero, saturating), reals widened to double (integers converted), Text as the bytes up to the
// first NUL. A type that cannot be read so gives 0 or the empty text.
int64_t decodeInteger(const Field& f, const unsigned char* p);
double decodeReal(const Field& f, const unsigned char* p);
std::string_view decodeText(const Field& f, const unsigned char* p);

// The value as the field stores it: unchanged when of the field's value type, converted between
// numeric types, kept omitted (written as zeros) when omitted. Anything else: TypeMismatch.
Status storedValue(const Field& f, const StoreValue& v, StoreValue& out);

// Writes a value already of the field's value type into the field's `width` bytes at `p`, which
// the caller has zeroed; an omitted value leaves the zeros. A Text of `width` bytes or more fills
// the field without a NUL.
void encode(const Field& f, const StoreValue& v, unsigned char* p);

// Converts a numeric value to another numeric type: integers keep their low-order bytes, reals
// are truncated toward zero, a Float widened to a Double keeps six significant digits. Both
// types must be numeric.
StoreValue convertNumeric(const StoreValue& v, ValueType to);

}  // namespace store
