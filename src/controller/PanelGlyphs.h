#pragma once

#include <QIcon>

// The main window's image list entries used by the camera panel's buttons:
// 20 add zone, 21 remove zone, 22 reset alarms, 23 camera setup, 24 activate, 25 deactivate,
// 26 videos list, 27 alarms. Other indexes give an empty icon.
constexpr int kGlyphAddZone = 20;
constexpr int kGlyphRemoveZone = 21;
constexpr int kGlyphResetAlarms = 22;
constexpr int kGlyphCameraSetup = 23;
constexpr int kGlyphActivate = 24;
constexpr int kGlyphDeactivate = 25;
constexpr int kGlyphVideosList = 26;
constexpr int kGlyphAlarms = 27;

QIcon PanelGlyph(int Index);
