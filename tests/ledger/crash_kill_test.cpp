// A child process adds, rewrites and deletes ledger entries in a loop and reports each operation
// on a pipe before it starts and again when it is done; the parent kills it with SIGKILL at a
// random moment, reopens the database and checks it against what was acknowledged: no
// acknowledged entry lost, none duplicated, the count naming exactly the records in the file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ledger/field_positions.h"
#include "ledger/ledger_schema.h"
#include "store/record_store.h"
#include "tests/ledger/ledger_process_helpers.h"

namespace {

using ledger_test::LedgerDir;
using ledger_test::LiveEntry;
using store::RecordStore;
using store::StoreValue;

void say(int fd, const std::string& line) {
    // One write of less than PIPE_BUF bytes: the parent sees a line whole or not at all.
    if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) ::_exit(3);
}

// The child's loop. `notes` is the parent's model at the fork: every live id and its note.
[[noreturn]] void runChild(const std::string& path, int fd, std::map<int64_t, std::string> notes,
                           int64_t nextId, unsigned seed) {
    RecordStore db;
    if (!db.open(path)) ::_exit(10);
    std::mt19937 rng(seed);
    for (int version = 1;; ++version) {
        std::vector<int64_t> ids;
        for (const auto& [id, note] : notes) ids.push_back(id);
        int roll = static_cast<int>(rng() % 100);
        int addShare = ids.size() < 40 ? 70 : ids.size() > 120 ? 30 : 50;
        if (ids.empty() || roll < addShare) {
            int64_t id = nextId++;
            say(fd, "B A " + std::to_string(id) + "\n");
            if (!db.appendRecord(ledger_test::entryValues(id, "n0"))) ::_exit(11);
            notes[id] = "n0";
            say(fd, "E\n");
            continue;
        }
        int64_t id = ids[rng() % ids.size()];
        bool rewrite = roll < addShare + 25;
        std::string note = "n" + std::to_string(version);
        say(fd, rewrite ? "B W " + std::to_string(id) + " " + note + "\n"
                        : "B D " + std::to_string(id) + "\n");
        std::map<int64_t, LiveEntry> live;
        if (!ledger_test::liveEntries(db, live) || live.count(id) == 0) ::_exit(12);
        if (!db.goTo(live[id].index + 1) || db.currentSerial() != live[id].serial) ::_exit(13);
        if (rewrite) {
            if (!db.writeField(ledger::kFieldNote, StoreValue::ofText(note))) ::_exit(14);
            notes[id] = note;
        } else {
            if (!db.markDeleted() || !db.purgeDeleted()) ::_exit(15);
            notes.erase(id);
        }
        say(fd, "E\n");
    }
}

struct Pending {
    char op = 0;  // 'A', 'W', 'D', or 0 when nothing was in flight
    int64_t id = 0;
    std::string note;
};

// Applies the acknowledged operations of the child's report to the model; returns the one that
// was begun and not acknowledged.
Pending applyReport(const std::string& report, std::map<int64_t, std::string>& model,
                    int64_t& nextId) {
    Pending p;
    std::istringstream in(report);
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof()) break;  // a line without its end was never written whole
        std::istringstream w(line);
        std::string tag;
        w >> tag;
        if (tag == "B") {
            p = {};
            w >> p.op >> p.id >> p.note;
        } else if (tag == "E") {
            if (p.op == 'A') {
                model[p.id] = "n0";
                nextId = p.id + 1;
            } else if (p.op == 'W') {
                model[p.id] = p.note;
            } else if (p.op == 'D') {
                model.erase(p.id);
            }
            p = {};
        }
    }
    if (p.op == 'A') nextId = p.id + 1;
    return p;
}

TEST(CrashKill, KilledAtRandomMomentsLosesNoAcknowledgedEntry) {
    LedgerDir dir;
    std::map<int64_t, std::string> model;  // id -> note, as acknowledged
    int64_t nextId = 1;
    std::mt19937 rng(20261211);
    int inFlight = 0, operations = 0;
    const int kKills = 200;
    for (int round = 0; round < kKills; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        unsigned seed = static_cast<unsigned>(rng());
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            runChild(dir.path(), fds[1], model, nextId, seed);
        }
        ::close(fds[1]);
        // Mostly a few milliseconds, now and then at once (inside the open and its repair).
        int delayUs =
            rng() % 8 == 0 ? static_cast<int>(rng() % 500) : static_cast<int>(rng() % 40000);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status))
            << "the child stopped by itself, exit code " << WEXITSTATUS(status);
        std::string report;
        char buf[4096];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
            report.append(buf, static_cast<size_t>(n));
        ::close(fds[0]);
        operations += static_cast<int>(std::count(report.begin(), report.end(), 'E'));
        Pending p = applyReport(report, model, nextId);

        // The count never names a record the file does not hold.
        ASSERT_TRUE(ledger_test::lengthMatchesCount(dir.bytes(), false));
        RecordStore db;
        ASSERT_TRUE(db.open(dir.path())) << RecordStore::lastError();
        ASSERT_TRUE(ledger_test::lengthMatchesCount(dir.bytes(), true));
        std::map<int64_t, LiveEntry> live;
        ASSERT_TRUE(ledger_test::liveEntries(db, live));
        for (const auto& [id, e] : live) {
            ASSERT_EQ(e.copies, 1) << "entry " << id << " is there twice";
            bool known = model.count(id) != 0 || (p.op == 'A' && p.id == id);
            ASSERT_TRUE(known) << "entry " << id << " was never added";
        }
        for (const auto& [id, note] : model) {
            bool deleting = p.op == 'D' && p.id == id;
            ASSERT_TRUE(live.count(id) != 0 || deleting)
                << "acknowledged entry " << id << " is lost";
            if (live.count(id) == 0) continue;
            bool rewriting = p.op == 'W' && p.id == id;
            EXPECT_TRUE(live[id].note == note || (rewriting && live[id].note == p.note))
                << "entry " << id << " has note " << live[id].note << ", acknowledged " << note;
        }
        // The operation in flight either happened or did not; the model follows the file.
        if (p.op != 0) {
            ++inFlight;
            if (live.count(p.id) != 0) {
                model[p.id] = live[p.id].note;
            } else {
                model.erase(p.id);
            }
        }
    }
    RecordProperty("operations", operations);
    RecordProperty("killed_in_flight", inFlight);
    std::printf("%d operations acknowledged over %d kills, %d kills inside an operation\n",
                operations, kKills, inFlight);
    EXPECT_GT(inFlight, kKills / 4);
}

}  // namespace
