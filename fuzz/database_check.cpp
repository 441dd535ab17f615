#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_checks.h"
#include "store/format.h"
#include "store/record_store.h"
#include "testsupport/memory_file_access.h"

namespace fuzz {

namespace {

namespace fmt = store::format;
using store::RecordStore;
using store::StoreValue;
using store::ValueType;
using testsupport::MemoryFileAccess;

[[noreturn]] void fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: check failed: %s (lastError %d)\n", file, line, what,
                 RecordStore::lastError());
    std::abort();
}

#define FUZZ_CHECK(cond)                              \
    do {                                              \
        if (!(cond)) fail(__FILE__, __LINE__, #cond); \
    } while (0)

constexpr char kPath[] = "/fuzz/Fuzz.EDB";

int32_t get32(const std::string& s, int64_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t{static_cast<unsigned char>(s[static_cast<size_t>(at + i)])} << (8 * i);
    return static_cast<int32_t>(v);
}

// A descriptor as the file holds it, read independently of the store.
struct Desc {
    uint32_t type;
    int64_t offset;
    int64_t width;  // bytes occupied
};

std::vector<Desc> descriptors(const std::string& bytes, int32_t n) {
    std::vector<Desc> d;
    for (int32_t i = 0; i < n; ++i) {
        int64_t at = fmt::kDescriptorsOffset + fmt::kDescriptorSize * i;
        uint32_t type = static_cast<uint32_t>(get32(bytes, at + fmt::kTypeOffset));
        int64_t width =
            type == fmt::kText ? get32(bytes, at + fmt::kWidthOffset) : fmt::fixedWidth(type);
        d.push_back({type, get32(bytes, at + fmt::kFieldOffsetOffset), width});
    }
    return d;
}

bool sameValue(const StoreValue& a, const StoreValue& b) {
    return a.type == b.type && a.integer == b.integer && a.text == b.text &&
           std::bit_cast<uint64_t>(a.real) == std::bit_cast<uint64_t>(b.real);
}

// The records of a file, each as its bytes, read from the file image.
std::vector<std::string> records(const std::string& bytes, int64_t start, int32_t len,
                                 int32_t count) {
    std::vector<std::string> r;
    for (int32_t i = 0; i < count; ++i)
        r.push_back(
            bytes.substr(static_cast<size_t>(start + int64_t{i} * len), static_cast<size_t>(len)));
    return r;
}

int32_t serialOf(const std::string& record) { return get32(record, fmt::kSerialOffset); }

// What a file opened for writing must look like: a count that names whole records only and
// nothing after them; the header's fixed part and the descriptors as they were.
void checkShape(const std::string& now, const std::string& original, int64_t start, int32_t len) {
    FUZZ_CHECK(static_cast<int64_t>(now.size()) >= start);
    int32_t count = get32(now, fmt::kCountOffset);
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(static_cast<int64_t>(now.size()) == start + int64_t{count} * len);
    FUZZ_CHECK(get32(now, fmt::kNextSerialOffset) >= fmt::kFirstValidSerial);
    FUZZ_CHECK(now.compare(0, fmt::kCountOffset, original, 0, fmt::kCountOffset) == 0);
    FUZZ_CHECK(now.compare(fmt::kRecordLengthOffset,
                           static_cast<size_t>(start - fmt::kRecordLengthOffset), original,
                           fmt::kRecordLengthOffset,
                           static_cast<size_t>(start - fmt::kRecordLengthOffset)) == 0);
}

// Reads every record twice, by batch read and by cursor, and checks that both agree with each
// other and with the file.
void checkWalks(RecordStore& s, const std::string& bytes, const std::vector<Desc>& desc,
                int64_t start, int32_t len) {
    const int32_t n = s.fieldCount();
    const int32_t count = s.recordCount();
    FUZZ_CHECK(RecordStore::lastError() == 0);
    FUZZ_CHECK(count == get32(bytes, fmt::kCountOffset));
    std::vector<int> all;
    for (int p = 1; p <= n; ++p) all.push_back(p);

    // A field that reaches past the end of the file cannot be compared: the batch read sees
    // zeros there, readField a failure.
    auto inFile = [&](int32_t i, const Desc& d) {
        return start + int64_t{i} * len + d.offset + d.width <= static_cast<int64_t>(bytes.size());
    };

    std::vector<int32_t> serials;
    std::vector<std::vector<StoreValue>> values;
    bool ok = s.readRecords(all, [&](const store::RecordView& r) {
        FUZZ_CHECK(r.index() == static_cast<int32_t>(serials.size()));
        serials.push_back(r.serial());
        std::vector<StoreValue> v;
        for (int p = 1; p <= n; ++p) {
            v.push_back(r.field(p));
            r.integer(p);
            r.real(p);
            if (desc[p - 1].type == fmt::kText) FUZZ_CHECK(r.text(p) == v.back().text);
        }
        values.push_back(std::move(v));
        return true;
    });
    FUZZ_CHECK(ok);
    FUZZ_CHECK(static_cast<int32_t>(serials.size()) == count);

    s.goToFirst();
    for (int32_t i = 0; i < count; ++i) {
        FUZZ_CHECK(s.currentSerial() == serials[static_cast<size_t>(i)]);
        for (int p = 1; p <= n; ++p) {
            const Desc& d = desc[static_cast<size_t>(p - 1)];
            StoreValue v = s.readField(p);
            int32_t e = RecordStore::lastError();
            int64_t at = start + int64_t{i} * len + d.offset;
            if (inFile(i, d)) {
                FUZZ_CHECK(e == 0);
                FUZZ_CHECK(
                    sameValue(v, values[static_cast<size_t>(i)][static_cast<size_t>(p - 1)]));
            } else if (at >= static_cast<int64_t>(bytes.size())) {
                FUZZ_CHECK(e == store::code(store::Status::SeekFailed));
            } else {
                FUZZ_CHECK(e == -46);
            }
        }
        FUZZ_CHECK(s.skip(1));
    }
    FUZZ_CHECK(!s.skip(1));
    FUZZ_CHECK(RecordStore::lastError() == -26);
}

// A value of the field's own type, different for each `salt`.
StoreValue sampleValue(const Desc& d, int salt) {
    switch (d.type) {
        case fmt::kByte:
            return StoreValue::ofByte(static_cast<uint8_t>(7 + salt));
        case fmt::kShort:
            return StoreValue::ofShort(static_cast<int16_t>(-300 - salt));
        case fmt::kInt:
            return StoreValue::ofInt(123456 + salt);
        case fmt::kLong:
            return StoreValue::ofLong(-(int64_t{1} << 40) - salt);
        case fmt::kFloat:
            return StoreValue::ofFloat(12.5f + static_cast<float>(salt));
        case fmt::kDouble:
            return StoreValue::ofDouble(-0.25 - salt);
        case fmt::kBool:
            return StoreValue::ofBool(salt % 2 == 0);
        case fmt::kDateTime:
            return StoreValue::ofDateTime(45000.5 + salt);
        case fmt::kRoutinePointer:
            return {ValueType::RoutinePointer, 0x1234 + salt, 0, {}};
        case fmt::kBytes:
            return {ValueType::Bytes, 0, 0, {}};
        default:  // Text and Memo
            return StoreValue::ofText(std::string("\xca\xd5\xc8\xeb") + std::to_string(salt));
    }
}

// What readField gives back for sampleValue in a field that no other field overlaps.
StoreValue storedValue(const Desc& d, int salt) {
    StoreValue v = sampleValue(d, salt);
    if (d.type == fmt::kText) {
        v.text = v.text.substr(0, static_cast<size_t>(d.width));
    } else if (d.type == fmt::kMemo) {
        v = StoreValue::ofText("");  // kept in the companion file, which is not opened
    }
    return v;
}

// Whether the field lies inside the record, clear of the serial and of every other field.
bool alone(const std::vector<Desc>& desc, size_t f, int32_t len) {
    const Desc& d = desc[f];
    if (d.offset < fmt::kSerialSize || d.offset + d.width > len) return false;
    for (size_t g = 0; g < desc.size(); ++g) {
        if (g == f) continue;
        const Desc& o = desc[g];
        if (o.offset < d.offset + d.width && d.offset < o.offset + o.width) return false;
    }
    return true;
}

// Appends a record and rewrites its fields; checks the count, the serial and what reads back.
void checkAppendAndRewrite(RecordStore& s, MemoryFileAccess& mem, const std::vector<Desc>& desc,
                           int64_t start, int32_t len) {
    std::string before = mem.bytes(kPath);
    int32_t count = get32(before, fmt::kCountOffset);
    int32_t next = get32(before, fmt::kNextSerialOffset);
    if (count == INT32_MAX || next == INT32_MAX) return;
    std::vector<StoreValue> values;
    for (const Desc& d : desc) values.push_back(sampleValue(d, 0));
    FUZZ_CHECK(s.appendRecord(values));
    std::string after = mem.bytes(kPath);
    FUZZ_CHECK(get32(after, fmt::kCountOffset) == count + 1);
    FUZZ_CHECK(get32(after, fmt::kNextSerialOffset) == next + 1);
    FUZZ_CHECK(static_cast<int64_t>(after.size()) == start + (int64_t{count} + 1) * len);
    const size_t area = static_cast<size_t>(int64_t{count} * len);
    FUZZ_CHECK(after.compare(static_cast<size_t>(start), area, before, static_cast<size_t>(start),
                             area) == 0);
    FUZZ_CHECK(s.currentSerial() == next);

    for (size_t f = 0; f < desc.size(); ++f) {
        if (!alone(desc, f, len)) continue;
        int p = static_cast<int>(f + 1);
        FUZZ_CHECK(sameValue(s.readField(p), storedValue(desc[f], 0)));
        FUZZ_CHECK(s.writeField(p, sampleValue(desc[f], 1)));
        FUZZ_CHECK(sameValue(s.readField(p), storedValue(desc[f], 1)));
    }
    // Rewrites touch the record only, never the count or the length.
    std::string rewritten = mem.bytes(kPath);
    FUZZ_CHECK(rewritten.size() == after.size());
    FUZZ_CHECK(rewritten.compare(0, static_cast<size_t>(start + int64_t{count} * len), after, 0,
                                 static_cast<size_t>(start + int64_t{count} * len)) == 0);
    FUZZ_CHECK(s.currentSerial() == next);
}

// Marks some records, purges, and checks that exactly the unmarked live records are left, in
// their order and byte for byte.
void checkMarkAndPurge(RecordStore& s, MemoryFileAccess& mem, int64_t start, int32_t len,
                       uint32_t pick) {
    std::string before = mem.bytes(kPath);
    int32_t count = get32(before, fmt::kCountOffset);
    std::vector<std::string> kept;
    for (int32_t i = 0; i < count; ++i) {
        std::string r =
            before.substr(static_cast<size_t>(start + int64_t{i} * len), static_cast<size_t>(len));
        bool mark = ((pick >> (i % 32)) & 1) != 0;
        // A record of serial 0 is left by an open only when no serial is left to give it (one
        // is INT32_MAX); marking leaves it as it is, so the purge keeps it.
        if (serialOf(r) == 0) {
            kept.push_back(r);
        } else if (mark) {
            FUZZ_CHECK(s.goTo(i + 1));
            FUZZ_CHECK(s.markDeleted());
            FUZZ_CHECK(s.currentSerial() < 0);
        } else if (serialOf(r) > 0) {
            kept.push_back(r);
        }
    }
    FUZZ_CHECK(s.purgeDeleted());
    std::string after = mem.bytes(kPath);
    checkShape(after, before, start, len);
    FUZZ_CHECK(get32(after, fmt::kCountOffset) == static_cast<int32_t>(kept.size()));
    FUZZ_CHECK(records(after, start, len, static_cast<int32_t>(kept.size())) == kept);
    FUZZ_CHECK(get32(after, fmt::kNextSerialOffset) == get32(before, fmt::kNextSerialOffset));
}

// A read-only open changes nothing, whether it succeeds or not.
void checkReadOnly(const std::string& original) {
    class ReadOnly : public MemoryFileAccess {
      public:
        store::Status open(const std::filesystem::path& path, bool writable,
                           std::unique_ptr<store::File>& out) override {
            if (writable) return store::Status::AccessDenied;
            return MemoryFileAccess::open(path, false, out);
        }
    };
    auto mem = std::make_shared<ReadOnly>();
    mem->put(kPath, original);
    RecordStore s(mem);
    if (s.open(kPath)) {
        int32_t count = s.recordCount();
        s.goToFirst();
        for (int32_t i = 0; i < count && i < 64; ++i) {
            for (int p = 1; p <= s.fieldCount(); ++p) s.readField(p);
            s.skip(1);
        }
        FUZZ_CHECK(!s.appendRecord({}));
        s.close();
    } else {
        int32_t e = RecordStore::lastError();
        FUZZ_CHECK(e == -22 || e == -23 || e == -48 || e == -78 || e == -45);
    }
    FUZZ_CHECK(mem->bytes(kPath) == original);
}

}  // namespace

