#pragma once

class QApplication;

// The "Windows10 Blue" look: Fusion with a light palette, a blue accent for selections, focus
// and default buttons, and flat blue-bordered controls.
void ApplyWindows10BlueStyle(QApplication& application);
