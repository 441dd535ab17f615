#pragma once

// The one queue of the work that uses the store: the day view's refreshes, the entry edits and
// the range report. Everything runs on the window's thread, one piece at a time. A piece of work
// may let the window handle events (the range report between its days, a message box's own event
// loop), and a handler run there may ask for more work; that work waits and runs after the
// running piece, so no walk ever runs inside another and the store's one cursor is never shared.
//
// What is asked for while something runs waits in the order asked, except:
// - a Report asked while a Report waits runs once, in the waiting one's place;
// - a Refresh or ModeRefresh drops the Locates that wait after the last waiting Edit: the refresh
//   would cancel the change they locate, and no add that would save it comes before the refresh;
// - a Refresh asked while the last waiting day-page work (Reports aside) is a Refresh or
//   ModeRefresh is dropped: that one builds the same view;
// - a ModeRefresh asked while the last waiting day-page work is a Refresh or ModeRefresh takes its
//   place: it builds the same view and also shows the mode's word.
// Edits are never dropped or merged.

#include <functional>
#include <vector>

namespace ledger {

class WorkQueue {
  public:
    // What a piece of work is, as far as the rules above need to know.
    enum class Work {
        Refresh,      // rebuilds the day view: a date change, a day step
        ModeRefresh,  // the mode switch's refresh, which also shows the mode's word
        Locate,       // a double-click: locates the row's record, the next add saves into it
        Edit,         // an add, a save or a delete
        Report,       // the range report
    };

    // Runs `work` now when nothing runs, then what was asked for meanwhile until nothing waits.
    // Asked for while something runs, `work` waits, merges or is dropped by the rules above.
    void run(Work kind, std::function<void()> work);

    // Whether a piece of work is running (its own requests then wait).
    bool busy() const { return busy_; }

  private:
    void enqueue(Work kind, std::function<void()> work);

    struct Waiting {
        Work kind;
        std::function<void()> work;
    };
    bool busy_ = false;
    std::vector<Waiting> waiting_;
};

}  // namespace ledger
