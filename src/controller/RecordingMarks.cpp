#include "controller/RecordingMarks.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

double RecordingSeconds(TDateTime Start, TDateTime Now) {
    if (Start == 0 || Now <= Start) {
        return 0;
    }
    // A time as a fraction of a day carries rounding noise: 12 s can come out as 11.99999 s.
    // A millisecond of slack shows it as 12.
    return std::floor((Now - Start) * 86400.0 + 1e-3);
}

std::string FormatRecordingTime(double Seconds) {
    const auto total = static_cast<int64_t>(std::isfinite(Seconds) && Seconds > 0 ? Seconds : 0);
    const int64_t hours = total / 3600;
    const auto minutes = static_cast<int>(total / 60 % 60);
    const auto seconds = static_cast<int>(total % 60);
    char text[32];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld:%02d:%02d", static_cast<long long>(hours), minutes,
                      seconds);
    } else {
        std::snprintf(text, sizeof text, "%02d:%02d", minutes, seconds);
    }
    return text;
}
