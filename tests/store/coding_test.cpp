// The byte codec against bytes written out by hand: each number encodes to exactly these bytes,
// least significant first, and the bytes decode to the number again.

#include "store/coding.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

using namespace store::coding;

namespace {

struct CodingCase {
    const char* what;
    std::string bytes;
    std::function<void(unsigned char*)> encode;
    std::function<bool(const unsigned char*)> decodesBack;
};

std::string hex(const unsigned char* p, size_t n) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02X ", p[i]);
        s += buf;
    }
    return s;
}

TEST(Coding, NumbersAreLittleEndianWhateverTheHost) {
    const double nan = std::bit_cast<double>(uint64_t{0x7FF8000000000123});
    const CodingCase cases[] = {
        {"u16", std::string("\x34\x12", 2), [](auto* p) { encodeU16(p, 0x1234); },
         [](auto* p) { return decodeU16(p) == 0x1234; }},
        {"i16 -2", std::string("\xFE\xFF", 2), [](auto* p) { encodeI16(p, -2); },
         [](auto* p) { return decodeI16(p) == -2; }},
        {"u32", std::string("\x78\x56\x34\x12", 4), [](auto* p) { encodeU32(p, 0x12345678); },
         [](auto* p) { return decodeU32(p) == 0x12345678u; }},
        {"i32 -58, a marked serial", std::string("\xC6\xFF\xFF\xFF", 4),
         [](auto* p) { encodeI32(p, -58); }, [](auto* p) { return decodeI32(p) == -58; }},
        {"i32 49, the first serial", std::string("\x31\x00\x00\x00", 4),
         [](auto* p) { encodeI32(p, 49); }, [](auto* p) { return decodeI32(p) == 49; }},
        {"u64", std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8),
         [](auto* p) { encodeU64(p, 0x0102030405060708); },
         [](auto* p) { return decodeU64(p) == 0x0102030405060708u; }},
        {"i64 -5000000000", std::string("\x00\x0E\xFA\xD5\xFE\xFF\xFF\xFF", 8),
         [](auto* p) { encodeI64(p, -5000000000); },
         [](auto* p) { return decodeI64(p) == -5000000000; }},
        {"float 12.5", std::string("\x00\x00\x48\x41", 4), [](auto* p) { encodeFloat(p, 12.5f); },
         [](auto* p) { return decodeFloat(p) == 12.5f; }},
        {"float -0.25", std::string("\x00\x00\x80\xBE", 4), [](auto* p) { encodeFloat(p, -0.25f); },
         [](auto* p) { return decodeFloat(p) == -0.25f; }},
        {"double, the empty ledger's createdAt", std::string("\x0C\xA0\xDE\xC7\xB9\xA4\xE3\x40", 8),
         [](auto* p) { encodeDouble(p, std::bit_cast<double>(uint64_t{0x40E3A4B9C7DEA00C})); },
         [](auto* p) { return std::fabs(decodeDouble(p) - 40229.805648) < 1e-6; }},
        {"double NaN keeps its payload", std::string("\x23\x01\x00\x00\x00\x00\xF8\x7F", 8),
         [nan](auto* p) { encodeDouble(p, nan); },
         [](auto* p) { return std::bit_cast<uint64_t>(decodeDouble(p)) == 0x7FF8000000000123; }},
    };
    for (const CodingCase& c : cases) {
        SCOPED_TRACE(c.what);
        unsigned char buf[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
        c.encode(buf);
        EXPECT_EQ(hex(buf, c.bytes.size()),
                  hex(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size()));
        for (size_t i = c.bytes.size(); i < sizeof buf; ++i) EXPECT_EQ(buf[i], 0xAA) << i;
        EXPECT_TRUE(c.decodesBack(reinterpret_cast<const unsigned char*>(c.bytes.data())));
    }
}

}  // namespace
