#pragma once

// A file access for tests that wraps another one and fails chosen calls, or stops executing
// writes part-way as if the process had been killed. Every file opened through one
// FaultFileAccess shares its plan and its counters.

#include <cstdint>
#include <memory>
#include <mutex>

#include "store/file_access.h"

namespace store {

// What to break. Call numbers count from 0 per kind of call, over every file of the access,
// from the last setPlan()/resetCounts().
struct FaultPlan {
    static constexpr int kNever = -1;
    // Fail the read, write, truncate or lock with this number: the call does nothing and
    // reports the error. With `persist`, that call and every later one of its kind fail.
    int failReadAt = kNever;
    FileError readError = FileError::HardwareFault;
    int failWriteAt = kNever;
    FileError writeError = FileError::DiskFull;
    int failTruncateAt = kNever;
    FileError truncateError = FileError::HardwareFault;
    int failLockAt = kNever;
    FileError lockError = FileError::LockViolation;
    // Fail the flush (File::sync, FileAccess::syncFolder) with this number: the data written
    // before it stays written, but the flush reports that it may not be on disk.
    int failSyncAt = kNever;
    FileError syncError = FileError::HardwareFault;
    // Fail the creation of a new file with this number.
    int failCreateAt = kNever;
    FileError createError = FileError::DiskFull;
    bool persist = false;
    // A kill after this many mutations (writes and truncates, counted together): that mutation
    // and every later one are not executed but reported as done. When that mutation is a write,
    // its first `tornBytes` bytes are still written (a kill inside the write).
    int stopMutationsAfter = kNever;
    int64_t tornBytes = 0;
};

struct FaultCounts {
    int reads = 0;
    int writes = 0;
    int truncates = 0;
    int locks = 0;
    int syncs = 0;
    int creates = 0;
    int mutations = 0;
    int faults = 0;  // calls that were failed or dropped
};

class FaultFileAccess : public FileAccess {
  public:
    explicit FaultFileAccess(std::shared_ptr<FileAccess> inner = posixFileAccess());

    // Installs a plan and starts counting calls from 0.
    void setPlan(const FaultPlan& plan);
    void resetCounts();
    FaultCounts counts() const;

    // With a virtual clock, sleepMs advances the clock at once, so that lock retries that are
    // bound to time out cost no real time.
    void setVirtualClock(bool on);

    FileError open(const std::string& path, bool writable, std::unique_ptr<File>& out) override;
    FileError createNew(const std::string& path, std::unique_ptr<File>& out, bool& exists) override;
    FileError removeFile(const std::string& path) override;
    FileError syncFolder(const std::string& folder) override;
    int64_t nowMs() override;
    void sleepMs(int ms) override;

  private:
    friend class FaultFile;
    struct State {
        std::mutex mutex;
        FaultPlan plan;
        FaultCounts counts;
        bool virtualClock = false;
        int64_t virtualNow = 0;
    };
    std::shared_ptr<FileAccess> inner_;
    std::shared_ptr<State> state_;
};

}  // namespace store
