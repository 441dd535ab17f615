#include <gtest/gtest.h>

#include <cmath>

#include "store/field_codec.h"

using namespace store;

namespace {

struct ConversionCase {
    const char* rule;
    StoreValue from;
    ValueType to;
    StoreValue want;
};

TEST(ConvertNumeric, FollowsTheConversionTable) {
    const int64_t tie = (int64_t{1} << 60) + (int64_t{1} << 36) + 1;  // just above a float tie
    const ConversionCase cases[] = {
        {"narrower integer keeps low bytes", StoreValue::ofInt(0x12345678), ValueType::Short,
         StoreValue::ofShort(0x5678)},
        {"to Byte keeps the low byte", StoreValue::ofShort(-1), ValueType::Byte,
         StoreValue::ofByte(255)},
        {"Long to Int", StoreValue::ofLong(0x1FFFFFFFF), ValueType::Int, StoreValue::ofInt(-1)},
        {"Byte zero-extends", StoreValue::ofByte(200), ValueType::Int, StoreValue::ofInt(200)},
        {"Short sign-extends", StoreValue::ofShort(-2), ValueType::Long, StoreValue::ofLong(-2)},
        {"Int sign-extends", StoreValue::ofInt(-3), ValueType::Long, StoreValue::ofLong(-3)},
        {"integer to Double", StoreValue::ofInt(-7), ValueType::Double, StoreValue::ofDouble(-7)},
        {"Long to Float rounds once", StoreValue::ofLong(tie), ValueType::Float,
         StoreValue::ofFloat(static_cast<float>(tie))},
        {"Float truncates toward zero", StoreValue::ofFloat(-2.75f), ValueType::Int,
         StoreValue::ofInt(-2)},
        {"Double truncates, then low bytes", StoreValue::ofDouble(65537.9), ValueType::Short,
         StoreValue::ofShort(1)},
        {"Double to Float rounds", StoreValue::ofDouble(0.1), ValueType::Float,
         StoreValue::ofFloat(0.1f)},
        {"Float to Double, six digits", StoreValue::ofFloat(12345.67f), ValueType::Double,
         StoreValue::ofDouble(12345.7)},
        {"Float 0.1 to the Double 0.1", StoreValue::ofFloat(0.1f), ValueType::Double,
         StoreValue::ofDouble(0.1)},
        {"same type unchanged", StoreValue::ofInt(5), ValueType::Int, StoreValue::ofInt(5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(convertNumeric(c.from, c.to), c.want);
    }
    EXPECT_NE(static_cast<float>(static_cast<double>(tie)), static_cast<float>(tie));
}

}  // namespace
