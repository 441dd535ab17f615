// The session's startup: the first-start write, the open, and the pages' first fill.

#include "ledger/session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ledger/ledger_schema.h"
#include "ledger/settings_file.h"
#include "tests/ledger/day_page_fixture.h"

namespace ledger {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "session_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<std::string> filesInDir() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
        return names;
    }

    fs::path dir;
    testing::FakeWindow window;
};

// What startup finds beside the program decides what it does to the database: only a missing
// file is written, and a file that is there keeps every byte whether or not it opens.
TEST_F(SessionTest, OnlyAMissingDatabaseIsWrittenAndAnyOtherIsLeftAsItWas) {
    struct Case {
        const char* what;
        bool present;
        std::string bytes;  // of the file that is there
        bool opens;
    };
    const std::string empty = emptyLedgerDatabase();
    const Case cases[] = {
        {"no file", false, "", true},
        {"the empty ledger", true, empty, true},
        {"not a database", true, "WEDB but not really a ledger database file", false},
        {"an empty file", true, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path ledger = dir / "Database.edb";
        fs::remove(ledger);
        if (c.present) std::ofstream(ledger, std::ios::binary) << c.bytes;
        int32_t failure = 0;
        {
            Session session(dir.string());
            EXPECT_EQ(session.ledgerPath(), ledger.string());
            failure = session.openLedger();
            EXPECT_EQ(session.recordStore().isOpen(), c.opens);
        }
        EXPECT_EQ(readAll(ledger), c.present ? c.bytes : empty);
        if (c.opens) {
            EXPECT_EQ(failure, 0);
        } else {
            EXPECT_LT(failure, 0);  // the store's own code, for the window to name
        }
        // No temporary file is left, and the settings file waits for the first category.
        EXPECT_EQ(filesInDir(), std::vector<std::string>{"Database.edb"});
    }
    struct stat st {};
    fs::remove(dir / "Database.edb");
    { Session(dir.string()).openLedger(); }
    ASSERT_EQ(::stat((dir / "Database.edb").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// A relative run directory is taken from where the program was started, and both files lie in
// it; the pages' first fill reads the categories from its settings file.
TEST_F(SessionTest, BothFilesLieInTheRunDirectoryAndTheFirstFillReadsTheSettings) {
    const fs::path before = fs::current_path();
    fs::current_path(dir.parent_path());
    Session session(dir.filename().string());
    fs::current_path(before);
    EXPECT_EQ(session.runDirectory(), dir.string());
    EXPECT_EQ(session.settingsPath(), (dir / "pz.ini").string());
    EXPECT_EQ(session.categories().settingsPath, session.settingsPath());
    ASSERT_EQ(session.filterList().size(), static_cast<int>(kFixedFilterItems.size()));
    EXPECT_EQ(session.filterList().selected(), 0);

    const std::string wages = testing::kWages;
    writeProfileString(*session.categories().files, session.settingsPath(), std::string(kCategorySection), "1", wages);
    writeProfileString(*session.categories().files, session.settingsPath(), std::string(kCountSection), std::string(kCountKey),
                       "1");
    session.attachWindow(window);
    ASSERT_EQ(session.openLedger(), 0);
    session.dayPage().setLedgerMode(LedgerMode::Expense);
    session.fillPages();
    EXPECT_EQ(session.dayPage().ledgerMode(), LedgerMode::Income);
    EXPECT_EQ(session.categories().categoryCount, 1);
    EXPECT_EQ(session.filterList().items().back(), wages);
    EXPECT_EQ(session.categoryBoxList().items(), std::vector<std::string>{wages});
    EXPECT_EQ(session.dayPage().entryCategoryChoices().selectedText(), wages);
    session.detachWindow();
}

}  // namespace
}  // namespace ledger
