#pragma once

#include "zones/ZoneGeometry.h"

// The colour of a zone's caption, chosen by the brightness of the fill it is written on, so the
// text stays readable on every colour a flashing zone runs through.

// The two caption colours.
constexpr TZoneColor kCaptionDark = ZoneRGB(0, 0, 0);
constexpr TZoneColor kCaptionLight = ZoneRGB(255, 255, 255);

// Relative luminance of an sRGB colour, 0 (black) to 1 (white), as the web's contrast
// guidelines define it.
double RelativeLuminance(TZoneColor Color);

// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double ContrastRatio(TZoneColor First, TZoneColor Second);

// Whichever caption colour stands out more from the fill: dark text on light fills, light
// text on dark ones. Either way the contrast ratio is at least 4.5.
TZoneColor CaptionColorOn(TZoneColor Fill);
