#include "store/record_store.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <random>
#include <utility>

#include "store/format.h"
#include "store/open_repair.h"
#include "store/table_check.h"

namespace store {

namespace fmt = format;

namespace {

// Error codes of the store's own (file failures use their FileError value).
enum Code : int32_t {
    kOk = 0,
    kUnknown = -1,
    kNotFound = -3,
    kOpenFailed = -21,
    kNotADatabase = -22,
    kVersionTooHigh = -23,
    kBeforeFirst = -25,
    kAfterLast = -26,
    kLockFailed = -28,
    kUnlockFailed = -29,
    kAlreadyOpen = -38,
    kNoMemory = -45,
    kReadFieldFailed = -46,
    kWriteFieldFailed = -47,
    kBadFileSize = -48,
    kNoCurrentRecord = -60,
    kNoSuchField = -61,
    kReadRecordFailed = -62,
    kReadCountFailed = -65,
    kWriteNotOpen = -66,
    kNotOpen = -67,
    kTypeMismatch = -72,
    kPassword = -78,
};

struct ErrorEntry {
    int32_t code;
    const char* text;  // GBK
};

constexpr ErrorEntry kErrorTexts[] = {
    {-1, "\xce\xb4\xd6\xaa\xb4\xed\xce\xf3"},                          // 未知错误
    {-3, "\xd6\xb8\xb6\xa8\xce\xc4\xbc\xfe\xce\xb4\xd5\xd2\xb5\xbd"},  // 指定文件未找到
    {-4, "\xce\xde\xd0\xa7\xb5\xc4\xc2\xb7\xbe\xb6"},                  // 无效的路径
    {-5, "\xb4\xf2\xbf\xaa\xce\xc4\xbc\xfe\xb9\xfd\xb6\xe0"},          // 打开文件过多
    {-6,
     "\xd6\xb8\xb6\xa8\xce\xc4\xbc\xfe\xb2\xbb\xc4\xdc\xb1\xbb\xb7\xc3\xce\xca"},  // 指定文件不能被访问
    {-7, "\xce\xde\xd0\xa7\xb5\xc4\xce\xc4\xbc\xfe\xba\xc5"},  // 无效的文件号
    {-10, "\xce\xc4\xbc\xfe\xd6\xb8\xd5\xeb\xb6\xa8\xce\xbb\xca\xa7\xb0\xdc"},  // 文件指针定位失败
    {-11,
     "\xb7\xc3\xce\xca\xce\xc4\xbc\xfe\xca\xb1\xd3\xb2\xbc\xfe\xb2\xfa\xc9\xfa\xb9\xca\xd5"
     "\xcf"},  // 访问文件时硬件产生故障
    {-12,
     "\xb7\xc3\xce\xca\xce\xc4\xbc\xfe\xca\xb1\xb2\xfa\xc9\xfa\xb9\xb2\xcf\xed\xb3\xe5\xcd"
     "\xbb"},                                                   // 访问文件时产生共享冲突
    {-13, "\xbc\xd3\xcb\xf8\xce\xc4\xbc\xfe\xca\xa7\xb0\xdc"},  // 加锁文件失败
    {-14, "\xb4\xc5\xc5\xcc\xbf\xd5\xbc\xe4\xb2\xbb\xb9\xbb"},  // 磁盘空间不够
    {-15, "\xd2\xd1\xbe\xad\xb5\xbd\xb4\xef\xce\xc4\xbc\xfe\xce\xb2"},  // 已经到达文件尾
    {-21,
     "\xb4\xf2\xbf\xaa\xd6\xb8\xb6\xa8\xca\xfd\xbe\xdd\xbf\xe2\xca\xa7\xb0\xdc"},  // 打开指定数据库失败
    {-22,
     "\xd6\xb8\xb6\xa8\xce\xc4\xbc\xfe\xb2\xbb\xca\xc7\xca\xfd\xbe\xdd\xbf\xe2\xce\xc4\xbc"
     "\xfe"},  // 指定文件不是数据库文件
    {-23,
     "\xd6\xb8\xb6\xa8\xca\xfd\xbe\xdd\xbf\xe2\xce\xc4\xbc\xfe\xb0\xe6\xb1\xbe\xcc\xab\xb8\xdf"
     "\xa3\xac\xce\xde\xb7\xa8\xb6\xc1\xc8\xeb\xa3\xac\xc7\xeb\xc9\xfd\xbc\xb6\xcf\xb5\xcd\xb3"
     "\xc8\xed\xbc\xfe"},  // 指定数据库文件版本太高，无法读入，请升级系统软件
    {-25,
     "\xd2\xd1\xbe\xad\xd4\xbd\xb9\xfd\xca\xfd\xbe\xdd\xbf\xe2\xb5\xc4\xca\xd7\xbc\xc7\xc2"
     "\xbc"},  // 已经越过数据库的首记录
    {-26,
     "\xd2\xd1\xbe\xad\xd4\xbd\xb9\xfd\xca\xfd\xbe\xdd\xbf\xe2\xb5\xc4\xc4\xa9\xbc\xc7\xc2"
     "\xbc"},                                   // 已经越过数据库的末记录
    {-28, "\xbc\xd3\xcb\xf8\xca\xa7\xb0\xdc"},  // 加锁失败
    {-29, "\xbd\xe2\xcb\xf8\xca\xa7\xb0\xdc"},  // 解锁失败
    {-38,
     "\xd6\xb8\xb6\xa8\xca\xfd\xbe\xdd\xbf\xe2\xd2\xd1\xbe\xad\xb1\xbb\xb4\xf2\xbf"
     "\xaa"},  // 指定数据库已经被打开
    {-45, "\xb7\xd6\xc5\xe4\xc4\xda\xb4\xe6\xbf\xd5\xbc\xe4\xca\xa7\xb0\xdc"},  // 分配内存空间失败
    {-46, "\xb6\xc1\xd6\xb8\xb6\xa8\xd7\xd6\xb6\xce\xca\xa7\xb0\xdc"},  // 读指定字段失败
    {-47, "\xd0\xb4\xd6\xb8\xb6\xa8\xd7\xd6\xb6\xce\xca\xa7\xb0\xdc"},  // 写指定字段失败
    {-48,
     "\xca\xfd\xbe\xdd\xbf\xe2\xce\xc4\xbc\xfe\xb3\xdf\xb4\xe7\xb4\xed\xce\xf3"},  // 数据库文件尺寸错误
    {-60, "\xcf\xd6\xd0\xd0\xbc\xc7\xc2\xbc\xb2\xbb\xb4\xe6\xd4\xda"},  // 现行记录不存在
    {-61, "\xd6\xb8\xb6\xa8\xd7\xd6\xb6\xce\xb2\xbb\xb4\xe6\xd4\xda"},  // 指定字段不存在
    {-62, "\xb6\xc1\xbc\xc7\xc2\xbc\xca\xa7\xb0\xdc"},                  // 读记录失败
    {-65,
     "\xc8\xa1\xca\xfd\xbe\xdd\xbf\xe2\xbc\xc7\xc2\xbc\xca\xfd\xca\xa7\xb0\xdc"},  // 取数据库记录数失败
    {-66, "\xce\xb4\xb4\xf2\xbf\xaa\xd6\xb8\xb6\xa8\xca\xfd\xbe\xdd\xbf\xe2"},  // 未打开指定数据库
    {-67, "\xce\xb4\xc9\xe8\xd6\xc3\xb5\xb1\xc7\xb0\xca\xfd\xbe\xdd\xbf\xe2"},  // 未设置当前数据库
    {-72,
     "\xcb\xf9\xcc\xe1\xb9\xa9\xca\xfd\xbe\xdd\xb5\xc4\xc0\xe0\xd0\xcd\xd3\xeb\xd7\xd6\xb6\xce"
     "\xc0\xe0\xd0\xcd\xb2\xbb\xc6\xa5\xc5\xe4"},  // 所提供数据的类型与字段类型不匹配
    {-78,
     "\xce\xb4\xcc\xe1\xb9\xa9\xca\xfd\xbe\xdd\xbf\xe2\xb7\xc3\xce\xca\xc3\xdc\xc2\xeb\xbb\xf2"
     "\xcc\xe1\xb9\xa9\xc1\xcb\xb4\xed\xce\xf3\xb5\xc4\xc3\xdc\xc2\xeb"},  // 未提供数据库访问密码或提供了错误的密码
};

// The two fatal misuses of readField.
constexpr char kNoStoreMessage[] =
    "\xce\xb4\xd6\xb8\xb6\xa8\xb5\xb1\xc7\xb0\xca\xfd\xbe\xdd\xbf\xe2\xbb\xf2\xd5\xdf\xd6\xb8\xb6"
    "\xa8\xca\xfd\xbe\xdd\xbf\xe2\xce\xb4\xb4\xf2\xbf\xaa";  // 未指定当前数据库或者指定数据库未打开
constexpr char kNoFieldMessage[] =
    "\xd6\xb8\xb6\xa8\xd7\xd6\xb6\xce\xb2\xbb\xb4\xe6\xd4\xda";  // 指定字段不存在

thread_local int32_t tlsLastError = 0;

void defaultFatal(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    std::exit(-1);
}

std::atomic<FatalHandler> gFatalHandler{&defaultFatal};

bool done(int32_t code) {
    tlsLastError = code;
    return code == kOk;
}

int32_t get32(const unsigned char* p) {
    uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    return static_cast<int32_t>(v);
}
int16_t get16(const unsigned char* p) {
    return static_cast<int16_t>(uint16_t{p[0]} | uint16_t{p[1]} << 8);
}
int64_t get64(const unsigned char* p) {
    uint64_t lo = static_cast<uint32_t>(get32(p));
    uint64_t hi = static_cast<uint32_t>(get32(p + 4));
    return static_cast<int64_t>(lo | hi << 32);
}
void put16(unsigned char* p, int64_t v) {
    for (int i = 0; i < 2; ++i)
        p[i] = static_cast<unsigned char>(static_cast<uint64_t>(v) >> (8 * i));
}
void put32(unsigned char* p, int64_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(static_cast<uint64_t>(v) >> (8 * i));
}
void put64(unsigned char* p, int64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<unsigned char>(static_cast<uint64_t>(v) >> (8 * i));
}
float getFloat(const unsigned char* p) {
    uint32_t u = static_cast<uint32_t>(get32(p));
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}
double getDouble(const unsigned char* p) {
    uint64_t u = static_cast<uint64_t>(get64(p));
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
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

// A stored real toward zero as a 64-bit integer: a file may hold NaN or a value beyond the
// integer's range, which saturate (NaN gives 0) instead of being converted undefined.
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

std::string upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

// The path the store keeps: ".EDB" added when the last component has no extension, then made
// absolute. Empty on a path that cannot be made absolute.
std::string normalizePath(const std::string& path) {
    std::string p = path;
    size_t slash = p.find_last_of('/');
    std::string last = slash == std::string::npos ? p : p.substr(slash + 1);
    if (!last.empty() && last.back() == '.') {
        p += "EDB";
    } else if (last.find('.') == std::string::npos) {
        p += ".EDB";
    }
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(p, ec);
    if (ec) return {};
    return abs.lexically_normal().string();
}

// How far the batch read's buffer reaches past a record for fields that lie beyond its end
// (nothing keeps a descriptor inside its record). A field reaching further reads as its zero
// value in the batch read; readField still reads it from the file.
constexpr int64_t kMaxOverhang = fmt::kChunkBytes;

// Jitter for the pauses between lock attempts, so that two waiting instances drift apart.
int lockPauseMs() {
    thread_local std::minstd_rand rng(std::random_device{}());
    std::uniform_int_distribution<int> d(fmt::kLockPauseMinMs, fmt::kLockPauseMaxMs);
    return d(rng);
}

}  // namespace

struct Field {
    uint32_t type = 0;
    int32_t offset = 0;
    int32_t width = 0;  // bytes occupied in the record
    ValueType valueType = ValueType::Omitted;
};

namespace {

StoreValue decode(const Field& f, const unsigned char* p) {
    switch (f.type) {
        case fmt::kByte:
            return StoreValue::ofByte(p[0]);
        case fmt::kShort:
            return StoreValue::ofShort(get16(p));
        case fmt::kInt:
            return StoreValue::ofInt(get32(p));
        case fmt::kLong:
            return StoreValue::ofLong(get64(p));
        case fmt::kFloat:
            return StoreValue::ofFloat(getFloat(p));
        case fmt::kDouble:
            return StoreValue::ofDouble(getDouble(p));
        case fmt::kBool:
            return StoreValue::ofBool(p[0] != 0);
        case fmt::kDateTime:
            return StoreValue::ofDateTime(limitDateTime(getDouble(p)));
        case fmt::kRoutinePointer:
            return {ValueType::RoutinePointer, get32(p), 0, {}};
        case fmt::kText: {
            const void* nul = std::memchr(p, 0, static_cast<size_t>(f.width));
            size_t n = nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - p)
                           : static_cast<size_t>(f.width);
            return StoreValue::ofText(std::string(reinterpret_cast<const char*>(p), n));
        }
        case fmt::kBytes:
            return {ValueType::Bytes, get32(p), 0, {}};
        default:
            // Memo values live in the companion file, which this store does not open.
            return zeroValue(f.valueType);
    }
}

// Encodes a value already of the field's value type into the field's `width` bytes (zeroed by
// the caller). An omitted value leaves the zeros.
void encode(const Field& f, const StoreValue& v, unsigned char* p) {
    if (v.type == ValueType::Omitted) return;
    switch (f.type) {
        case fmt::kByte:
            p[0] = static_cast<unsigned char>(v.integer);
            break;
        case fmt::kShort:
            put16(p, v.integer);
            break;
        case fmt::kInt:
        case fmt::kRoutinePointer:
        case fmt::kBytes:
            put32(p, v.integer);
            break;
        case fmt::kLong:
            put64(p, v.integer);
            break;
        case fmt::kFloat: {
            float x = static_cast<float>(v.real);
            std::memcpy(p, &x, sizeof x);
            break;
        }
        case fmt::kDouble:
        case fmt::kDateTime: {
            double x = v.real;
            std::memcpy(p, &x, sizeof x);
            break;
        }
        case fmt::kBool:
            p[0] = v.integer != 0 ? 1 : 0;
            break;
        case fmt::kText: {
            // A text of `width` bytes or more fills the field without a NUL.
            size_t n = std::min(v.text.size(), static_cast<size_t>(f.width));
            std::memcpy(p, v.text.data(), n);
            break;
        }
        default:
            break;  // Memo: no companion file, the block number stays 0
    }
}

// The value as the field stores it: unchanged when of the field's type, converted between
// numeric types, the zero value when omitted; otherwise a type mismatch.
int32_t prepare(const Field& f, const StoreValue& v, StoreValue& out) {
    if (v.type == ValueType::Omitted) {
        out = zeroValue(f.valueType);
        out.type = ValueType::Omitted;
        return kOk;
    }
    if (v.type == f.valueType) {
        out = v;
        return kOk;
    }
    if (isNumeric(v.type) && isNumeric(f.valueType)) {
        out = convertNumeric(v, f.valueType);
        return kOk;
    }
    return kTypeMismatch;
}

}  // namespace

struct RecordStore::Impl {
    std::shared_ptr<FileAccess> access;
    std::unique_ptr<File> file;
    std::string path;
    int32_t recordLength = 0;
    int32_t fieldCount = 0;
    int64_t dataStart = 0;
    int32_t overhang = 0;  // bytes the furthest field reaches past the record's end
    std::vector<Field> fields;
    int32_t cursor = 0;
    OpenPolicy policy;
    RepairReport repair;

