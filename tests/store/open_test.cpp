// Opening: the header and descriptor checks in their order, the count reconciliation, paths.

#include <gtest/gtest.h>

#include <functional>

#include "store/record_store.h"
#include "test_files.h"
#include "testsupport/forwarding_file_access.h"

using namespace store;
using namespace store_test;

namespace {

std::string smallFile(int records, int32_t count, int32_t next = 10) {
    std::string s = databaseHeader(smallFields(), kSmallLength, count, next);
    for (int i = 0; i < records; ++i) {
        std::string rec(kSmallLength, '\0');
        put32(rec, 0, static_cast<uint32_t>(i + 1));
        put32(rec, 4, static_cast<uint32_t>(100 + i));
        rec[8] = 'a' + i;
        s += rec;
    }
    return s;
}

struct OpenCase {
    const char* name;
    std::function<void(std::string&)> change;
    int32_t code;
};

TEST(Open, HeaderAndDescriptorChecks) {
    const size_t d1 = 116, d2 = 116 + 72;
    const std::vector<OpenCase> cases = {
        {"valid", [](std::string&) {}, 0},
        {"header shorter than 112", [](std::string& s) { s.resize(111); }, -22},
        {"magic", [](std::string& s) { s[3] = 'X'; }, -22},
        {"password variant", [](std::string& s) { s[1] = 'C'; }, -78},
        {"recordLength 0", [](std::string& s) { put32(s, 24, 0); }, -22},
        {"recordCount -1", [](std::string& s) { put32(s, 16, static_cast<uint32_t>(-1)); }, -22},
        {"nextSerial 0", [](std::string& s) { put32(s, 20, 0); }, -22},
        {"version too high", [](std::string& s) { put32(s, 4, 0x00010001); }, -23},
        {"version 0", [](std::string& s) { put32(s, 4, 0); }, 0},
        {"bad header before version",
         [](std::string& s) {
             put32(s, 4, 0x00020000);
             put32(s, 24, 0);
         },
         -22},
        {"fieldCount missing", [](std::string& s) { s.resize(114); }, -22},
        {"fieldCount 0", [](std::string& s) { put32(s, 112, 0); }, -22},
        {"fieldCount -1", [](std::string& s) { put32(s, 112, static_cast<uint32_t>(-1)); }, -22},
        {"descriptors cut short", [](std::string& s) { s.resize(116 + 72 + 71); }, -22},
        {"fieldCount beyond the file", [](std::string& s) { put32(s, 112, 100000000); }, -22},
        {"name of 16 bytes", [=](std::string& s) { s.replace(d1, 16, std::string(16, 'n')); }, 0},
        {"name of 17 bytes", [=](std::string& s) { s.replace(d1, 17, std::string(17, 'n')); }, -22},
        {"type 0", [=](std::string& s) { put32(s, d1 + 20, 0); }, -22},
        {"type 13", [=](std::string& s) { put32(s, d2 + 20, 13); }, -22},
        {"Text width 0", [=](std::string& s) { put32(s, d2 + 28, 0); }, -22},
        {"offset -1", [=](std::string& s) { put32(s, d1 + 24, static_cast<uint32_t>(-1)); }, -22},
        {"field outside the record is not checked", [=](std::string& s) { put32(s, d2 + 24, 500); },
         0},
        {"reserved bytes are not checked",
         [](std::string& s) {
             s[40] = 7;
             s[d1 + 50] = 9;
         },
         0},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.path("t.edb");
        std::string bytes = smallFile(2, 2);
        c.change(bytes);
        writeBytes(path, bytes);
        RecordStore db;
        EXPECT_EQ(db.open(path), c.code == 0);
        EXPECT_EQ(RecordStore::lastError(), c.code);
        EXPECT_EQ(db.isOpen(), c.code == 0);
        if (c.code != 0) {
            EXPECT_EQ(readBytes(path), bytes);
        }  // a refused file is not changed
    }
}

// Forces every open to be read-only, as for a file the user may not write.
class ReadOnlyAccess : public testsupport::ForwardingFileAccess {
  public:
    Status open(const std::filesystem::path& path, bool writable,
                std::unique_ptr<File>& out) override {
        if (writable) return Status::AccessDenied;
        return inner_->open(path, false, out);
    }
};

TEST(Open, CountIsReconciledWithTheLength) {
    ScratchDir dir;
    std::string path = dir.path("t.edb");
    const size_t start = 116 + 72 * 2;
    struct Case {
        const char* name;
        int records;
        int32_t count;
        size_t extra;  // bytes of a partial record or of junk after the records
        int32_t countAfter;
        int32_t readOnlyCode;
    } cases[] = {
        {"count 5, 3 records and part of a 4th", 3, 5, 6, 3, -48},
        {"junk after the last counted record", 3, 3, 20, 3, 0},
        // A count lowered by damage: the whole record past it, of a serial already given, is
        // counted again.
        {"a whole record past the count", 3, 2, 0, 3, 0},
        {"a whole record and junk past the count", 3, 2, 20, 3, 0},
        {"exact", 3, 3, 0, 3, 0},
        {"no record area", 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = smallFile(c.records, c.count) + std::string(c.extra, 'j');
        writeBytes(path, bytes);
        {
            RecordStore ro(std::make_shared<ReadOnlyAccess>());
            EXPECT_EQ(ro.open(path), c.readOnlyCode == 0);
            EXPECT_EQ(RecordStore::lastError(), c.readOnlyCode);
            if (ro.isOpen()) {
                EXPECT_EQ(ro.recordCount(), c.count);
                EXPECT_FALSE(ro.appendRecord({StoreValue::ofInt(1)}));
                EXPECT_EQ(ro.recordCount(), c.count);
            }
            EXPECT_EQ(readBytes(path), bytes);  // a read-only open changes nothing
        }
        RecordStore db;
        ASSERT_TRUE(db.open(path));
        EXPECT_EQ(db.recordCount(), c.countAfter);
        std::string after = readBytes(path);
        EXPECT_EQ(after.size(), start + c.countAfter * size_t{kSmallLength});
        EXPECT_EQ(get32(after, 16), c.countAfter);
        EXPECT_EQ(after,
                  bytes.substr(0, 16) + after.substr(16, 4) + bytes.substr(20, after.size() - 20));
    }
}

TEST(Open, PathsAndRepeatedOpens) {
    ScratchDir dir;
    writeBytes(dir.path("Book.EDB"), smallFile(1, 1));
    writeBytes(dir.path("other.edb"), smallFile(2, 2));
    RecordStore db;
    EXPECT_FALSE(db.open(""));
    EXPECT_EQ(RecordStore::lastError(), -3);
    EXPECT_FALSE(db.open(dir.path("missing.edb")));
    EXPECT_EQ(RecordStore::lastError(), -3);
    EXPECT_FALSE(db.open(dir.path("Book.EDB") + "/x"));
    EXPECT_NE(RecordStore::lastError(), 0);
    EXPECT_TRUE(db.open(dir.path("Book")));  // ".EDB" is added to a name without one
    EXPECT_EQ(db.recordCount(), 1);
    EXPECT_FALSE(db.open(dir.path("Book.")));
    EXPECT_EQ(RecordStore::lastError(), -38);
    EXPECT_TRUE(db.isOpen());
    db.close(dir.path("other.edb"));  // names no open store: nothing happens
    EXPECT_TRUE(db.isOpen());
    db.close(dir.path("BOOK.edb"));
    EXPECT_FALSE(db.isOpen());
    EXPECT_TRUE(db.open(dir.path("Book.EDB")));
    EXPECT_TRUE(db.open(dir.path("other.edb")));  // another file: the first is closed
    EXPECT_EQ(db.recordCount(), 2);
    db.close();
    EXPECT_FALSE(db.isOpen());
}

}  // namespace
