#include "store/lock_table.h"

#include <random>

#include "store/format.h"

namespace store {

namespace fmt = format;

namespace {

// Jitter for the pauses between lock attempts, so that two waiting instances drift apart.
int lockPauseMs() {
    thread_local std::minstd_rand rng(std::random_device{}());
    std::uniform_int_distribution<int> d(fmt::kLockPauseMinMs, fmt::kLockPauseMaxMs);
    return d(rng);
}

bool isWholeFile(int64_t offset, int64_t length) {
    return offset == fmt::kWholeFileLockOffset && length == fmt::kWholeFileLockLength;
}

}  // namespace

bool LockTable::holdsWholeFile() const {
    auto it = held_.find({fmt::kWholeFileLockOffset, fmt::kWholeFileLockLength});
    return it != held_.end() && it->second.count > 0;
}

Status LockTable::lock(File& file, int64_t offset, int64_t length) {
    auto key = std::make_pair(offset, length);
    auto it = held_.find(key);
    if (it != held_.end()) {
        ++it->second.count;
        return Status::Ok;
    }
    if (!isWholeFile(offset, length) && holdsWholeFile()) {
        held_[key] = {1, false};
        return Status::Ok;
    }
    int64_t start = clock_.nowMs();
    for (;;) {
        Status s = file.lock(offset, length);
        if (s == Status::Ok) break;
        bool busy = s == Status::LockViolation || s == Status::SharingViolation;
        if (!busy || clock_.nowMs() - start >= fmt::kLockRetryMs) {
            return s == Status::Unknown ? Status::LockFailed : s;
        }
        clock_.sleepMs(lockPauseMs());
    }
    held_[key] = {1, true};
    return Status::Ok;
}

Status LockTable::unlock(File& file, int64_t offset, int64_t length) {
    auto it = held_.find({offset, length});
    if (it == held_.end()) return Status::UnlockFailed;
    if (--it->second.count > 0) return Status::Ok;
    bool onFile = it->second.onFile;
    held_.erase(it);
    if (onFile && file.unlock(offset, length) != Status::Ok) return Status::UnlockFailed;
    return Status::Ok;
}

void LockTable::releaseAll(File& file) {
    for (auto& [key, held] : held_) {
        if (held.onFile) file.unlock(key.first, key.second);
    }
    held_.clear();
}

}  // namespace store
