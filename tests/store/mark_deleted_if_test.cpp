// Two instances on one file: a record located by one may be moved by the other's purge before
// it is marked. markDeletedIf marks it only while it still holds the located serial.

#include <gtest/gtest.h>

#include <string>

#include "store/record_store.h"
#include "tests/store/test_files.h"

namespace {

using store::RecordStore;
using store::StoreValue;
using namespace store_test;

TEST(MarkDeletedIf, LeavesARecordThatAnotherInstanceMovedHere) {
    ScratchDir dir;
    const std::string path = dir.path("two.edb");
    writeBytes(path, databaseHeader(smallFields(), kSmallLength, 0, 1));
    RecordStore mine, theirs;  // two opens of one file, kept apart by their locks
    ASSERT_TRUE(mine.open(path));
    ASSERT_TRUE(theirs.open(path));
    for (int a = 1; a <= 4; ++a) ASSERT_TRUE(mine.appendRecord({StoreValue::ofInt(a * 10)}));

    // This instance locates the record of serial 3 at position 3 ...
    ASSERT_TRUE(mine.goTo(3));
    ASSERT_EQ(mine.currentSerial(), 3);
    // ... the other deletes the first record and purges, which moves every record down one ...
    ASSERT_TRUE(theirs.goTo(1));
    ASSERT_TRUE(theirs.markDeleted());
    ASSERT_TRUE(theirs.purgeDeleted());
    // ... so position 3 now holds serial 4, which must not be marked in place of serial 3.
    const std::string before = readBytes(path);
    ASSERT_TRUE(mine.goTo(3));
    EXPECT_FALSE(mine.markDeletedIf(3));
    EXPECT_EQ(RecordStore::lastError(), -60);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(mine.currentSerial(), 4);

    // Located again, the record is marked; marking it twice is no failure.
    ASSERT_TRUE(mine.goTo(2));
    EXPECT_TRUE(mine.markDeletedIf(3));
    EXPECT_EQ(mine.currentSerial(), -3);
    EXPECT_TRUE(mine.markDeletedIf(3));
    EXPECT_EQ(mine.currentSerial(), -3);
    ASSERT_TRUE(mine.purgeDeleted());
    EXPECT_EQ(mine.recordCount(), 2);
    EXPECT_EQ(mine.readField(1).integer, 20);
    ASSERT_TRUE(mine.skip(1));
    EXPECT_EQ(mine.readField(1).integer, 40);

    // No current record, or a serial that no live record can hold.
    ASSERT_TRUE(mine.skip(1));
    EXPECT_FALSE(mine.markDeletedIf(2));
    EXPECT_EQ(RecordStore::lastError(), -60);
    ASSERT_TRUE(mine.goTo(1));
    EXPECT_FALSE(mine.markDeletedIf(0));
    EXPECT_FALSE(mine.markDeletedIf(-2));
    EXPECT_EQ(mine.currentSerial(), 2);
}

TEST(WriteFieldIf, LeavesARecordThatAnotherInstanceMovedHere) {
    ScratchDir dir;
    const std::string path = dir.path("two.edb");
    writeBytes(path, databaseHeader(smallFields(), kSmallLength, 0, 1));
    RecordStore mine, theirs;
    ASSERT_TRUE(mine.open(path));
    ASSERT_TRUE(theirs.open(path));
    for (int a = 1; a <= 3; ++a) ASSERT_TRUE(mine.appendRecord({StoreValue::ofInt(a * 10)}));
    ASSERT_TRUE(theirs.goTo(1));
    ASSERT_TRUE(theirs.markDeleted());
    ASSERT_TRUE(theirs.purgeDeleted());

    // Position 2 held serial 2 when it was located; it holds serial 3 now.
    const std::string before = readBytes(path);
    ASSERT_TRUE(mine.goTo(2));
    EXPECT_FALSE(mine.writeFieldIf(2, StoreValue::ofText("moved"), 2));
    EXPECT_EQ(RecordStore::lastError(), -60);
    EXPECT_EQ(readBytes(path), before);

    ASSERT_TRUE(mine.goTo(1));
    EXPECT_TRUE(mine.writeFieldIf(2, StoreValue::ofText("here"), 2));
    EXPECT_EQ(mine.readField(2).text, "here");
    // The other checks of writeField come first: a wrong type, no such field.
    EXPECT_FALSE(mine.writeFieldIf(2, StoreValue::ofInt(1), 2));
    EXPECT_EQ(RecordStore::lastError(), -72);
    EXPECT_FALSE(mine.writeFieldIf(3, StoreValue::ofInt(1), 2));
    EXPECT_EQ(RecordStore::lastError(), -61);
    EXPECT_FALSE(mine.writeFieldIf(1, StoreValue::ofInt(1), 0));
    EXPECT_EQ(RecordStore::lastError(), -60);
}

}  // namespace
