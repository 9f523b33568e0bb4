#pragma once
// Setting the system's wall clock from GPS time. A refusal (a desktop user lacks the right) is
// expected and ignored by callers, never reported as a fault.
//
// UtcTime is a broken-down UTC date and time as a receiver reports it. The helpers below convert
// it to and from milliseconds since 1970-01-01 (proleptic Gregorian calendar, no leap seconds),
// so a time can be moved on by the delay since the sentence arrived.

#include <cstdint>

namespace orv {

struct UtcTime
{
    int year = 0;         // four digits
    int month = 0;        // 1..12
    int day = 0;          // 1..31
    int hour = 0;         // 0..23
    int minute = 0;       // 0..59
    int second = 0;       // 0..59
    int millisecond = 0;  // 0..999
};

class SystemClock
{
public:
    virtual ~SystemClock() = default;
    // Returns false when the platform refused.
    virtual bool Set(const UtcTime& time) = 0;
};

constexpr bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int DaysInMonth(int year, int month)
{
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// True when every field is in range: a date that exists and a time of day.
constexpr bool IsValid(const UtcTime& t)
{
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
           t.minute <= 59 && t.second >= 0 && t.second <= 59 && t.millisecond >= 0 &&
           t.millisecond <= 999;
}

// Days since 1970-01-01 of a valid civil date.
constexpr int64_t DaysFromCivil(int year, int month, int day)
{
    const int64_t y = int64_t{year} - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t monthIndex = month > 2 ? month - 3 : month + 9;
    const int64_t dayOfYear = (153 * monthIndex + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Milliseconds since 1970-01-01 00:00:00 UTC of a valid time.
constexpr int64_t ToUnixMilliseconds(const UtcTime& t)
{
    const int64_t days = DaysFromCivil(t.year, t.month, t.day);
    return ((days * 24 + t.hour) * 60 + t.minute) * 60000 + int64_t{t.second} * 1000 +
           t.millisecond;
}

constexpr UtcTime FromUnixMilliseconds(int64_t ms)
{
    const int64_t kDay = 86400000;
    int64_t days = ms / kDay;
    int64_t rest = ms % kDay;
    if (rest < 0) {
        rest += kDay;
        --days;
    }
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    UtcTime t;
    t.year = int(year);
    t.month = int(month);
    t.day = int(day);
    t.hour = int(rest / 3600000);
    t.minute = int(rest / 60000 % 60);
    t.second = int(rest / 1000 % 60);
    t.millisecond = int(rest % 1000);
    return t;
}

}  // namespace orv
