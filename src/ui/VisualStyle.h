#pragma once

class QApplication;

// The "Windows10 Blue" look: Fusion with a light palette, a blue accent for selections, focus
// and default buttons, and flat blue-bordered controls.
void ApplyWindows10BlueStyle(QApplication& application);

// Makes the dialogs' Tahoma available: the system's own when installed, else the metric-compatible
// copy shipped with Wine's fonts (the dialogs' fixed layouts are measured in it).
void RegisterDialogFonts();
