#include "testsupport/fault_file_access.h"

#include <algorithm>

namespace testsupport {

using store::IoResult;
using store::Status;
namespace fs = std::filesystem;

struct FaultFileAccess::State {
    std::mutex mutex;
    FaultPlan plan;
    FaultCounts counts;
    bool virtualClock = false;
    int64_t virtualNow = 0;

    // Counts a call of one kind (under the mutex); true when the plan fails it.
    bool fails(int& counter, int at) {
        int k = counter++;
        bool hit = at >= 0 && (plan.persist ? k >= at : k == at);
        if (hit) ++counts.faults;
        return hit;
    }
    // Counts a mutation (under the mutex); true when the kill drops it. `cut` tells whether it is
    // the first one dropped, the one a kill lands inside.
    bool dropped(bool* cut = nullptr) {
        int m = counts.mutations++;
        bool stop = plan.stopMutationsAfter >= 0 && m >= plan.stopMutationsAfter;
        if (stop) ++counts.faults;
        if (cut) *cut = stop && m == plan.stopMutationsAfter;
        return stop;
    }
};

namespace {

using State = FaultFileAccess::State;

class FaultFile : public store::File {
  public:
    FaultFile(std::unique_ptr<store::File> inner, std::shared_ptr<State> state)
        : inner_(std::move(inner)), state_(std::move(state)) {}

    IoResult readAt(int64_t offset, void* buffer, size_t n) override {
        {
            std::lock_guard<std::mutex> g(state_->mutex);
            if (state_->fails(state_->counts.reads, state_->plan.failReadAt)) {
                return {0, state_->plan.readError};
            }
        }
        return inner_->readAt(offset, buffer, n);
    }

    IoResult writeAt(int64_t offset, const void* buffer, size_t n) override {
        int64_t torn = -1;
        {
            std::lock_guard<std::mutex> g(state_->mutex);
            if (state_->fails(state_->counts.writes, state_->plan.failWriteAt)) {
                return {0, state_->plan.writeError};
            }
            bool cut = false;
            if (state_->dropped(&cut)) {
                if (cut) torn = std::min<int64_t>(state_->plan.tornBytes, static_cast<int64_t>(n));
                if (torn <= 0) return {static_cast<int64_t>(n), Status::Ok};
            }
        }
        if (torn > 0) {
            inner_->writeAt(offset, buffer, static_cast<size_t>(torn));
            return {static_cast<int64_t>(n), Status::Ok};
        }
        return inner_->writeAt(offset, buffer, n);
    }

    IoResult size() override { return inner_->size(); }

    Status truncate(int64_t length) override {
        {
            std::lock_guard<std::mutex> g(state_->mutex);
            if (state_->fails(state_->counts.truncates, state_->plan.failTruncateAt)) {
                return state_->plan.truncateError;
            }
            if (state_->dropped()) return Status::Ok;
        }
        return inner_->truncate(length);
    }

    Status sync() override {
        {
            std::lock_guard<std::mutex> g(state_->mutex);
            if (state_->fails(state_->counts.syncs, state_->plan.failSyncAt)) {
                return state_->plan.syncError;
            }
            if (state_->dropped()) return Status::Ok;
        }
        return inner_->sync();
    }

    Status lock(int64_t offset, int64_t length) override {
        {
            std::lock_guard<std::mutex> g(state_->mutex);
            if (state_->fails(state_->counts.locks, state_->plan.failLockAt)) {
                return state_->plan.lockError;
            }
        }
        return inner_->lock(offset, length);
    }

    Status unlock(int64_t offset, int64_t length) override {
        return inner_->unlock(offset, length);
    }

    bool writable() const override { return inner_->writable(); }

