// The program in a hostile place: a program directory that cannot be written (at first start,
// and with a database already there) and a disk that fills up during an add. Each case runs the
// window in a child process that has its own mount namespace, where the directory is mounted
// read-only or as a tiny tmpfs (as root, permission bits would stop nothing). The child runs this
// same test program again, limited to the matching inner test, so that the window starts in a
// fresh process; the inner test leaves a mark outside the mount when it has run to its end.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ledger/day_page.h"
#include "ledger/ledger_schema.h"
#include "ledger/session.h"
#include "store/record_store.h"
#include "tests/private_mount.h"
#include "tests/ui/qt_app.h"
#include "tests/ui/sample_ledger.h"
#include "ui/day_page_widget.h"
#include "ui/main_window.h"

namespace ui {
namespace {

constexpr char kDirVariable[] = "TAMVELO_HOSTILE_DIR";
constexpr char kMarkVariable[] = "TAMVELO_HOSTILE_MARK";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the inner test `name` in a child whose `dir` is mounted as `kind`; skips when mounts are
// not permitted. `dir` may be prepared beforehand (a read-only bind keeps its contents).
void runInner(const std::string& name, const std::string& dir, test_mount::Kind kind) {
    std::string mark = dir + ".done";
    std::filesystem::remove(mark);
    int code = test_mount::runWithMount(dir, kind, 96, [&] {
        ::setenv(kDirVariable, dir.c_str(), 1);
        ::setenv(kMarkVariable, mark.c_str(), 1);
        std::string filter = "--gtest_filter=HostileEnvironmentInner." + name;
        char* argv[] = {const_cast<char*>("ui_tests"), filter.data(), nullptr};
        ::execv("/proc/self/exe", argv);
        return 78;
    });
    bool ran = std::filesystem::exists(mark);
    std::filesystem::remove(mark);
    if (code == test_mount::kNoMount) GTEST_SKIP() << "no private mount namespace";
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(ran) << "the inner test did not run to its end";
}

class HostileEnvironment : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "hostile_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string dir;
};

TEST_F(HostileEnvironment, ReadOnlyDirectoryAtFirstStart) {
    runInner("ReadOnlyDirectoryAtFirstStart", dir, test_mount::Kind::ReadOnly);
}

TEST_F(HostileEnvironment, ReadOnlyDirectoryWithADatabase) {
    // A database with one entry of today, as an earlier run on a writable disk left it.
    store::RecordStore db;
    { std::ofstream(dir + "/Database.edb", std::ios::binary) << ledger::emptyLedgerDatabase(); }
    ASSERT_TRUE(db.open(dir + "/Database.edb"));
    QDate today = QDate::currentDate();
    ASSERT_TRUE(sample::append(
        db, {true, today.year(), today.month(), today.day(), "08时05分", "old", 5, "", ""}));
    db.close();
    runInner("ReadOnlyDirectoryWithADatabase", dir, test_mount::Kind::ReadOnly);
}

TEST_F(HostileEnvironment, DiskFillsDuringAnAdd) {
    runInner("DiskFillsDuringAnAdd", dir, test_mount::Kind::SmallDisk);
}

// ---- the inner tests, run only by the outer ones ----

class HostileEnvironmentInner : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* d = std::getenv(kDirVariable);
        if (d == nullptr) GTEST_SKIP() << "run by the HostileEnvironment tests";
        dir = QString::fromUtf8(d);
        qtApp();
        hooks.messageBox = [this](const MessageBoxRequest& r) {
            messages.push_back(r.text);
            return true;
        };
        hooks.clock = [] { return QDateTime::currentDateTime(); };
        hooks.quit = [] {};
    }
    void TearDown() override {
        if (dir.isEmpty() || HasFailure()) return;
        std::ofstream(std::getenv(kMarkVariable)) << "done\n";
    }

    // Types an entry into the day page's inputs and presses Enter in the note input.
    void typeEntry(MainWindow& w, const QString& item, const QString& amount) {
        w.findChild<QComboBox*>(QStringLiteral("组合框1"))->setEditText(item);
        w.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(amount);
        w.findChild<DayPageWidget*>()->onNoteKey(EntryKey::Enter);
    }
    std::string ledgerFile() const { return (dir + "/Database.edb").toStdString(); }
    std::string runDirectory() const { return QFile::encodeName(dir).toStdString(); }

    QString dir;
    WindowHooks hooks;
    std::vector<QString> messages;
};

