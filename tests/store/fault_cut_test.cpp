// Every cut point of the write paths: each operation that changes the file is stopped after each
// of its writes (a failed write, or a kill that drops every later write, or a kill inside a
// write), the file is opened again, and every record that was live before must be live exactly
// once with its bytes intact; only the operation's own target may differ.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

#include "store/record_store.h"
#include "test_files.h"
#include "testsupport/fault_file_access.h"

using namespace store;
using namespace testsupport;
using namespace store_test;

namespace {

using Records = std::map<int32_t, std::string>;  // live serial -> record bytes

// The live records a fresh open sees, straight from the bytes; fails the test when a serial is
// live twice or the count names bytes the file does not hold.
Records liveRecords(const std::string& path) {
    RecordStore db;
    EXPECT_TRUE(db.open(path)) << RecordStore::lastError();
    db.close();
    std::string s = readBytes(path);
    int32_t count = get32(s, 16);
    EXPECT_EQ(s.size(), kLedgerDataStart + size_t(count) * kLedgerLength)
        << "count names whole records";
    Records live;
    for (int32_t i = 0; i < count; ++i) {
        std::string rec = s.substr(kLedgerDataStart + size_t(i) * kLedgerLength, kLedgerLength);
        int32_t serial = get32(rec, 0);
        if (serial <= 0) continue;
        EXPECT_TRUE(live.emplace(serial, rec).second) << "serial " << serial << " live twice";
    }
    return live;
}

// What the operation may leave for its target: the target's bytes before (nullopt: absent) and
// after (nullopt: absent or marked).
struct Target {
    int32_t serial = 0;
    std::optional<std::string> before, after;
};

void expectNoLoss(const Records& before, const Records& after, const Target& t) {
    for (const auto& [serial, bytes] : before) {
        if (serial == t.serial) continue;
        auto it = after.find(serial);
        ASSERT_NE(it, after.end()) << "lost serial " << serial;
        EXPECT_EQ(it->second, bytes) << "damaged serial " << serial;
    }
    for (const auto& [serial, bytes] : after) {
        if (serial == t.serial) {
            EXPECT_TRUE((t.before && bytes == *t.before) || (t.after && bytes == *t.after))
                << "target " << serial << " neither old nor new";
        } else {
            EXPECT_TRUE(before.count(serial)) << "serial " << serial << " came alive";
        }
    }
}

std::vector<StoreValue> entry(int i) {
    return {StoreValue::ofBool(i % 2 == 0),
            StoreValue::ofInt(2024),
            StoreValue::ofInt(i % 12 + 1),
            StoreValue::ofInt(i % 28 + 1),
            StoreValue::ofText("12\xca\xb1"
                               "00\xb7\xd6"),
            StoreValue::ofText("item " + std::to_string(i) + std::string(i % 150, '.')),
            StoreValue::ofFloat(0.5f * i),
            StoreValue::ofText("note"),
            StoreValue::ofText("cat")};
}

struct Fixture {
    const char* name;
    int records;
    std::vector<int> marked;  // indices marked deleted
    int target;               // the record writeField and markDeleted change
};

// 547 ledger records fill one purge chunk: the boundary fixture has marks on both sides of it.
const Fixture kFixtures[] = {
    {"empty", 0, {}, 0},
    {"one record", 1, {}, 0},
    {"one marked record", 1, {0}, 0},
    {"chunk boundary", 1100, {0, 546, 547, 1093}, 548},
};

std::string buildFixture(const ScratchDir& dir, const Fixture& f) {
    std::string path = dir.path(std::string("fixture") + std::to_string(f.records) + ".edb");
    writeBytes(path, databaseHeader(ledgerFields(), kLedgerLength, 0, 49));
    RecordStore db;
    EXPECT_TRUE(db.open(path));
    for (int i = 0; i < f.records; ++i) EXPECT_TRUE(db.appendRecord(entry(i)));
    for (int i : f.marked) {
        EXPECT_TRUE(db.goTo(i + 1));
        EXPECT_TRUE(db.markDeleted());
    }
    return readBytes(path);
}

std::string recordBytes(const std::string& file, int index) {
    return file.substr(kLedgerDataStart + size_t(index) * kLedgerLength, kLedgerLength);
}

struct Operation {
    const char* name;
    bool needsRecord;
    std::function<bool(RecordStore&, const Fixture&)> run;
    // The target and what it may become, given the fixture's bytes and the completed result.
    std::function<Target(const std::string& before, const std::string& done, const Fixture&)>
        target;
};

const Operation kOperations[] = {
    {"appendRecord", false,
     [](RecordStore& db, const Fixture&) { return db.appendRecord(entry(7777)); },
     [](const std::string& before, const std::string& done, const Fixture&) {
         int32_t count = get32(before, 16);
         return Target{get32(before, 20), std::nullopt, recordBytes(done, count)};
     }},
    {"writeField", true,
     [](RecordStore& db, const Fixture& f) {
         db.goTo(f.target + 1);
         return db.writeField(6, StoreValue::ofText("changed"));
     },
     [](const std::string& before, const std::string& done, const Fixture& f) {
         std::string b = recordBytes(before, f.target);
         return Target{get32(b, 0), b, recordBytes(done, f.target)};
     }},
    {"markDeleted", true,
     [](RecordStore& db, const Fixture& f) {
         db.goTo(f.target + 1);
         return db.markDeleted();
     },
     [](const std::string& before, const std::string&, const Fixture& f) {
         std::string b = recordBytes(before, f.target);
         return Target{get32(b, 0), b, std::nullopt};
     }},
    {"purgeDeleted", false, [](RecordStore& db, const Fixture&) { return db.purgeDeleted(); },
     [](const std::string&, const std::string&, const Fixture&) { return Target{}; }},
};

class FaultCuts : public ::testing::Test {
  protected:
    // Runs `op` on a fresh copy of the fixture through a store whose file access follows
    // `plan`; returns whether any fault fired.
    bool runCut(const std::string& fixture, const Fixture& f, const Operation& op,
                const FaultPlan& plan, bool* result = nullptr) {
        writeBytes(path, fixture);
        auto faults = std::make_shared<FaultFileAccess>();
        RecordStore db(faults);
        EXPECT_TRUE(db.open(path));
        faults->setPlan(plan);
        bool ok = op.run(db, f);
        if (result) *result = ok;
        return faults->counts().faults > 0;
    }

