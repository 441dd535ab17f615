#include "ledger/value_texts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace ledger {
namespace {

// GBK bytes used in the cases below.
const std::string kYuan = "\xd4\xaa";            // 元
const std::string kYear = "\xc4\xea";            // 年
const std::string kMonth = "\xd4\xc2";           // 月
const std::string kDay = "\xc8\xd5";             // 日
const std::string kHour = "\xca\xb1";            // 时
const std::string kMinute = "\xb7\xd6";          // 分
const std::string kSecond = "\xc3\xeb";          // 秒
const std::string kIncome = "\xca\xd5\xc8\xeb";  // 收入

uint32_t bitsOf(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

TEST(AmountText, MatchesTheAmountTableForStoredFloats) {
    struct Case {
        float stored;
        std::string text;
    };
    const std::vector<Case> cases = {
        {12.5f, "12.50"},     {0.005f, "0.00"},    {1234567.891f, "1234567.88"},
        {-3.0f, "-3.00"},     {0.0f, "0.00"},      {12.345f, "12.35"},
        {1.005f, "1.00"},     {99.995f, "100.00"}, {2.675f, "2.67"},
        {-0.004f, "-0.00"},   {7.0f, "7.00"},      {7.1f, "7.10"},
        {-12.345f, "-12.35"}, {0.015f, "0.01"},    {100.0f, "100.00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(amountText(static_cast<double>(c.stored)), c.text + kYuan) << c.stored;
    }
}

TEST(FormatNumber, AlwaysShowsExactlyTheAskedDecimals) {
    EXPECT_EQ(formatNumber(7.0, 2), "7.00");
    EXPECT_EQ(formatNumber(7.1, 2), "7.10");
    EXPECT_EQ(formatNumber(7.1, 1), "7.1");
    EXPECT_EQ(formatNumber(2.5, 3), "2.500");
    EXPECT_EQ(formatNumber(0.0, 2), "0.00");
    // A scaled value a hair short of one half still rounds up.
    EXPECT_EQ(formatNumber(0.125, 2), "0.13");
    EXPECT_EQ(formatNumber(-0.125, 2), "-0.13");
}

TEST(RealText, WritesThirteenSignificantDigits) {
    EXPECT_EQ(realText(12.35), "12.35");
    EXPECT_EQ(realText(100.0), "100");
    EXPECT_EQ(realText(1234567.88), "1234567.88");
    EXPECT_EQ(realText(1.0 / 3.0), "0.3333333333333");
    EXPECT_EQ(realText(0.0001), "0.0001");
    EXPECT_EQ(realText(0.00001), "1e-05");
    EXPECT_EQ(realText(1e12), "1000000000000");
    EXPECT_EQ(realText(1e13), "1e+13");
}

TEST(FloatText, GivesTheShortestTextThatReadsBackAsTheSameFloat) {
    struct Case {
        float value;
        std::string text;
    };
    const std::vector<Case> cases = {
        {12.5f, "12.5"},
        {3.0f, "3"},
        {0.1f, "0.1"},
        {12345.67f, "12345.67"},
        {1234567.875f, "1234567.9"},
        {0.0f, "0"},
        {-0.0f, "0"},
        {-3.0f, "-3"},
        {100.0f, "100"},
        {12.35f, "12.35"},
        {0.00001f, "0.00001"},
        {9999999999.0f, "1e+10"},  // the float nearest it is 10^10, 11 bytes plain
        {999999.94f, "999999.94"},
        {123456789.0f, "123456790"},
        {-1234567.9f, "-1234567.9"},
        {1e-7f, "0.0000001"},
        {1.5e-9f, "1.5e-09"},
        {3e10f, "3e+10"},
    };
    for (const Case& c : cases) {
        std::string text = floatText(c.value);
        EXPECT_EQ(text, c.text) << c.value;
        EXPECT_EQ(parseNumber(text), c.value) << text;
        if (c.value != 0.0f) {
            EXPECT_EQ(bitsOf(parseNumber(text)), bitsOf(c.value)) << text;
        }
    }
}

TEST(FloatText, EveryAmountTheInputCanHoldReadsBackUnchanged) {
    // Amounts as typed with two decimals across the range the amount input is used for, and a
    // sweep of bit patterns: the text read back is always the same float, and plain notation
    // is used whenever it fits the input's ten bytes.
    for (int cents = -200000; cents <= 200000; cents += 7) {
        float f = parseNumber((cents < 0 ? "-" : "") + std::to_string(std::abs(cents) / 100) + "." +
                              std::to_string(std::abs(cents) % 100 + 100).substr(1));
        std::string text = floatText(f);
        ASSERT_EQ(bitsOf(parseNumber(text)), bitsOf(f)) << text;
        ASSERT_EQ(text.find('e'), std::string::npos) << text;
    }
    for (uint32_t bits = 0x00800000u; bits < 0x7f800000u; bits += 0x00012345u) {
        float f;
        std::memcpy(&f, &bits, sizeof f);
        std::string text = floatText(f);
        ASSERT_EQ(bitsOf(parseNumber(text)), bits) << text;
        if (text.find('e') == std::string::npos) {
            ASSERT_LE(text.size(), 10u) << text;
        } else {
            ASSERT_FALSE(f >= 1.0f && f < 1e10f) << text;  // plain would have fit
        }
        ASSERT_LE(text.size(), 14u) << text;
    }
}

TEST(ParseNumber, ReadsTheLeadingNumberOnly) {
    const std::string fullWidth = "\xa3\xb1\xa3\xb2\xa3\xae\xa3\xb5";  // １２．５
    struct Case {
        std::string text;
        float value;
    };
    const std::vector<Case> cases = {
        {"12.50" + kYuan, 12.5f},
        {fullWidth + kYuan, 12.5f},
        {kYuan + "12", 0.0f},
        {"", 0.0f},
        {"  -3", -3.0f},
        {"1e3", 1000.0f},
        {"1d3", 1000.0f},
        {"1D+3", 1000.0f},
        {"2.5e", 2.5f},
        {"2.5e-", 2.5f},
        {"+7", 7.0f},
        {"\t\n12", 12.0f},
        {".5", 0.5f},
        {"5.", 5.0f},
        {".", 0.0f},
        {"-", 0.0f},
        {"12,5", 12.0f},
        {"\xa1\xa1"
         "8",
         8.0f},  // an ideographic space before 8
        {"1e39", INFINITY},
        {"1e-50", 0.0f},
        {"12345.67", 12345.67f},
    };
    for (const Case& c : cases) EXPECT_EQ(parseNumber(c.text), c.value) << c.text;
}

// What may be stored as an amount: parseNumber's value, but never one the float cannot hold.
TEST(ParseAmount, RefusesWhatWouldBeStoredAsInfinity) {
    struct Case {
        std::string text;
        std::optional<float> value;
    };
    const std::vector<Case> cases = {
        {"12.5", 12.5f},
        {"", 0.0f},
        {"1e38", 1e38f},
        {"-3.4e38", -3.4e38f},
        {"1e39", std::nullopt},
        {"-1e39", std::nullopt},
        {"3.5e38", std::nullopt},  // just past the largest float
        {"1e400", std::nullopt},   // past even the 64-bit real
        {std::string(40, '9'), std::nullopt},
        {"1e-50", 0.0f},  // too small is zero, not an error
    };
    for (const Case& c : cases) EXPECT_EQ(parseAmount(c.text), c.value) << c.text;
}

TEST(AmountCellText, StoredInfinityAndNanShowAsInvalid) {
    EXPECT_EQ(amountCellText(12.5f), "12.50" + kYuan);
    EXPECT_EQ(amountCellText(-0.0f), amountText(-0.0f));
    const std::string invalid = "\xbd\xf0\xb6\xee\xce\xde\xd0\xa7";  // 金额无效
    for (float f : {INFINITY, -INFINITY, NAN}) {
        EXPECT_EQ(amountCellText(f), invalid) << f;
        EXPECT_FALSE(isUsableAmount(f));
    }
}

TEST(ParseInteger, ReadsLeadingDigitsWithWrapAround) {
    struct Case {
        std::string text;
        int32_t value;
    };
    const std::vector<Case> cases = {
        {"6" + kDay, 6},
        {"15\xc8", 15},  // a lone lead byte after the digits
        {"", 0},
        {"2024" + kYear, 2024},
        {"\xa3\xb3", 3},  // full-width 3
        {"3.9", 3},
        {"  -5", -5},
        {"+12", 12},
        {"abc", 0},
        {"3\xb8\xf6", 3},  // 3个
        {"2147483648", INT32_MIN},
        {"4294967297", 1},
        {"-2147483648", INT32_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(parseInteger(c.text), c.value) << c.text;
}

TEST(FoldFullWidth, FoldsOnlyTheListedCharacters) {
    EXPECT_EQ(foldFullWidth("\xa3\xa1\xa3\xfe"), "!~");
    EXPECT_EQ(foldFullWidth("\xa1\xa1\xa1\xab\xa1\xee\xa1\xef"), " ~**");
    EXPECT_EQ(foldFullWidth(kIncome + "a"), kIncome + "a");
    EXPECT_EQ(foldFullWidth("ab\xa3"), "ab");
    // A trail byte that looks like ASCII stays with its lead byte.
    EXPECT_EQ(foldFullWidth("\x81\x31"), "\x81\x31");
}

TEST(ByteTexts, CutAndFindByBytes) {
    const std::string t = "ab" + kIncome + "cd";  // 8 bytes
    EXPECT_EQ(textLength(t), 8);
    EXPECT_EQ(textLeft(t, 3), "ab\xca");
    EXPECT_EQ(textLeft(t, 0), "");
    EXPECT_EQ(textLeft(t, -1), "");
    EXPECT_EQ(textLeft(t, 99), t);
    EXPECT_EQ(textRight(t, 2), "cd");
    EXPECT_EQ(textRight(t, 99), t);
    EXPECT_EQ(textRight(t, 0), "");
    EXPECT_EQ(textMid(t, 3, 4), kIncome);
    EXPECT_EQ(textMid(t, 7, 99), "cd");
    EXPECT_EQ(textMid(t, 0, 2), "");
    EXPECT_EQ(textMid(t, 9, 2), "");
    EXPECT_EQ(textMid(t, 8, 1), "d");
    EXPECT_EQ(textMid(t, 3, 0), "");
    EXPECT_EQ(textFind(t, kIncome), 3);
    EXPECT_EQ(textFind(t, "cd"), 7);
    EXPECT_EQ(textFind(t, "x"), -1);
    EXPECT_EQ(textFind(t, ""), 1);
    EXPECT_EQ(textFind("", ""), -1);
    EXPECT_EQ(textFind("", "a"), -1);
    EXPECT_EQ(textFind(t, t + "x"), -1);
    // 0xD5 is the second byte of 收 (CA D5) and the first of nothing here: not found.
    EXPECT_EQ(textFind(kIncome, "\xd5"), -1);
    // The second byte of 0x81 0x61 is 'a'; only the later, real 'a' is found.
    EXPECT_EQ(textFind("\x81"
                       "ab",
                       "a"),
              -1);
    EXPECT_EQ(textFind("\x81"
                       "aa",
                       "a"),
              3);
}

TEST(DateTexts, AreUnpaddedWithPaddedTimes) {
    EXPECT_EQ(hourMinuteText(0, 0), "00" + kHour + "00" + kMinute);
    EXPECT_EQ(hourMinuteText(8, 5), "08" + kHour + "05" + kMinute);
    EXPECT_EQ(hourMinuteText(23, 59), "23" + kHour + "59" + kMinute);
    EXPECT_EQ(dateText(2024, 1, 1), "2024" + kYear + "1" + kMonth + "1" + kDay);
    EXPECT_EQ(dateText(2024, 12, 25), "2024" + kYear + "12" + kMonth + "25" + kDay);
    const std::string time = hourMinuteText(8, 5);
    EXPECT_EQ(entryDateTimeText(2024, 3, 5, time),
              "2024" + kYear + "3" + kMonth + "5" + kDay + time);
}

TEST(DateTimeText, DropsTrailingZeroParts) {
    const Date d{2024, 3, 5};
    const std::string date = dateText(2024, 3, 5);
    EXPECT_EQ(dateTimeText({d, 23, 59, 59}), date + "23" + kHour + "59" + kMinute + "59" + kSecond);
    EXPECT_EQ(dateTimeText({d, 0, 0, 7}), date + "0" + kHour + "0" + kMinute + "7" + kSecond);
    EXPECT_EQ(dateTimeText({d, 8, 5, 0}), date + "8" + kHour + "5" + kMinute);
    EXPECT_EQ(dateTimeText({d, 0, 5, 0}), date + "0" + kHour + "5" + kMinute);
    EXPECT_EQ(dateTimeText({d, 8, 0, 0}), date + "8" + kHour);
    EXPECT_EQ(dateTimeText({d, 0, 0, 0}), date);
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysIn(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

TEST(EntryDateTimeText, ReadsBackEveryDayAndEveryMinute) {
    std::vector<std::string> times;
    for (int h = 0; h < 24; ++h) {
        for (int m = 0; m < 60; ++m) times.push_back(hourMinuteText(h, m));
    }
    // Every day with one minute each, and every minute on the days whose texts are the
    // shortest and the longest (one- and two-digit month and day).
    size_t minute = 0;
    for (int y = 1901; y <= 2049; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= daysIn(y, m); ++d) {
                const std::string& time = times[minute++ % times.size()];
                EntryDateTime back = parseEntryDateTimeText(entryDateTimeText(y, m, d, time));
                ASSERT_EQ(back, (EntryDateTime{{y, m, d}, time})) << y << "-" << m << "-" << d;
            }
        }
    }
    for (const Date& day :
         {Date{1901, 1, 1}, Date{2049, 12, 31}, Date{2024, 1, 31}, Date{2024, 12, 1}}) {
        for (const std::string& time : times) {
            EntryDateTime back =
                parseEntryDateTimeText(entryDateTimeText(day.year, day.month, day.day, time));
            ASSERT_EQ(back, (EntryDateTime{day, time})) << time;
        }
    }
}

TEST(ChosenDay, IsTheDateOfTheDateBoxValue) {
    const DateTime v{{2048, 12, 31}, 23, 59, 59};
    EXPECT_EQ(chosenDay(v), (Date{2048, 12, 31}));
    std::string text = dateTimeText(v);
    EntryDateTime back = parseEntryDateTimeText(textLeft(text, textLength(text) - 12));
    EXPECT_EQ(back.date, chosenDay(v));
}

}  // namespace
}  // namespace ledger
