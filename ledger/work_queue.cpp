#include "ledger/work_queue.h"

#include <algorithm>
#include <utility>

namespace ledger {

namespace {

bool isRefresh(WorkQueue::Work k) {
    return k == WorkQueue::Work::Refresh || k == WorkQueue::Work::ModeRefresh;
}

}  // namespace

void WorkQueue::run(Work kind, std::function<void()> work) {
    if (busy_) {
        enqueue(kind, std::move(work));
        return;
    }
    busy_ = true;
    work();
    while (!waiting_.empty()) {
        auto next = std::move(waiting_.front().work);
        waiting_.erase(waiting_.begin());
        next();
    }
    busy_ = false;
}

void WorkQueue::enqueue(Work kind, std::function<void()> work) {
    if (kind == Work::Report) {
        auto waiting = std::find_if(waiting_.begin(), waiting_.end(),
                                    [](const Waiting& w) { return w.kind == Work::Report; });
        if (waiting != waiting_.end()) {
            waiting->work = std::move(work);
            return;
        }
    } else if (isRefresh(kind)) {
        auto lastEdit = std::find_if(waiting_.rbegin(), waiting_.rend(),
                                     [](const Waiting& w) { return w.kind == Work::Edit; });
        auto afterEdits = lastEdit.base();
        waiting_.erase(std::remove_if(afterEdits, waiting_.end(),
                                      [](const Waiting& w) { return w.kind == Work::Locate; }),
                       waiting_.end());
        // The report shows no part of the day view, so a refresh merges across it.
        auto lastDayWork = std::find_if(waiting_.rbegin(), waiting_.rend(),
                                        [](const Waiting& w) { return w.kind != Work::Report; });
        if (lastDayWork != waiting_.rend() && isRefresh(lastDayWork->kind)) {
            if (kind == Work::ModeRefresh) *lastDayWork = {kind, std::move(work)};
            return;
        }
    }
    waiting_.push_back({kind, std::move(work)});
}

}  // namespace ledger
