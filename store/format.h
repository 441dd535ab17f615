#pragma once

// Named constants of the database file format; docs/file-format.md is the byte-table description
// they mirror, and every area of those tables has its name here, the reserved ones included,
// whether or not code reads it. All integers are little-endian (store/coding.h).

#include <cstdint>

namespace store::format {

// Header (112 bytes at offset 0).
inline constexpr int64_t kHeaderSize = 112;
inline constexpr int64_t kMagicOffset = 0;
inline constexpr int64_t kMagicSize = 4;
inline constexpr char kMagic[] = "WEDB";
inline constexpr char kPasswordMagic[] = "WCDB";  // the password-protected variant
inline constexpr int64_t kVersionOffset = 4;
inline constexpr uint32_t kVersion = 0x00010000;
inline constexpr int64_t kCreatedAtOffset = 8;
inline constexpr int64_t kCountOffset = 16;  // recordCount, then nextSerial
inline constexpr int64_t kNextSerialOffset = 20;
inline constexpr int64_t kCountAndSerialSize = 8;  // both written together by an append
inline constexpr int64_t kRecordLengthOffset = 24;
inline constexpr int64_t kReservedOffset = 28;
inline constexpr int64_t kReservedSize = 84;

// fieldCount (4 bytes) right after the header, then the descriptors.
inline constexpr int64_t kFieldCountOffset = 112;
inline constexpr int64_t kFieldCountSize = 4;
inline constexpr int64_t kDescriptorsOffset = kFieldCountOffset + kFieldCountSize;  // 116

// Field descriptor (72 bytes).
inline constexpr int64_t kDescriptorSize = 72;
inline constexpr int64_t kNameOffset = 0;
inline constexpr int64_t kNameSize = 20;
inline constexpr int64_t kNameMaxLength = 16;  // bytes before the NUL
inline constexpr int64_t kTypeOffset = 20;
inline constexpr int64_t kFieldOffsetOffset = 24;
inline constexpr int64_t kWidthOffset = 28;
inline constexpr int64_t kDescriptorReservedOffset = 32;

inline constexpr int64_t dataStart(int32_t fieldCount) {
    return kDescriptorsOffset + kDescriptorSize * fieldCount;
}

// Field type codes.
enum FieldType : uint32_t {
    kByte = 1,
    kShort = 2,
    kInt = 3,
    kLong = 4,
    kFloat = 5,
    kDouble = 6,
    kBool = 7,
    kDateTime = 8,
    kRoutinePointer = 9,
    kText = 10,
    kBytes = 11,
    kMemo = 12,
};
inline constexpr uint32_t kFirstType = kByte;
inline constexpr uint32_t kLastType = kMemo;

// Bytes a field of each fixed-width type occupies (Text: its descriptor's width).
inline constexpr int32_t fixedWidth(uint32_t type) {
    switch (type) {
        case kByte:
        case kBool:
            return 1;
        case kShort:
            return 2;
        case kInt:
        case kFloat:
        case kRoutinePointer:
        case kBytes:
        case kMemo:
            return 4;
        case kLong:
        case kDouble:
        case kDateTime:
            return 8;
        default:
            return 0;
    }
}

// Record: a 4-byte serial (negated when marked deleted), then the fields at their offsets.
inline constexpr int64_t kSerialOffset = 0;
inline constexpr int64_t kSerialSize = 4;
inline constexpr int32_t kFirstValidSerial = 1;

// DateTime: days since 1899-12-30; values read outside 0100-01-01 .. 9999-12-31 are limited.
inline constexpr double kMinDateTime = -657434;
inline constexpr double kMaxDateTime = 2958465;

// Locks: one byte at a record's first byte or at kCountOffset, or the whole file, offsets
// 0 to 0x7FFFFFFF inclusive.
inline constexpr int64_t kWholeFileLockOffset = 0;
inline constexpr int64_t kWholeFileLockLength = int64_t{0x7FFFFFFF} + 1;
inline constexpr int64_t kByteLockLength = 1;
inline constexpr int kLockRetryMs = 2000;
inline constexpr int kLockPauseMinMs = 20;
inline constexpr int kLockPauseMaxMs = 39;

// Purge and the batch read walk the record area in chunks of at most this many bytes (at least
// one record).
inline constexpr int64_t kChunkBytes = 163840;

}  // namespace store::format
