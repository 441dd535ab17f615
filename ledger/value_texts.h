#pragma once

// Value texts: how every number and date of the ledger is rendered and parsed. Pure functions
// over GBK byte strings; lengths count bytes, positions are 1-based, -1 means not found.

#include <cstdint>
#include <string>

namespace ledger {

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

std::string foldFullWidth(const std::string& t);
float parseNumber(const std::string& t);
int32_t parseInteger(const std::string& t);
std::string integerText(int64_t n);
std::string realText(double x);
std::string floatText(float f);
std::string formatNumber(double x, int decimals);
std::string amountText(double x);
std::string hourMinuteText(int32_t hour, int32_t minute);
std::string dateText(int32_t year, int32_t month, int32_t day);
std::string entryDateTimeText(int32_t year, int32_t month, int32_t day, const std::string& time);
EntryDateTime parseEntryDateTimeText(const std::string& t);
std::string dateTimeText(const DateTime& v);
Date chosenDay(const DateTime& v);

int32_t textLength(const std::string& t);
std::string textLeft(const std::string& t, int32_t n);
std::string textRight(const std::string& t, int32_t n);
std::string textMid(const std::string& t, int32_t p, int32_t n);
int32_t textFind(const std::string& t, const std::string& s);

}  // namespace ledger