    ScratchDir dir;
    std::string path = dir.path("cut.edb");
};

TEST_F(FaultCuts, EveryWriteOfEveryOperationCanBeCut) {
    for (const Fixture& f : kFixtures) {
        const std::string fixture = buildFixture(dir, f);
        writeBytes(path, fixture);
        const Records before = liveRecords(path);
        for (const Operation& op : kOperations) {
            if (op.needsRecord && f.records == 0) continue;
            SCOPED_TRACE(std::string(f.name) + " / " + op.name);
            bool completed = false;
            runCut(fixture, f, op, FaultPlan{}, &completed);
            ASSERT_TRUE(completed) << RecordStore::lastError();
            const std::string done = readBytes(path);
            const Target target = op.target(fixture, done, f);
            int cuts = 0;
            for (int k = 0;; ++k) {
                SCOPED_TRACE("cut after " + std::to_string(k) + " mutations");
                FaultPlan kill;
                kill.stopMutationsAfter = k;
                if (!runCut(fixture, f, op, kill)) break;
                expectNoLoss(before, liveRecords(path), target);

                FaultPlan fail;
                fail.failWriteAt = k;
                bool ok = true;
                if (runCut(fixture, f, op, fail, &ok)) {
                    EXPECT_FALSE(ok);
                    EXPECT_NE(RecordStore::lastError(), 0);
                }
                expectNoLoss(before, liveRecords(path), target);
                ++cuts;
            }
            if (done != fixture) {
                EXPECT_GT(cuts, 0);
            }
        }
    }
}

// A kill inside one of the purge's record writes leaves a torn copy below an intact original.
TEST_F(FaultCuts, PurgeKilledInsideAWrite) {
    const Fixture& f = kFixtures[3];
    const std::string fixture = buildFixture(dir, f);
    writeBytes(path, fixture);
    const Records before = liveRecords(path);
    const Operation& purge = kOperations[3];
    for (int k = 0; k < 4; ++k) {
        for (int64_t torn : {1, 3, 4, 5, 299, 300, 4096, 4096 + 17, 299 * 300 + 150}) {
            SCOPED_TRACE("write " + std::to_string(k) + " torn after " + std::to_string(torn));
            FaultPlan kill;
            kill.stopMutationsAfter = k;
            kill.tornBytes = torn;
            runCut(fixture, f, purge, kill);
            expectNoLoss(before, liveRecords(path), Target{});
        }
    }
}

// The open that repairs an interrupted purge can itself be cut at each of its writes.
TEST_F(FaultCuts, InterruptedRepairIsRepairedAgain) {
    const Fixture& f = kFixtures[3];
    const std::string fixture = buildFixture(dir, f);
    writeBytes(path, fixture);
    const Records before = liveRecords(path);
    const Operation& purge = kOperations[3];
    int repairsCut = 0;
    for (int k = 0; k < 4; ++k) {
        FaultPlan kill;
        kill.stopMutationsAfter = k;
        kill.tornBytes = 4096 + 17;
        if (!runCut(fixture, f, purge, kill)) break;
        const std::string interrupted = readBytes(path);
        for (int j = 0;; ++j) {
            SCOPED_TRACE("purge cut " + std::to_string(k) + ", repair cut " + std::to_string(j));
            writeBytes(path, interrupted);
            auto faults = std::make_shared<FaultFileAccess>();
            FaultPlan again;
            again.stopMutationsAfter = j;
            faults->setPlan(again);
            RecordStore db(faults);
            EXPECT_TRUE(db.open(path));
            db.close();
            bool cut = faults->counts().faults > 0;
            expectNoLoss(before, liveRecords(path), Target{});
            if (!cut) break;
            ++repairsCut;
        }
    }
    EXPECT_GT(repairsCut, 0);
}

// A purge whose read fails part-way: the open store and a later open both see every live record
// once, and the count matches the records in the file.
TEST_F(FaultCuts, PurgeReadFailurePartWay) {
    const Fixture& f = kFixtures[3];
    const std::string fixture = buildFixture(dir, f);
    writeBytes(path, fixture);
    const Records before = liveRecords(path);
    for (int k = 0;; ++k) {
        SCOPED_TRACE("read " + std::to_string(k) + " fails");
        writeBytes(path, fixture);
        auto faults = std::make_shared<FaultFileAccess>();
        RecordStore db(faults);
        ASSERT_TRUE(db.open(path));
        FaultPlan plan;
        plan.failReadAt = k;
        faults->setPlan(plan);
        bool ok = db.purgeDeleted();
        if (faults->counts().faults == 0) {
            EXPECT_TRUE(ok);
            break;
        }
        EXPECT_FALSE(ok);
        EXPECT_NE(RecordStore::lastError(), 0);
        Records seen;
        int32_t count = db.recordCount();
        int fields[] = {1};
        ASSERT_TRUE(db.readRecords(fields, [&](const RecordView& r) {
            if (!r.isDeleted()) {
                EXPECT_TRUE(seen.emplace(r.serial(), "").second) << r.serial();
            }
            return true;
        }));
        EXPECT_EQ(seen.size(), before.size());
        EXPECT_EQ(readBytes(path).size(), kLedgerDataStart + size_t(count) * kLedgerLength);
        db.close();
        expectNoLoss(before, liveRecords(path), Target{});
    }
}

}  // namespace
