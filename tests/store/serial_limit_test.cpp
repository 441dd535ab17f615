// The serials at the end of their range: an append never writes a header that the next open
// refuses, and never gives a serial twice.

#include <gtest/gtest.h>

#include <climits>

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
