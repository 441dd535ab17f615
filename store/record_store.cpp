#include "store/record_store.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>

#include "store/coding.h"
#include "store/field_codec.h"
#include "store/format.h"
#include "store/lock_table.h"
#include "store/open_repair.h"
#include "store/table_check.h"

namespace store {

namespace fmt = format;
using coding::decodeI32;
using coding::encodeI32;

namespace {

// The two fatal misuses of readField.
constexpr char kNoStoreMessage[] =
    "\xce\xb4\xd6\xb8\xb6\xa8\xb5\xb1\xc7\xb0\xca\xfd\xbe\xdd\xbf\xe2\xbb\xf2\xd5\xdf\xd6\xb8\xb6"
    "\xa8\xca\xfd\xbe\xdd\xbf\xe2\xce\xb4\xb4\xf2\xbf\xaa";  // 未指定当前数据库或者指定数据库未打开
constexpr char kNoFieldMessage[] =
    "\xd6\xb8\xb6\xa8\xd7\xd6\xb6\xce\xb2\xbb\xb4\xe6\xd4\xda";  // 指定字段不存在

thread_local Status tlsLastError = Status::Ok;

void defaultFatal(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    std::exit(-1);
}

std::atomic<FatalHandler> gFatalHandler{&defaultFatal};

// Records the outcome of an operation for lastError() and tells whether it succeeded.
bool done(Status s) {
    tlsLastError = s;
    return s == Status::Ok;
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
    std::string last = std::filesystem::path(p).filename().string();
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

// How far the batch read's buffer reaches past a record at most. A field reaching further reads
// as its zero value in the batch read; readField still reads it from the file.
constexpr int64_t kMaxOverhang = fmt::kChunkBytes;

}  // namespace

struct RecordStore::Impl {
    explicit Impl(std::shared_ptr<FileAccess> files) : access(std::move(files)), locks(*access) {}

    std::shared_ptr<FileAccess> access;
    std::unique_ptr<File> file;
    std::string path;
    RecordLayout layout;
    int64_t dataStart = 0;
    int32_t cursor = 0;
    LockTable locks;
    OpenPolicy policy;
    RepairReport repair;

    bool isOpen() const { return file != nullptr; }
    int32_t fieldCount() const { return static_cast<int32_t>(layout.fields.size()); }
    int32_t recordLength() const { return layout.recordLength; }
    int64_t recordPos(int64_t index) const { return dataStart + index * layout.recordLength; }
    // Records per chunk of a walk; callers take no more than the file counts, so that a file of
    // few but long records (a record length of 2 GB is valid) needs no buffer beyond them.
    int32_t chunkRecords() const {
        return static_cast<int32_t>(std::max<int64_t>(1, fmt::kChunkBytes / layout.recordLength));
    }

    Status lock(int64_t offset, int64_t length) { return locks.lock(*file, offset, length); }
    Status unlock(int64_t offset, int64_t length) { return locks.unlock(*file, offset, length); }

    // Drops the file and everything read from it.
    void reset() {
        if (file) locks.releaseAll(*file);
        file.reset();
        path.clear();
        layout = {};
        dataStart = 0;
        cursor = 0;
    }

    // Reads recordCount and nextSerial (the caller holds a lock that covers offset 16).
    Status readCountAndSerial(int32_t& count, int32_t& next) {
        unsigned char b[fmt::kCountAndSerialSize];
        IoResult r = file->readAt(fmt::kCountOffset, b, sizeof b);
        if (!r.ok() || r.bytes < static_cast<int64_t>(sizeof b)) return Status::ReadCountFailed;
        count = std::max(0, decodeI32(b));
        next = std::max(fmt::kFirstValidSerial, decodeI32(b + 4));
        return Status::Ok;
    }

    // Locks the count, reads it and unlocks.
    Status lockedCount(int32_t& count) {
        Status s = lock(fmt::kCountOffset, fmt::kByteLockLength);
        if (s != Status::Ok) return s;
        int32_t next = 0;
        s = readCountAndSerial(count, next);
        Status u = unlock(fmt::kCountOffset, fmt::kByteLockLength);
        return s != Status::Ok ? s : u;
    }

    Status writeCount(int32_t count) {
        unsigned char b[4];
        encodeI32(b, count);
        return file->writeAt(fmt::kCountOffset, b, sizeof b).status;
    }

