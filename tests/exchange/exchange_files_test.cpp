#include "exchange/exchange_files.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/exchange/exchange_test_support.h"

namespace {

using exchangetest::fileBytes;
using exchangetest::putFile;

TEST(UserFiles, CreateNeverReplacesAFileThatIsThere) {
    exchange::PrivateTempDir dir;
    const std::string path = dir.path() + "/Database.edb";
    bool created = false;
    std::string error;
    ASSERT_TRUE(exchange::createUserFile(path, "first", created, error)) << error;
    EXPECT_TRUE(created);
    ASSERT_TRUE(exchange::createUserFile(path, "second", created, error)) << error;
    EXPECT_FALSE(created);
    EXPECT_EQ(fileBytes(path), "first");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IRGRP) << "a ledger is not made private";
    EXPECT_FALSE(exchange::createUserFile(dir.path() + "/no/such/folder", "x", created, error));
    EXPECT_FALSE(error.empty());
}

TEST(UserFiles, WriteReplacesWholeAndLeavesNoTemporaryFile) {
    exchange::PrivateTempDir dir;
    const std::string path = dir.path() + "/out.csv";
    putFile(path, "old contents that are longer");
    std::string error;
    ASSERT_TRUE(exchange::writeUserFile(path, "new", error)) << error;
    EXPECT_EQ(fileBytes(path), "new");
    int files = 0;
    if (DIR* d = ::opendir(dir.path().c_str())) {
        while (const dirent* e = ::readdir(d)) files += e->d_name[0] != '.';
        ::closedir(d);
    }
    EXPECT_EQ(files, 1);
}

TEST(UserFiles, ReadRefusesAFileOverTheLimitAndAFolder) {
    exchange::PrivateTempDir dir;
    const std::string path = dir.path() + "/bill.csv";
    putFile(path, std::string(100, 'x'));
    std::string bytes, error;
    EXPECT_TRUE(exchange::readUserFile(path, 100, bytes, error));
    EXPECT_EQ(bytes.size(), 100u);
    EXPECT_FALSE(exchange::readUserFile(path, 99, bytes, error));
    EXPECT_NE(error.find("文件过大"), std::string::npos);
    EXPECT_FALSE(exchange::readUserFile(dir.path(), 1000, bytes, error));
    EXPECT_FALSE(exchange::readUserFile(dir.path() + "/none", 1000, bytes, error));
    EXPECT_NE(error.find("无法打开文件"), std::string::npos);
}

}  // namespace
