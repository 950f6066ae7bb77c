#pragma once

#include <functional>
#include <string>

// Date-time as days since 30 December 1899; the fraction is the local time of day.
using TDateTime = double;

struct TDateTimeParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// The current local date and time, from the installed clock (the system clock by default).
TDateTime Now();

// Installs the clock behind Now (tests use a fake one); an empty function restores the system
// clock. Returns the previous clock (empty for the system clock).
using TDateTimeClock = std::function<TDateTime()>;
TDateTimeClock SetDateTimeClock(TDateTimeClock clock);

TDateTime EncodeDateTime(const TDateTimeParts& parts);
TDateTimeParts DecodeDateTime(TDateTime value);

// Supports the tokens yyyy, mm, dd, hh, nn, ss (zero-padded) and copies anything else, e.g.
// "yyyymmdd_hhnnss" and "dd.mm.yyyy hh:nn:ss".
std::string FormatDateTime(const std::string& format, TDateTime value);

constexpr double kMillisecondsPerDay = 86400000.0;
