#include "videolog/PreviewGlyphs.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

#include <cmath>

namespace {

constexpr int kGlyphCount = 7;
// Glyphs are drawn on a 16-unit grid and scaled; the sizes an icon carries ready-made.
constexpr double kGrid = 16.0;
constexpr int kSizes[] = {16, 20, 24, 32, 48};

QColor GlyphColor(int skin) {
    return skin == 0 ? QColor(0x20, 0x20, 0x20) : QColor(0xF0, 0xF0, 0xF0);
}

// Shapes are given on the 16-unit grid; every edge is snapped to whole device pixels so
// bars and squares stay sharp at any size.
class TGlyphPainter {
public:
    TGlyphPainter(QPainter& painter, double pixels) : FPainter(painter), FScale(pixels / kGrid) {}

    void Bar(double x, double y, double w, double h) {
        const double left = Snap(x);
        const double top = Snap(y);
        FPainter.drawRect(QRectF(left, top, Snap(x + w) - left, Snap(y + h) - top));
    }
    // A triangle pointing right (or left) filling x..x + w, 3..13.
    void Triangle(double x, double w, bool right) {
        const double tip = right ? Snap(x + w) : Snap(x);
        const double base = right ? Snap(x) : Snap(x + w);
        FPainter.drawPolygon(
            QPolygonF({QPointF(base, Snap(3)), QPointF(tip, Snap(8)), QPointF(base, Snap(13))}));
    }

private:
    double Snap(double units) const { return std::round(units * FScale); }

    QPainter& FPainter;
    double FScale;
};

void DrawGlyph(TGlyphPainter& g, int index) {
    switch (index) {
        case pgPlay:
            g.Triangle(4, 9, true);
            break;
        case pgStop:
            g.Bar(3, 3, 10, 10);
            break;
        case pgPause:
            g.Bar(4, 3, 3, 10);
            g.Bar(9, 3, 3, 10);
            break;
        case pgStepBackward:
            g.Bar(3, 3, 2, 10);
            g.Triangle(6, 7, false);
            break;
        case pgStepForward:
            g.Triangle(3, 7, true);
            g.Bar(11, 3, 2, 10);
            break;
        case pgPrevious:
            g.Bar(1, 3, 2, 10);
            g.Triangle(4, 5, false);
            g.Triangle(9, 5, false);
            break;
        case pgNext:
            g.Triangle(2, 5, true);
            g.Triangle(7, 5, true);
            g.Bar(13, 3, 2, 10);
            break;
        default:
            break;
    }
}

QPixmap Render(int skin, int index, int size, qreal ratio) {
    const int pixels = qRound(size * ratio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);  // smooth diagonals; snapped edges stay sharp
        p.setPen(Qt::NoPen);
        p.setBrush(GlyphColor(skin));
        TGlyphPainter glyph(p, pixels);
        DrawGlyph(glyph, index);
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

}  // namespace

int PreviewGlyphCount() {
    return kGlyphCount;
}

QIcon PreviewGlyph(int Skin, int Index) {
    if ((Skin != 0 && Skin != 1) || Index < 0 || Index >= kGlyphCount) {
        return QIcon();
    }
    QIcon icon;
    for (const int size : kSizes) {
        for (const qreal ratio : {1.0, 2.0}) {
            icon.addPixmap(Render(Skin, Index, size, ratio));
        }
    }
    return icon;
}
