#pragma once

// Calendar arithmetic of the day page's step buttons, on plain (year, month, day) triples.
// A month is long (31 days) when its number's text occurs in "135781012"; February has 29 days
// in a year divisible by 4 (no century exception), which is all the date box's range needs.

#include <string>

#include "ledger/value_texts.h"

namespace ledger {

// The day before d.
Date previousDate(const Date& d);
// The day after d.
Date nextDate(const Date& d);

// Splits a date box text ("2024年3月5日23时59分59秒") into year, month and day: the pattern
// "(.*?)年(.*?)月(.*?)日" matched from the first byte, each capture read with parseInteger.
// The pattern steps over whole GBK characters, so the bytes of 年, 月 or 日 are never matched
// across two characters (a trail byte followed by a lead byte). A text without the three words
// gives 0, 0, 0.
Date splitDateText(const std::string& text);

}  // namespace ledger