    struct Held {
        int count = 0;
        bool onFile = false;  // false: taken while the whole file was held, nothing to release
    };
    std::map<std::pair<int64_t, int64_t>, Held> locks;

    bool isOpen() const { return file != nullptr; }
    // Whether the batch read's buffer holds all of the field's bytes.
    bool inView(const Field& f) const {
        return int64_t{f.offset} + f.width <= int64_t{recordLength} + overhang;
    }
    int64_t recordPos(int64_t index) const { return dataStart + index * recordLength; }
    // Records per chunk of a walk; callers take no more than the file counts, so that a file of
    // few but long records (a record length of 2 GB is valid) needs no buffer beyond them.
    int32_t chunkRecords() const {
        return static_cast<int32_t>(std::max<int64_t>(1, fmt::kChunkBytes / recordLength));
    }

    bool holdsWholeFile() const {
        auto it = locks.find({fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength});
        return it != locks.end() && it->second.count > 0;
    }

    // Takes a lock, counting nested takes. A range another instance holds is retried for up to
    // 2000 ms with pauses of 20 to 39 ms, so that two instances never fail each other's
    // operations over a lock held for a moment.
    int32_t lock(int64_t offset, int64_t length) {
        auto key = std::make_pair(offset, length);
        auto it = locks.find(key);
        if (it != locks.end()) {
            ++it->second.count;
            return kOk;
        }
        bool whole = offset == fmt::kWholeFileLockOffset && length == fmt::kWholeFileLockLength;
        if (!whole && holdsWholeFile()) {
            locks[key] = {1, false};
            return kOk;
        }
        int64_t start = access->nowMs();
        for (;;) {
            FileError e = file->lock(offset, length);
            if (e == FileError::None) break;
            bool busy = e == FileError::LockViolation || e == FileError::SharingViolation;
            if (!busy || access->nowMs() - start >= fmt::kLockRetryMs) {
                return e == FileError::Unclassified ? kLockFailed : errorCode(e);
            }
            access->sleepMs(lockPauseMs());
        }
        locks[key] = {1, true};
        return kOk;
    }

