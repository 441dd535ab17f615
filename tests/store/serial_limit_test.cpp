// Header values at the ends of their ranges: the last serial, records of 2 GB. An append never
// writes a header that the next open refuses, and a valid header never asks for memory that the
// records present do not need.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <climits>
#include <cstdlib>

#include "store/record_store.h"
#include "test_files.h"

using namespace store;
using namespace store_test;

namespace {

TEST(SerialLimit, TheLastSerialIsGivenOnceAndTheFileStillOpens) {
    ScratchDir dir;
    const std::string path = dir.path("limit.edb");
    writeBytes(path, databaseHeader(smallFields(), kSmallLength, 0, INT32_MAX - 1));
    RecordStore s;
    ASSERT_TRUE(s.open(path));

    // INT32_MAX - 1 is given; no serial can follow INT32_MAX, so that one is never given.
    ASSERT_TRUE(s.appendRecord({StoreValue::ofInt(1), StoreValue::ofText("a")}));
    EXPECT_EQ(s.currentSerial(), INT32_MAX - 1);
    const std::string before = readBytes(path);
    EXPECT_FALSE(s.appendRecord({StoreValue::ofInt(2), StoreValue::ofText("b")}));
    EXPECT_NE(RecordStore::lastError(), 0);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(s.recordCount(), 1);
    s.close();

    ASSERT_TRUE(s.open(path)) << RecordStore::lastError();
    EXPECT_EQ(s.recordCount(), 1);
    EXPECT_EQ(s.currentSerial(), INT32_MAX - 1);
    EXPECT_EQ(s.readField(1).integer, 1);
}

}  // namespace

namespace {

// Opens and walks `path` within a 512 MB address space; the exit code tells how it went.
[[noreturn]] void openAndWalkInSmallMemory(const std::string& path) {
    rlimit limit{512u << 20, 512u << 20};
    setrlimit(RLIMIT_AS, &limit);
    RecordStore s;
    const bool opened = s.open(path);
    const int fields[] = {1, 2};
    int visited = 0;
    const bool walked = opened && s.readRecords(fields, [&](const RecordView&) {
        ++visited;
        return true;
    });
    const bool purged = opened && s.purgeDeleted();
    std::exit(opened && walked && purged && visited == 0 && s.recordCount() == 0 ? 0 : 1);
}

// A record length of 2 GB is valid; a file of no records needs no buffer of that size, so it
// opens and walks within a modest address space.
TEST(RecordLengthLimit, AnEmptyFileOfHugeRecordsOpensAndWalksWithoutTheirBuffer) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
#endif
    ScratchDir dir;
    const std::string path = dir.path("huge.edb");
    writeBytes(path, databaseHeader(smallFields(), INT32_MAX, 0, 1));
    EXPECT_EXIT(openAndWalkInSmallMemory(path), ::testing::ExitedWithCode(0), "");
}

}  // namespace