  private:
    std::unique_ptr<store::File> inner_;
    std::shared_ptr<State> state_;
};

// The file a killed process would have created: nothing of it exists, and every call on it, from
// a process that no longer runs, has no effect.
class DroppedFile : public store::File {
  public:
    IoResult readAt(int64_t, void*, size_t) override { return {}; }
    IoResult writeAt(int64_t, const void*, size_t n) override {
        return {static_cast<int64_t>(n), Status::Ok};
    }
    IoResult size() override { return {}; }
    Status truncate(int64_t) override { return Status::Ok; }
    Status sync() override { return Status::Ok; }
    Status lock(int64_t, int64_t) override { return Status::Ok; }
    Status unlock(int64_t, int64_t) override { return Status::Ok; }
    bool writable() const override { return true; }
};

}  // namespace

FaultFileAccess::FaultFileAccess(std::shared_ptr<store::FileAccess> inner)
    : inner_(std::move(inner)), state_(std::make_shared<State>()) {}

void FaultFileAccess::setPlan(const FaultPlan& plan) {
    std::lock_guard<std::mutex> g(state_->mutex);
    state_->plan = plan;
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

Status FaultFileAccess::open(const fs::path& path, bool writable,
                             std::unique_ptr<store::File>& out) {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        if (state_->fails(state_->counts.opens, state_->plan.failOpenAt)) {
            return state_->plan.openError;
        }
    }
    std::unique_ptr<store::File> inner;
    Status s = inner_->open(path, writable, inner);
    if (s != Status::Ok) return s;
    out = std::make_unique<FaultFile>(std::move(inner), state_);
    return Status::Ok;
}

Status FaultFileAccess::createTemporary(const fs::path& beside, fs::path& name,
                                        std::unique_ptr<store::File>& out) {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        if (state_->fails(state_->counts.creates, state_->plan.failCreateAt)) {
            return state_->plan.createError;
        }
        if (state_->dropped()) {
            name = beside;
            name += ".dropped";
            out = std::make_unique<DroppedFile>();
            return Status::Ok;
        }
    }
    std::unique_ptr<store::File> inner;
    Status s = inner_->createTemporary(beside, name, inner);
    if (s != Status::Ok) return s;
    out = std::make_unique<FaultFile>(std::move(inner), state_);
    return Status::Ok;
}

Status FaultFileAccess::rename(const fs::path& from, const fs::path& to, bool replace) {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        if (state_->fails(state_->counts.renames, state_->plan.failRenameAt)) {
            return state_->plan.renameError;
        }
        if (state_->dropped()) return Status::Ok;
    }
    return inner_->rename(from, to, replace);
}

Status FaultFileAccess::removeFile(const fs::path& path) {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        if (state_->fails(state_->counts.removes, state_->plan.failRemoveAt)) {
            return state_->plan.removeError;
        }
        if (state_->dropped()) return Status::Ok;
    }
    return inner_->removeFile(path);
}

Status FaultFileAccess::createFolder(const fs::path& path) {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        if (state_->fails(state_->counts.creates, state_->plan.failCreateAt)) {
            return state_->plan.createError;
        }
        if (state_->dropped()) return Status::Ok;
    }
    return inner_->createFolder(path);
}

Status FaultFileAccess::syncFolder(const fs::path& path) {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        if (state_->fails(state_->counts.syncs, state_->plan.failSyncAt)) {
            return state_->plan.syncError;
        }
        if (state_->dropped()) return Status::Ok;
    }
    return inner_->syncFolder(path);
}

Status FaultFileAccess::stat(const fs::path& path, store::PathInfo& out) {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        if (state_->fails(state_->counts.stats, state_->plan.failStatAt)) {
            return state_->plan.statError;
        }
    }
    return inner_->stat(path, out);
}

Status FaultFileAccess::listFiles(const fs::path& folder, std::vector<fs::path>& names) {
    {
        std::lock_guard<std::mutex> g(state_->mutex);
        if (state_->fails(state_->counts.lists, state_->plan.failListAt)) {
            names.clear();
            return state_->plan.listError;
        }
    }
    return inner_->listFiles(folder, names);
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

}  // namespace testsupport