    int32_t unlock(int64_t offset, int64_t length) {
        auto it = locks.find({offset, length});
        if (it == locks.end()) return kUnlockFailed;
        if (--it->second.count > 0) return kOk;
        bool onFile = it->second.onFile;
        locks.erase(it);
        if (onFile && file->unlock(offset, length) != FileError::None) return kUnlockFailed;
        return kOk;
    }

    void releaseAllLocks() {
        for (auto& [key, held] : locks) {
            if (held.onFile) file->unlock(key.first, key.second);
        }
        locks.clear();
    }

    // Reads recordCount and nextSerial (the caller holds a lock that covers offset 16).
    int32_t readCountAndSerial(int32_t& count, int32_t& next) {
        unsigned char b[fmt::kCountAndSerialSize];
        IoResult r = file->readAt(fmt::kCountOffset, b, sizeof b);
        if (!r.ok() || r.bytes < static_cast<int64_t>(sizeof b)) return kReadCountFailed;
        count = std::max(0, get32(b));
        next = std::max(fmt::kFirstValidSerial, get32(b + 4));
        return kOk;
    }

    // Locks the count, reads it and unlocks.
    int32_t lockedCount(int32_t& count) {
        int32_t code = lock(fmt::kCountOffset, fmt::kByteLockLength);
        if (code != kOk) return code;
        int32_t next = 0;
        code = readCountAndSerial(count, next);
        int32_t u = unlock(fmt::kCountOffset, fmt::kByteLockLength);
        return code != kOk ? code : u;
    }

