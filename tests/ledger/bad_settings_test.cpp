// Hostile settings files and texts: each gives a clear result, reading changes nothing on disk,
// and invalid GBK shows as U+FFFD instead of breaking the conversion.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ledger/categories.h"
#include "ledger/gbk.h"
#include "ledger/settings_file.h"
#include "ledger/text_list.h"

namespace {

using namespace ledger;

const std::string kCount(kCountSection);
const std::string kClass(kCategorySection);
constexpr char kWages[] = "\xb9\xa4\xd7\xca\xca\xd5\xc8\xeb";  // 工资收入
constexpr char kGe[] = "\xb8\xf6";                             // 个
constexpr char kNulFile[] = "[\xd7\xdc]\0\n1=2\n[\xc0\xe0]\n1=a\0b\n";

class BadSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "bad_ini_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        path = (dir / "pz.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void write(const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string bytes() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // What startup lists: the count and the category box's items.
    std::vector<std::string> load(int32_t& count) {
        Categories c{path, 0};
        TextList filter, box;
        loadCategoryLists(c, filter, box);
        count = c.categoryCount;
        EXPECT_EQ(filter.items(), box.items());
        return box.items();
    }

    std::filesystem::path dir;
    std::string path;
};

TEST_F(BadSettings, EachFileGivesItsCountAndListsAndIsNotChangedByReading) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
    const std::string longValue(20 << 10, 'x');  // a 20 KB line, twice what a value holds
    const std::string overLimit(kProfileFileMax + 1, 'x');
    struct Case {
        const char* what;
        std::string bytes;
        int32_t count;
        std::vector<std::string> listed;
    } cases[] = {
        {"binary garbage", garbage, 0, {}},
        {"NUL bytes around the keys",
         std::string(kNulFile, sizeof kNulFile - 1),
         2,
         {std::string("a\0b", 3), ""}},
        {"a 20 KB category line",
         "[\xc0\xe0]\r\n1=" + longValue + "\r\n2=" + kWages + "\r\n[\xd7\xdc]\r\n1=2\r\n",
         2,
         {std::string(kProfileValueMax, 'x'), kWages}},
        {"a 20 KB line without an end, before the sections",
         longValue + "\n[\xd7\xdc]\n1=1\n[\xc0\xe0]\n1=" + kWages,
         1,
         {kWages}},
        // A file past the limit is not read at all, however its categories follow.
        {"one byte over 1 MB",
         "[\xd7\xdc]\n1=1\n[\xc0\xe0]\n1=" + std::string(kWages) + "\n;" + overLimit,
         0,
         {}},
        {"no sections at all", std::string("1=3\r\n2=") + kWages + "\r\n", 0, {}},
        {"a count of 3个",
         std::string("[\xd7\xdc]\n1=3") + kGe + "\n[\xc0\xe0]\n1=a\n3=c\n",
         3,
         {"a", "", "c"}},
        {"a count of -5", "[\xd7\xdc]\n1=-5\n[\xc0\xe0]\n1=a\n", -5, {}},
        {"a count beyond 32 bits wraps",
         "[\xd7\xdc]\n1=4294967298\n[\xc0\xe0]\n1=a\n",
         2,
         {"a", ""}},
        {"a lone CR as line end", "[\xd7\xdc]\r1=1\r[\xc0\xe0]\r1=a\r", 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write(c.bytes);
        EXPECT_EQ(readCategoryCount(Categories{path}), c.count);
        int32_t count = 0;
        EXPECT_EQ(load(count), c.listed);
        EXPECT_EQ(count, c.count);
        EXPECT_TRUE(bytes() == c.bytes);
    }
}

// A count far beyond any category list must not keep startup or a refresh busy for ever: only
// numbers are walked only as far as the file could hold keys, beyond that only the keys it has.
TEST_F(BadSettings, AHugeCountIsListedOnlyUpToTheLimit) {
    write(std::string("[\xd7\xdc]\r\n1=2147483647\r\n[\xc0\xe0]\r\n1=") + kWages + "\r\n");
    pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(30);  // the unbounded loop would reread the file two billion times
        int32_t count = 0;
        std::vector<std::string> listed = load(count);
        Categories c{path, 0};
        TextList choices;
        loadModeCategoryChoices(c, LedgerMode::Income, choices);
        bool ok = count == INT32_MAX && listed.size() <= 1001 && listed[0] == kWages &&
                  listed[1].empty() && choices.items().size() == 1 &&
                  removeCategory(c, choices, "nothing") == RemoveResult::NotFound;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                : "failed");
}

// Adding to the largest count wraps around as 32-bit arithmetic does, the way the count is read.
TEST_F(BadSettings, AddingToTheLargestCountWraps) {
    write("[\xd7\xdc]\r\n1=2147483647\r\n");
    Categories c{path, INT32_MAX};
    TextList box;
    addCategory(c, box, kWages);
    EXPECT_EQ(c.categoryCount, INT32_MIN);
    EXPECT_EQ(readProfileString(*store::posixFileAccess(), path, kCount, "1"), "-2147483648");
    EXPECT_EQ(readProfileString(*store::posixFileAccess(), path, kClass, "-2147483648"), kWages);
    EXPECT_EQ(readCategoryCount(Categories{path}), INT32_MIN);
}

