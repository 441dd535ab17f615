#pragma once

// Keeps the ledger's walks apart. Every walk runs on the window's thread and never lets the
// window process events while it holds the store; a walk that does process events (the range
// report, between days) runs inside the guard, so that a refresh or a second report asked for
// meanwhile is queued and run once, after the running one has finished.

#include <functional>
#include <utility>
#include <vector>

namespace ledger {

class WalkGuard {
  public:
    enum Key { kDayView = 1, kReport = 2, kScan = 3, kImport = 4 };

    // Runs `work` now when no guarded walk is running; otherwise queues it under `key`, replacing
    // work queued earlier under the same key, to run after the running walk.
    void run(int key, std::function<void()> work) {
        if (busy_) {
            for (auto& q : queued_) {
                if (q.first == key) {
                    q.second = std::move(work);
                    return;
                }
            }
            queued_.emplace_back(key, std::move(work));
            return;
        }
        busy_ = true;
        work();
        while (!queued_.empty()) {
            auto next = std::move(queued_.front().second);
            queued_.erase(queued_.begin());
            next();
        }
        busy_ = false;
    }

    bool busy() const { return busy_; }

  private:
    bool busy_ = false;
    std::vector<std::pair<int, std::function<void()>>> queued_;
};

}  // namespace ledger
