#pragma once

// The Chinese lunar date of a Gregorian day and its display text. The lunar numbers come from
// liblunar-date; the names (stems, branches, animals, months, days) are tables of our own.

#include <QDate>
#include <QString>

namespace ui {

// The first and last day the date boxes accept: the lunar tables behind them cover this range.
inline const QDate kFirstLunarDay{1901, 2, 19};
inline const QDate kLastLunarDay{2048, 12, 31};

struct LunarDay {
    int year = 0;   // the lunar year; it changes at the lunar new year, not on 1 January
    int month = 0;  // 1 to 12
    bool leap = false;
    int day = 0;  // 1 to 30
    bool operator==(const LunarDay&) const = default;
};

// The lunar date of `d`; all zero when `d` lies outside kFirstLunarDay..kLastLunarDay.
LunarDay lunarDayOf(const QDate& d);

// The sexagenary name of a lunar year ("丁卯"), its zodiac animal ("兔"), a month name with 闰
// for a leap month ("闰六月"), a day name ("初一").
QString yearName(int lunarYear);
QString zodiacName(int lunarYear);
QString monthName(int month, bool leap);
QString dayName(int day);

// The date box text "%Y年(%S)%M%D %y-%m-%d": "丁卯年(兔)闰六月初一 1987-7-26". Empty outside the
// accepted range.
QString lunarDateText(const QDate& d);

}  // namespace ui