    // Reads the serial of the record at `index`: a record beginning at or beyond the end of the
    // file gives NoCurrentRecord, a short or failed read ReadRecordFailed.
    Status readSerial(int64_t index, int32_t& serial) {
        unsigned char b[fmt::kSerialSize];
        IoResult r = file->readAt(recordPos(index) + fmt::kSerialOffset, b, sizeof b);
        if (r.ok() && r.bytes == 0) return Status::NoCurrentRecord;
        if (!r.ok() || r.bytes < fmt::kSerialSize) return Status::ReadRecordFailed;
        serial = decodeI32(b);
        return Status::Ok;
    }

    Status writeSerial(int64_t index, int32_t serial) {
        unsigned char b[fmt::kSerialSize];
        encodeI32(b, serial);
        return file->writeAt(recordPos(index) + fmt::kSerialOffset, b, sizeof b).status;
    }

    Status checkAndReconcile();
    Status repairAtOpen();
    std::vector<FieldLayout> fieldLayouts() const;
    Status findBadCopies(int32_t count, std::vector<int32_t>& bad);
    Status markSlots(const std::vector<int32_t>& bad);
    Status purgeLocked();
    Status markCurrent(int32_t expected);
    Status writeCurrent(int p, const StoreValue& value, int32_t expected);
};

// Checks header and descriptors in the order the format fixes, then makes the count name only
// whole records and the file end at the last counted record.
Status RecordStore::Impl::checkAndReconcile() {
    unsigned char h[fmt::kHeaderSize];
    IoResult r = file->readAt(0, h, sizeof h);
    if (!r.ok()) return Status::OpenFailed;
    if (r.bytes < fmt::kHeaderSize) return Status::NotADatabase;
    if (std::memcmp(h + fmt::kMagicOffset, fmt::kPasswordMagic, fmt::kMagicSize) == 0) {
        return Status::Password;
    }
    if (std::memcmp(h + fmt::kMagicOffset, fmt::kMagic, fmt::kMagicSize) != 0) {
        return Status::NotADatabase;
    }
    int32_t length = decodeI32(h + fmt::kRecordLengthOffset);
    int32_t count = decodeI32(h + fmt::kCountOffset);
    int32_t next = decodeI32(h + fmt::kNextSerialOffset);
    // Every record begins with its 4-byte serial, so a shorter record length is no database:
    // its serials would overlap the next record.
    if (length < fmt::kSerialSize || count < 0 || next < fmt::kFirstValidSerial) {
        return Status::NotADatabase;
    }
    if (coding::decodeU32(h + fmt::kVersionOffset) > fmt::kVersion) return Status::VersionTooHigh;
    unsigned char fc[fmt::kFieldCountSize];
    r = file->readAt(fmt::kFieldCountOffset, fc, sizeof fc);
    if (!r.ok()) return Status::OpenFailed;
    if (r.bytes < fmt::kFieldCountSize) return Status::NotADatabase;
    int32_t nFields = decodeI32(fc);
    if (nFields <= 0) return Status::NotADatabase;
    IoResult size = file->size();
    if (!size.ok()) return Status::OpenFailed;
    int64_t start = fmt::dataStart(nFields);
    if (size.bytes < start) return Status::NotADatabase;  // fewer descriptor bytes than counted

    std::vector<unsigned char> d(static_cast<size_t>(fmt::kDescriptorSize * nFields));
    r = file->readAt(fmt::kDescriptorsOffset, d.data(), d.size());
    if (!r.ok()) return Status::OpenFailed;
    if (r.bytes < static_cast<int64_t>(d.size())) return Status::NotADatabase;
    std::vector<Field> parsed(static_cast<size_t>(nFields));
    int64_t furthest = length;
    for (int32_t i = 0; i < nFields; ++i) {
        Field& f = parsed[static_cast<size_t>(i)];
        Status s = parseDescriptor(d.data() + fmt::kDescriptorSize * i, f);
        if (s != Status::Ok) return s;
        furthest = std::max<int64_t>(furthest, int64_t{f.offset} + f.width);
    }

    // A read-only open changes nothing and so cannot drop what its count names; a writable one
    // reconciles the count with the file in its repair, once the fields are known.
    int64_t fit = (size.bytes - start) / length;
    if (!file->writable() && fit < count) return Status::BadFileSize;
    if (!policy.fields.empty()) {
        std::vector<FieldLayout> found;
        for (const Field& f : parsed) found.push_back({f.type, f.offset, f.width});
        if (found != policy.fields || !layoutFillsRecord(found, length)) {
            return Status::NotADatabase;
        }
    }
    layout.fields = std::move(parsed);
    layout.recordLength = length;
    layout.overhang = static_cast<int32_t>(std::min<int64_t>(furthest - length, kMaxOverhang));
    dataStart = start;
    return Status::Ok;
}

// Finds the lower slots of a serial held by two: a purge moves records down in file order and
// overwrites an original only after its copy is complete, so the highest is the original.
Status RecordStore::Impl::findBadCopies(int32_t count, std::vector<int32_t>& bad) {
    const int32_t len = recordLength();
    std::vector<std::pair<int32_t, int32_t>> live;  // serial, index
    const int32_t per = std::min(chunkRecords(), count);
    std::vector<unsigned char> buf(static_cast<size_t>(per) * len);
    for (int32_t first = 0; first < count; first += per) {
        int32_t n = std::min(per, count - first);
        IoResult r = file->readAt(recordPos(first), buf.data(), static_cast<size_t>(n) * len);
        if (!r.ok()) return r.status;
        int32_t whole = static_cast<int32_t>(r.bytes / len);
        for (int32_t i = 0; i < whole; ++i) {
            int32_t s = decodeI32(buf.data() + static_cast<size_t>(i) * len);
            if (s > 0) live.emplace_back(s, first + i);
        }
        if (whole < n) break;
    }
    std::sort(live.begin(), live.end());
    for (size_t i = 0; i + 1 < live.size(); ++i) {
        if (live[i].first == live[i + 1].first) bad.push_back(live[i].second);
    }
    return Status::Ok;
}

// Marks the given slots deleted (a negative serial), so that a purge removes them.
Status RecordStore::Impl::markSlots(const std::vector<int32_t>& bad) {
    for (int32_t index : bad) {
        int32_t s = 0;
        if (readSerial(index, s) != Status::Ok) return Status::ReadRecordFailed;
        if (s < 0) continue;
        Status w = writeSerial(index, s > 0 ? -s : -1);
        if (w != Status::Ok) return w;
    }
    return Status::Ok;
}

std::vector<FieldLayout> RecordStore::Impl::fieldLayouts() const {
    std::vector<FieldLayout> out;
    for (const Field& f : layout.fields) out.push_back({f.type, f.offset, f.width});
    return out;
}

// Reconciles the count with the file and repairs what an interrupted append, delete or purge
// leaves (open_repair.h); the caller holds the whole file.
Status RecordStore::Impl::repairAtOpen() {
    RepairTable t;
    t.file = file.get();
    t.access = access.get();
    t.path = path;
    t.dataStart = dataStart;
    t.recordLength = recordLength();
    t.fields = fieldLayouts();
    if (policy.validEntry) {
        t.validEntry = [this](const unsigned char* rec) {
            RecordView view;
            view.layout_ = &layout;
            view.bytes_ = rec;
            return policy.validEntry(view);
        };
    }
    t.purgeMarked = policy.purgeMarked;
    t.purge = [this] { return purgeLocked(); };
    return store::repairAtOpen(t, repair);
}

// The purge walk; the caller holds the whole file.
Status RecordStore::Impl::purgeLocked() {
    int32_t count = 0, next = 0;
    Status s = readCountAndSerial(count, next);
    if (s != Status::Ok) return s;
    const int32_t length = recordLength();
    // The buffer holds no more records than there are, so that a table of huge records with
    // few of them costs no more memory than its file.
    const int32_t per = std::min(chunkRecords(), count);
    const size_t len = static_cast<size_t>(length);
    std::vector<unsigned char> buf(static_cast<size_t>(per) * len);
    int64_t readPos = dataStart, writePos = dataStart;
    bool removed = false;
    int32_t kept = 0;
    for (int32_t first = 0; first < count;) {
        int32_t n = std::min(per, count - first);
        IoResult r = file->readAt(readPos, buf.data(), static_cast<size_t>(n) * len);
        int32_t whole = static_cast<int32_t>(r.bytes / length);
        int32_t k = 0, inPlace = -1;
        for (int32_t i = 0; i < whole; ++i) {
            unsigned char* rec = buf.data() + static_cast<size_t>(i) * len;
            if (decodeI32(rec + fmt::kSerialOffset) < 0) {
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
            IoResult w = file->writeAt(writePos + static_cast<int64_t>(skip) * length,
                                       buf.data() + static_cast<size_t>(skip) * len,
                                       static_cast<size_t>(k - skip) * len);
            if (!w.ok()) {
                // Copies below and originals above may now both be live: mark the lower ones
                // now if the file lets us, else the next open does it.
                std::vector<int32_t> bad;
                if (findBadCopies(count, bad) == Status::Ok) markSlots(bad);
                return w.status;
            }
        }
        readPos += static_cast<int64_t>(whole) * length;
        writePos += static_cast<int64_t>(k) * length;
        kept += k;
        if (whole < n) {
            // The rest cannot be read: it stays where it is and stays counted. The slots the
            // moved records left behind are marked deleted, so each record is live once.
            if (writePos < readPos) {
                std::fill(buf.begin(), buf.end(), 0);
                for (int32_t i = 0; i < per; ++i)
                    encodeI32(buf.data() + static_cast<size_t>(i) * len, -1);
                for (int64_t at = writePos; at < readPos;) {
                    int64_t bytes =
                        std::min<int64_t>(readPos - at, static_cast<int64_t>(buf.size()));
                    if (!file->writeAt(at, buf.data(), static_cast<size_t>(bytes)).ok()) break;
                    at += bytes;
                }
            }
            return r.ok() ? Status::ReadRecordFailed : r.status;
        }
        first += n;
    }
    if (!removed) return Status::Ok;
    // The moved records are on disk before the count that drops their old places, and the count
    // before the purge says it is done; a cut that does not reach the disk leaves only copies
    // past the count, which the next open cuts.
    s = file->sync();
    if (s != Status::Ok) return s;
    s = writeCount(kept);
    if (s != Status::Ok) {
        std::vector<int32_t> bad;
        if (findBadCopies(count, bad) == Status::Ok) markSlots(bad);
        return s;
    }
    // The count is written: the copies are now the only counted places of their records, and
    // the records past the count are the leftovers the next open cuts.
    s = file->sync();
    if (s != Status::Ok) return s;
    // Bytes past the new count are removed by the next open if this cut fails.
    return file->truncate(writePos);
}

RecordStore::RecordStore(std::shared_ptr<FileAccess> files)
    : impl_(std::make_unique<Impl>(files ? std::move(files) : posixFileAccess())) {}

RecordStore::~RecordStore() { close(); }

bool RecordStore::open(const std::string& path) { return open(path, OpenPolicy{}); }

bool RecordStore::open(const std::string& path, const OpenPolicy& policy) {
    Impl& s = *impl_;
    s.repair = {};
    if (path.empty()) return done(Status::NotFound);
    std::string abs = normalizePath(path);
    if (abs.empty()) return done(Status::BadPath);
    if (s.isOpen()) {
        if (upper(abs) == upper(s.path)) return done(Status::AlreadyOpen);
        close();
    }
    try {
        std::unique_ptr<File> file;
        Status e = s.access->open(abs, true, file);
        if (e == Status::AccessDenied) e = s.access->open(abs, false, file);
        if (e != Status::Ok) return done(e);
        s.file = std::move(file);
        s.cursor = 0;
        s.policy = policy;
        s.path = abs;
        Status code = s.lock(fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength);
        if (code == Status::Ok) {
            code = s.checkAndReconcile();
            // The whole file is held, and with it the count's byte that an append of another
            // instance takes first: no append runs while the repair counts what it finds.
            if (code == Status::Ok && s.file->writable()) code = s.repairAtOpen();
            s.cursor = 0;
            Status u = s.unlock(fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength);
            if (code == Status::Ok) code = u;
        }
        if (code != Status::Ok) {
            s.reset();
            return done(code);
        }
    } catch (const std::bad_alloc&) {
        s.reset();
        return done(Status::NoMemory);
    }
    s.path = abs;
    return done(Status::Ok);
}

void RecordStore::close(const std::string& path) {
    Impl& s = *impl_;
    if (!s.isOpen()) return;
    if (!path.empty() && upper(normalizePath(path)) != upper(s.path) &&
        upper(path) != upper(s.path)) {
        return;
    }
    s.reset();
}

bool RecordStore::isOpen() const { return impl_->isOpen(); }

const RepairReport& RecordStore::lastRepair() const { return impl_->repair; }

int32_t RecordStore::recordCount() {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(Status::NotOpen), 0;
    int32_t count = 0;
    Status code = s.lockedCount(count);
    done(code);
    return code == Status::Ok ? count : 0;
}

void RecordStore::goToFirst() {
    if (!impl_->isOpen()) {
        done(Status::NotOpen);
        return;
    }
    impl_->cursor = 0;
    done(Status::Ok);
}

bool RecordStore::goTo(int32_t n) {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(Status::NotOpen);
    int32_t count = 0;
    Status code = s.lockedCount(count);
    if (code != Status::Ok) return done(code);
    s.cursor =
        count == 0 ? 0 : static_cast<int32_t>(std::clamp<int64_t>(int64_t{n} - 1, 0, count - 1));
    return done(Status::Ok);
}

bool RecordStore::skip(int32_t n) {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(Status::NotOpen);
    if (n == 0) return done(Status::Ok);
    int32_t count = 0;
    Status code = s.lockedCount(count);
    if (code != Status::Ok) return done(code);
    if (n > 0 && (count == 0 || s.cursor >= count)) return done(Status::AfterLast);
    if (n < 0 && (count == 0 || s.cursor < 0)) return done(Status::BeforeFirst);
    s.cursor = static_cast<int32_t>(std::clamp<int64_t>(int64_t{s.cursor} + n, -1, count));
    return done(Status::Ok);
}

StoreValue RecordStore::readField(int p) {
    Impl& s = *impl_;
    if (!s.isOpen()) {
        gFatalHandler.load()(kNoStoreMessage);
        done(Status::NotOpen);
        return {};
    }
    const Field* field = s.layout.field(p);
    if (field == nullptr) {
        gFatalHandler.load()(kNoFieldMessage);
        done(Status::NoSuchField);
        return {};
    }
    const Field& f = *field;
    StoreValue zero = zeroValue(f.valueType);
    if (s.cursor < 0) return done(Status::NoCurrentRecord), zero;
    int64_t rec = s.recordPos(s.cursor);
    Status code = s.lock(rec, fmt::kByteLockLength);
    if (code != Status::Ok) return done(code), zero;
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
        code = Status::SeekFailed;  // the field begins at or past the end
    } else if (!r.ok() || r.bytes < f.width) {
        code = Status::ReadFieldFailed;
    } else {
        out = decode(f, b);
    }
    Status u = s.unlock(rec, fmt::kByteLockLength);
    done(code != Status::Ok ? code : u);
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
Status RecordStore::Impl::writeCurrent(int p, const StoreValue& value, int32_t expected) {
    if (!isOpen()) return Status::WriteNotOpen;
    const Field* field = layout.field(p);
    if (field == nullptr) return Status::NoSuchField;
    const Field& f = *field;
    StoreValue v;
    Status code = storedValue(f, value, v);
    if (code != Status::Ok) return code;
    if (cursor < 0 || expected < 0) return Status::NoCurrentRecord;
    int64_t rec = recordPos(cursor);
    code = lock(rec, fmt::kByteLockLength);
    if (code != Status::Ok) return code;
    IoResult size = file->size();
    unsigned char sb[fmt::kSerialSize];
    if (!size.ok()) {
        code = size.status;
    } else if (rec + f.offset >= size.bytes) {
        code = Status::NoCurrentRecord;
    } else if (expected > 0 && (!file->readAt(rec + fmt::kSerialOffset, sb, sizeof sb).ok() ||
                                (decodeI32(sb) != expected && decodeI32(sb) != -expected))) {
        code = Status::NoCurrentRecord;  // another record has moved here
    } else {
        try {
            std::vector<unsigned char> b(static_cast<size_t>(f.width), 0);
            encode(f, v, b.data());
            IoResult w = file->writeAt(rec + f.offset, b.data(), b.size());
            Status e = w.ok() ? file->sync() : w.status;
            if (e != Status::Ok) code = e == Status::Unknown ? Status::WriteFieldFailed : e;
        } catch (const std::bad_alloc&) {
            code = Status::NoMemory;
        }
    }
    Status u = unlock(rec, fmt::kByteLockLength);
    return code != Status::Ok ? code : u;
}

bool RecordStore::appendRecord(const std::vector<StoreValue>& values, int32_t* serial) {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(Status::NotOpen);
    // A read-only file takes no record: refused before a buffer of the record's length is taken
    // (a valid record length may be two gigabytes).
    if (!s.file->writable()) return done(Status::AccessDenied);
    const auto& fields = s.layout.fields;
    size_t k = std::min(values.size(), fields.size());
    std::vector<StoreValue> prepared(k);
    for (size_t i = 0; i < k; ++i) {
        Status code = storedValue(fields[i], values[i], prepared[i]);
        if (code != Status::Ok) return done(code);
    }
    Status code = s.lock(fmt::kCountOffset, fmt::kByteLockLength);
    if (code != Status::Ok) return done(code);
    int32_t count = 0, next = 0;
    code = s.readCountAndSerial(count, next);
    // The header must still name a serial after this one and count this record: a serial or
    // count past INT32_MAX would be written as a negative number, which no open accepts.
    if (code == Status::Ok && (next == INT32_MAX || count == INT32_MAX)) code = Status::Unknown;
    if (code != Status::Ok) {
        s.unlock(fmt::kCountOffset, fmt::kByteLockLength);
        return done(code);
    }
    int64_t rec = s.recordPos(count);
    code = s.lock(rec, fmt::kByteLockLength);
    if (code != Status::Ok) {
        s.unlock(fmt::kCountOffset, fmt::kByteLockLength);
        return done(code);
    }
    const int32_t length = s.recordLength();
    try {
        std::vector<unsigned char> b(static_cast<size_t>(length) + s.layout.overhang, 0);
        for (size_t i = 0; i < k; ++i) {
            const Field& f = fields[i];
            if (s.layout.inView(f)) {
                encode(f, prepared[i], b.data() + f.offset);
            } else if (f.offset < length) {
                // Only a text can reach this far; its part inside the record is written.
                Field inside = f;
                inside.width = length - f.offset;
                encode(inside, prepared[i], b.data() + f.offset);
            }
        }
        encodeI32(b.data() + fmt::kSerialOffset, next);
        // The record first, then the count: a crash in between leaves uncounted bytes only.
        // The record is on disk before the count that makes it live, and the count before the
        // append says it is done, so that a power cut after "added" loses nothing.
        IoResult w = s.file->writeAt(rec, b.data(), static_cast<size_t>(length));
        Status e = w.ok() ? s.file->sync() : w.status;
        if (e != Status::Ok) {
            code = e;
        } else {
            unsigned char h[fmt::kCountAndSerialSize];
            encodeI32(h, count + 1);
            encodeI32(h + 4, next + 1);
            code = s.file->writeAt(fmt::kCountOffset, h, sizeof h).status;
        }
    } catch (const std::bad_alloc&) {
        code = Status::NoMemory;
    }
    if (code == Status::Ok) {
        s.cursor = count;
        if (serial) *serial = next;
    }
    Status u1 = s.unlock(rec, fmt::kByteLockLength);
    Status u2 = s.unlock(fmt::kCountOffset, fmt::kByteLockLength);
    if (code == Status::Ok) code = u1 != Status::Ok ? u1 : u2;
    // The count's flush needs no lock: it flushes whatever the file holds by now, and another
    // instance's append waits no longer for it.
    if (code == Status::Ok) code = s.file->sync();
    return done(code);
}

bool RecordStore::markDeleted() { return done(impl_->markCurrent(0)); }

bool RecordStore::markDeletedIf(int32_t serial) {
    return done(serial > 0 ? impl_->markCurrent(serial) : Status::NoCurrentRecord);
}

// Negates the current record's serial; with `expected` > 0 only while the record holds it.
Status RecordStore::Impl::markCurrent(int32_t expected) {
    if (!isOpen()) return Status::NotOpen;
    if (cursor < 0) return Status::NoCurrentRecord;
    int64_t rec = recordPos(cursor);
    Status code = lock(rec, fmt::kByteLockLength);
    if (code != Status::Ok) return code;
    int32_t serial = 0;
    code = readSerial(cursor, serial);
    if (code == Status::Ok && expected > 0 && serial != expected && serial != -expected) {
        code = Status::NoCurrentRecord;  // another record has moved here
    } else if (code == Status::Ok && serial > 0) {
        code = writeSerial(cursor, -serial);
        if (code == Status::Ok) code = file->sync();
    }
    Status u = unlock(rec, fmt::kByteLockLength);
    return code != Status::Ok ? code : u;
}

bool RecordStore::purgeDeleted() {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(Status::NotOpen);
    Status code = s.lock(fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength);
    if (code != Status::Ok) return done(code);
    try {
        code = s.purgeLocked();
    } catch (const std::bad_alloc&) {
        code = Status::NoMemory;
    }
    s.cursor = 0;
    Status u = s.unlock(fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength);
    return done(code != Status::Ok ? code : u);
}

int32_t RecordStore::currentSerial() {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(Status::NotOpen), 0;
    if (s.cursor < 0) return done(Status::NoCurrentRecord), 0;
    int64_t rec = s.recordPos(s.cursor);
    Status code = s.lock(rec, fmt::kByteLockLength);
    if (code != Status::Ok) return done(code), 0;
    int32_t serial = 0;
    code = s.readSerial(s.cursor, serial);
    Status u = s.unlock(rec, fmt::kByteLockLength);
    done(code != Status::Ok ? code : u);
    return code == Status::Ok ? serial : 0;
}

bool RecordStore::readRecords(std::span<const int> fields,
                              const std::function<bool(const RecordView&)>& visit) {
    Impl& s = *impl_;
    if (!s.isOpen()) return done(Status::NotOpen);
    for (int p : fields) {
        if (s.layout.field(p) == nullptr) return done(Status::NoSuchField);
    }
    ScopedLock whole(s.locks, *s.file, fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength);
    if (whole.status() != Status::Ok) return done(whole.status());
    int32_t count = 0, next = 0;
    Status code = s.readCountAndSerial(count, next);
    if (code != Status::Ok) {
        whole.release();
        return done(code);
    }
    const int32_t length = s.recordLength();
    const int32_t per = std::min(s.chunkRecords(), count);
    const size_t len = static_cast<size_t>(length);
    std::vector<unsigned char> buf;
    try {
        buf.resize(static_cast<size_t>(per) * len + static_cast<size_t>(s.layout.overhang));
    } catch (const std::bad_alloc&) {
        whole.release();
        return done(Status::NoMemory);
    }
    RecordView view;
    view.layout_ = &s.layout;
    bool going = true;
    for (int32_t first = 0; going && first < count;) {
        int32_t n = std::min(per, count - first);
        size_t want = static_cast<size_t>(n) * len + static_cast<size_t>(s.layout.overhang);
        IoResult r = s.file->readAt(s.recordPos(first), buf.data(), want);
        if (r.ok() && static_cast<size_t>(r.bytes) < want) {
            std::fill(buf.begin() + r.bytes, buf.begin() + static_cast<ptrdiff_t>(want), 0);
        }
        int32_t got = r.ok() ? static_cast<int32_t>(std::min<int64_t>(r.bytes / length, n)) : 0;
        for (int32_t i = 0; i < got; ++i) {
            view.bytes_ = buf.data() + static_cast<size_t>(i) * len;
            view.index_ = first + i;
            if (!visit(view)) {
                going = false;
                break;
            }
        }
        if (going && got < n) {
            code = r.ok() ? Status::ReadRecordFailed : r.status;
            break;
        }
        first += n;
    }
    Status u = whole.release();
    return done(code != Status::Ok ? code : u);
}

int32_t RecordStore::fieldCount() const { return impl_->fieldCount(); }
int32_t RecordStore::recordLength() const { return impl_->recordLength(); }
int32_t RecordStore::lastError() { return code(tlsLastError); }

int32_t RecordView::index() const { return index_; }
int32_t RecordView::serial() const { return decodeI32(bytes_ + fmt::kSerialOffset); }

// Field p when the view's bytes hold all of it; nullptr otherwise.
const Field* RecordView::viewed(int p) const {
    const Field* f = layout_->field(p);
    return f != nullptr && layout_->inView(*f) ? f : nullptr;
}

StoreValue RecordView::field(int p) const {
    const Field* f = layout_->field(p);
    if (f == nullptr) return {};
    if (!layout_->inView(*f)) return zeroValue(f->valueType);
    return decode(*f, bytes_ + f->offset);
}

int64_t RecordView::integer(int p) const {
    const Field* f = viewed(p);
    return f ? decodeInteger(*f, bytes_ + f->offset) : 0;
}

double RecordView::real(int p) const {
    const Field* f = viewed(p);
    return f ? decodeReal(*f, bytes_ + f->offset) : 0;
}

std::string_view RecordView::text(int p) const {
    const Field* f = viewed(p);
    return f ? decodeText(*f, bytes_ + f->offset) : std::string_view();
}

void setFatalHandler(FatalHandler handler) {
    gFatalHandler.store(handler ? handler : &defaultFatal);
}

}  // namespace store
