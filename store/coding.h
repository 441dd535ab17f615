#pragma once

// Numbers to bytes and back, as the database file lays them out: integers little-endian, floats
// and doubles as the IEEE bit patterns of their 32 and 64 bits, also little-endian. The bytes are
// put together by shifts, never copied from memory, so a file reads the same on every host,
// whatever its own byte order.

#include <bit>
#include <cstdint>

namespace store::coding {

inline void encodeU16(void* to, uint16_t v) {
    auto* p = static_cast<unsigned char*>(to);
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
inline void encodeU32(void* to, uint32_t v) {
    auto* p = static_cast<unsigned char*>(to);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void encodeU64(void* to, uint64_t v) {
    auto* p = static_cast<unsigned char*>(to);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void encodeI16(void* to, int16_t v) { encodeU16(to, static_cast<uint16_t>(v)); }
inline void encodeI32(void* to, int32_t v) { encodeU32(to, static_cast<uint32_t>(v)); }
inline void encodeI64(void* to, int64_t v) { encodeU64(to, static_cast<uint64_t>(v)); }
inline void encodeFloat(void* to, float v) { encodeU32(to, std::bit_cast<uint32_t>(v)); }
inline void encodeDouble(void* to, double v) { encodeU64(to, std::bit_cast<uint64_t>(v)); }

inline uint16_t decodeU16(const void* from) {
    const auto* p = static_cast<const unsigned char*>(from);
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t decodeU32(const void* from) {
    const auto* p = static_cast<const unsigned char*>(from);
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint64_t decodeU64(const void* from) {
    const auto* p = static_cast<const unsigned char*>(from);
    return uint64_t{decodeU32(p)} | uint64_t{decodeU32(p + 4)} << 32;
}
inline int16_t decodeI16(const void* from) { return static_cast<int16_t>(decodeU16(from)); }
inline int32_t decodeI32(const void* from) { return static_cast<int32_t>(decodeU32(from)); }
inline int64_t decodeI64(const void* from) { return static_cast<int64_t>(decodeU64(from)); }
inline float decodeFloat(const void* from) { return std::bit_cast<float>(decodeU32(from)); }
inline double decodeDouble(const void* from) { return std::bit_cast<double>(decodeU64(from)); }

}  // namespace store::coding
