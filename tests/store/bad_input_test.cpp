// Hostile database files: every one gives a clear result, none changes the file on disk, and
// none makes the store touch memory it does not own or take memory the file cannot justify.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "store/file_access.h"
#include "store/record_store.h"
#include "tests/store/test_files.h"
#include "testsupport/forwarding_file_access.h"

namespace {

using store::RecordStore;
using store::StoreValue;
using namespace store_test;

// Refuses to open for writing, so the store falls back to a read-only open.
class ReadOnlyFiles : public testsupport::ForwardingFileAccess {
  public:
    store::Status open(const std::filesystem::path& path, bool writable,
                       std::unique_ptr<store::File>& out) override {
        if (writable) return store::Status::AccessDenied;
        return inner_->open(path, false, out);
    }
};

std::string smallRecord(int32_t serial, int32_t a, const std::string& b) {
    std::string r(kSmallLength, '\0');
    put32(r, 0, static_cast<uint32_t>(serial));
    put32(r, 4, static_cast<uint32_t>(a));
    std::memcpy(&r[8], b.data(), std::min<size_t>(b.size(), 6));
    return r;
}

// A valid two-field file with three records.
std::string smallFile() {
    return databaseHeader(smallFields(), kSmallLength, 3, 4) + smallRecord(1, 10, "a") +
           smallRecord(2, 20, "b") + smallRecord(3, 30, "c");
}

std::string with32(std::string s, size_t at, uint32_t v) {
    put32(s, at, v);
    return s;
}

constexpr size_t kDesc = 116;  // first descriptor

TEST(BadFiles, RefusedWithTheirCodeAndLeftAsTheyWere) {
    const std::string good = smallFile();
    std::string name17 = good;
    std::memset(&name17[kDesc], 'N', 17);
    std::string name20 = good;
    std::memset(&name20[kDesc], 'N', 20);
    struct Case {
        const char* what;
        std::string bytes;
        int32_t code;
    } cases[] = {
        {"empty file", "", -22},
        {"60 header bytes", good.substr(0, 60), -22},
        {"magic WEDX", "WEDX" + good.substr(4), -22},
        {"password magic WCDB", "WCDB" + good.substr(4), -78},
        {"record length 0", with32(good, 24, 0), -22},
        {"record length -1", with32(good, 24, 0xFFFFFFFF), -22},
        {"record length 3, shorter than the serial", with32(good, 24, 3), -22},
        {"count -1", with32(good, 16, 0xFFFFFFFF), -22},
        {"next serial 0", with32(good, 20, 0), -22},
        {"version 0x00010001", with32(good, 4, 0x00010001), -23},
        {"version 0xFFFFFFFF", with32(good, 4, 0xFFFFFFFF), -23},
        {"field count 0", with32(good, 112, 0), -22},
        {"field count -1", with32(good, 112, 0xFFFFFFFF), -22},
        // 72 x count overflows 32 bits; wrapped, 0x038E38E4 would give 32 descriptor bytes.
        {"field count 0x7FFFFFFF", with32(good, 112, 0x7FFFFFFF), -22},
        {"field count 0x038E38E4", with32(good, 112, 0x038E38E4), -22},
        {"field count 0x80000000", with32(good, 112, 0x80000000), -22},
        {"descriptors cut short", good.substr(0, kDesc + 72 + 30), -22},
        {"name of 17 bytes without NUL", name17, -22},
        {"name of 20 bytes without NUL", name20, -22},
        {"type 0", with32(good, kDesc + 20, 0), -22},
        {"type 13", with32(good, kDesc + 20, 13), -22},
        {"text width 0", with32(good, kDesc + 72 + 28, 0), -22},
        {"text width -6", with32(good, kDesc + 72 + 28, static_cast<uint32_t>(-6)), -22},
        {"offset -4", with32(good, kDesc + 24, static_cast<uint32_t>(-4)), -22},
        {"offset INT_MIN", with32(good, kDesc + 24, 0x80000000), -22},
        // Three records counted, but a record length under which not one of them is whole.
        {"record length far beyond the file", with32(good, 24, 0x10000000), -48},
        {"record length INT_MAX", with32(good, 24, 0x7FFFFFFF), -48},
    };
    ScratchDir dir;
    const std::string path = dir.path("bad.edb");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (bool readOnly : {false, true}) {
            SCOPED_TRACE(readOnly ? "read-only" : "writable");
            writeBytes(path, c.bytes);
            RecordStore db(readOnly ? std::make_shared<ReadOnlyFiles>() : store::posixFileAccess());
            EXPECT_FALSE(db.open(path));
            EXPECT_EQ(RecordStore::lastError(), c.code);
            EXPECT_FALSE(db.isOpen());
            EXPECT_EQ(readBytes(path), c.bytes);
        }
    }
}

