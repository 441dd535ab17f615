// Other processes on the same file: a child killed at random moments while it appends, marks and
// purges; and two processes appending at once.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "store/record_store.h"
#include "test_files.h"

using namespace store;
using namespace store_test;

namespace {

// Content that follows from the serial, so a torn or mixed-up record shows.
std::vector<StoreValue> entryFor(int32_t serial, bool deletable) {
    return {StoreValue::ofBool(deletable),
            StoreValue::ofInt(serial),
            StoreValue::ofInt(serial % 12 + 1),
            StoreValue::ofInt(serial % 28 + 1),
            StoreValue::ofText("12\xca\xb1"
                               "34\xb7\xd6"),
            StoreValue::ofText("item " + std::to_string(serial) + std::string(serial % 190, '-')),
            StoreValue::ofFloat(0.25f * static_cast<float>(serial)),
            StoreValue::ofText(std::string(serial % 50, 'n')),
            StoreValue::ofText("c" + std::to_string(serial))};
}

bool intact(const RecordView& r) {
    auto want = entryFor(r.serial(), r.integer(1) != 0);
    for (int p = 1; p <= 9; ++p) {
        if (!(r.field(p) == want[static_cast<size_t>(p - 1)])) return false;
    }
    return true;
}

// The child's loop: append a deletable record, mark a random deletable one, purge.
[[noreturn]] void churn(const std::string& path, unsigned seed) {
    RecordStore db;
    if (!db.open(path)) _exit(2);
    std::minstd_rand rng(seed);
    int fields[] = {1};
    for (;;) {
        // The serial the append will give, so the record's content can follow from it.
        int32_t next = get32(readBytes(path), 20);
        if (!db.appendRecord(entryFor(next, true))) _exit(3);
        std::vector<int32_t> deletable;
        db.readRecords(fields, [&](const RecordView& r) {
            if (r.integer(1) != 0 && !r.isDeleted()) deletable.push_back(r.index());
            return true;
        });
        if (!deletable.empty()) {
            db.goTo(deletable[rng() % deletable.size()] + 1);
            if (!db.markDeleted()) _exit(4);
        }
        if (!db.purgeDeleted()) _exit(5);
    }
}

TEST(Processes, KilledWhileAppendingAndPurgingLosesNothing) {
    ScratchDir dir;
    std::string path = dir.path("kill.edb");
    writeBytes(path, databaseHeader(ledgerFields(), kLedgerLength, 0, 49));
    std::set<int32_t> base;
    {
        RecordStore db;
        ASSERT_TRUE(db.open(path));
        for (int i = 0; i < 1200; ++i) {
            int32_t serial = 49 + i;
            ASSERT_TRUE(db.appendRecord(entryFor(serial, i % 2 == 1)));
            if (i % 2 == 0) base.insert(serial);
        }
    }
    std::mt19937 rng(12345);
    int killedInside = 0;
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) churn(path, static_cast<unsigned>(round));
        std::this_thread::sleep_for(std::chrono::microseconds(3000 + rng() % 40000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "child ended by itself: " << WEXITSTATUS(status);
        ++killedInside;

        RecordStore db;
        ASSERT_TRUE(db.open(path)) << RecordStore::lastError();
        int32_t count = db.recordCount();
        EXPECT_EQ(readBytes(path).size(), kLedgerDataStart + size_t(count) * kLedgerLength);
        std::set<int32_t> live;
        int32_t last = 0;
        int fields[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
        ASSERT_TRUE(db.readRecords(fields, [&](const RecordView& r) {
            if (r.isDeleted()) return true;
            EXPECT_TRUE(intact(r)) << "record " << r.serial() << " damaged";
            EXPECT_TRUE(live.insert(r.serial()).second) << "serial " << r.serial() << " twice";
            EXPECT_GT(r.serial(), last) << "order";
            last = r.serial();
            return true;
        }));
        for (int32_t s : base) EXPECT_TRUE(live.count(s)) << "lost " << s;
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_EQ(killedInside, 25);
}

TEST(Processes, TwoAppendingAtOnceCountEveryAppendOnce) {
    ScratchDir dir;
    std::string path = dir.path("two.edb");
    writeBytes(path, databaseHeader(ledgerFields(), kLedgerLength, 0, 49));
    const int perChild = 300;
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            close(gate[1]);
            char b;
            (void)!read(gate[0], &b, 1);  // both start when the gate closes
            RecordStore db;
            if (!db.open(path)) _exit(2);
            for (int i = 0; i < perChild; ++i) {
                if (!db.appendRecord(
                        {StoreValue::ofBool(true), StoreValue::ofInt(c), StoreValue::ofInt(i)})) {
                    _exit(10 + (RecordStore::lastError() & 0x3F));
                }
                db.recordCount();  // a count lock between appends, as a walk would take
            }
            _exit(0);
        }
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << WEXITSTATUS(status);
    }
    RecordStore db;
    ASSERT_TRUE(db.open(path));
    EXPECT_EQ(db.recordCount(), 2 * perChild);
    int32_t last = 0;
    int nextOf[2] = {0, 0};
    int fields[] = {2, 3};
    ASSERT_TRUE(db.readRecords(fields, [&](const RecordView& r) {
        EXPECT_GT(r.serial(), last);
        last = r.serial();
        int c = static_cast<int>(r.integer(2));
        EXPECT_TRUE(c == 0 || c == 1);
        if (c == 0 || c == 1) {
            EXPECT_EQ(r.integer(3), nextOf[c]++);
        }
        return true;
    }));
    EXPECT_EQ(nextOf[0], perChild);
    EXPECT_EQ(nextOf[1], perChild);
    EXPECT_EQ(last, 49 + 2 * perChild - 1);
}

}  // namespace
