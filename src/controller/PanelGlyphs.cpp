#include "controller/PanelGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kSize = 16;

void DrawGlyph(QPainter& p, int index) {
    p.setRenderHint(QPainter::Antialiasing);
    const QPen outline(QColor(40, 40, 40), 1.2);
    switch (index) {
        case kGlyphAddZone:
        case kGlyphRemoveZone: {
            p.setPen(QPen(QColor(0, 160, 0), 1.2, Qt::DashLine));
            p.setBrush(QColor(255, 102, 102, 128));
            p.drawRect(QRectF(1.5, 1.5, 10, 10));
            p.setPen(QPen(index == kGlyphAddZone ? QColor(0, 120, 0) : QColor(190, 0, 0), 2.2));
            p.drawLine(QPointF(9, 12.5), QPointF(15, 12.5));
            if (index == kGlyphAddZone) {
                p.drawLine(QPointF(12, 9.5), QPointF(12, 15.5));
            }
            break;
        }
        case kGlyphResetAlarms: {
            p.setPen(QPen(QColor(0, 90, 200), 2));
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
            p.setBrush(QColor(0, 90, 200));
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygonF({QPointF(9, 0.5), QPointF(14, 3), QPointF(9, 6)}));
            break;
        }
        case kGlyphCameraSetup: {
            p.setPen(outline);
            p.setBrush(QColor(90, 90, 90));
            p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 2, 2);
            p.drawRect(QRectF(5.5, 2.5, 5, 2));
            p.setBrush(QColor(150, 200, 255));
            p.drawEllipse(QPointF(8, 9), 3, 3);
            break;
        }
        case kGlyphActivate: {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 150, 0));
            p.drawPolygon(QPolygonF({QPointF(3, 2), QPointF(14, 8), QPointF(3, 14)}));
            break;
        }
        case kGlyphDeactivate: {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(200, 0, 0));
            p.drawRect(QRectF(3, 3, 10, 10));
            break;
        }
        case kGlyphVideosList: {
            p.setPen(outline);
            p.setBrush(QColor(230, 230, 230));
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            p.setPen(QPen(QColor(60, 60, 60), 1.5));
            for (int y : {5, 8, 11}) {
                p.drawLine(QPointF(4, y), QPointF(12, y));
            }
            break;
        }
        case kGlyphAlarms: {
            p.setPen(outline);
            p.setBrush(QColor(240, 190, 0));
            QPainterPath bell;
            bell.moveTo(8, 1.5);
            bell.cubicTo(3, 2, 4, 9, 2, 12);
            bell.lineTo(14, 12);
            bell.cubicTo(12, 9, 13, 2, 8, 1.5);
            p.drawPath(bell);
            p.drawEllipse(QPointF(8, 13.5), 1.8, 1.8);
            break;
        }
        default:
            break;
    }
}

}  // namespace

QIcon PanelGlyph(int Index) {
    if (Index < kGlyphAddZone || Index > kGlyphAlarms) {
        return QIcon();
    }
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    DrawGlyph(painter, Index);
    painter.end();
    return QIcon(pixmap);
}
