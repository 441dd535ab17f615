#include "ui/lunar_calendar.h"

#include <lunar-date/lunar-date.h>

#include <array>
#include <memory>

namespace ui {
namespace {

constexpr std::array<const char*, 10> kStems = {"甲", "乙", "丙", "丁", "戊",
                                                "己", "庚", "辛", "壬", "癸"};
constexpr std::array<const char*, 12> kBranches = {"子", "丑", "寅", "卯", "辰", "巳",
                                                   "午", "未", "申", "酉", "戌", "亥"};
constexpr std::array<const char*, 12> kAnimals = {"鼠", "牛", "虎", "兔", "龙", "蛇",
                                                  "马", "羊", "猴", "鸡", "狗", "猪"};
constexpr std::array<const char*, 12> kMonths = {"正月", "二月", "三月", "四月", "五月", "六月",
                                                 "七月", "八月", "九月", "十月", "冬月", "腊月"};
constexpr std::array<const char*, 10> kDigits = {"十", "一", "二", "三", "四",
                                                 "五", "六", "七", "八", "九"};

struct LunarDateDeleter {
    void operator()(LunarDate* d) const { lunar_date_free(d); }
};

// The library's numeric fields, read through its own format codes: "%(yue)" gives the month
// with a leading "*" for a leap month.
QString field(LunarDate* d, const char* format) {
    gchar* s = lunar_date_strftime(d, format);
    QString text = QString::fromUtf8(s);
    g_free(s);
    return text;
}

// Stem and branch cycle from 4 CE, a 甲子 year.
int cycle(int lunarYear, int n) { return ((lunarYear - 4) % n + n) % n; }

}  // namespace

LunarDay lunarDayOf(const QDate& d) {
    if (!d.isValid() || d < kFirstLunarDay || d > kLastLunarDay) return {};
    // One object per thread: creating it loads the library's tables.
    thread_local std::unique_ptr<LunarDate, LunarDateDeleter> date(lunar_date_new());
    GError* error = nullptr;
    lunar_date_set_solar_date(date.get(), static_cast<GDateYear>(d.year()),
                              static_cast<GDateMonth>(d.month()), static_cast<GDateDay>(d.day()),
                              12, &error);
    if (error) {
        g_error_free(error);
        return {};
    }
    LunarDay out;
    out.year = field(date.get(), "%(nian)").toInt();
    QString month = field(date.get(), "%(yue)");
    out.leap = month.startsWith(QLatin1Char('*'));
    out.month = (out.leap ? month.mid(1) : month).toInt();
    out.day = field(date.get(), "%(ri)").toInt();
    return out;
}

QString yearName(int lunarYear) {
    return QString::fromUtf8(kStems[cycle(lunarYear, 10)]) +
           QString::fromUtf8(kBranches[cycle(lunarYear, 12)]);
}

QString zodiacName(int lunarYear) { return QString::fromUtf8(kAnimals[cycle(lunarYear, 12)]); }

QString monthName(int month, bool leap) {
    if (month < 1 || month > 12) return {};
    return (leap ? QStringLiteral("闰") : QString()) + QString::fromUtf8(kMonths[month - 1]);
}

QString dayName(int day) {
    if (day < 1 || day > 30) return {};
    if (day == 10) return QStringLiteral("初十");
    if (day == 20) return QStringLiteral("二十");
    if (day == 30) return QStringLiteral("三十");
    static const char* const kTens[] = {"初", "十", "廿"};
    return QString::fromUtf8(kTens[day / 10]) + QString::fromUtf8(kDigits[day % 10]);
}

QString lunarDateText(const QDate& d) {
    LunarDay l = lunarDayOf(d);
    if (l.year == 0) return {};
    return yearName(l.year) + QStringLiteral("年(") + zodiacName(l.year) + QStringLiteral(")") +
           monthName(l.month, l.leap) + dayName(l.day) +
           QStringLiteral(" %1-%2-%3").arg(d.year()).arg(d.month()).arg(d.day());
}

}  // namespace ui
