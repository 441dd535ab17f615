#include "ledger/settings_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testsupport/fault_file_access.h"

namespace ledger {
namespace {

namespace fs = std::filesystem;

// GBK texts whose second byte is '[' (0x5B) or ']' (0x5D).
const std::string kTrailOpen = "\x95\x5b";                     // 昜
const std::string kTrailClose = "\x95\x5d";                    // 昡
const std::string kCategory = "\xc0\xe0";                      // 类
const std::string kTotal = "\xd7\xdc";                         // 总
const std::string kWage = "\xb9\xa4\xd7\xca\xca\xd5\xc8\xeb";  // 工资收入

class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("settings_file_test_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "pz.ini").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, ec);
        fs::remove_all(dir_, ec);
    }

    static void put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string get(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Names of everything in the test directory, to see that no temporary file is left.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    store::FileAccess& files_ = *store::posixFileAccess();
    fs::path dir_;
    std::string path_;
};

TEST_F(SettingsFileTest, MissingFileReadsEmptyAndIsNotCreated) {
    EXPECT_EQ(readProfileString(files_, path_, kTotal, "1"), "");
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_EQ(readProfileString(files_, (dir_ / "no" / "pz.ini").string(), kTotal, "1"), "");
}

TEST_F(SettingsFileTest, ReadsValuesByTheFileRules) {
    put(path_,
        "; a comment line\r\n"
        "[" +
            kTotal +
            "]\r\n"
            "1=3\r\n"
            "  [ " +
            kCategory +
            " ]  \n"  // an LF line, a name with spaces around it
            "1=" +
            kWage +
            "\n"
            " 2 =  padded value \t\r\n"
            "3=\"  kept spaces \"\r\n"
            "4='single'\r\n"
            "5=\"unbalanced\r\n"
            "6=\"\"\r\n"
            "7=a=b\r\n"
            "no equals sign here\r\n"
            "Key=first\r\n"
            "KEY=second\r\n"
            "[Abc]\r\n"
            "x=upper\r\n"
            "[abc]\r\n"
            "x=duplicate section\r\n"
            "y=only in the duplicate\r\n"
            "[" +
            kTrailClose + "x" + kTrailOpen +
            "]\r\n"
            "v=" +
            kTrailOpen + "]" + kTrailClose +
            "[\r\n"
            "[\x81\x41]\r\n"  // a character whose second byte is 'A'
            "k=capital\r\n"
            "[last]\r\n"
            "k=no line end");
    struct Case {
        std::string section, key, value;
    };
    const std::vector<Case> cases = {
        {kTotal, "1", "3"},
        {kCategory, "1", kWage},
        {kCategory, "2", "padded value"},
        {kCategory, "3", "  kept spaces "},
        {kCategory, "4", "single"},
        {kCategory, "5", "\"unbalanced"},
        {kCategory, "6", ""},
        {kCategory, "7", "a=b"},
        {kCategory, "key", "first"},
        {kCategory, "8", ""},
        {"ABC", "X", "upper"},
        {"abc", "y", ""},  // only the first section of a name is read
        {" \t" + kCategory, "\t1", kWage},
        {"\x01" + kTotal + " ", " 1 ", "3"},
        {kTrailClose + "x" + kTrailOpen, "v", kTrailOpen + "]" + kTrailClose + "["},
        {"\x81\x41", "k", "capital"},
        {"\x81\x61", "k", ""},  // 0x81 0x61 is another character, not a lower-case form
        {"last", "k", "no line end"},
        {"", "1", ""},
        {"   ", "1", ""},
        {kTotal, "", ""},
        {kTotal, " \t", ""},
        {"missing", "1", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readProfileString(files_, path_, c.section, c.key), c.value)
            << "[" << c.section << "] " << c.key;
    }
    EXPECT_EQ(readProfileString(files_, "  \t" + path_, kTotal, "1"), "3");
    EXPECT_EQ(readProfileString(files_, "  ", kTotal, "1"), "");
}

TEST_F(SettingsFileTest, LongValuesAreCutAtACharacterBoundary) {
    std::string longValue = "ab";
    while (longValue.size() < kProfileValueMax + 10) longValue += kWage;
    put(path_, "[s]\r\nk=" + longValue + "\r\n");
    std::string read = readProfileString(files_, path_, "s", "k");
    EXPECT_EQ(read.size(), kProfileValueMax - 1);  // the character at the limit is not split
    EXPECT_EQ(read, longValue.substr(0, kProfileValueMax - 1));
}

TEST_F(SettingsFileTest, WritingCreatesReplacesAndAppends) {
    ASSERT_TRUE(writeProfileString(files_, path_, kCategory, "1", kWage));
    EXPECT_EQ(get(path_), "[" + kCategory + "]\r\n1=" + kWage + "\r\n");
    ASSERT_TRUE(writeProfileString(files_, path_, kTotal, "1", "1"));
    ASSERT_TRUE(writeProfileString(files_, path_, kCategory, "2", "b"));
    ASSERT_TRUE(writeProfileString(files_, path_, kCategory, "1", "a"));
    ASSERT_TRUE(writeProfileString(files_, path_, kTotal, "1", "2"));
    EXPECT_EQ(get(path_), "[" + kCategory + "]\r\n1=a\r\n2=b\r\n[" + kTotal + "]\r\n1=2\r\n");
}

TEST_F(SettingsFileTest, WritingKeepsTheRestOfAHandWrittenFile) {
    put(path_,
        "; kept\n"
        "[S]\n"
        "A=1\n"
        "junk line\n"
        "\n"
        "[t]\n"
        "b = 2\n"
        "[end]\n"
        "z=9");
    ASSERT_TRUE(
        writeProfileString(files_, path_, "s", "new", "x"));        // after the last non-blank line
    ASSERT_TRUE(writeProfileString(files_, path_, "T", "B", "3"));  // in place, whatever the case
    ASSERT_TRUE(
        writeProfileString(files_, path_, "end", "y", "8"));  // after a line without line end
    ASSERT_TRUE(writeProfileString(files_, path_, "more", "k", "v"));
    EXPECT_EQ(get(path_),
              "; kept\n"
              "[S]\n"
              "A=1\n"
              "junk line\n"
              "new=x\r\n"
              "\n"
              "[t]\n"
              "B=3\r\n"
              "[end]\n"
              "z=9\r\n"
              "y=8\r\n"
              "[more]\r\n"
              "k=v\r\n");
}

TEST_F(SettingsFileTest, EveryValueReadsBackAsWritten) {
    const std::vector<std::string> values = {
        "",
        "plain",
        " leading",
        "trailing\t",
        "  both  ",
        "\"q\"",
        "'q'",
        "\"",
        "\"\"",
        "\"half",
        "a = b",
        kTrailOpen + "]",
        kTrailClose + "[" + kTrailOpen,
        "[x]",
        ";not a comment",
        kWage,
    };
    for (const std::string& v : values) {
        ASSERT_TRUE(writeProfileString(files_, path_, "s" + kTrailClose, "k", v)) << v;
        EXPECT_EQ(readProfileString(files_, path_, "s" + kTrailClose, "k"), v) << v;
    }
    // Replacing a value again and again leaves one key, not a growing file.
    EXPECT_EQ(get(path_), "[s" + kTrailClose + "]\r\nk=" + kWage + "\r\n");
}

TEST_F(SettingsFileTest, RefusedWritesChangeNothing) {
    put(path_, "[s]\r\nk=v\r\n");
    const std::vector<ProfileChange> refused = {
        {"", "k", "v"},     {" ", "k", "v"},    {"s", "", "v"},     {"s", "a=b", "v"},
        {"s", "k", "a\nb"}, {"s", "k", "a\rb"}, {"s\nx", "k", "v"}, {"a]b", "k", "v"},
        {"s", ";k", "v"},   {"s", "[k", "v"},
    };
    for (const ProfileChange& c : refused) {
        EXPECT_FALSE(writeProfileStrings(files_, path_, {{"s", "ok", "1"}, c}))
            << c.section << c.key;
    }
    EXPECT_FALSE(writeProfileString(files_, " ", "s", "k", "v"));
    EXPECT_EQ(get(path_), "[s]\r\nk=v\r\n");
    // A ']' that is the second byte of a character is no bracket and may be in a section name.
    EXPECT_TRUE(writeProfileString(files_, path_, kTrailClose, "k", "v"));
}

TEST_F(SettingsFileTest, BatchAppliesInOrderInOneRewrite) {
    put(path_, "[s]\r\n1=a\r\n2=b\r\n3=c\r\n[n]\r\n1=3\r\n");
    ASSERT_TRUE(writeProfileStrings(files_, path_,
                                    {{"s", "2", "c"},
                                     {"s", "3", std::nullopt},
                                     {"s", "9", std::nullopt},     // missing: no change
                                     {"gone", "1", std::nullopt},  // no section is made
                                     {"n", "1", "2"}}));
    EXPECT_EQ(get(path_), "[s]\r\n1=a\r\n2=c\r\n[n]\r\n1=2\r\n");
}

TEST_F(SettingsFileTest, FailedWritesLeaveTheOldFile) {
    // The tests run as root, for whom permission bits on a directory do not stop a write; a
    // directory that does not exist, a "directory" that is a file and a path that is a
    // directory make the write fail for anyone.
    const std::string inMissingDir = (dir_ / "missing" / "pz.ini").string();
    EXPECT_FALSE(writeProfileString(files_, inMissingDir, "s", "k", "v"));
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    put(path_, "[s]\r\nk=old\r\n");
    EXPECT_FALSE(writeProfileString(files_, path_ + "/pz.ini", "s", "k", "v"));
    fs::create_directory(dir_ / "adir");
    EXPECT_FALSE(writeProfileString(files_, (dir_ / "adir").string(), "s", "k", "v"));
    EXPECT_TRUE(fs::is_directory(dir_ / "adir"));

    // A file without write permission is left alone, also by root.
    fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(writeProfileString(files_, path_, "s", "k", "new"));
    EXPECT_EQ(readProfileString(files_, path_, "s", "k"), "old");
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);

