#include "ledger/value_texts.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace ledger {
namespace {

// GBK bytes of the words the date and amount texts are built from.
constexpr std::string_view kYear = "\xc4\xea";    // 年
constexpr std::string_view kMonth = "\xd4\xc2";   // 月
constexpr std::string_view kDay = "\xc8\xd5";     // 日
constexpr std::string_view kHour = "\xca\xb1";    // 时
constexpr std::string_view kMinute = "\xb7\xd6";  // 分
constexpr std::string_view kSecond = "\xc3\xeb";  // 秒
constexpr std::string_view kYuan = "\xd4\xaa";    // 元

bool isLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

size_t skipSpace(const std::string& t, size_t i) {
    while (i < t.size() && isSpace(t[i])) ++i;
    return i;
}

// The C locale, so that reading a number never depends on the process's LC_NUMERIC (the
// window's toolkit sets the user's locale at start).
locale_t cLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

// Reads the longest number prefix of `t` (already folded) as the nearest 64-bit real.
// The exponent letters d and D read as e; a text without digits gives 0.
double readReal(const std::string& t) {
    size_t i = skipSpace(t, 0);
    std::string number;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) number += t[i++];
    size_t digits = 0;
    while (i < t.size() && isDigit(t[i])) {
        number += t[i++];
        ++digits;
    }
    if (i < t.size() && t[i] == '.') {
        number += t[i++];
        while (i < t.size() && isDigit(t[i])) {
            number += t[i++];
            ++digits;
        }
    }
    if (digits == 0) return 0.0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) exponent += t[j++];
        if (j < t.size() && isDigit(t[j])) {
            while (j < t.size() && isDigit(t[j])) exponent += t[j++];
            number += exponent;
        }
    }
    return strtod_l(number.c_str(), nullptr, cLocale());
}

std::string twoDigits(int32_t n) {
    std::string s = integerText(n);
    if (s.size() == 1) s.insert(s.begin(), '0');
    return s;
}

// Significant digits and decimal exponent of a float's decimal text: value = d.ddd x 10^exp.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

// Splits a text of the form [-]d[.ddd]e[+-]XX into its digits and exponent.
Decimal splitScientific(std::string_view s) {
    Decimal d;
    size_t i = 0;
    if (s[i] == '-') {
        d.negative = true;
        ++i;
    }
    for (; i < s.size() && s[i] != 'e'; ++i) {
        if (s[i] != '.') d.digits += s[i];
    }
    if (i < s.size()) {
        int e = 0;
        std::string_view rest = s.substr(i + 1);
        if (!rest.empty() && rest[0] == '+') rest.remove_prefix(1);
        std::from_chars(rest.data(), rest.data() + rest.size(), e);
        d.exponent = e;
    }
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    return d;
}

std::string plainText(const Decimal& d) {
    std::string s = d.negative ? "-" : "";
    int n = static_cast<int>(d.digits.size());
    if (d.exponent >= n - 1) {
        s += d.digits;
        s.append(static_cast<size_t>(d.exponent - (n - 1)), '0');
    } else if (d.exponent >= 0) {
        s += d.digits.substr(0, static_cast<size_t>(d.exponent + 1));
        s += '.';
        s += d.digits.substr(static_cast<size_t>(d.exponent + 1));
    } else {
        s += "0.";
        s.append(static_cast<size_t>(-d.exponent - 1), '0');
        s += d.digits;
    }
    return s;
}

bool sameFloat(float a, float b) { return std::signbit(a) == std::signbit(b) && a == b; }

// The amount input holds at most this many bytes; plain notation is used whenever it fits.
constexpr size_t kAmountInputBytes = 10;

}  // namespace

std::string foldFullWidth(const std::string& t) {
    std::string out;
    out.reserve(t.size());
    for (size_t i = 0; i < t.size();) {
        unsigned char lead = static_cast<unsigned char>(t[i]);
        if (lead < 0x80) {
            out += t[i++];
            continue;
        }
        if (i + 1 >= t.size()) break;  // a lone lead byte at the end is dropped
        unsigned char trail = static_cast<unsigned char>(t[i + 1]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            out += static_cast<char>(trail & 0x7F);
        } else if (lead == 0xA1 && trail == 0xA1) {
            out += ' ';
        } else if (lead == 0xA1 && trail == 0xAB) {
            out += '~';
        } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
            out += '*';
        } else {
            out += t[i];
            out += t[i + 1];
        }
        i += 2;
    }
    return out;
}

float parseNumber(const std::string& t) { return static_cast<float>(readReal(foldFullWidth(t))); }

