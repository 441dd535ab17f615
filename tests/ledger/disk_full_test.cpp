// A disk that fills up during an add: the add shows "添加失败!", adds no row, and leaves a file
// whose count names exactly its records; once there is room again, adding works.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "ledger/day_page.h"
#include "ledger/day_texts.h"
#include "ledger/gbk.h"
#include "tests/ledger/day_page_fixture.h"
#include "tests/ledger/ledger_process_helpers.h"
#include "tests/private_mount.h"

namespace ledger::testing {
namespace {

// Every write of an add, failed with a full disk, and the disk full from then on.
TEST_F(DayPageTest, AddOnAFullDiskShowsAddFailedAtEveryWrite) {
    page->refreshDayView();
    add("a", "1");
    ASSERT_EQ(page->dayList().rowCount(), 1);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE("write " + std::to_string(k) + " of the add fails");
        testsupport::FaultPlan plan;
        plan.failWriteAt = k;
        plan.writeError = store::Status::DiskFull;
        plan.persist = true;
        files->setPlan(plan);
        window.messages.clear();
        add("full", "2");
        files->setPlan({});
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].text, texts::kAddFailed);
        EXPECT_EQ(page->dayList().rowCount(), 1);
        EXPECT_EQ(store.recordCount(), 1);
        store.close();
        ASSERT_TRUE(store.open(ledgerPath));
        EXPECT_TRUE(ledger_test::lengthMatchesCount(
            [&] {
                std::ifstream in(ledgerPath, std::ios::binary);
                return std::string(std::istreambuf_iterator<char>(in), {});
            }(),
            true));
        EXPECT_EQ(store.recordCount(), 1);
    }
    window.messages.clear();
    add("room again", "3");
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(page->dayList().rowCount(), 2);
}

// A failed add, save or delete keeps its defined message (none for a delete) and names why in
// status bar part 4, until the next action sets its own text there.
TEST_F(DayPageTest, AFailedWriteNamesWhyInStatusPart4) {
    page->refreshDayView();
    add("a", "1");
    ASSERT_EQ(page->dayList().rowCount(), 1);
    struct Reason {
        const char* what;
        testsupport::FaultPlan plan;
        const char* text;  // UTF-8
    };
    auto failWrites = [](store::Status e) {
        testsupport::FaultPlan p;
        p.failWriteAt = 0;
        p.writeError = e;
        p.persist = true;
        return p;
    };
    testsupport::FaultPlan flush;
    flush.failSyncAt = 0;
    flush.syncError = store::Status::HardwareFault;
    const Reason reasons[] = {
        {"disk full", failWrites(store::Status::DiskFull), "磁盘已满"},
        {"read-only", failWrites(store::Status::AccessDenied), "文件只读"},
        {"locked", failWrites(store::Status::LockViolation), "文件被另一个程序锁定"},
        {"a flush that fails", flush, "磁盘读写故障"},
    };
    struct Action {
        const char* verb;  // UTF-8
        std::function<void()> run;
        const char* message;
    };
    const Action actions[] = {
        {"添加", [&] { add("full", "2"); }, texts::kAddFailed},
        {"修改",
         [&] {
             doubleClick(0);
             add("changed", "3");
         },
         texts::kSaveFailed},
        {"删除", [&] { deleteRow(0); }, nullptr},
    };
    for (const Action& a : actions) {
        for (const Reason& r : reasons) {
            SCOPED_TRACE(std::string(a.verb) + " / " + r.what);
            window.messages.clear();
            files->setPlan(r.plan);
            // The double-click's locate reads only; the plan fails the writes after it.
            a.run();
            files->setPlan({});
            EXPECT_EQ(gbkToUtf8(page->progressText()),
                      std::string("  ") + a.verb + "失败：" + r.text);
            if (a.message) {
                ASSERT_EQ(window.messages.size(), 1u);
                EXPECT_EQ(window.messages[0].text, a.message);
            } else {
                EXPECT_TRUE(window.messages.empty());
            }
            EXPECT_EQ(page->dayList().rowCount(), 1);
            EXPECT_EQ(store.recordCount(), 1);
            page->refreshDayView();
            EXPECT_EQ(gbkToUtf8(page->progressText()).find("失败"), std::string::npos);
        }
    }
}

#define DISK_CHECK(cond, code)                                              \
    do {                                                                    \
        if (!(cond)) {                                                      \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
            return code;                                                    \
        }                                                                   \
    } while (0)

// The same on a real disk: a 64 KB tmpfs, filled up by another file.
int addUntilTheDiskIsFull(const std::string& dir) {
    const std::string path = dir + "/Database.edb";
    {
        std::ofstream out(path, std::ios::binary);
        out << emptyLedgerDatabase();
    }
    store::RecordStore db;
    DISK_CHECK(db.open(path), 2);
    FakeWindow window;
    WorkQueue queue;
    Categories categories{dir + "/pz.ini", 0};
    DayPage page(db, window, queue, categories);
    page.setLedgerMode(LedgerMode::Income);
    page.refreshDayView();

    int filler = ::open((dir + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    DISK_CHECK(filler >= 0, 3);
    char block[4096] = {};
    while (::write(filler, block, sizeof block) > 0) {
    }
    while (::write(filler, block, 1) > 0) {
    }
    int added = 0;
    for (; added < 100 && window.messages.empty(); ++added) {
        page.entryInputs().item = "e" + std::to_string(added);
        page.entryInputs().amount = "1";
        page.addOrSave();
    }
    DISK_CHECK(window.messages.size() == 1, 4);
    DISK_CHECK(window.messages[0].text == texts::kAddFailed, 5);
    --added;  // the last one failed
    DISK_CHECK(page.dayList().rowCount() == added, 6);
    DISK_CHECK(db.recordCount() == added, 7);

    db.close();
    DISK_CHECK(db.open(path), 8);  // the open only ever shortens the file: no room needed
    std::ifstream in(path, std::ios::binary);
    DISK_CHECK(
        ledger_test::lengthMatchesCount(std::string(std::istreambuf_iterator<char>(in), {}), true),
        9);
    DISK_CHECK(db.recordCount() == added, 10);

    ::close(filler);
    std::filesystem::remove(dir + "/filler");
    window.messages.clear();
    page.refreshDayView();
    page.entryInputs().item = "after";
    page.entryInputs().amount = "2";
    page.addOrSave();
    DISK_CHECK(window.messages.empty(), 11);
    DISK_CHECK(page.dayList().rowCount() == added + 1, 12);
    std::printf("%d adds fitted before the disk was full\n", added);
    return 0;
}

TEST(DiskFull, AddOnARealFullDiskShowsAddFailedAndLeavesTheFileConsistent) {
    std::string pattern = (std::filesystem::temp_directory_path() / "disk_full_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    int code = test_mount::runWithMount(pattern, test_mount::Kind::SmallDisk, 64,
                                        [&] { return addUntilTheDiskIsFull(pattern); });
    std::filesystem::remove_all(pattern);
    if (code == test_mount::kNoMount) GTEST_SKIP() << "no private mount namespace for a small disk";
    EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace ledger::testing
