#include "ledger/gbk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace ledger {
namespace {

const std::string kReplacement = "\xef\xbf\xbd";  // U+FFFD in UTF-8
// The same texts in UTF-8 and in GBK.
const std::string kIncomeUtf8 = "\xe6\x94\xb6\xe5\x85\xa5";  // 收入
const std::string kIncomeGbk = "\xca\xd5\xc8\xeb";
const std::string kEmoji = "\xf0\x9f\x98\x80";  // U+1F600, which has no GBK form

TEST(Gbk, ConvertsBothWays) {
    struct Case {
        std::string gbk, utf8;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"abc 123", "abc 123"},
        {kIncomeGbk + "12.50\xd4\xaa", kIncomeUtf8 + "12.50\xe5\x85\x83"},  // 收入12.50元
        {"\xa3\xb1\xa3\xae", "\xef\xbc\x91\xef\xbc\x8e"},                   // １．
        {"\x95\x5b\x95\x5d", "\xe6\x98\x9c\xe6\x98\xa1"},  // 昜昡, second bytes '[' and ']'
        {"\x81\x40", "\xe4\xb8\x82"},                      // 丂, the first pair of the code
        {"\x80", "\xe2\x82\xac"},                          // the euro sign of code page 936
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gbkToUtf8(c.gbk), c.utf8);
        EXPECT_EQ(utf8ToGbk(c.utf8), c.gbk);
        EXPECT_EQ(gbkLength(c.utf8), static_cast<int>(c.gbk.size()));
    }
}

TEST(Gbk, InvalidBytesShowAsReplacementCharacters) {
    struct Case {
        std::string gbk, utf8;
    };
    const std::vector<Case> cases = {
        {"\xff", kReplacement},
        {"a\xca", "a" + kReplacement},    // a lone lead byte at the end
        {"\x81 b", kReplacement + " b"},  // a lead byte before a non-trail byte
        {"\xd7\xfa"
         "a",
         kReplacement + "a"},  // an unassigned pair counts as one
        {"\xaa\xa1" + kIncomeGbk, kReplacement + kIncomeUtf8},
        {"\xff\xff" + kIncomeGbk + "\xca",
         kReplacement + kReplacement + kIncomeUtf8 + kReplacement},
    };
    for (const Case& c : cases) EXPECT_EQ(gbkToUtf8(c.gbk), c.utf8);
}

TEST(Gbk, TextWithoutGbkFormIsNotConvertible) {
    for (const std::string& utf8 :
         {kEmoji, "a" + kEmoji + "b", kIncomeUtf8 + kEmoji, std::string("\xc3"),
          std::string("a\xe6\x94"), std::string("\xed\xa0\x80"), kReplacement}) {
        EXPECT_EQ(utf8ToGbk(utf8), std::nullopt);
        EXPECT_EQ(gbkLength(utf8), std::nullopt);
    }
}

TEST(Gbk, CutsToAByteLimitAtCharacterBoundaries) {
    const std::string text = "ab" + kIncomeUtf8 + "c";  // 7 bytes in GBK
    struct Case {
        std::string utf8;
        int limit;
        std::string cut;
    };
    const std::vector<Case> cases = {
        {text, 7, text},
        {text, 100, text},
        {text, 6, "ab" + kIncomeUtf8},
        {text, 5, "ab\xe6\x94\xb6"},  // 入 would end at byte 6
        {text, 3, "ab"},
        {text, 2, "ab"},
        {text, 0, ""},
        {text, -1, ""},
        {"a" + kEmoji + "b", 10, "a"},  // stops before what GBK cannot hold
        {"ab\xc3", 10, "ab"},
    };
    for (const Case& c : cases) {
        std::string cut = cutToGbkLength(c.utf8, c.limit);
        EXPECT_EQ(cut, c.cut) << c.limit;
        ASSERT_TRUE(gbkLength(cut).has_value());
        EXPECT_LE(*gbkLength(cut), std::max(c.limit, 0));
    }
}

TEST(Gbk, ConvertsOnSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong, t] {
            for (int i = 0; i < 2000; ++i) {
                if (gbkToUtf8(kIncomeGbk) != kIncomeUtf8 || utf8ToGbk(kIncomeUtf8) != kIncomeGbk) {
                    ++wrong[t];
                }
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace ledger