    int32_t writeCount(int32_t count) {
        unsigned char b[4];
        put32(b, count);
        IoResult r = file->writeAt(fmt::kCountOffset, b, sizeof b);
        return r.ok() ? kOk : errorCode(r.error);
    }

    int32_t checkAndReconcile();
    int32_t repairAtOpen(const RecordStore& owner);
    std::vector<FieldLayout> layout() const;
    int32_t findBadCopies(int32_t count, std::vector<int32_t>& bad);
    int32_t markSlots(const std::vector<int32_t>& bad);
    int32_t purgeLocked();
    int32_t markCurrent(int32_t expected);
    int32_t writeCurrent(int p, const StoreValue& value, int32_t expected);
};

// Checks header and descriptors in the order the format fixes, then makes the count name only
// whole records and the file end at the last counted record.
int32_t RecordStore::Impl::checkAndReconcile() {
    unsigned char h[fmt::kHeaderSize];
    IoResult r = file->readAt(0, h, sizeof h);
    if (!r.ok()) return kOpenFailed;
    if (r.bytes < fmt::kHeaderSize) return kNotADatabase;
    if (std::memcmp(h + fmt::kMagicOffset, fmt::kPasswordMagic, fmt::kMagicSize) == 0) {
        return kPassword;
    }
    if (std::memcmp(h + fmt::kMagicOffset, fmt::kMagic, fmt::kMagicSize) != 0) {
        return kNotADatabase;
    }
    int32_t length = get32(h + fmt::kRecordLengthOffset);
    int32_t count = get32(h + fmt::kCountOffset);
    int32_t next = get32(h + fmt::kNextSerialOffset);
    // Every record begins with its 4-byte serial, so a shorter record length is no database:
    // its serials would overlap the next record.
    if (length < fmt::kSerialSize || count < 0 || next < fmt::kFirstValidSerial) {
        return kNotADatabase;
    }
    if (static_cast<uint32_t>(get32(h + fmt::kVersionOffset)) > fmt::kVersion) {
        return kVersionTooHigh;
    }
    unsigned char fc[fmt::kFieldCountSize];
    r = file->readAt(fmt::kFieldCountOffset, fc, sizeof fc);
    if (!r.ok()) return kOpenFailed;
    if (r.bytes < fmt::kFieldCountSize) return kNotADatabase;
    int32_t nFields = get32(fc);
    if (nFields <= 0) return kNotADatabase;
    IoResult size = file->size();
    if (!size.ok()) return kOpenFailed;
    int64_t start = fmt::dataStart(nFields);
    if (size.bytes < start) return kNotADatabase;  // fewer descriptor bytes than counted

    std::vector<unsigned char> d(static_cast<size_t>(fmt::kDescriptorSize * nFields));
    r = file->readAt(fmt::kDescriptorsOffset, d.data(), d.size());
    if (!r.ok()) return kOpenFailed;
    if (r.bytes < static_cast<int64_t>(d.size())) return kNotADatabase;
    std::vector<Field> parsed(static_cast<size_t>(nFields));
    int64_t furthest = length;
    for (int32_t i = 0; i < nFields; ++i) {
        const unsigned char* p = d.data() + fmt::kDescriptorSize * i;
        if (std::memchr(p + fmt::kNameOffset, 0, fmt::kNameMaxLength + 1) == nullptr) {
            return kNotADatabase;
        }
        Field& f = parsed[static_cast<size_t>(i)];
        f.type = static_cast<uint32_t>(get32(p + fmt::kTypeOffset));
        f.offset = get32(p + fmt::kFieldOffsetOffset);
        int32_t width = get32(p + fmt::kWidthOffset);
        if (f.offset < 0 || f.type < fmt::kFirstType || f.type > fmt::kLastType) {
            return kNotADatabase;
        }
        if (f.type == fmt::kText && width <= 0) return kNotADatabase;
        f.width = f.type == fmt::kText ? width : fmt::fixedWidth(f.type);
        f.valueType = valueTypeOf(f.type);
        furthest = std::max<int64_t>(furthest, int64_t{f.offset} + f.width);
    }

    // A read-only open changes nothing and so cannot drop what its count names; a writable one
    // reconciles the count with the file in its repair, once the fields are known.
    int64_t fit = (size.bytes - start) / length;
    if (!file->writable() && fit < count) return kBadFileSize;
    if (!policy.fields.empty()) {
        std::vector<FieldLayout> found;
        for (const Field& f : parsed) found.push_back({f.type, f.offset, f.width});
        if (found != policy.fields || !layoutFillsRecord(found, length)) return kNotADatabase;
    }
    recordLength = length;
    fieldCount = nFields;
    dataStart = start;
    fields = std::move(parsed);
    overhang = static_cast<int32_t>(std::min<int64_t>(furthest - length, kMaxOverhang));
    return kOk;
}

// Finds the lower slots of a serial held by two: a purge moves records down in file order and
// overwrites an original only after its copy is complete, so the highest is the original.
int32_t RecordStore::Impl::findBadCopies(int32_t count, std::vector<int32_t>& bad) {
    std::vector<std::pair<int32_t, int32_t>> live;  // serial, index
    const int32_t per = std::min(chunkRecords(), count);
    std::vector<unsigned char> buf(static_cast<size_t>(per) * recordLength);
    for (int32_t first = 0; first < count; first += per) {
        int32_t n = std::min(per, count - first);
        IoResult r =
            file->readAt(recordPos(first), buf.data(), static_cast<size_t>(n) * recordLength);
        if (!r.ok()) return errorCode(r.error);
        int32_t whole = static_cast<int32_t>(r.bytes / recordLength);
        for (int32_t i = 0; i < whole; ++i) {
            int32_t s = get32(buf.data() + static_cast<size_t>(i) * recordLength);
            if (s > 0) live.emplace_back(s, first + i);
        }
        if (whole < n) break;
    }
    std::sort(live.begin(), live.end());
    for (size_t i = 0; i + 1 < live.size(); ++i) {
        if (live[i].first == live[i + 1].first) bad.push_back(live[i].second);
    }
    return kOk;
}

// Marks the given slots deleted (a negative serial), so that a purge removes them.
int32_t RecordStore::Impl::markSlots(const std::vector<int32_t>& bad) {
    for (int32_t index : bad) {
        unsigned char b[fmt::kSerialSize];
        IoResult r = file->readAt(recordPos(index) + fmt::kSerialOffset, b, sizeof b);
        if (!r.ok() || r.bytes < fmt::kSerialSize) return kReadRecordFailed;
        int32_t s = get32(b);
        if (s < 0) continue;
        put32(b, s > 0 ? -int64_t{s} : -1);
        IoResult w = file->writeAt(recordPos(index) + fmt::kSerialOffset, b, sizeof b);
        if (!w.ok()) return errorCode(w.error);
    }
    return kOk;
}

std::vector<FieldLayout> RecordStore::Impl::layout() const {
    std::vector<FieldLayout> out;
    for (const Field& f : fields) out.push_back({f.type, f.offset, f.width});
    return out;
}

// Reconciles the count with the file and repairs what an interrupted append, delete or purge
// leaves (open_repair.h); the caller holds the whole file.
int32_t RecordStore::Impl::repairAtOpen(const RecordStore& owner) {
    RepairTable t;
    t.file = file.get();
    t.access = access.get();
    t.path = path;
    t.dataStart = dataStart;
    t.recordLength = recordLength;
    t.fields = layout();
    if (policy.validEntry) {
        t.validEntry = [this, &owner](const unsigned char* rec) {
            RecordView view;
            view.store_ = &owner;
            view.bytes_ = rec;
            return policy.validEntry(view);
        };
    }
    t.purgeMarked = policy.purgeMarked;
    t.purge = [this] { return purgeLocked(); };
    return store::repairAtOpen(t, repair);
}

// The purge walk; the caller holds the whole file.
int32_t RecordStore::Impl::purgeLocked() {
    int32_t count = 0, next = 0;
    int32_t code = readCountAndSerial(count, next);
    if (code != kOk) return code;
    // The buffer holds no more records than there are, so that a table of huge records with
    // few of them costs no more memory than its file.
    const int32_t per = std::min(chunkRecords(), count);
    const size_t len = static_cast<size_t>(recordLength);
    std::vector<unsigned char> buf(static_cast<size_t>(per) * len);
    int64_t readPos = dataStart, writePos = dataStart;
    bool removed = false;
    int32_t kept = 0;
    for (int32_t first = 0; first < count;) {
        int32_t n = std::min(per, count - first);
        IoResult r = file->readAt(readPos, buf.data(), static_cast<size_t>(n) * len);
        int32_t whole = static_cast<int32_t>(r.bytes / recordLength);
        int32_t k = 0, inPlace = -1;
        for (int32_t i = 0; i < whole; ++i) {
            unsigned char* rec = buf.data() + static_cast<size_t>(i) * len;
            if (get32(rec + fmt::kSerialOffset) < 0) {
                if (inPlace < 0) inPlace = k;
                removed = true;
                continue;
            }
            if (k != i) std::memmove(buf.data() + static_cast<size_t>(k) * len, rec, len);
            ++k;
        }
        // Records before the first removal stay where they are when nothing moved yet.
        int32_t skip = writePos == readPos ? (inPlace < 0 ? k : inPlace) : 0;
        if (removed && k > skip) {
            IoResult w = file->writeAt(writePos + static_cast<int64_t>(skip) * recordLength,
                                       buf.data() + static_cast<size_t>(skip) * len,
                                       static_cast<size_t>(k - skip) * len);
            if (!w.ok()) {
                // Copies below and originals above may now both be live: mark the lower ones
                // now if the file lets us, else the next open does it.
                std::vector<int32_t> bad;
                if (findBadCopies(count, bad) == kOk) markSlots(bad);
                return errorCode(w.error);
            }
        }
        readPos += static_cast<int64_t>(whole) * recordLength;
        writePos += static_cast<int64_t>(k) * recordLength;
        kept += k;
        if (whole < n) {
            // The rest cannot be read: it stays where it is and stays counted. The slots the
            // moved records left behind are marked deleted, so each record is live once.
            if (writePos < readPos) {
                std::fill(buf.begin(), buf.end(), 0);
                for (int32_t i = 0; i < per; ++i)
                    put32(buf.data() + static_cast<size_t>(i) * len, -1);
                for (int64_t at = writePos; at < readPos;) {
                    int64_t bytes =
                        std::min<int64_t>(readPos - at, static_cast<int64_t>(buf.size()));
                    if (!file->writeAt(at, buf.data(), static_cast<size_t>(bytes)).ok()) break;
                    at += bytes;
                }
            }
            return r.ok() ? kReadRecordFailed : errorCode(r.error);
        }
        first += n;
    }
    if (!removed) return kOk;
    // The moved records are on disk before the count that drops their old places, and the count
    // before the purge says it is done; a cut that does not reach the disk leaves only copies
    // past the count, which the next open cuts.
    FileError flushed = file->sync();
    if (flushed != FileError::None) return errorCode(flushed);
    code = writeCount(kept);
    if (code == kOk) {
        // The count is written: the copies are now the only counted places of their records,
        // and the records past the count are the leftovers the next open cuts.
        flushed = file->sync();
        if (flushed != FileError::None) return errorCode(flushed);
    }
    if (code != kOk) {
        std::vector<int32_t> bad;
        if (findBadCopies(count, bad) == kOk) markSlots(bad);
        return code;
    }
    // Bytes past the new count are removed by the next open if this cut fails.
    FileError e = file->truncate(writePos);
    return e == FileError::None ? kOk : errorCode(e);
}

RecordStore::RecordStore(std::shared_ptr<FileAccess> files) : impl_(std::make_unique<Impl>()) {
    impl_->access = files ? std::move(files) : posixFileAccess();
}

RecordStore::~RecordStore() { close(); }

bool RecordStore::open(const std::string& path) { return open(path, OpenPolicy{}); }

bool RecordStore::open(const std::string& path, const OpenPolicy& policy) {
    Impl& s = *impl_;
    s.repair = {};
    if (path.empty()) return done(kNotFound);
    std::string abs = normalizePath(path);
    if (abs.empty()) return done(errorCode(FileError::BadPath));
    if (s.isOpen()) {
        if (upper(abs) == upper(s.path)) return done(kAlreadyOpen);
        close();
    }
    try {
        std::unique_ptr<File> file;
        FileError e = s.access->open(abs, true, file);
        if (e == FileError::AccessDenied) e = s.access->open(abs, false, file);
        if (e != FileError::None) return done(errorCode(e));
        s.file = std::move(file);
        s.cursor = 0;
        s.policy = policy;
        s.path = abs;
        int32_t code = s.lock(fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength);
        if (code == kOk) {
            code = s.checkAndReconcile();
            // The whole file is held, and with it the count's byte that an append of another
            // instance takes first: no append runs while the repair counts what it finds.
            if (code == kOk && s.file->writable()) code = s.repairAtOpen(*this);
            s.cursor = 0;
            int32_t u = s.unlock(fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength);
            if (code == kOk) code = u;
        }
        if (code != kOk) {
            s.releaseAllLocks();
            s.file.reset();
            s.fields.clear();
            s.recordLength = s.fieldCount = 0;
            s.path.clear();
            return done(code);
        }
    } catch (const std::bad_alloc&) {
        s.releaseAllLocks();
        s.file.reset();
        s.fields.clear();
        s.recordLength = s.fieldCount = 0;
        s.path.clear();
        return done(kNoMemory);
    }
    s.path = abs;
    return done(kOk);
}

void RecordStore::close(const std::string& path) {
    Impl& s = *impl_;
    if (!s.isOpen()) return;
    if (!path.empty() && upper(normalizePath(path)) != upper(s.path) &&
        upper(path) != upper(s.path)) {
        return;
    }
    s.releaseAllLocks();
    s.file.reset();
    s.path.clear();
    s.fields.clear();
    s.recordLength = s.fieldCount = 0;
    s.dataStart = 0;
    s.cursor = 0;
}

bool RecordStore::isOpen() const { return impl_->isOpen(); }

const RepairReport& RecordStore::lastRepair() const { return impl_->repair; }

int32_t RecordStore::recordCount() {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(kNotOpen), 0;
    int32_t count = 0;
    int32_t code = s.lockedCount(count);
    done(code);
    return code == kOk ? count : 0;
}

void RecordStore::goToFirst() {
    if (!impl_->isOpen()) {
        done(kNotOpen);
        return;
    }
    impl_->cursor = 0;
    done(kOk);
}

bool RecordStore::goTo(int32_t n) {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(kNotOpen);
    int32_t count = 0;
    int32_t code = s.lockedCount(count);
    if (code != kOk) return done(code);
    s.cursor =
        count == 0 ? 0 : static_cast<int32_t>(std::clamp<int64_t>(int64_t{n} - 1, 0, count - 1));
    return done(kOk);
}

bool RecordStore::skip(int32_t n) {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(kNotOpen);
    if (n == 0) return done(kOk);
    int32_t count = 0;
    int32_t code = s.lockedCount(count);
    if (code != kOk) return done(code);
    if (n > 0 && (count == 0 || s.cursor >= count)) return done(kAfterLast);
    if (n < 0 && (count == 0 || s.cursor < 0)) return done(kBeforeFirst);
    s.cursor = static_cast<int32_t>(std::clamp<int64_t>(int64_t{s.cursor} + n, -1, count));
    return done(kOk);
}

StoreValue RecordStore::readField(int p) {
    Impl& s = *impl_;
    if (!s.isOpen()) {
        gFatalHandler.load()(kNoStoreMessage);
        done(kNotOpen);
        return {};
    }
    if (p < 1 || p > s.fieldCount) {
        gFatalHandler.load()(kNoFieldMessage);
        done(kNoSuchField);
        return {};
    }
    const Field& f = s.fields[static_cast<size_t>(p - 1)];
    StoreValue zero = zeroValue(f.valueType);
    if (s.cursor < 0) return done(kNoCurrentRecord), zero;
    int64_t rec = s.recordPos(s.cursor);
    int32_t code = s.lock(rec, fmt::kByteLockLength);
    if (code != kOk) return done(code), zero;
    unsigned char small[64];
    std::vector<unsigned char> big;
    unsigned char* b = small;
    IoResult r;
    bool measured = false;
    if (f.width > static_cast<int32_t>(sizeof small)) {
        // A text field wider than a chunk is measured against the file before its buffer is
        // taken, so that a descriptor claiming a huge width costs no memory when the file cannot
        // hold it; the ledger's own fields never pay for the measuring.
        IoResult size = f.width > fmt::kChunkBytes ? s.file->size() : IoResult{INT64_MAX};
        if (!size.ok() || rec + f.offset + f.width > size.bytes) {
            r = size.ok() ? IoResult{std::max<int64_t>(0, size.bytes - rec - f.offset)} : size;
            measured = true;
        } else {
            big.resize(static_cast<size_t>(f.width));
            b = big.data();
        }
    }
    if (!measured) r = s.file->readAt(rec + f.offset, b, static_cast<size_t>(f.width));
    StoreValue out = zero;
    if (r.ok() && r.bytes == 0) {
        code = errorCode(FileError::SeekFailed);  // the field begins at or past the end
    } else if (!r.ok() || r.bytes < f.width) {
        code = kReadFieldFailed;
    } else {
        out = decode(f, b);
    }
    int32_t u = s.unlock(rec, fmt::kByteLockLength);
    done(code != kOk ? code : u);
    return out;
}

bool RecordStore::writeField(int p, const StoreValue& value) {
    return done(impl_->writeCurrent(p, value, 0));
}

bool RecordStore::writeFieldIf(int p, const StoreValue& value, int32_t serial) {
    return done(impl_->writeCurrent(p, value, serial > 0 ? serial : -1));
}

// Writes field p of the current record; with `expected` not 0 only while the record holds that
// serial (marked or not), checked under the record's lock.
int32_t RecordStore::Impl::writeCurrent(int p, const StoreValue& value, int32_t expected) {
    if (!isOpen()) return kWriteNotOpen;
    if (p < 1 || p > fieldCount) return kNoSuchField;
    const Field& f = fields[static_cast<size_t>(p - 1)];
    StoreValue v;
    int32_t code = prepare(f, value, v);
    if (code != kOk) return code;
    if (cursor < 0 || expected < 0) return kNoCurrentRecord;
    int64_t rec = recordPos(cursor);
    code = lock(rec, fmt::kByteLockLength);
    if (code != kOk) return code;
    IoResult size = file->size();
    unsigned char sb[fmt::kSerialSize];
    if (!size.ok()) {
        code = errorCode(size.error);
    } else if (rec + f.offset >= size.bytes) {
        code = kNoCurrentRecord;
    } else if (expected > 0 && (!file->readAt(rec + fmt::kSerialOffset, sb, sizeof sb).ok() ||
                                (get32(sb) != expected && get32(sb) != -expected))) {
        code = kNoCurrentRecord;  // another record has moved here
    } else {
        try {
            std::vector<unsigned char> b(static_cast<size_t>(f.width), 0);
            encode(f, v, b.data());
            IoResult w = file->writeAt(rec + f.offset, b.data(), b.size());
            FileError e = w.ok() ? file->sync() : w.error;
            if (e != FileError::None) {
                code = e == FileError::Unclassified ? kWriteFieldFailed : errorCode(e);
            }
        } catch (const std::bad_alloc&) {
            code = kNoMemory;
        }
    }
    int32_t u = unlock(rec, fmt::kByteLockLength);
    return code != kOk ? code : u;
}

bool RecordStore::appendRecord(const std::vector<StoreValue>& values) {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(kNotOpen);
    // A read-only file takes no record: refused before a buffer of the record's length is taken
    // (a valid record length may be two gigabytes).
    if (!s.file->writable()) return done(errorCode(FileError::AccessDenied));
    size_t k = std::min(values.size(), static_cast<size_t>(s.fieldCount));
    std::vector<StoreValue> prepared(k);
    for (size_t i = 0; i < k; ++i) {
        int32_t code = prepare(s.fields[i], values[i], prepared[i]);
        if (code != kOk) return done(code);
    }
    int32_t code = s.lock(fmt::kCountOffset, fmt::kByteLockLength);
    if (code != kOk) return done(code);
    int32_t count = 0, next = 0;
    code = s.readCountAndSerial(count, next);
    // The header must still name a serial after this one and count this record: a serial or
    // count past INT32_MAX would be written as a negative number, which no open accepts.
    if (code == kOk && (next == INT32_MAX || count == INT32_MAX)) code = kUnknown;
    if (code != kOk) {
        s.unlock(fmt::kCountOffset, fmt::kByteLockLength);
        return done(code);
    }
    int64_t rec = s.recordPos(count);
    code = s.lock(rec, fmt::kByteLockLength);
    if (code != kOk) {
        s.unlock(fmt::kCountOffset, fmt::kByteLockLength);
        return done(code);
    }
    try {
        std::vector<unsigned char> b(static_cast<size_t>(s.recordLength) + s.overhang, 0);
        for (size_t i = 0; i < k; ++i) {
            const Field& f = s.fields[i];
            if (s.inView(f)) {
                encode(f, prepared[i], b.data() + f.offset);
            } else if (f.offset < s.recordLength) {
                // Only a text can reach this far; its part inside the record is written.
                Field inside = f;
                inside.width = s.recordLength - f.offset;
                encode(inside, prepared[i], b.data() + f.offset);
            }
        }
        put32(b.data() + fmt::kSerialOffset, next);
        // The record first, then the count: a crash in between leaves uncounted bytes only.
        // The record is on disk before the count that makes it live, and the count before the
        // append says it is done, so that a power cut after "added" loses nothing.
        IoResult w = s.file->writeAt(rec, b.data(), static_cast<size_t>(s.recordLength));
        FileError e = w.ok() ? s.file->sync() : w.error;
        if (e != FileError::None) {
            code = errorCode(e);
        } else {
            unsigned char h[fmt::kCountAndSerialSize];
            put32(h, int64_t{count} + 1);
            put32(h + 4, int64_t{next} + 1);
            w = s.file->writeAt(fmt::kCountOffset, h, sizeof h);
            if (!w.ok()) code = errorCode(w.error);
        }
    } catch (const std::bad_alloc&) {
        code = kNoMemory;
    }
    if (code == kOk) s.cursor = count;
    int32_t u1 = s.unlock(rec, fmt::kByteLockLength);
    int32_t u2 = s.unlock(fmt::kCountOffset, fmt::kByteLockLength);
    if (code == kOk) code = u1 != kOk ? u1 : u2;
    // The count's flush needs no lock: it flushes whatever the file holds by now, and another
    // instance's append waits no longer for it.
    if (code == kOk) code = errorCode(s.file->sync());
    return done(code);
}

bool RecordStore::markDeleted() { return done(impl_->markCurrent(0)); }

bool RecordStore::markDeletedIf(int32_t serial) {
    return done(serial > 0 ? impl_->markCurrent(serial) : kNoCurrentRecord);
}

// Negates the current record's serial; with `expected` > 0 only while the record holds it.
int32_t RecordStore::Impl::markCurrent(int32_t expected) {
    if (!isOpen()) return kNotOpen;
    if (cursor < 0) return kNoCurrentRecord;
    int64_t rec = recordPos(cursor);
    int32_t code = lock(rec, fmt::kByteLockLength);
    if (code != kOk) return code;
    unsigned char b[fmt::kSerialSize];
    IoResult r = file->readAt(rec + fmt::kSerialOffset, b, sizeof b);
    if (r.ok() && r.bytes == 0) {
        code = kNoCurrentRecord;
    } else if (!r.ok() || r.bytes < fmt::kSerialSize) {
        code = kReadRecordFailed;
    } else if (int32_t serial = get32(b);
               expected > 0 && serial != expected && serial != -expected) {
        code = kNoCurrentRecord;  // another record has moved here
    } else if (serial > 0) {
        put32(b, -int64_t{serial});
        IoResult w = file->writeAt(rec + fmt::kSerialOffset, b, sizeof b);
        FileError e = w.ok() ? file->sync() : w.error;
        if (e != FileError::None) code = errorCode(e);
    }
    int32_t u = unlock(rec, fmt::kByteLockLength);
    return code != kOk ? code : u;
}

bool RecordStore::purgeDeleted() {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(kNotOpen);
    int32_t code = s.lock(fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength);
    if (code != kOk) return done(code);
    try {
        code = s.purgeLocked();
    } catch (const std::bad_alloc&) {
        code = kNoMemory;
    }
    s.cursor = 0;
    int32_t u = s.unlock(fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength);
    return done(code != kOk ? code : u);
}

int32_t RecordStore::currentSerial() {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(kNotOpen), 0;
    if (s.cursor < 0) return done(kNoCurrentRecord), 0;
    int64_t rec = s.recordPos(s.cursor);
    int32_t code = s.lock(rec, fmt::kByteLockLength);
    if (code != kOk) return done(code), 0;
    unsigned char b[fmt::kSerialSize];
    IoResult r = s.file->readAt(rec + fmt::kSerialOffset, b, sizeof b);
    int32_t serial = 0;
    if (r.ok() && r.bytes == 0) {
        code = kNoCurrentRecord;
    } else if (!r.ok() || r.bytes < fmt::kSerialSize) {
        code = kReadRecordFailed;
    } else {
        serial = get32(b);
    }
    int32_t u = s.unlock(rec, fmt::kByteLockLength);
    done(code != kOk ? code : u);
    return code == kOk ? serial : 0;
}

namespace {

// Releases a lock on every way out of the batch read, a visitor's exception included.
template <class Impl>
class ScopedLock {
  public:
    ScopedLock(Impl& s, int64_t offset, int64_t length)
        : s_(s), offset_(offset), length_(length), code_(s.lock(offset, length)) {}
    ~ScopedLock() {
        if (code_ == 0) s_.unlock(offset_, length_);
    }
    int32_t code() const { return code_; }
    int32_t release() {
        int32_t u = code_ == 0 ? s_.unlock(offset_, length_) : code_;
        code_ = -1;
        return u;
    }

