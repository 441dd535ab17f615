#pragma once

// The store's one error type: every outcome an operation of the store or of its file seam can
// report, valued as the negative code the store leaves in lastError() (0 for success). The
// classes of file failure are codes of the same kind, so a failed write passes its class on
// unchanged. Each code has one fixed GBK text (errorText).

#include <cstdint>
#include <string>

namespace store {

enum class Status : int32_t {
    Ok = 0,
    Unknown = -1,  // also the class of a file failure that fits no other class
    // Classes of file failure.
    NotFound = -3,
    BadPath = -4,
    TooManyOpenFiles = -5,
    AccessDenied = -6,
    InvalidHandle = -7,
    SeekFailed = -10,  // also: a field read that begins at or beyond the end of the file
    HardwareFault = -11,
    SharingViolation = -12,
    LockViolation = -13,
    DiskFull = -14,
    EndOfFile = -15,
    // The store's own outcomes.
    OpenFailed = -21,
    NotADatabase = -22,
    VersionTooHigh = -23,
    BeforeFirst = -25,
    AfterLast = -26,
    LockFailed = -28,
    UnlockFailed = -29,
    AlreadyOpen = -38,
    NoMemory = -45,
    ReadFieldFailed = -46,
    WriteFieldFailed = -47,
    BadFileSize = -48,
    NoCurrentRecord = -60,
    NoSuchField = -61,
    ReadRecordFailed = -62,
    ReadCountFailed = -65,
    WriteNotOpen = -66,
    NotOpen = -67,
    TypeMismatch = -72,
    Password = -78,
};

// The number lastError() reports for a status.
constexpr int32_t code(Status s) { return static_cast<int32_t>(s); }

// The fixed GBK text of a code ("未知错误" for a code the store does not have).
std::string errorText(int32_t code);
inline std::string errorText(Status s) { return errorText(code(s)); }

}  // namespace store
