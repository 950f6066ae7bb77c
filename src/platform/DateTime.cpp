#include "platform/DateTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>

namespace {

std::mutex gClockMutex;
std::shared_ptr<TDateTimeClock> gClock;

// Days from 1970-01-01 for a proleptic Gregorian date (Howard Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

// 1899-12-30 is day 0.
const long long kEpochOffset = DaysFromCivil(1899, 12, 30);

TDateTime SystemNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                            now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    TDateTimeParts parts;
    parts.Year = local.tm_year + 1900;
    parts.Month = local.tm_mon + 1;
    parts.Day = local.tm_mday;
    parts.Hour = local.tm_hour;
    parts.Minute = local.tm_min;
    parts.Second = local.tm_sec;
    parts.Millisecond = static_cast<int>(millis < 0 ? millis + 1000 : millis);
    return EncodeDateTime(parts);
}

}  // namespace

TDateTime Now() {
    std::shared_ptr<TDateTimeClock> clock;
    {
        std::lock_guard lock(gClockMutex);
        clock = gClock;
    }
    return clock && *clock ? (*clock)() : SystemNow();
}

TDateTimeClock SetDateTimeClock(TDateTimeClock clock) {
    auto next = clock ? std::make_shared<TDateTimeClock>(std::move(clock)) : nullptr;
    std::lock_guard lock(gClockMutex);
    auto previous = std::move(gClock);
    gClock = std::move(next);
    return previous ? *previous : TDateTimeClock{};
}

TDateTime EncodeDateTime(const TDateTimeParts& p) {
    const long long days = DaysFromCivil(p.Year, static_cast<unsigned>(p.Month),
                                         static_cast<unsigned>(p.Day)) - kEpochOffset;
    const double time =
        ((p.Hour * 60.0 + p.Minute) * 60.0 + p.Second) * 1000.0 + p.Millisecond;
    return static_cast<double>(days) + time / kMillisecondsPerDay;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    // Round to whole milliseconds first so 12:00:00 never decodes as 11:59:59.999.
    const long long totalMs = std::llround(value * kMillisecondsPerDay);
    long long days = totalMs / 86400000LL;
    long long msOfDay = totalMs % 86400000LL;
    if (msOfDay < 0) {
        msOfDay += 86400000LL;
        --days;
    }
    TDateTimeParts parts;
    CivilFromDays(days + kEpochOffset, parts.Year, parts.Month, parts.Day);
    parts.Hour = static_cast<int>(msOfDay / 3600000);
    parts.Minute = static_cast<int>(msOfDay / 60000 % 60);
    parts.Second = static_cast<int>(msOfDay / 1000 % 60);
    parts.Millisecond = static_cast<int>(msOfDay % 1000);
    return parts;
}

std::string FormatDateTime(const std::string& format, TDateTime value) {
    const TDateTimeParts p = DecodeDateTime(value);
    std::string out;
    char number[16];
    for (size_t i = 0; i < format.size();) {
        auto starts = [&](const char* token) { return format.compare(i, std::strlen(token), token) == 0; };
        if (starts("yyyy")) {
            std::snprintf(number, sizeof number, "%04d", p.Year);
            i += 4;
        } else if (starts("mm")) {
            std::snprintf(number, sizeof number, "%02d", p.Month);
            i += 2;
        } else if (starts("dd")) {
            std::snprintf(number, sizeof number, "%02d", p.Day);
            i += 2;
        } else if (starts("hh")) {
            std::snprintf(number, sizeof number, "%02d", p.Hour);
            i += 2;
        } else if (starts("nn")) {
            std::snprintf(number, sizeof number, "%02d", p.Minute);
            i += 2;
        } else if (starts("ss")) {
            std::snprintf(number, sizeof number, "%02d", p.Second);
            i += 2;
        } else {
            out.push_back(format[i++]);
            continue;
        }
        out += number;
    }
    return out;
}