int32_t parseInteger(const std::string& t) {
    std::string f = foldFullWidth(t);
    size_t i = skipSpace(f, 0);
    bool negative = false;
    if (i < f.size() && (f[i] == '+' || f[i] == '-')) negative = f[i++] == '-';
    uint32_t value = 0;  // unsigned, so that overflow wraps around as 32-bit arithmetic does
    while (i < f.size() && isDigit(f[i])) value = value * 10u + static_cast<uint32_t>(f[i++] - '0');
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

std::string integerText(int64_t n) { return std::to_string(n); }

std::string realText(double x) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 13);
    return std::string(buf, r.ptr);
}

std::string floatText(float f) {
    if (std::isnan(f) || std::isinf(f)) {
        char buf[16];
        auto r = std::to_chars(buf, buf + sizeof buf, f);
        return std::string(buf, r.ptr);
    }
    // Both zeros give "0", which the amount input shows as empty.
    if (f == 0.0f) return "0";
    // The shortest digits that read back as f. parseNumber goes through a 64-bit real first, so
    // the text is checked against it, and more digits are taken in the rare case that differs.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::scientific);
    std::string sci(buf, r.ptr);
    for (int precision = 0; !sameFloat(parseNumber(sci), f) && precision <= 9; ++precision) {
        r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(f),
                          std::chars_format::scientific, precision);
        sci.assign(buf, r.ptr);
    }
    std::string plain = plainText(splitScientific(sci));
    return plain.size() <= kAmountInputBytes ? plain : sci;
}

std::string formatNumber(double x, int decimals) {
    double rounded = x;
    if (x != 0.0) {
        double scale = std::pow(10.0, decimals);
        double s = std::fabs(x) * scale;
        double whole = 0.0;
        double fraction = std::modf(s + 1e-12, &whole);
        rounded = std::copysign((fraction >= 0.5 ? whole + 1.0 : whole) / scale, x);
    }
    std::string text = realText(rounded);
    size_t point = text.find('.');
    if (point == std::string::npos) {
        text += '.';
        text.append(static_cast<size_t>(decimals), '0');
    } else {
        size_t have = text.size() - point - 1;
        if (have < static_cast<size_t>(decimals)) {
            text.append(static_cast<size_t>(decimals) - have, '0');
        }
    }
    return text;
}

std::string amountText(double x) { return formatNumber(x, 2) + std::string(kYuan); }

std::string hourMinuteText(int32_t hour, int32_t minute) {
    return twoDigits(hour) + std::string(kHour) + twoDigits(minute) + std::string(kMinute);
}

std::string dateText(int32_t year, int32_t month, int32_t day) {
    std::string s = integerText(year);
    s += kYear;
    s += integerText(month);
    s += kMonth;
    s += integerText(day);
    s += kDay;
    return s;
}

std::string entryDateTimeText(int32_t year, int32_t month, int32_t day, const std::string& time) {
    return dateText(year, month, day) + time;
}

EntryDateTime parseEntryDateTimeText(const std::string& t) {
    EntryDateTime v;
    v.date.year = parseInteger(textLeft(t, 4));
    int32_t p = textFind(t, std::string(kMonth));
    v.date.month = parseInteger(textMid(t, 7, p - 7));
    // The day's one or two digits are followed by the lead byte of 日, which ends the number.
    v.date.day = parseInteger(textMid(t, p + 2, 3));
    v.timeText = textRight(t, 8);
    return v;
}

std::string dateTimeText(const DateTime& v) {
    std::string s = dateText(v.date.year, v.date.month, v.date.day);
    if (v.second != 0) {
        s += integerText(v.hour) + std::string(kHour) + integerText(v.minute) +
             std::string(kMinute) + integerText(v.second) + std::string(kSecond);
    } else if (v.minute != 0) {
        s +=
            integerText(v.hour) + std::string(kHour) + integerText(v.minute) + std::string(kMinute);
    } else if (v.hour != 0) {
        s += integerText(v.hour) + std::string(kHour);
    }
    return s;
}

Date chosenDay(const DateTime& v) { return v.date; }

int32_t textLength(const std::string& t) { return static_cast<int32_t>(t.size()); }

std::string textLeft(const std::string& t, int32_t n) {
    if (n <= 0) return {};
    return t.substr(0, static_cast<size_t>(n));
}

std::string textRight(const std::string& t, int32_t n) {
    if (n <= 0) return {};
    size_t k = std::min(static_cast<size_t>(n), t.size());
    return t.substr(t.size() - k);
}

std::string textMid(const std::string& t, int32_t p, int32_t n) {
    if (p < 1 || p > textLength(t) || n <= 0) return {};
    return t.substr(static_cast<size_t>(p - 1), static_cast<size_t>(n));
}

int32_t textFind(const std::string& t, const std::string& s) {
    if (t.empty()) return -1;
    if (s.empty()) return 1;
    for (size_t i = 0; i + s.size() <= t.size();) {
        if (t.compare(i, s.size(), s) == 0) return static_cast<int32_t>(i + 1);
        i += isLeadByte(t[i]) ? 2 : 1;  // a match never starts on a character's second byte
    }
    return -1;
}

}  // namespace ledger