// A count beyond the file is repaired only when it opens for writing with at least one whole
// record left; read-only it is refused.
TEST(BadFiles, CountBeyondTheFileReadOnlyIsRefusedUnchanged) {
    ScratchDir dir;
    const std::string path = dir.path("count.edb");
    const std::string bytes = with32(smallFile(), 16, 1000);
    writeBytes(path, bytes);
    RecordStore ro(std::make_shared<ReadOnlyFiles>());
    EXPECT_FALSE(ro.open(path));
    EXPECT_EQ(RecordStore::lastError(), -48);
    EXPECT_EQ(readBytes(path), bytes);
    RecordStore db;
    ASSERT_TRUE(db.open(path));
    EXPECT_EQ(db.recordCount(), 3);
}

// Fields may lie outside their record; a field two gigabytes past the record's end must not
// send the append or the batch read outside their buffers.
TEST(OddButValidFiles, FieldFarBeyondItsRecord) {
    ScratchDir dir;
    const std::string path = dir.path("far.edb");
    std::vector<FieldDef> fields = {
        {"A", 3, 4, 0}, {"FAR", 3, 0x7FFFFFF0, 0}, {"T", 10, 8, 0x7FFFFFF0}};
    writeBytes(path, databaseHeader(fields, 12, 0, 1));
    RecordStore db;
    ASSERT_TRUE(db.open(path));
    ASSERT_TRUE(
        db.appendRecord({StoreValue::ofInt(7), StoreValue::ofInt(8), StoreValue::ofText("xyz")}));
    EXPECT_EQ(db.readField(1).integer, 7);
    EXPECT_EQ(db.readField(2).integer, 0);
    EXPECT_EQ(RecordStore::lastError(), -10);  // begins past the end of the file
    EXPECT_EQ(db.readField(3).text, "");
    EXPECT_EQ(RecordStore::lastError(), -46);  // begins inside, ends far past the end
    std::string bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), kDesc + 3 * 72 + 12);
    EXPECT_EQ(bytes.substr(kDesc + 3 * 72 + 8, 4), std::string("xyz\0", 4));  // the part inside

    int visits = 0;
    const int all[] = {1, 2, 3};
    EXPECT_TRUE(db.readRecords(all, [&](const store::RecordView& r) {
        ++visits;
        EXPECT_EQ(r.integer(1), 7);
        EXPECT_EQ(r.integer(2), 0);
        EXPECT_EQ(r.field(2), StoreValue::ofInt(0));
        EXPECT_EQ(r.text(3), "");
        return true;
    }));
    EXPECT_EQ(visits, 1);
}

// Runs `body` in a child limited to 512 MB of address space; the child's exit code is 0 when the
// body returned true. A store that took memory in proportion to a descriptor's claims rather than
// to the file would end by bad_alloc instead.
bool withinHalfAGigabyte(const std::function<bool()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) {
        rlimit lim{512u << 20, 512u << 20};
        ::setrlimit(RLIMIT_AS, &lim);
        bool ok = false;
        try {
            ok = body();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#if defined(__SANITIZE_ADDRESS__)
#define SKIP_UNDER_ASAN() GTEST_SKIP() << "the address sanitizer reserves more than the limit"
#else
#define SKIP_UNDER_ASAN() (void)0
#endif

TEST(OddButValidFiles, HugeClaimsCostNoMemory) {
    SKIP_UNDER_ASAN();
    ScratchDir dir;
    const std::string path = dir.path("huge.edb");
    // An empty table of 2 GB records, and a small one with a text field 2 GB wide.
    writeBytes(path, databaseHeader(smallFields(), 0x7FFFFFFF, 0, 1));
    EXPECT_TRUE(withinHalfAGigabyte([&] {
        RecordStore db;
        const int all[] = {1, 2};
        return db.open(path) && db.recordCount() == 0 &&
               db.readRecords(all, [](const store::RecordView&) { return true; }) &&
               db.purgeDeleted() && (db.close(), db.open(path));
    }));
    std::vector<FieldDef> wide = {{"A", 3, 4, 0}, {"T", 10, 8, 0x7FFFFFFF}};
    std::string record = smallRecord(1, 5, "abc") + std::string(2, '\0');  // 16 bytes
    writeBytes(path, databaseHeader(wide, 16, 1, 2) + record);
    EXPECT_TRUE(withinHalfAGigabyte([&] {
        RecordStore db;
        if (!db.open(path) || db.readField(1).integer != 5) return false;
        StoreValue t = db.readField(2);
        return t.text.empty() && RecordStore::lastError() == -46;
    }));
}

// Reals a file may hold that no integer can: NaN and values beyond the range. The batch read's
// integer view saturates them.
TEST(OddButValidFiles, RealsBeyondTheIntegersSaturate) {
    ScratchDir dir;
    const std::string path = dir.path("reals.edb");
    std::vector<FieldDef> fields = {{"F", 5, 4, 0}, {"D", 6, 8, 0}, {"T", 8, 16, 0}};
    struct Case {
        float f;
        double d;
        int64_t fi, di;
    } cases[] = {
        {std::numeric_limits<float>::quiet_NaN(), std::nan(""), 0, 0},
        {1e30f, -1e300, INT64_MAX, INT64_MIN},
        {-std::numeric_limits<float>::infinity(), std::numeric_limits<double>::infinity(),
         INT64_MIN, INT64_MAX},
        {-2.75f, 3.5, -2, 3},
    };
    std::string bytes = databaseHeader(fields, 24, 4, 5);
    int32_t serial = 1;
    for (const Case& c : cases) {
        std::string r(24, '\0');
        put32(r, 0, static_cast<uint32_t>(serial++));
        std::memcpy(&r[4], &c.f, 4);
        std::memcpy(&r[8], &c.d, 8);
        std::memcpy(&r[16], &c.d, 8);
        bytes += r;
    }
    writeBytes(path, bytes);
    RecordStore db;
    ASSERT_TRUE(db.open(path));
    const int all[] = {1, 2, 3};
    size_t i = 0;
    EXPECT_TRUE(db.readRecords(all, [&](const store::RecordView& r) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.integer(1), cases[i].fi);
        EXPECT_EQ(r.integer(2), cases[i].di);
        double t = std::isnan(cases[i].d) ? -657434 : std::clamp(cases[i].d, -657434.0, 2958465.0);
        EXPECT_EQ(r.integer(3), static_cast<int64_t>(t));
        ++i;
        return true;
    }));
    EXPECT_EQ(i, 4u);
}