  private:
    Impl& s_;
    int64_t offset_, length_;
    int32_t code_;
};

}  // namespace

bool RecordStore::readRecords(std::span<const int> fields,
                              const std::function<bool(const RecordView&)>& visit) {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(kNotOpen);
    for (int p : fields) {
        if (p < 1 || p > s.fieldCount) return done(kNoSuchField);
    }
    ScopedLock<Impl> whole(s, fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength);
    if (whole.code() != kOk) return done(whole.code());
    int32_t count = 0, next = 0;
    int32_t code = s.readCountAndSerial(count, next);
    if (code != kOk) {
        whole.release();
        return done(code);
    }
    const int32_t per = std::min(s.chunkRecords(), count);
    const size_t len = static_cast<size_t>(s.recordLength);
    std::vector<unsigned char> buf;
    try {
        buf.resize(static_cast<size_t>(per) * len + static_cast<size_t>(s.overhang));
    } catch (const std::bad_alloc&) {
        whole.release();
        return done(kNoMemory);
    }
    RecordView view;
    view.store_ = this;
    bool going = true;
    for (int32_t first = 0; going && first < count;) {
        int32_t n = std::min(per, count - first);
        size_t want = static_cast<size_t>(n) * len + static_cast<size_t>(s.overhang);
        IoResult r = s.file->readAt(s.recordPos(first), buf.data(), want);
        if (r.ok() && static_cast<size_t>(r.bytes) < want) {
            std::fill(buf.begin() + r.bytes, buf.begin() + static_cast<ptrdiff_t>(want), 0);
        }
        int32_t got =
            r.ok() ? static_cast<int32_t>(std::min<int64_t>(r.bytes / s.recordLength, n)) : 0;
        for (int32_t i = 0; i < got; ++i) {
            view.bytes_ = buf.data() + static_cast<size_t>(i) * len;
            view.index_ = first + i;
            if (!visit(view)) {
                going = false;
                break;
            }
        }
        if (going && got < n) {
            code = r.ok() ? kReadRecordFailed : errorCode(r.error);
            break;
        }
        first += n;
    }
    int32_t u = whole.release();
    return done(code != kOk ? code : u);
}

int32_t RecordStore::fieldCount() const { return impl_->fieldCount; }
int32_t RecordStore::recordLength() const { return impl_->recordLength; }
int32_t RecordStore::lastError() { return tlsLastError; }

int32_t RecordView::index() const { return index_; }
int32_t RecordView::serial() const { return get32(bytes_ + fmt::kSerialOffset); }

StoreValue RecordView::field(int p) const {
    const auto& fields = store_->impl_->fields;
    if (p < 1 || p > static_cast<int>(fields.size())) return {};
    const Field& f = fields[static_cast<size_t>(p - 1)];
    if (!store_->impl_->inView(f)) return zeroValue(f.valueType);
    return decode(f, bytes_ + f.offset);
}

int64_t RecordView::integer(int p) const {
    const auto& fields = store_->impl_->fields;
    if (p < 1 || p > static_cast<int>(fields.size())) return 0;
    const Field& f = fields[static_cast<size_t>(p - 1)];
    if (!store_->impl_->inView(f)) return {};
    const unsigned char* b = bytes_ + f.offset;
    switch (f.type) {
        case fmt::kByte:
            return b[0];
        case fmt::kBool:
            return b[0] != 0 ? 1 : 0;
        case fmt::kShort:
            return get16(b);
        case fmt::kInt:
        case fmt::kRoutinePointer:
        case fmt::kBytes:
            return get32(b);
        case fmt::kLong:
            return get64(b);
        case fmt::kFloat:
            return truncateReal(getFloat(b));
        case fmt::kDouble:
            return truncateReal(getDouble(b));
        case fmt::kDateTime:
            return truncateReal(limitDateTime(getDouble(b)));
        default:
            return 0;
    }
}

double RecordView::real(int p) const {
    const auto& fields = store_->impl_->fields;
    if (p < 1 || p > static_cast<int>(fields.size())) return 0;
    const Field& f = fields[static_cast<size_t>(p - 1)];
    if (!store_->impl_->inView(f)) return {};
    const unsigned char* b = bytes_ + f.offset;
    switch (f.type) {
        case fmt::kFloat:
            return getFloat(b);
        case fmt::kDouble:
            return getDouble(b);
        case fmt::kDateTime:
            return limitDateTime(getDouble(b));
        case fmt::kText:
        case fmt::kMemo:
            return 0;
        default:
            return static_cast<double>(integer(p));
    }
}

std::string_view RecordView::text(int p) const {
    const auto& fields = store_->impl_->fields;
    if (p < 1 || p > static_cast<int>(fields.size())) return {};
    const Field& f = fields[static_cast<size_t>(p - 1)];
    if (!store_->impl_->inView(f)) return {};
    if (f.type != fmt::kText) return {};
    const auto* b = reinterpret_cast<const char*>(bytes_ + f.offset);
    const void* nul = std::memchr(b, 0, static_cast<size_t>(f.width));
    size_t n =
        nul ? static_cast<size_t>(static_cast<const char*>(nul) - b) : static_cast<size_t>(f.width);
    return {b, n};
}

std::string errorText(int32_t code) {
    for (const ErrorEntry& e : kErrorTexts) {
        if (e.code == code) return e.text;
    }
    return kErrorTexts[0].text;
}

void setFatalHandler(FatalHandler handler) {
    gFatalHandler.store(handler ? handler : &defaultFatal);
}

}  // namespace store