    // A write that runs out of room (a file size limit stands in for a full disk) leaves the
    // old file whole and no temporary file behind.
    const std::string big(4096, 'x');
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool wrote = writeProfileString(files_, path_, "s", "k", big);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(get(path_), "[s]\r\nk=old\r\n");
    EXPECT_EQ(entries(), (std::vector<std::string>{"adir", "pz.ini"}));
}

TEST_F(SettingsFileTest, ReplacingKeepsTheFilePermissions) {
    put(path_, "[s]\r\nk=v\r\n");
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(writeProfileString(files_, path_, "s", "k", "w"));
    EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), std::vector<std::string>{"pz.ini"});
}

TEST_F(SettingsFileTest, ALinkedFileIsReplacedWhereTheLinkPoints) {
    const std::string target = (dir_ / "real.ini").string();
    put(target, "[s]\r\nk=v\r\n");
    fs::create_symlink("real.ini", path_);
    ASSERT_TRUE(writeProfileString(files_, path_, "s", "k", "w"));
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(get(target), "[s]\r\nk=w\r\n");
    EXPECT_EQ(readProfileString(files_, path_, "s", "k"), "w");
}

// A write killed at any step, or failing at any step, through the fault layer: the file reads
// with the old value or the new one, every other key as it was, and no temporary file stays.
TEST_F(SettingsFileTest, AWriteCutAtAnyStepLeavesTheOldFileOrTheNew) {
    const std::string before = "[s]\r\nk=old\r\nother=kept\r\n";
    int cuts = 0;
    for (int k = 0;; ++k) {
        SCOPED_TRACE("killed after " + std::to_string(k) + " mutations");
        for (const std::string& n : entries()) fs::remove(dir_ / n);
        put(path_, before);
        auto faults = std::make_shared<testsupport::FaultFileAccess>();
        testsupport::FaultPlan kill;
        kill.stopMutationsAfter = k;
        kill.tornBytes = 7;
        faults->setPlan(kill);
        writeProfileString(*faults, path_, "s", "k", "new");
        bool cut = faults->counts().faults > 0;
        const std::string value = readProfileString(files_, path_, "s", "k");
        EXPECT_TRUE(value == "old" || value == "new") << value;
        EXPECT_EQ(readProfileString(files_, path_, "s", "other"), "kept");
        if (!cut) {
            EXPECT_EQ(value, "new");
            EXPECT_EQ(entries(), std::vector<std::string>{"pz.ini"});
            break;
        }
        ++cuts;
    }
    EXPECT_GE(cuts, 4);
    for (auto fail : {&testsupport::FaultPlan::failReadAt, &testsupport::FaultPlan::failCreateAt,
                      &testsupport::FaultPlan::failWriteAt, &testsupport::FaultPlan::failSyncAt,
                      &testsupport::FaultPlan::failRenameAt}) {
        put(path_, before);
        auto faults = std::make_shared<testsupport::FaultFileAccess>();
        testsupport::FaultPlan plan;
        plan.*fail = 0;
        faults->setPlan(plan);
        EXPECT_FALSE(writeProfileString(*faults, path_, "s", "k", "new"));
        EXPECT_EQ(get(path_), before);
        EXPECT_EQ(entries(), std::vector<std::string>{"pz.ini"});
    }
}

// The settings file is read whole up to its limit; a larger one reads as missing and is never
// rewritten, so nothing in it is lost.
TEST_F(SettingsFileTest, AFileBeyondTheLimitIsNeitherReadNorRewritten) {
    std::string huge = "[s]\r\nk=v\r\n";
    huge.resize(kProfileFileMax + 1, ';');
    put(path_, huge);
    EXPECT_EQ(readProfileString(files_, path_, "s", "k"), "");
    EXPECT_FALSE(writeProfileString(files_, path_, "s", "k", "w"));
    EXPECT_EQ(fs::file_size(path_), kProfileFileMax + 1);
    huge.resize(kProfileFileMax);
    put(path_, huge);
    EXPECT_EQ(readProfileString(files_, path_, "s", "k"), "v");
}

}  // namespace
}  // namespace ledger
