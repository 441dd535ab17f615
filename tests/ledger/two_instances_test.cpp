// Two processes work on one Database.edb at once, as two running copies of the program would:
// each adds entries, walks the whole table the way a refresh does, and deletes some of its own
// entries by locating them and marking and purging. At the end every entry either side was told
// was added, and did not delete, is there exactly once, and neither side saw a lock failure.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ledger/entry.h"
#include "store/record_store.h"
#include "tests/ledger/ledger_process_helpers.h"

namespace {

using ledger_test::LedgerDir;
using ledger_test::LiveEntry;
using store::RecordStore;

constexpr int64_t kSideIds = 1000000;  // side s adds ids s * kSideIds + 1, + 2, ...

bool isLockFailure(int32_t code) { return code == -12 || code == -13 || code == -28; }

struct SideResult {
    std::vector<int64_t> kept;     // added and not deleted
    std::vector<int64_t> deleted;  // added, then deleted
    int adds = 0, walks = 0, deletes = 0, lockFailures = 0, otherFailures = 0;
    int relocated = 0;  // deletes whose entry had moved between the locate and the mark
    std::string firstFailure;
};

std::string serialize(const SideResult& r) {
    std::ostringstream o;
    o << r.adds << ' ' << r.walks << ' ' << r.deletes << ' ' << r.lockFailures << ' '
      << r.otherFailures << ' ' << r.relocated << ' ' << r.kept.size() << ' ' << r.deleted.size();
    for (int64_t id : r.kept) o << ' ' << id;
    for (int64_t id : r.deleted) o << ' ' << id;
    o << ' ' << (r.firstFailure.empty() ? "-" : r.firstFailure);
    return o.str();
}

SideResult parse(const std::string& s) {
    SideResult r;
    std::istringstream in(s);
    size_t kept = 0, deleted = 0;
    in >> r.adds >> r.walks >> r.deletes >> r.lockFailures >> r.otherFailures >> r.relocated >>
        kept >> deleted;
    r.kept.resize(kept);
    r.deleted.resize(deleted);
    for (int64_t& id : r.kept) in >> id;
    for (int64_t& id : r.deleted) in >> id;
    in >> r.firstFailure;
    return r;
}

// One side's work for `ms` milliseconds.
SideResult runSide(const std::string& path, int side, int ms, unsigned seed) {
    SideResult r;
    auto failed = [&](const char* what) {
        int32_t code = RecordStore::lastError();
        (isLockFailure(code) ? r.lockFailures : r.otherFailures)++;
        if (r.firstFailure.empty()) r.firstFailure = std::string(what) + ":" + std::to_string(code);
    };
    RecordStore db;
    if (!db.open(path)) {
        failed("open");
        return r;
    }
    std::mt19937 rng(seed);
    std::vector<int64_t> mine;
    int64_t next = int64_t{side} * kSideIds + 1;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        int roll = static_cast<int>(rng() % 100);
        if (roll < 45 || mine.empty()) {
            int64_t id = next++;
            if (ledger::appendEntry(db, ledger_test::entryOf(id, "n")) != 0) {
                mine.push_back(id);
                ++r.adds;
            } else {
                failed("append");
            }
        } else if (roll < 80) {
            // A refresh: the whole table in one batch read, then the count by cursor.
            std::map<int64_t, LiveEntry> live;
            if (!ledger_test::liveEntries(db, live)) {
                failed("walk");
                continue;
            }
            for (const auto& [id, e] : live) {
                if (e.copies != 1) failed("duplicate");
            }
            // The count is read apart from the walk, so the other side may have purged in
            // between: only a failed read of it is a fault.
            db.goToFirst();
            db.recordCount();
            if (RecordStore::lastError() != 0) failed("count");
            ++r.walks;
        } else {
            size_t pick = rng() % mine.size();
            int64_t id = mine[pick];
            // Locate, then mark the record if it still holds the entry: the other side may
            // have purged in between and moved it down.
            bool marked = false;
            for (int attempt = 0; attempt < 20 && !marked; ++attempt) {
                std::map<int64_t, LiveEntry> live;
                if (!ledger_test::liveEntries(db, live)) {
                    failed("locate");
                    break;
                }
                if (live.count(id) == 0) {
                    failed("lost");
                    break;
                }
                if (!db.goTo(live[id].index + 1)) {
                    failed("goTo");
                    break;
                }
                if (!db.markDeletedIf(live[id].serial)) {
                    if (RecordStore::lastError() == -60) {
                        ++r.relocated;
                        continue;
                    }
                    failed("mark");
                    break;
                }
                marked = true;
            }
            if (!marked) continue;
            if (!db.purgeDeleted()) failed("purge");
            mine.erase(mine.begin() + static_cast<std::ptrdiff_t>(pick));
            r.deleted.push_back(id);
            ++r.deletes;
        }
    }
    r.kept = mine;
    return r;
}

TEST(TwoInstances, AddWalkAndDeleteAtOnceLoseAndDoubleNothing) {
    LedgerDir dir;
    const int kMs = 3000;
    pid_t pids[2];
    int fds[2][2];
    for (int side = 0; side < 2; ++side) {
        ASSERT_EQ(::pipe(fds[side]), 0);
        pids[side] = ::fork();
        ASSERT_GE(pids[side], 0);
        if (pids[side] == 0) {
            ::close(fds[side][0]);
            std::string out = serialize(runSide(dir.path(), side + 1, kMs, 77u + side));
            ssize_t n = ::write(fds[side][1], out.data(), out.size());
            ::_exit(n == static_cast<ssize_t>(out.size()) ? 0 : 1);
        }
        ::close(fds[side][1]);
    }
    SideResult results[2];
    for (int side = 0; side < 2; ++side) {
        std::string text;
        char buf[65536];
        for (ssize_t n; (n = ::read(fds[side][0], buf, sizeof buf)) > 0;)
            text.append(buf, static_cast<size_t>(n));
        ::close(fds[side][0]);
        int status = 0;
        ASSERT_EQ(::waitpid(pids[side], &status, 0), pids[side]);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        results[side] = parse(text);
    }

    RecordStore db;
    ASSERT_TRUE(db.open(dir.path()));
    ASSERT_TRUE(ledger_test::lengthMatchesCount(dir.bytes(), true));
    std::map<int64_t, LiveEntry> live;
    ASSERT_TRUE(ledger_test::liveEntries(db, live));
    std::set<int64_t> expected;
    for (int side = 0; side < 2; ++side) {
        const SideResult& r = results[side];
        SCOPED_TRACE("side " + std::to_string(side + 1));
        EXPECT_EQ(r.lockFailures, 0) << r.firstFailure;
        EXPECT_EQ(r.otherFailures, 0) << r.firstFailure;
        EXPECT_GT(r.adds, 50);
        EXPECT_GT(r.walks, 50);
        EXPECT_GT(r.deletes, 20);
        std::printf("side %d: %d adds, %d walks, %d deletes (%d relocated), %zu kept\n", side + 1,
                    r.adds, r.walks, r.deletes, r.relocated, r.kept.size());
        expected.insert(r.kept.begin(), r.kept.end());
        for (int64_t id : r.deleted) EXPECT_EQ(live.count(id), 0u) << "deleted entry " << id;
    }
    for (int64_t id : expected) {
        ASSERT_EQ(live.count(id), 1u) << "entry " << id << " is lost";
        EXPECT_EQ(live[id].copies, 1) << "entry " << id << " is there twice";
    }
    EXPECT_EQ(live.size(), expected.size());
}

}  // namespace