// The settings file as a directory: nothing reads, every write fails, nothing is created.
TEST_F(BadSettings, ADirectoryInPlaceOfTheFile) {
    std::filesystem::create_directory(path);
    EXPECT_EQ(readCategoryCount(Categories{path}), 0);
    Categories c{path, 0};
    TextList box;
    addCategory(c, box, kWages);
    EXPECT_EQ(c.categoryCount, 1);  // the count in memory still rises, as for any failed write
    EXPECT_EQ(box.items(), std::vector<std::string>{kWages});
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_TRUE(std::filesystem::is_empty(path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temp file
}

// What may lie at pz.ini's place: a link to an endless device, a FIFO nobody writes, a folder, a
// file past the limit. Each is refused without blocking or reading it through, reads as no
// categories, and is never written over. Run in a child with an alarm, so that a read that
// blocks fails the test instead of hanging it.
TEST_F(BadSettings, WhatIsNoRegularFileOrTooLargeIsRefusedUntouched) {
    const std::string big(50 << 20, 'x');  // 50 MB
    struct Case {
        const char* what;
        std::function<void()> make;
        ProfileFileState state;
    } cases[] = {
        {"a link to /dev/zero", [&] { std::filesystem::create_symlink("/dev/zero", path); },
         ProfileFileState::NotAFile},
        {"a link to /dev/urandom", [&] { std::filesystem::create_symlink("/dev/urandom", path); },
         ProfileFileState::NotAFile},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }, ProfileFileState::NotAFile},
        {"a folder", [&] { std::filesystem::create_directory(path); }, ProfileFileState::NotAFile},
        {"a 50 MB file", [&] { write("[\xd7\xdc]\r\n1=1\r\n;" + big); },
         ProfileFileState::TooLarge},
        // Read as it is, but an add would take it past the limit, where no later start would
        // read it: the add is refused as for a file too large.
        {"exactly 1 MB",
         [&] { write("[\xd7\xdc]\r\n1=0\r\n;" + std::string(kProfileFileMax - 12, 'x')); },
         ProfileFileState::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(path);
        c.make();
        const auto sizeBefore = std::filesystem::is_regular_file(path)
                                    ? std::filesystem::file_size(path)
                                    : std::uintmax_t{0};
        pid_t pid = ::fork();
        if (pid == 0) {
            ::alarm(10);
            bool ok = profileFileState(*store::posixFileAccess(), path) == c.state;
            int32_t count = -1;
            ok =
                ok && load(count).empty() && count == 0 && readCategoryCount(Categories{path}) == 0;
            Categories cat{path, 0};
            TextList box;
            AddResult added = addCategory(cat, box, kWages);
            ok = ok && added == AddResult::WriteFailed;
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << (WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                    : "failed");
        EXPECT_EQ(std::filesystem::is_symlink(path),
                  std::string(c.what).find("link") != std::string::npos);
        if (std::filesystem::is_regular_file(path)) {
            EXPECT_EQ(std::filesystem::file_size(path), sizeBefore);
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temp file
    }
}

// A name with a control character would split its line or end its value early: it is refused
// before anything is written or counted.
TEST_F(BadSettings, ACategoryNameWithAControlCharacterIsRefused) {
    const std::string names[] = {"a\r\nb",  "a\nb",   "\tleading", std::string("nul\0inside", 11),
                                 "esc\x1b", "del\x7f"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Categories c{path, 3};
        TextList box;
        EXPECT_EQ(addCategory(c, box, name), AddResult::BadName);
        EXPECT_EQ(c.categoryCount, 3);
        EXPECT_TRUE(box.items().empty());
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    // GBK characters never hold a byte below 0x40 in their second place: they pass.
    Categories c{path, 0};
    TextList box;
    EXPECT_EQ(addCategory(c, box, kWages), AddResult::Added);
    EXPECT_EQ(readCategory(Categories{path}, 1), kWages);
}

// Why a category could not be written, for the status bar.
TEST_F(BadSettings, AFailedCategoryWriteSaysWhy) {
    write("[\xd7\xdc]\r\n1=0\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    Categories c{path, 0};
    TextList box;
    EXPECT_EQ(addCategory(c, box, kWages), AddResult::WriteFailed);
    EXPECT_EQ(c.lastWriteError, store::Status::AccessDenied);
    EXPECT_EQ(bytes(), "[\xd7\xdc]\r\n1=0\r\n");
}

TEST(BadGbk, InvalidBytesShowAsReplacementCharacters) {
    const std::string kReplacement = "\xef\xbf\xbd";
    struct Case {
        const char* what;
        std::string gbk;
        std::string utf8;
    } cases[] = {
        {"0xFF",
         "a\xff"
         "b",
         "a" + kReplacement + "b"},
        {"0x80 is the euro sign of code page 936", "\x80", "\xe2\x82\xac"},
        {"a lead byte at the end", std::string("\xca\xd5\xc8"), "\xe6\x94\xb6" + kReplacement},
        {"a lead byte before an ASCII byte",
         "\x81"
         "0",
         kReplacement + "0"},
        {"an unmapped pair counts once",
         "\xa2\xa0"
         "z",
         kReplacement + "z"},
        {"valid text passes", kWages, "\xe5\xb7\xa5\xe8\xb5\x84\xe6\x94\xb6\xe5\x85\xa5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(gbkToUtf8(c.gbk), c.utf8);
    }
}

}  // namespace
