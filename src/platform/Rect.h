#pragma once

#include <cstdint>

// A rectangle in pixel coordinates; Right and Bottom are exclusive, so the width is
// Right - Left and the height Bottom - Top (an inverted rectangle is empty).
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    // 64-bit so that extreme coordinates cannot overflow.
    int64_t Width() const { return int64_t{Right} - Left; }
    int64_t Height() const { return int64_t{Bottom} - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }

    friend bool operator==(const TRect&, const TRect&) = default;
};