TEST_F(HostileEnvironmentInner, ReadOnlyDirectoryAtFirstStart) {
    ledger::Session session(runDirectory());
    MainWindow w(session, hooks);
    // The empty database could not be written: no file, no open store, an empty day, no box.
    EXPECT_FALSE(QFileInfo::exists(dir + "/Database.edb"));
    EXPECT_FALSE(session.recordStore().isOpen());
    EXPECT_EQ(session.dayPage().dayList().rowCount(), 0);
    EXPECT_TRUE(messages.empty());
    typeEntry(w, QStringLiteral("午饭"), QStringLiteral("12.5"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], QStringLiteral("添加失败!"));
    EXPECT_EQ(session.dayPage().dayList().rowCount(), 0);
    // A category cannot be written either; nothing is reported and nothing appears on disk.
    w.findChild<QComboBox*>(QStringLiteral("组合框4"))->setEditText(QStringLiteral("工资收入"));
    w.findChild<QPushButton*>(QStringLiteral("按钮1"))->click();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(dir + "/pz.ini"));
    EXPECT_TRUE(
        QDir(dir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
}

TEST_F(HostileEnvironmentInner, ReadOnlyDirectoryWithADatabase) {
    const std::string before = readAll(ledgerFile());
    {
        ledger::Session session(runDirectory());
        MainWindow w(session, hooks);
        // Opened read-only: today's entry shows; an add fails and changes nothing.
        EXPECT_TRUE(session.recordStore().isOpen());
        EXPECT_TRUE(messages.empty());
        QCoreApplication::processEvents();  // the date-changed refresh, now for today
        EXPECT_EQ(session.dayPage().dayList().rowCount(), 1);
        typeEntry(w, QStringLiteral("晚饭"), QStringLiteral("20"));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], QStringLiteral("添加失败!"));
        EXPECT_EQ(session.dayPage().dayList().rowCount(), 1);
    }
    EXPECT_EQ(readAll(ledgerFile()), before);
}

TEST_F(HostileEnvironmentInner, DiskFillsDuringAnAdd) {
    int added = 0;
    {
        ledger::Session session(runDirectory());
        MainWindow w(session, hooks);
        ASSERT_TRUE(session.recordStore().isOpen());  // the first start's database fitted
        QCoreApplication::processEvents();
        std::ofstream filler((dir + "/filler").toStdString(), std::ios::binary);
        const std::string block(4096, '\0');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
               filler.flush()) {
        }
        for (; added < 100 && messages.empty(); ++added) {
            typeEntry(w, QStringLiteral("e%1").arg(added), QStringLiteral("1"));
        }
        --added;  // the last one failed
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], QStringLiteral("添加失败!"));
        EXPECT_EQ(session.dayPage().dayList().rowCount(), added);
        EXPECT_EQ(session.recordStore().recordCount(), added);
    }
    // Reopened, the file holds exactly the entries that were added, and nothing after them.
    store::RecordStore db;
    ASSERT_TRUE(db.open(ledgerFile()));
    EXPECT_EQ(db.recordCount(), added);
    EXPECT_EQ(static_cast<int64_t>(readAll(ledgerFile()).size()),
              116 + 72 * ledger::kFieldCount + int64_t{added} * ledger::kLedgerRecordLength);
}

}  // namespace
}  // namespace ui
