#pragma once

// A file access for tests that wraps another one and fails chosen calls, or stops executing
// mutations part-way as if the process had been killed. Every file opened or created through one
// FaultFileAccess shares its plan and its counters, so one plan reaches every step of a write
// path: the store's record writes as well as each step of a whole-file replace (create the
// temporary, write, flush, rename, flush the folder).

#include <cstdint>
#include <memory>
#include <mutex>

#include "store/file_access.h"

namespace testsupport {

// What to break. Call numbers count from 0 per kind of call, over every file of the access,
// from the last setPlan().
struct FaultPlan {
    static constexpr int kNever = -1;
    // Fail the call of its kind with this number: the call does nothing and reports the error.
    // With `persist`, that call and every later one of its kind fail.
    int failReadAt = kNever;
    store::Status readError = store::Status::HardwareFault;
    int failWriteAt = kNever;
    store::Status writeError = store::Status::DiskFull;
    int failTruncateAt = kNever;
    store::Status truncateError = store::Status::HardwareFault;
    int failLockAt = kNever;
    store::Status lockError = store::Status::LockViolation;
    int failOpenAt = kNever;  // opens of existing files
    store::Status openError = store::Status::AccessDenied;
    int failSyncAt = kNever;  // flushes of files and of folders
    store::Status syncError = store::Status::HardwareFault;
    int failCreateAt = kNever;  // new temporary files and new folders
    store::Status createError = store::Status::DiskFull;
    int failRenameAt = kNever;
    store::Status renameError = store::Status::HardwareFault;
    int failRemoveAt = kNever;
    store::Status removeError = store::Status::AccessDenied;
    int failStatAt = kNever;
    store::Status statError = store::Status::HardwareFault;
    int failListAt = kNever;
    store::Status listError = store::Status::HardwareFault;
    bool persist = false;
    // A kill after this many mutations (writes, truncates, flushes, creates, renames and
    // removes, counted together): that mutation and every later one are not executed but
    // reported as done. When that mutation is a write, its first `tornBytes` bytes are still
    // written (a kill inside the write). A file whose creation was dropped takes every later call
    // without effect.
    int stopMutationsAfter = kNever;
    int64_t tornBytes = 0;
};

struct FaultCounts {
    int reads = 0;
    int writes = 0;
    int truncates = 0;
    int locks = 0;
    int opens = 0;
    int syncs = 0;
    int creates = 0;
    int renames = 0;
    int removes = 0;
    int stats = 0;
    int lists = 0;
    int mutations = 0;
    int faults = 0;  // calls that were failed or dropped
};

class FaultFileAccess : public store::FileAccess {
  public:
    explicit FaultFileAccess(std::shared_ptr<store::FileAccess> inner = store::posixFileAccess());

    // Installs a plan and starts counting calls from 0.
    void setPlan(const FaultPlan& plan);
    FaultCounts counts() const;

    // With a virtual clock, sleepMs advances the clock at once, so that lock retries that are
    // bound to time out cost no real time.
    void setVirtualClock(bool on);

    store::Status open(const std::filesystem::path& path, bool writable,
                       std::unique_ptr<store::File>& out) override;
    store::Status createTemporary(const std::filesystem::path& beside, std::filesystem::path& name,
                                  std::unique_ptr<store::File>& out) override;
    store::Status rename(const std::filesystem::path& from, const std::filesystem::path& to,
                         bool replace) override;
    store::Status removeFile(const std::filesystem::path& path) override;
    store::Status createFolder(const std::filesystem::path& path) override;
    store::Status syncFolder(const std::filesystem::path& path) override;
    store::Status stat(const std::filesystem::path& path, store::PathInfo& out) override;
    store::Status listFiles(const std::filesystem::path& folder,
                            std::vector<std::filesystem::path>& names) override;
    int64_t nowMs() override;
    void sleepMs(int ms) override;

    // The state files share with their access; public for the files, not for tests.
    struct State;

  private:
    std::shared_ptr<store::FileAccess> inner_;
    std::shared_ptr<State> state_;
};

}  // namespace testsupport
