#pragma once

// The byte-range locks one open of the database holds. Takes of the same range nest: they are
// counted, and the range is released on the file only when the count returns to zero. While the
// whole file is held, record and header locks succeed at once without touching the file. A range
// that another instance holds is retried for up to 2000 ms with pauses of 20 to 39 ms, so that
// two instances never fail each other's operations over a lock held for a moment.

#include <cstdint>
#include <map>
#include <utility>

#include "store/file_access.h"
#include "store/status.h"

namespace store {

class LockTable {
  public:
    // `clock` times the retries and pauses between them.
    explicit LockTable(FileAccess& clock) : clock_(clock) {}

    // Takes [offset, offset + length) of `file`, or counts one more take of a range held. A
    // range still held by another open after the retry time: its code (LockViolation or
    // SharingViolation); a failure without a class: LockFailed.
    Status lock(File& file, int64_t offset, int64_t length);
    // Counts one take less; the last releases the range. A range not held, or a failed release:
    // UnlockFailed.
    Status unlock(File& file, int64_t offset, int64_t length);
    // Releases every range held on the file and forgets the counts.
    void releaseAll(File& file);

  private:
    struct Held {
        int count = 0;
        bool onFile = false;  // false: taken while the whole file was held, nothing to release
    };
    bool holdsWholeFile() const;

    FileAccess& clock_;
    std::map<std::pair<int64_t, int64_t>, Held> held_;
};

// Holds one lock of a table for a scope and releases it on every way out, a visitor's exception
// included.
class ScopedLock {
  public:
    ScopedLock(LockTable& table, File& file, int64_t offset, int64_t length)
        : table_(table),
          file_(file),
          offset_(offset),
          length_(length),
          status_(table.lock(file, offset, length)) {}
    ~ScopedLock() { release(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

    // How the take went.
    Status status() const { return status_; }
    // Releases the lock now; returns the release's status (the take's when it failed).
    Status release() {
        if (!holding()) return status_;
        released_ = true;
        return table_.unlock(file_, offset_, length_);
    }

  private:
    bool holding() const { return status_ == Status::Ok && !released_; }

    LockTable& table_;
    File& file_;
    int64_t offset_, length_;
    Status status_;
    bool released_ = false;
};

}  // namespace store