void checkDatabase(const uint8_t* data, size_t size) {
    const std::string original(reinterpret_cast<const char*>(data), size);
    checkReadOnly(original);

    auto mem = std::make_shared<MemoryFileAccess>();
    mem->put(kPath, original);
    RecordStore s(mem);
    if (!s.open(kPath)) {
        int32_t e = RecordStore::lastError();
        FUZZ_CHECK(e == -22 || e == -23 || e == -48 || e == -78 || e == -45);
        FUZZ_CHECK(mem->bytes(kPath) == original);
        return;
    }
    const int32_t n = s.fieldCount();
    const int32_t len = s.recordLength();
    const int64_t start = fmt::dataStart(n);
    FUZZ_CHECK(n == get32(original, fmt::kFieldCountOffset));
    FUZZ_CHECK(len == get32(original, fmt::kRecordLengthOffset));
    const std::vector<Desc> desc = descriptors(original, n);

    // The open loses no live record whose serial no other counted record holds: each is kept
    // once, byte for byte (its serial may lie at or above nextSerial, which is raised past it).
    // A serial live twice after the open was live twice before it (copies no check could tell).
    std::string opened = mem->bytes(kPath);
    checkShape(opened, original, start, len);
    {
        int32_t fit = static_cast<int32_t>(
            std::min<int64_t>(get32(original, fmt::kCountOffset),
                              (static_cast<int64_t>(original.size()) - start) / len));
        std::vector<std::string> was = records(original, start, len, fit);
        std::map<int32_t, int> copies;
        for (const std::string& r : was) ++copies[serialOf(r)];
        std::map<int32_t, std::string> unique;
        for (const std::string& r : was) {
            int32_t sr = serialOf(r);
            if (sr > 0 && copies[sr] == 1) unique[sr] = r;
        }
        std::map<int32_t, int> seen;
        int32_t highest = 0;
        for (const std::string& r : records(opened, start, len, get32(opened, fmt::kCountOffset))) {
            int32_t sr = serialOf(r);
            if (sr > 0) {
                ++seen[sr];
                FUZZ_CHECK(seen[sr] == 1 || seen[sr] <= copies[sr]);
                highest = std::max(highest, sr);
            }
            if (unique.count(sr)) FUZZ_CHECK(unique[sr] == r);
        }
        for (const auto& [sr, r] : unique) FUZZ_CHECK(seen.count(sr) == 1);
        FUZZ_CHECK(highest < get32(opened, fmt::kNextSerialOffset) || highest == INT32_MAX);
        // A repair that changed the file left its copy, the file as it was, beside it.
        if (opened != original) {
            const std::string& copy = s.lastRepair().copyPath;
            if (!copy.empty()) FUZZ_CHECK(mem->bytes(copy) == original);
        }
    }

    checkWalks(s, opened, desc, start, len);

    // Appends grow the file by a record each; a file with records far larger than any input
    // is only walked.
    if (len <= (1 << 16)) {
        checkAppendAndRewrite(s, *mem, desc, start, len);
        checkAppendAndRewrite(s, *mem, desc, start, len);
        uint32_t pick = size >= 4
                            ? static_cast<uint32_t>(get32(original, 0) ^
                                                    get32(original, static_cast<int64_t>(size) - 4))
                            : 0x5u;
        checkMarkAndPurge(s, *mem, start, len, pick | 0x2u);
        checkWalks(s, mem->bytes(kPath), desc, start, len);
    }

    // Closing writes nothing; reopening finds the same file and changes nothing, except that a
    // lower copy of a serial held twice goes once the field writes above made its original
    // intact. A third open changes nothing.
    std::string closed = mem->bytes(kPath);
    s.close();
    FUZZ_CHECK(mem->bytes(kPath) == closed);
    FUZZ_CHECK(s.open(kPath));
    if (mem->bytes(kPath) != closed) {
        const store::RepairReport& r = s.lastRepair();
        FUZZ_CHECK(r.copiesRemoved > 0 && r.uncountedKept == 0 && r.serialsGiven == 0 &&
                   r.emptySlotsRemoved == 0 && r.nextSerialAfter == r.nextSerialBefore);
        FUZZ_CHECK(mem->bytes(r.copyPath) == closed);
        closed = mem->bytes(kPath);
        s.close();
        FUZZ_CHECK(s.open(kPath));
        FUZZ_CHECK(mem->bytes(kPath) == closed);
    }
    checkWalks(s, closed, desc, start, len);
    s.close();
}

}  // namespace fuzz
