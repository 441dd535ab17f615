// The fault layer itself: every operation of the seam is counted by its kind and fails with the
// plan's error at its number (or from it on, with persist); a kill drops every mutation from its
// number on, reporting it done.

#include "testsupport/fault_file_access.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "testsupport/memory_file_access.h"

using namespace store;
using testsupport::FaultCounts;
using testsupport::FaultFileAccess;
using testsupport::FaultPlan;
using testsupport::MemoryFileAccess;
namespace fs = std::filesystem;

namespace {

struct OperationCase {
    const char* name;
    int FaultPlan::*failAt;
    Status FaultPlan::*error;
    int FaultCounts::*count;
    std::function<Status(FileAccess&)> call;
};

Status openAndSync(FileAccess& f) {
    std::unique_ptr<File> file;
    Status s = f.open("/m/a", true, file);
    return s == Status::Ok ? file->sync() : s;
}

const OperationCase kOperations[] = {
    {"open", &FaultPlan::failOpenAt, &FaultPlan::openError, &FaultCounts::opens,
     [](FileAccess& f) {
         std::unique_ptr<File> file;
         return f.open("/m/a", false, file);
     }},
    {"create", &FaultPlan::failCreateAt, &FaultPlan::createError, &FaultCounts::creates,
     [](FileAccess& f) {
         fs::path name;
         std::unique_ptr<File> file;
         return f.createTemporary("/m/a", name, file);
     }},
    {"create folder", &FaultPlan::failCreateAt, &FaultPlan::createError, &FaultCounts::creates,
     [](FileAccess& f) { return f.createFolder("/m/sub"); }},
    {"rename", &FaultPlan::failRenameAt, &FaultPlan::renameError, &FaultCounts::renames,
     [](FileAccess& f) { return f.rename("/m/a", "/m/b", true); }},
    {"remove", &FaultPlan::failRemoveAt, &FaultPlan::removeError, &FaultCounts::removes,
     [](FileAccess& f) { return f.removeFile("/m/a"); }},
    {"flush of a file", &FaultPlan::failSyncAt, &FaultPlan::syncError, &FaultCounts::syncs,
     openAndSync},
    {"flush of a folder", &FaultPlan::failSyncAt, &FaultPlan::syncError, &FaultCounts::syncs,
     [](FileAccess& f) { return f.syncFolder("/m"); }},
    {"stat", &FaultPlan::failStatAt, &FaultPlan::statError, &FaultCounts::stats,
     [](FileAccess& f) {
         PathInfo info;
         return f.stat("/m/a", info);
     }},
    {"list", &FaultPlan::failListAt, &FaultPlan::listError, &FaultCounts::lists,
     [](FileAccess& f) {
         std::vector<fs::path> names;
         return f.listFiles("/m", names);
     }},
};

TEST(FaultLayer, EveryOperationIsCountedAndFailsAtItsNumber) {
    for (const OperationCase& op : kOperations) {
        SCOPED_TRACE(op.name);
        for (bool persist : {false, true}) {
            auto mem = std::make_shared<MemoryFileAccess>();
            FaultFileAccess faults(mem);
            FaultPlan plan;
            plan.*op.failAt = 1;
            plan.*op.error = Status::SharingViolation;
            plan.persist = persist;
            faults.setPlan(plan);
            for (int k = 0; k < 3; ++k) {
                mem->put("/m/a", "bytes");
                mem->removeFile("/m/b");
                bool failing = persist ? k >= 1 : k == 1;
                EXPECT_EQ(op.call(faults) == Status::SharingViolation, failing) << "call " << k;
            }
            EXPECT_EQ(faults.counts().*op.count, 3);
            EXPECT_EQ(faults.counts().faults, persist ? 2 : 1);
        }
    }
}

TEST(FaultLayer, AKillDropsEveryMutationFromItsNumberOn) {
    auto mem = std::make_shared<MemoryFileAccess>();
    mem->put("/m/a", "old");
    FaultFileAccess faults(mem);
    FaultPlan kill;
    kill.stopMutationsAfter = 1;
    faults.setPlan(kill);
    fs::path temp;
    std::unique_ptr<File> file;
    ASSERT_EQ(faults.createTemporary("/m/a", temp, file), Status::Ok);  // mutation 0 runs
    EXPECT_TRUE(mem->has(temp));
    EXPECT_EQ(file->writeAt(0, "new", 3).bytes, 3);  // mutation 1 and on: dropped
    EXPECT_EQ(file->sync(), Status::Ok);
    EXPECT_EQ(faults.rename(temp, "/m/a", true), Status::Ok);
    EXPECT_EQ(faults.removeFile("/m/a"), Status::Ok);
    EXPECT_EQ(faults.createFolder("/m/sub"), Status::Ok);
    EXPECT_EQ(mem->bytes(temp), "");
    EXPECT_EQ(mem->bytes("/m/a"), "old");
    PathInfo info;
    ASSERT_EQ(mem->stat("/m/sub", info), Status::Ok);
    EXPECT_EQ(info.kind, PathKind::Missing);
    // A file whose creation was dropped does not exist, and nothing done to it lands anywhere.
    fs::path dropped;
    ASSERT_EQ(faults.createTemporary("/m/a", dropped, file), Status::Ok);
    EXPECT_FALSE(mem->has(dropped));
    EXPECT_EQ(file->writeAt(0, "x", 1).status, Status::Ok);
    EXPECT_EQ(faults.counts().mutations, 7);
    EXPECT_EQ(faults.counts().faults, 6);
}

}  // namespace