// Text fields hold whatever bytes the file has; the store hands them back byte for byte.
TEST(OddButValidFiles, InvalidGbkTextComesBackByteForByte) {
    ScratchDir dir;
    const std::string path = dir.path("gbk.edb");
    const std::string texts[] = {
        std::string("\xff\xfe\x80", 3),  // no GBK lead byte at all
        std::string("ab\x81", 3),        // a lead byte at the end
        std::string("\x81\x7f\xca", 3),  // an unmapped pair, then a lone lead byte
        std::string("\xa1\x00z", 3),     // a NUL ends the text
    };
    std::string bytes = databaseHeader(smallFields(), kSmallLength, 4, 5);
    for (int i = 0; i < 4; ++i) bytes += smallRecord(i + 1, i, texts[i]);
    writeBytes(path, bytes);
    RecordStore db;
    ASSERT_TRUE(db.open(path));
    EXPECT_EQ(readBytes(path), bytes);
    const std::string expected[] = {texts[0], texts[1], texts[2], std::string("\xa1")};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(db.goTo(i + 1));
        EXPECT_EQ(db.readField(2).text, expected[i]);
    }
    const int text[] = {2};
    int i = 0;
    db.readRecords(text, [&](const store::RecordView& r) {
        EXPECT_EQ(r.text(2), expected[i++]);
        return true;
    });
    // Written back, the same bytes land in the file unchanged.
    ASSERT_TRUE(db.goTo(3));
    ASSERT_TRUE(db.writeField(2, StoreValue::ofText(texts[2])));
    EXPECT_EQ(readBytes(path), bytes);
}

// Cursor moves with extreme arguments stay inside -1 .. recordCount.
TEST(OddButValidFiles, ExtremeCursorMoves) {
    ScratchDir dir;
    const std::string path = dir.path("cursor.edb");
    writeBytes(path, smallFile());
    RecordStore db;
    ASSERT_TRUE(db.open(path));
    EXPECT_TRUE(db.goTo(std::numeric_limits<int32_t>::min()));
    EXPECT_EQ(db.currentSerial(), 1);
    EXPECT_TRUE(db.skip(std::numeric_limits<int32_t>::min()));
    EXPECT_EQ(db.currentSerial(), 0);
    EXPECT_EQ(RecordStore::lastError(), -60);
    EXPECT_TRUE(db.skip(std::numeric_limits<int32_t>::max()));
    EXPECT_EQ(db.readField(1).integer, 0);
    EXPECT_EQ(RecordStore::lastError(), -10);
    EXPECT_FALSE(db.markDeleted());
    EXPECT_EQ(RecordStore::lastError(), -60);
    EXPECT_TRUE(db.goTo(std::numeric_limits<int32_t>::max()));
    EXPECT_EQ(db.readField(1).integer, 30);
    EXPECT_EQ(readBytes(path), smallFile());
}

}  // namespace
