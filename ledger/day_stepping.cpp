#include "ledger/day_stepping.h"

#include <boost/regex.hpp>
#include <cmath>

#include "ledger/value_texts.h"

namespace ledger {

namespace {

// The months whose number's text occurs here have 31 days.
constexpr char kLongMonthDigits[] = "135781012";

bool isLongMonth(int32_t month) { return textFind(kLongMonthDigits, integerText(month)) > 0; }

// Divisibility by 4 as the ledger tests it everywhere: the real remainder counts as zero
// within 1e-7.
bool isDivisibleBy4(int32_t year) {
    return std::fabs(std::fmod(static_cast<double>(year), 4.0)) <= 1e-7;
}

int32_t lastDayOf(int32_t year, int32_t month) {
    if (month == 2) return isDivisibleBy4(year) ? 29 : 28;
    return isLongMonth(month) ? 31 : 30;
}

// One GBK character: a byte below 0x80, or a lead byte and whatever byte follows it. Used in
// place of "." so that each lazy capture ends on a character boundary.
#define GBK_CHAR "(?:[\\x00-\\x7f]|[\\x80-\\xff][\\x00-\\xff])"

const boost::regex& datePattern() {
    // (.*?)年(.*?)月(.*?)日 with "." meaning one whole GBK character.
    static const boost::regex pattern(std::string("(" GBK_CHAR "*?)") + kYear + "(" GBK_CHAR "*?)" +
                                      kMonth + "(" GBK_CHAR "*?)" + kDay);
    return pattern;
}

#undef GBK_CHAR

}  // namespace

Date previousDate(const Date& d) {
    Date r = d;
    r.day -= 1;
    if (r.day > 0) return r;
    r.month -= 1;
    if (r.month == 0) {
        r.month = 12;
        r.year -= 1;
    }
    r.day = lastDayOf(r.year, r.month);
    return r;
}

Date nextDate(const Date& d) {
    Date r = d;
    r.day += 1;
    if (d.month == 2) {
        if (r.day == 30 || (r.day == 29 && !isDivisibleBy4(r.year))) {
            r.day = 1;
            r.month = 3;
        }
    } else {
        bool shortMonth = d.month == 4 || d.month == 6 || d.month == 9 || d.month == 11;
        if ((isLongMonth(d.month) && r.day == 32) || (shortMonth && r.day == 31)) {
            r.day = 1;
            r.month += 1;
        }
    }
    if (r.month == 13) {
        r.month = 1;
        r.year += 1;
    }
    return r;
}

Date splitDateText(const std::string& text) {
    boost::smatch m;
    // Matching from the first byte keeps the walk on character boundaries from the start.
    if (!boost::regex_search(text, m, datePattern(), boost::match_continuous)) return {};
    return {parseInteger(m[1].str()), parseInteger(m[2].str()), parseInteger(m[3].str())};
}

}  // namespace ledger
