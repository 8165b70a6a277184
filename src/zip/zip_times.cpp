// Calendar arithmetic for entry times. The DOS form is computed here rather
// than by the platform so that out-of-range years clamp instead of failing.
#include "zip_times.h"

#include <ctime>

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kSecondsPerDay = 86400;

// Days since 1601-01-01 to a civil date, proleptic Gregorian.
void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    // Shift to an era-based count from 0000-03-01.
    std::int64_t z = days + 584694; // 1601-01-01 is day 584694 after 0000-03-01
    std::int64_t era = z / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

} // namespace

CalendarTime SplitFileTime(FileTime time) {
    std::int64_t seconds = static_cast<std::int64_t>(time / kTicksPerSecond);
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t rest = seconds % kSecondsPerDay;
    CalendarTime calendar;
    CivilFromDays(days, calendar.year, calendar.month, calendar.day);
    calendar.hour = static_cast<int>(rest / 3600);
    calendar.minute = static_cast<int>(rest / 60 % 60);
    calendar.second = static_cast<int>(rest % 60);
    return calendar;
}

std::uint32_t DosDateTime(FileTime time) {
    CalendarTime c = SplitFileTime(time);
    if (c.year < 1980) {
        c = CalendarTime{1980, 1, 1, 0, 0, 0};
    } else if (c.year > 2107) {
        c = CalendarTime{2107, 12, 31, 23, 59, 58};
    }
    std::uint32_t date =
        static_cast<std::uint32_t>(((c.year - 1980) << 9) | (c.month << 5) | c.day);
    std::uint32_t clock =
        static_cast<std::uint32_t>((c.hour << 11) | (c.minute << 5) | (c.second / 2));
    return (date << 16) | clock;
}

std::uint32_t UnixTime(FileTime time) {
    CalendarTime c = SplitFileTime(time);
    if (c.year < 1970) {
        c.year = 1970;
        c.month = 1;
        c.day = 1;
    } else if (c.year > 2037) {
        c.year = 2037;
        c.month = 12;
        c.day = 31;
    }
    std::tm fields{};
    fields.tm_sec = c.second;
    fields.tm_min = c.minute;
    fields.tm_hour = c.hour;
    fields.tm_mday = c.day;
    fields.tm_mon = c.month - 1;
    fields.tm_year = c.year - 1900;
    fields.tm_isdst = 0;
    return static_cast<std::uint32_t>(std::mktime(&fields));
}
