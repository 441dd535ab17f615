#pragma once

// Value texts: how every number and date of the ledger is rendered and parsed. Pure functions
// over GBK byte strings; lengths count bytes, positions are 1-based, -1 means not found.

#include <cstdint>
#include <optional>
#include <string>

namespace ledger {

// The words a date text is built from, GBK bytes: 2024年3月5日.
inline constexpr char kYear[] = "\xc4\xea";   // 年
inline constexpr char kMonth[] = "\xd4\xc2";  // 月
inline constexpr char kDay[] = "\xc8\xd5";    // 日

// A calendar date.
struct Date {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    bool operator==(const Date&) const = default;
};

// A date with a time of day to the second (the date boxes' values read as 23:59:59).
struct DateTime {
    Date date;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    bool operator==(const DateTime&) const = default;
};

// The fields parseEntryDateTimeText reads back.
struct EntryDateTime {
    Date date;
    std::string timeText;
    bool operator==(const EntryDateTime&) const = default;
};

// Replaces full-width ASCII forms, the ideographic space, the full-width tilde and the two stars
// by their one-byte forms; drops a lone lead byte at the end.
std::string foldFullWidth(const std::string& t);
// The leading number of the folded text (exponent letters e, E, d, D), read as the nearest
// 64-bit real and then rounded to a 32-bit float; 0 when there is none. Never depends on locale.
float parseNumber(const std::string& t);
// parseNumber for a value to be stored as an amount: nothing when the number read is not finite or
// lies beyond the 32-bit float's range (1e39 would be stored as infinity).
std::optional<float> parseAmount(const std::string& t);
// Whether a stored amount counts: infinity and NaN, written by hand or by another program, do not.
bool isUsableAmount(float amount);
// What a list shows for a stored amount: amountText, or "金额无效" for one that does not count.
std::string amountCellText(float amount);
inline constexpr char kInvalidAmountText[] = "\xbd\xf0\xb6\xee\xce\xde\xd0\xa7";  // 金额无效
// The leading integer of the folded text in wrapping 32-bit arithmetic; 0 when there is none.
int32_t parseInteger(const std::string& t);
std::string integerText(int64_t n);
// "%.13g" in the C locale.
std::string realText(double x);
// The shortest text that parseNumber reads back as exactly f, in plain notation unless that
// would take more than the amount input's 10 bytes (then d.ddde+XX); either zero gives "0".
std::string floatText(float f);
// x rounded half away from zero to `decimals` places, always with exactly that many decimals.
std::string formatNumber(double x, int decimals);
// formatNumber(x, 2) followed by "元".
std::string amountText(double x);
// The 8-byte stored time text: two-digit hour, "时", two-digit minute, "分".
std::string hourMinuteText(int32_t hour, int32_t minute);
std::string dateText(int32_t year, int32_t month, int32_t day);
std::string entryDateTimeText(int32_t year, int32_t month, int32_t day, const std::string& time);
// Reads back what entryDateTimeText built, exactly for four-digit years and 8-byte times.
EntryDateTime parseEntryDateTimeText(const std::string& t);
std::string dateTimeText(const DateTime& v);
Date chosenDay(const DateTime& v);

int32_t textLength(const std::string& t);
std::string textLeft(const std::string& t, int32_t n);
std::string textRight(const std::string& t, int32_t n);
std::string textMid(const std::string& t, int32_t p, int32_t n);
// 1-based position of s in t, never starting on the second byte of a two-byte character; -1
// when absent. An empty s gives 1 in a non-empty t.
int32_t textFind(const std::string& t, const std::string& s);

}  // namespace ledger
