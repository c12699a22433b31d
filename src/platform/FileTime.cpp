#include "platform/FileTime.h"

#include <cstdio>

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

struct Date {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// The Gregorian date of a day counted from 1970-01-01, by eras of 400 years
// that begin on a 1 March, so that the leap day ends each year.
Date dateOfDay(std::int64_t day) {
    const std::int64_t shifted = day + 719468; // from 0000-03-01
    const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const std::int64_t dayOfEra = shifted - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const auto dayOfMonth = static_cast<unsigned>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    const auto month =
        static_cast<unsigned>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    return Date{yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, dayOfMonth};
}

} // namespace

std::string fileTimeText(FileTime time) {
    const FileTime seconds = time / kFileTimeUnitsPerSecond;
    const FileTime nanoseconds =
        time % kFileTimeUnitsPerSecond * (1000000000 / kFileTimeUnitsPerSecond);
    const auto secondOfDay = static_cast<unsigned>(seconds % kSecondsPerDay);
    const Date date = dateOfDay(static_cast<std::int64_t>(seconds / kSecondsPerDay) -
                                kSecondsFrom1601To1970 / kSecondsPerDay);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02u:%02u:%02u.%09llu",
                  static_cast<long long>(date.year), date.month, date.day, secondOfDay / 3600,
                  secondOfDay / 60 % 60, secondOfDay % 60,
                  static_cast<unsigned long long>(nanoseconds));
    return text;
}
