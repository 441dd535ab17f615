// Byte-range locks between two opens of one file: a lock held for a moment is waited for, one
// held for good fails after the retry time.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "store/format.h"
#include "store/record_store.h"
#include "test_files.h"
#include "testsupport/fault_file_access.h"

using namespace store;
using namespace testsupport;
using namespace store_test;

namespace {

class Locks : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.path("t.edb");
        writeBytes(path, databaseHeader(smallFields(), kSmallLength, 0, 1));
        ASSERT_TRUE(db.open(path));
        ASSERT_TRUE(db.appendRecord({StoreValue::ofInt(5), StoreValue::ofText("x")}));
        ASSERT_EQ(posixFileAccess()->open(path, true, other), Status::Ok);
    }
    ScratchDir dir;
    std::string path;
    RecordStore db;
    std::unique_ptr<File> other;  // a second open of the file, as another instance holds it
};

TEST_F(Locks, ALockHeldForAMomentIsWaitedFor) {
    const int64_t record = 116 + 72 * 2;
    struct Case {
        const char* name;
        int64_t offset, length;
        std::function<bool(RecordStore&)> op;
    } cases[] = {
        {"count", 16, 1, [](RecordStore& s) { return s.recordCount() == 1; }},
        {"append", 16, 1, [](RecordStore& s) { return s.appendRecord({StoreValue::ofInt(1)}); }},
        {"field", record, 1,
         [](RecordStore& s) {
             s.goToFirst();
             return s.readField(1).integer == 5;
         }},
        {"purge", 0, format::kWholeFileLockLength, [](RecordStore& s) { return s.purgeDeleted(); }},
        {"batch read", record, 1,
         [](RecordStore& s) { return s.readRecords({}, [](const RecordView&) { return true; }); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(other->lock(c.offset, c.length), Status::Ok);
        // Taken before the releasing thread starts, so the wait measured is never shorter than
        // the 150 ms it holds the lock, however the threads are scheduled.
        auto t0 = std::chrono::steady_clock::now();
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            other->unlock(c.offset, c.length);
        });
        EXPECT_TRUE(c.op(db)) << RecordStore::lastError();
        auto waited = std::chrono::steady_clock::now() - t0;
        release.join();
        EXPECT_GE(waited, std::chrono::milliseconds(150));
    }
}

TEST_F(Locks, ALockHeldForGoodFailsAfterTheRetryTime) {
    auto faults = std::make_shared<FaultFileAccess>();
    faults->setVirtualClock(true);
    RecordStore second(faults);
    db.close();
    ASSERT_TRUE(second.open(path));
    ASSERT_EQ(other->lock(16, 1), Status::Ok);
    int64_t t0 = faults->nowMs();
    EXPECT_EQ(second.recordCount(), 0);
    EXPECT_EQ(RecordStore::lastError(), -13);
    int64_t waited = faults->nowMs() - t0;
    EXPECT_GE(waited, 2000);
    EXPECT_LT(waited, 2000 + 40);
    int attempts = faults->counts().locks;
    EXPECT_GE(attempts, 2000 / 39);
    EXPECT_LE(attempts, 2000 / 20 + 2);
    EXPECT_FALSE(second.appendRecord({StoreValue::ofInt(1)}));
    EXPECT_EQ(RecordStore::lastError(), -13);
    other->unlock(16, 1);
    EXPECT_EQ(second.recordCount(), 1);
}

// A file left by a cut-short purge, written by hand: serial 2 twice (moved copy below, original
// above, the copy torn), an empty slot and one with a serial at nextSerial's back. The open takes
// the whole file once and repairs it under that one lock: the copy and the empty slot go, the
// record of serial 9 stays and nextSerial is raised past it.
TEST_F(Locks, OpenRepairsUnderOneWholeFileLock) {
    db.close();
    std::string s = databaseHeader(smallFields(), kSmallLength, 5, 4);
    auto rec = [](int32_t serial, int32_t a, const char* b) {
        std::string r(kSmallLength, '\0');
        put32(r, 0, static_cast<uint32_t>(serial));
        put32(r, 4, static_cast<uint32_t>(a));
        std::memcpy(&r[8], b, std::strlen(b));
        return r;
    };
    s += rec(1, 10, "one") + rec(2, 20, "to") + rec(0, 0, "") + rec(2, 20, "two") + rec(9, 9, "x");
    writeBytes(path, s);
    auto faults = std::make_shared<FaultFileAccess>();
    RecordStore second(faults);
    ASSERT_TRUE(second.open(path));
    EXPECT_EQ(faults->counts().locks, 1);
    EXPECT_EQ(second.recordCount(), 3);
    EXPECT_EQ(second.currentSerial(), 1);
    second.skip();
    EXPECT_EQ(second.currentSerial(), 2);
    EXPECT_EQ(second.readField(2), StoreValue::ofText("two"));
    second.skip();
    EXPECT_EQ(second.currentSerial(), 9);
    EXPECT_EQ(readBytes(path).size(), 116 + 72 * 2 + 3 * size_t{kSmallLength});
    EXPECT_EQ(get32(readBytes(path), 20), 10);
    // Every lock is released: another open takes the whole file at once.
    EXPECT_EQ(other->lock(0, format::kWholeFileLockLength), Status::Ok);
    other->unlock(0, format::kWholeFileLockLength);
}

TEST_F(Locks, FailedOperationsReleaseTheirLocks) {
    auto faults = std::make_shared<FaultFileAccess>();
    RecordStore second(faults);
    db.close();
    ASSERT_TRUE(second.open(path));
    FaultPlan plan;
    plan.failReadAt = 0;
    faults->setPlan(plan);
    EXPECT_FALSE(second.appendRecord({StoreValue::ofInt(1)}));
    EXPECT_EQ(RecordStore::lastError(), -65);
    faults->setPlan(plan);
    second.goToFirst();
    second.readField(1);
    EXPECT_EQ(RecordStore::lastError(), -46);
    plan = {};
    plan.failWriteAt = 0;
    faults->setPlan(plan);
    EXPECT_FALSE(second.writeField(2, StoreValue::ofText("y")));
    EXPECT_EQ(RecordStore::lastError(), -14);
    EXPECT_EQ(other->lock(0, format::kWholeFileLockLength), Status::Ok);
}

}  // namespace
