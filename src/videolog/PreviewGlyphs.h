#pragma once

#include <QIcon>

// The transport glyphs of the playback window, in button order, drawn at run time for each
// skin: skin 0 (light window) has dark glyphs, skin 1 (dark window) light ones. Each icon
// holds crisp renderings for 16 to 48 pixels at normal and double density.
enum TPreviewGlyph {
    pgPlay = 0,
    pgStop = 1,
    pgPause = 2,
    pgStepBackward = 3,
    pgStepForward = 4,
    pgPrevious = 5,
    pgNext = 6,
};

int PreviewGlyphCount();

// The glyph Index (0..6) of skin Skin (0 or 1); an empty icon for anything else.
QIcon PreviewGlyph(int Skin, int Index);
