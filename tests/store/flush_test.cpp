// Flushes: every change reaches the disk before the store reports it done, a record before the
// count that makes it live, and a flush that fails fails its operation without losing a record
// that was acknowledged before.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "store/record_store.h"
#include "test_files.h"
#include "testsupport/fault_file_access.h"

using namespace store;
using namespace store_test;
using namespace testsupport;

namespace {

std::string ledgerRecord(int32_t serial, const std::string& item) {
    std::string r(kLedgerLength, '\0');
    put32(r, 0, static_cast<uint32_t>(serial));
    r[4] = 1;
    put32(r, 5, 2024);
    put32(r, 9, 3);
    put32(r, 13, 8);
    r.replace(25, item.size(), item);
    return r;
}

// Three entries, the middle one marked deleted (for the purge).
std::string fixture() {
    return databaseHeader(ledgerFields(), kLedgerLength, 3, 52) + ledgerRecord(49, "a") +
           ledgerRecord(-50, "b") + ledgerRecord(51, "c");
}

// Live serial -> record bytes, read from the file as a fresh open leaves it.
std::map<int32_t, std::string> liveAfterReopen(const std::string& path) {
    RecordStore db;
    EXPECT_TRUE(db.open(path)) << RecordStore::lastError();
    db.close();
    const std::string s = readBytes(path);
    std::map<int32_t, std::string> live;
    for (int32_t i = 0; i < get32(s, 16); ++i) {
        std::string rec = s.substr(kLedgerDataStart + size_t(i) * kLedgerLength, kLedgerLength);
        if (get32(rec, 0) > 0) live[get32(rec, 0)] = rec;
    }
    return live;
}

struct Op {
    const char* name;
    int syncs;  // flushes the operation makes when nothing fails
    std::function<bool(RecordStore&)> run;
};

const Op kOps[] = {
    {"appendRecord", 2,
     [](RecordStore& db) {
         return db.appendRecord({StoreValue::ofBool(true), StoreValue::ofInt(2024),
                                 StoreValue::ofInt(3), StoreValue::ofInt(9)});
     }},
    {"writeField", 1,
     [](RecordStore& db) { return db.goTo(3) && db.writeField(6, StoreValue::ofText("new")); }},
    {"markDeleted", 1, [](RecordStore& db) { return db.goTo(1) && db.markDeleted(); }},
    {"purgeDeleted", 2, [](RecordStore& db) { return db.purgeDeleted(); }},
};

TEST(Flushes, EachOperationFlushesAndAFailedFlushFailsIt) {
    ScratchDir dir;
    const std::string path = dir.path("flush.edb");
    writeBytes(path, fixture());
    const std::map<int32_t, std::string> before = liveAfterReopen(path);
    for (const Op& op : kOps) {
        SCOPED_TRACE(op.name);
        auto faults = std::make_shared<FaultFileAccess>();
        {
            writeBytes(path, fixture());
            RecordStore db(faults);
            ASSERT_TRUE(db.open(path));
            faults->setPlan({});
            ASSERT_TRUE(op.run(db));
            EXPECT_EQ(faults->counts().syncs, op.syncs);
        }
        for (int k = 0; k < op.syncs; ++k) {
            SCOPED_TRACE("flush " + std::to_string(k) + " fails");
            writeBytes(path, fixture());
            RecordStore db(faults);
            ASSERT_TRUE(db.open(path));
            FaultPlan plan;
            plan.failSyncAt = k;
            plan.syncError = Status::HardwareFault;
            faults->setPlan(plan);
            EXPECT_FALSE(op.run(db));
            EXPECT_EQ(RecordStore::lastError(), code(Status::HardwareFault));
            db.close();
            const std::map<int32_t, std::string> after = liveAfterReopen(path);
            for (const auto& [serial, bytes] : before) {
                if (op.name == std::string("markDeleted") && serial == 49) continue;
                ASSERT_TRUE(after.count(serial)) << "lost " << serial;
                if (op.name != std::string("writeField")) {
                    EXPECT_EQ(after.at(serial), bytes);
                }
            }
        }
    }
}

// The append's first flush comes between its record and its count: when it fails the count is
// not written, so the record never became live.
TEST(Flushes, AFailedRecordFlushLeavesTheCountUnwritten) {
    ScratchDir dir;
    const std::string path = dir.path("flush.edb");
    writeBytes(path, fixture());
    auto faults = std::make_shared<FaultFileAccess>();
    RecordStore db(faults);
    ASSERT_TRUE(db.open(path));
    FaultPlan plan;
    plan.failSyncAt = 0;
    faults->setPlan(plan);
    EXPECT_FALSE(kOps[0].run(db));
    const std::string s = readBytes(path);
    EXPECT_EQ(get32(s, 16), 3);
    EXPECT_EQ(get32(s, 20), 52);
    EXPECT_EQ(faults->counts().writes, 1);  // the record only
}

// A repair at open flushes its copy and the folder before its first change; when that fails
// the file is left as it was and the open fails.
TEST(Flushes, ARepairWhoseCopyCannotBeFlushedChangesNothing) {
    ScratchDir dir;
    const std::string path = dir.path("flush.edb");
    std::string damaged = fixture();
    put32(damaged, 16, 1);  // a damaged count: the two records past it are kept by a repair
    writeBytes(path, damaged);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE("flush " + std::to_string(k) + " fails");
        auto faults = std::make_shared<FaultFileAccess>();
        FaultPlan plan;
        plan.failSyncAt = k;
        faults->setPlan(plan);
        RecordStore db(faults);
        EXPECT_FALSE(db.open(path));
        EXPECT_EQ(readBytes(path), damaged);
    }
    auto faults = std::make_shared<FaultFileAccess>();
    FaultPlan full;
    full.failCreateAt = 0;
    full.createError = Status::DiskFull;
    faults->setPlan(full);
    RecordStore db(faults);
    EXPECT_FALSE(db.open(path));
    EXPECT_EQ(RecordStore::lastError(), code(Status::DiskFull));
    EXPECT_EQ(readBytes(path), damaged);
}

}  // namespace
