#include "store/fault_file_access.h"

#include <algorithm>

namespace store {

class FaultFile : public File {
  public:
    FaultFile(std::unique_ptr<File> inner, std::shared_ptr<FaultFileAccess::State> state)
        : inner_(std::move(inner)), state_(std::move(state)) {}

    IoResult readAt(int64_t offset, void* buffer, size_t n) override {
        {
            std::lock_guard<std::mutex> g(state_->mutex);
            int k = state_->counts.reads++;
            if (hits(state_->plan.failReadAt, k)) {
                ++state_->counts.faults;
                return {0, state_->plan.readError};
            }
        }
        return inner_->readAt(offset, buffer, n);
    }

    IoResult writeAt(int64_t offset, const void* buffer, size_t n) override {
        int64_t torn = -1;
        {
            std::lock_guard<std::mutex> g(state_->mutex);
            int k = state_->counts.writes++;
            if (hits(state_->plan.failWriteAt, k)) {
                ++state_->counts.faults;
                return {0, state_->plan.writeError};
            }
            int m = state_->counts.mutations++;
            if (stopped(m)) {
                ++state_->counts.faults;
                if (m == state_->plan.stopMutationsAfter) {
                    torn = std::min<int64_t>(state_->plan.tornBytes, static_cast<int64_t>(n));
                }
                if (torn <= 0) return {static_cast<int64_t>(n), FileError::None};
            }
        }
        if (torn > 0) {
            inner_->writeAt(offset, buffer, static_cast<size_t>(torn));
            return {static_cast<int64_t>(n), FileError::None};
        }
        return inner_->writeAt(offset, buffer, n);
    }

    IoResult size() override { return inner_->size(); }

    FileError truncate(int64_t length) override {
        {
            std::lock_guard<std::mutex> g(state_->mutex);
            int k = state_->counts.truncates++;
            if (hits(state_->plan.failTruncateAt, k)) {
                ++state_->counts.faults;
                return state_->plan.truncateError;
            }
            if (stopped(state_->counts.mutations++)) {
                ++state_->counts.faults;
                return FileError::None;
            }
        }
        return inner_->truncate(length);
    }

    FileError lock(int64_t offset, int64_t length) override {
        {
            std::lock_guard<std::mutex> g(state_->mutex);
            int k = state_->counts.locks++;
            if (hits(state_->plan.failLockAt, k)) {
                ++state_->counts.faults;
                return state_->plan.lockError;
            }
        }
        return inner_->lock(offset, length);
    }

    FileError unlock(int64_t offset, int64_t length) override {
        return inner_->unlock(offset, length);
    }

    bool writable() const override { return inner_->writable(); }

    FileError sync() override {
        {
            std::lock_guard<std::mutex> g(state_->mutex);
            int k = state_->counts.syncs++;
            if (hits(state_->plan.failSyncAt, k)) {
                ++state_->counts.faults;
                return state_->plan.syncError;
            }
            // After a kill nothing reaches the disk any more; the flush is not executed.
            if (stopped(state_->counts.mutations)) return FileError::None;
        }
        return inner_->sync();
    }

  private:
    bool hits(int at, int k) const {
        if (at < 0) return false;
        return state_->plan.persist ? k >= at : k == at;
    }
    bool stopped(int m) const {
        return state_->plan.stopMutationsAfter >= 0 && m >= state_->plan.stopMutationsAfter;
    }

    std::unique_ptr<File> inner_;
    std::shared_ptr<FaultFileAccess::State> state_;
};

FaultFileAccess::FaultFileAccess(std::shared_ptr<FileAccess> inner)
    : inner_(std::move(inner)), state_(std::make_shared<State>()) {}

void FaultFileAccess::setPlan(const FaultPlan& plan) {
    std::lock_guard<std::mutex> g(state_->mutex);
    state_->plan = plan;
    state_->counts = {};
}

void FaultFileAccess::resetCounts() {
    std::lock_guard<std::mutex> g(state_->mutex);
    state_->counts = {};
}

FaultCounts FaultFileAccess::counts() const {
    std::lock_guard<std::mutex> g(state_->mutex);
    return state_->counts;
}

void FaultFileAccess::setVirtualClock(bool on) {
    std::lock_guard<std::mutex> g(state_->mutex);
    state_->virtualClock = on;
}

FileError FaultFileAccess::open(const std::string& path, bool writable,
                                std::unique_ptr<File>& out) {
    std::unique_ptr<File> inner;
    FileError e = inner_->open(path, writable, inner);
    if (e != FileError::None) return e;
    out = std::make_unique<FaultFile>(std::move(inner), state_);
    return FileError::None;
}

FileError FaultFileAccess::createNew(const std::string& path, std::unique_ptr<File>& out,
                                     bool& exists) {
    exists = false;
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        int k = state_->counts.creates++;
        bool failing = state_->plan.failCreateAt >= 0 &&
                       (state_->plan.persist ? k >= state_->plan.failCreateAt
                                             : k == state_->plan.failCreateAt);
        if (failing) {
            ++state_->counts.faults;
            return state_->plan.createError;
        }
    }
    std::unique_ptr<File> inner;
    FileError e = inner_->createNew(path, inner, exists);
    if (e != FileError::None) return e;
    out = std::make_unique<FaultFile>(std::move(inner), state_);
    return FileError::None;
}

FileError FaultFileAccess::removeFile(const std::string& path) { return inner_->removeFile(path); }

FileError FaultFileAccess::syncFolder(const std::string& folder) {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        int k = state_->counts.syncs++;
        bool failing =
            state_->plan.failSyncAt >= 0 &&
            (state_->plan.persist ? k >= state_->plan.failSyncAt : k == state_->plan.failSyncAt);
        if (failing) {
            ++state_->counts.faults;
            return state_->plan.syncError;
        }
    }
    return inner_->syncFolder(folder);
}

int64_t FaultFileAccess::nowMs() {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        if (state_->virtualClock) return state_->virtualNow;
    }
    return inner_->nowMs();
}

void FaultFileAccess::sleepMs(int ms) {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        if (state_->virtualClock) {
            state_->virtualNow += ms;
            return;
        }
    }
    inner_->sleepMs(ms);
}

}  // namespace store
