#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/exchange/exchange_test_support.h"

namespace {

using exchangetest::entry;
using exchangetest::fileBytes;
using exchangetest::fixturePath;
using exchangetest::LedgerFolder;

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program with `args` (each quoted for the shell), without a display.
ProgramRun runProgram(const std::vector<std::string>& args, const std::string& scratch) {
#ifndef TAMVELO_PROGRAM
    (void)args;
    (void)scratch;
    return {};
#else
    std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= '" + std::string(TAMVELO_PROGRAM) + "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " >'" + scratch + "/stdout' 2>'" + scratch + "/stderr'";
    const int status = std::system(command.c_str());
    ProgramRun r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = fileBytes(scratch + "/stdout");
    r.err = fileBytes(scratch + "/stderr");
    return r;
#endif
}

class CommandLine : public testing::Test {
  protected:
    void SetUp() override {
#ifndef TAMVELO_PROGRAM
        GTEST_SKIP() << "the program is not built";
#endif
    }
    ProgramRun run(const std::vector<std::string>& args) {
        return runProgram(args, scratch_.path());
    }
    exchange::PrivateTempDir scratch_;
};

TEST_F(CommandLine, ImportPrintsTheCountsAndASecondImportAddsNothing) {
    LedgerFolder folder({}, {"生活开支", "工资收入"});
    ProgramRun r = run({"--data", folder.path(), "--import", fixturePath("wechat.csv")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "导入 5 条，跳过重复 0 条，不计收支 2 条\n");
    r = run({"--import", fixturePath("wechat.csv"), "--data", folder.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "导入 0 条，跳过重复 5 条，不计收支 2 条\n");
    EXPECT_EQ(folder.entries().size(), 5u);
}

// A ledger whose count was lowered by hand: the export counts the two whole records again, as
// the window's start would, keeps the file as it was aside, and says so on standard error.
TEST_F(CommandLine, ARepairAtOpenIsNamedWithItsCopyAndLosesNothing) {
    LedgerFolder folder({entry("早饭", 5), entry("午饭", 12)});
    std::string bytes = fileBytes(folder.ledgerPath());
    ledgertest::putInt(bytes, 16, 0);  // recordCount
    exchangetest::putFile(folder.ledgerPath(), bytes);
    const ProgramRun r = run({"--data", folder.path(), "--export", folder.file("out.csv")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "导出 2 条到 " + folder.file("out.csv") + "\n");
    EXPECT_NE(r.err.find("数据库文件已修复"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("before-repair.edb"), std::string::npos) << r.err;
    EXPECT_EQ(folder.entries().size(), 2u);
}

TEST_F(CommandLine, DryRunReportsAndChangesNothing) {
    LedgerFolder folder({entry("早饭", 5)});
    const std::string before = fileBytes(folder.ledgerPath());
    const ProgramRun r =
        run({"--data", folder.path(), "--import", fixturePath("alipay.csv"), "--dry-run"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("导入 3 条，跳过重复 0 条，不计收支 2 条", 0), 0u) << r.out;
    EXPECT_EQ(fileBytes(folder.ledgerPath()), before);
}

TEST_F(CommandLine, ImportIntoAFolderWithoutALedgerWritesTheEmptyLedgerFirst) {
    exchange::PrivateTempDir empty;
    ProgramRun r = run({"--data", empty.path(), "--import", fixturePath("own.csv"), "--dry-run"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fileBytes(empty.path() + "/Database.edb").empty());  // a trial run writes nothing
    r = run({"--data", empty.path(), "--import", fixturePath("own.csv")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    store::RecordStore s;
    ASSERT_TRUE(s.open(empty.path() + "/Database.edb"));
    EXPECT_EQ(s.recordCount(), 3);
}

TEST_F(CommandLine, ExportWritesTheFileAndSaysHowMany) {
    LedgerFolder folder({entry("早饭", 6.5f, 1), entry("午饭", 20, 2), entry("晚饭", 30, 3)});
    const std::string out = folder.file("out.csv");
    const ProgramRun r = run({"--data", folder.path(), "--export", out, "--from", "2026-12-02",
                              "--to", "2026-12-03", "--encoding", "gbk"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "导出 2 条到 " + out + "\n");
    EXPECT_EQ(fileBytes(out), exchangetest::gbk("日期,时间,收支,项目,金额,类别,备注\r\n"
                                                "2026-12-02,08:05,开支,午饭,20.00,,\r\n"
                                                "2026-12-03,08:05,开支,晚饭,30.00,,\r\n"));
    const ProgramRun xlsx = run({"--data", folder.path(), "--export", folder.file("out.xlsx")});
    EXPECT_EQ(xlsx.exitCode, 0) << xlsx.err;
    EXPECT_EQ(fileBytes(folder.file("out.xlsx")).substr(0, 2), "PK");
}

// Every failure: a reason on standard error, nothing on standard output, a non-zero exit, and
// the ledger byte for byte as it was.
TEST_F(CommandLine, FailuresExitNonZeroWithTheReasonAndChangeNothing) {
    LedgerFolder folder({entry("早饭", 5)});
    const std::string badBill = folder.file("bad.csv");
    exchangetest::putFile(
        badBill, fileBytes(fixturePath("own.csv")) + "2026-12-03,08:00,开支,午饭,二十,,\r\n");
    const std::string hugeBill = folder.file("huge.csv");
    exchangetest::putFile(hugeBill, fileBytes(fixturePath("own.csv")) +
                                        "2026-12-03,08:00,开支,午饭," + std::string(40, '9') +
                                        ",,\r\n");
    const std::string list = folder.file("list.csv");
    exchangetest::putFile(list, "名称,数量\n苹果,3\n");
    const std::string before = fileBytes(folder.ledgerPath());
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"bad row", {"--import", badBill}, 1, badBill + " 第 5 行：金额无法读取：“二十”"},
        {"amount beyond the float range",
         {"--import", hugeBill},
         1,
         hugeBill + " 第 5 行：金额超出可记录的范围：“9999"},
        {"unknown format", {"--import", list}, 1, "不是能识别的格式"},
        {"missing file", {"--import", folder.file("none.csv")}, 1, "无法打开文件"},
        {"extension", {"--export", folder.file("out.pdf")}, 2, ".csv 或 .xlsx"},
        {"date", {"--export", folder.file("o.csv"), "--from", "2026-2-30"}, 2, "YYYY-MM-DD"},
        {"reversed range",
         {"--export", folder.file("o.csv"), "--from", "2026-12-02", "--to", "2026-12-01"},
         2,
         "早于"},
        {"encoding", {"--export", folder.file("o.csv"), "--encoding", "latin1"}, 2, "utf-8 或 gbk"},
        {"no command", {}, 2, "需要 --export FILE 或 --import FILE"},
        {"both commands", {"--export", "a.csv", "--import", "b.csv"}, 2, "不能同时使用"},
        {"unknown option", {"--frm", "2026-01-01"}, 2, "frm"},
        {"dry run of an export", {"--export", folder.file("o.csv"), "--dry-run"}, 2, "--dry-run"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"--data", folder.path()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramRun r = run(args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(fileBytes(folder.ledgerPath()), before);
    }
    EXPECT_TRUE(fileBytes(folder.file("o.csv")).empty());
    const ProgramRun noLedger = run({"--data", scratch_.path(), "--export", folder.file("o.csv")});
    EXPECT_EQ(noLedger.exitCode, 1);
    EXPECT_NE(noLedger.err.find("找不到账本"), std::string::npos);
}

TEST_F(CommandLine, HelpAndVersionNeedNoDisplay) {
    const ProgramRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--import <FILE>"), std::string::npos);
    EXPECT_NE(help.out.find("--dry-run"), std::string::npos);
    const ProgramRun version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tamvelo 1.0\n");
}

}  // namespace
