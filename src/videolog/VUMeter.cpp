#include "videolog/VUMeter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "platform/Diagnostics.h"

namespace {

QColor ToQColor(TColor c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

uint16_t ToStep(int32_t value) {
    return static_cast<uint16_t>(std::clamp(value, 0, 65535));
}

// A one-pixel line from (x1, y1) towards (x2, y2) without its end point, along one axis.
void FillLine(QPainter& p, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor color) {
    if (y1 == y2 && x2 > x1) {
        p.fillRect(QRect(x1, y1, x2 - x1, 1), ToQColor(color));
    } else if (x1 == x2 && y2 > y1) {
        p.fillRect(QRect(x1, y1, 1, y2 - y1), ToQColor(color));
    }
}

}  // namespace

TVUMeter::TVUMeter(QWidget* Parent) : QWidget(Parent) {
    // Drawn in full at every paint: no native window, no background erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    resize(20, 150);
    RefreshBarCount();
}

TVUMeter::~TVUMeter() = default;

int32_t TVUMeter::Extent() const {
    return FOrientation == trVertical ? height() : width();
}

void TVUMeter::RefreshBarCount() {
    FBarCount = VUBarCount(Extent(), FBorders, FBarSize);
}

void TVUMeter::SetVolume(double Value) {
    try {
        FVolume = ClampVUVolume(Value);
        FPosition = ToStep(VUStepOfVolume(FVolume, FMaxValue));
        update();
    } catch (...) {
        LogMessage("Error in TVUMeter.SetVolume call...");
    }
}

void TVUMeter::SetPosition(int32_t Value) {
    try {
        FPosition = ToStep(std::clamp<int32_t>(Value, 0, FMaxValue));
        FVolume = VUVolumeOfStep(FPosition, FMaxValue);
        update();
    } catch (...) {
        LogMessage("Error in TVUMeter.SetPosition call...");
    }
}

void TVUMeter::SetMaxValue(int32_t Value) {
    const uint16_t value = ToStep(Value);
    if (value != FMaxValue) {
        FMaxValue = value;
        update();
    }
}

void TVUMeter::SetBarSize(int32_t Value) {
    try {
        if (!FBorders) {
            FBarSize = 1;
        } else {
            const int32_t limit = Extent() - 4;
            // A segment needs at least one pixel; 0 would leave no count to divide by.
            if (Value < 1 || Value == FBarSize || Value >= limit) {
                return;
            }
            FBarSize = ToStep(Value);
        }
        RefreshBarCount();
        update();
    } catch (...) {
        LogMessage("Error in TVUMeter.SetBarSize call...");
    }
}

void TVUMeter::SetOrientation(TTrackBarOrientation Value) {
    if (Value == FOrientation) {
        return;
    }
    FOrientation = Value;
    setGeometry(geometry());
    RefreshBarCount();
    update();
}

void TVUMeter::SetColorLow(TColor Value) {
    if (Value != FColorLow) {
        FColorLow = Value;
        update();
    }
}

void TVUMeter::SetColorMid(TColor Value) {
    if (Value != FColorMid) {
        FColorMid = Value;
        update();
    }
}

void TVUMeter::SetColorHi(TColor Value) {
    if (Value != FColorHi) {
        FColorHi = Value;
        update();
    }
}

void TVUMeter::SetBackColor(TColor Value) {
    FBackColor = Value;
    update();
}

void TVUMeter::SetGridColor(TColor Value) {
    FGridColor = Value;
    update();
}

void TVUMeter::SetTextInColor(TColor Value) {
    FTextInColor = Value;
    update();
}

void TVUMeter::SetTextOutColor(TColor Value) {
    FTextOutColor = Value;
    update();
}

void TVUMeter::SetShowGrids(bool Value) {
    FShowGrids = Value;
    update();
}

void TVUMeter::SetShowZeroLine(bool Value) {
    FShowZero = Value;
    update();
}

void TVUMeter::SetGridSpace(int32_t Value) {
    FGridSpace = std::max(Value, 1);
    update();
}

void TVUMeter::SetBreakPosLowMid(int32_t Value) {
    if (Value >= 0 && Value <= FMaxValue) {
        FBreakPosLowMid = ToStep(Value);
        update();
    }
}

void TVUMeter::SetBreakPosMidHi(int32_t Value) {
    if (Value >= 0 && Value <= FMaxValue) {
        FBreakPosMidHi = ToStep(Value);
        update();
    }
}

void TVUMeter::SetBorders(bool Value) {
    FBorders = Value;
    RefreshBarCount();
    update();
}

void TVUMeter::SetGradient(bool Value) {
    FGradient = Value;
    update();
}

void TVUMeter::SetTextVisible(bool Value) {
    FTextVisible = Value;
    update();
}

bool TVUMeter::InPos(int32_t I) const {
    return VUSegmentLit(I, FBarCount, VULitCount(FBarCount, FPosition, FMaxValue), FOrientation);
}

bool TVUMeter::LitAtPixel(int32_t pixel, int32_t litCount) const {
    return VUSegmentLit(VUSegmentAt(pixel, FBarSize, FBarCount), FBarCount, litCount, FOrientation);
}

void TVUMeter::resizeEvent(QResizeEvent* event) {
    RefreshBarCount();
    QWidget::resizeEvent(event);
}

void TVUMeter::paintEvent(QPaintEvent*) {
    try {
        if (!isVisible() || width() <= 0 || height() <= 0) {
            return;
        }
        const qreal ratio = devicePixelRatioF();
        QImage image(size() * ratio, QImage::Format_RGB32);
        if (image.isNull()) {
            return;  // too large to allocate: leave the area as it is
        }
        image.setDevicePixelRatio(ratio);
        PaintMeter(image);
        QPainter painter(this);
        painter.drawImage(0, 0, image);
    } catch (...) {
        LogMessage("Error in TVUMeter.Paint call...");
    }
}

void TVUMeter::PaintMeter(QImage& image) {
    QPainter p(&image);
    p.fillRect(rect(), ToQColor(FBackColor));
    RefreshBarCount();
    const int32_t litCount = VULitCount(FBarCount, FPosition, FMaxValue);
    const int32_t centre = VUGradientCentre(FBreakPosLowMid, FBreakPosMidHi, Extent(), FMaxValue);
    for (int32_t i = 1; i <= FBarCount; ++i) {
        TColor color;
        if (FGradient) {
            const int32_t fromMaximum = FOrientation == trVertical ? i : FBarCount - i + 1;
            color = VUGradientColor(fromMaximum, centre, FColorLow, FColorMid, FColorHi);
        } else {
            const TVUZone zone = VUZoneOf(VUNumberFromMaximum(i, FBarCount, FOrientation),
                                          FBarCount, FMaxValue, FBreakPosLowMid, FBreakPosMidHi);
            color = VUZoneColor(zone, FColorLow, FColorMid, FColorHi);
        }
        if (!VUSegmentLit(i, FBarCount, litCount, FOrientation)) {
            color = DarkenedColor(color);
        }
        const TVURect r = VUSegmentRect(i, FBarSize, FBorders, width(), height(), FOrientation);
        if (r.Right > r.Left && r.Bottom > r.Top) {
            p.fillRect(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top), ToQColor(color));
        }
    }
    if (FShowGrids || FShowZero) {
        PaintLines(p, litCount);
    }
    if (FTextVisible && FOrientation == trVertical && width() > 24 && height() > 46) {
        PaintLabels(p, litCount);
    }
}

void TVUMeter::PaintLines(QPainter& p, int32_t litCount) {
    const bool vertical = FOrientation == trVertical;
    const int32_t across = vertical ? width() : height();
    const int32_t start = FBorders ? 2 : 0;
    int32_t lineEnd = across - 5;
    if (vertical && FTextVisible && width() > 24 && height() > 46) {
        QFont font("Verdana");
        font.setPointSize(6);
        lineEnd = across - QFontMetrics(font).horizontalAdvance(QStringLiteral("0")) - 6;
    }
    const int32_t tickEnd = across - (FBorders ? 2 : 0);
    const auto colorAt = [&](int32_t pixel) {
        return LitAtPixel(pixel, litCount) ? FGridColor : InvertedColor(FGridColor);
    };
    const auto draw = [&](int32_t along, int32_t from, int32_t to, TColor color) {
        if (vertical) {
            FillLine(p, from, along, to, along, color);
        } else {
            FillLine(p, along, from, along, to, color);
        }
    };

    const int32_t zero =
        VUPixelOfStep(VUStepOfVolume(0.0, FMaxValue), Extent(), FMaxValue, FOrientation);
    draw(zero, start, lineEnd, colorAt(zero));
    // Ticks at 0 dB and, with the grid, every GridSpace dB below it.
    for (int32_t dB = 0; dB >= static_cast<int32_t>(kVUMinVolume); dB -= FGridSpace) {
        const int32_t at =
            VUPixelOfStep(VUStepOfVolume(dB, FMaxValue), Extent(), FMaxValue, FOrientation);
        draw(at, across - 5, tickEnd, colorAt(at));
        if (!FShowGrids) {
            break;
        }
    }
}

void TVUMeter::PaintLabels(QPainter& p, int32_t litCount) {
    QFont font("Verdana");
    font.setPointSize(6);
    p.setFont(font);
    const QFontMetrics metrics(font);
    const int32_t step = VULabelStep(height());
    for (int32_t dB = 0; dB >= static_cast<int32_t>(kVUMinVolume); dB -= step) {
        const int32_t y =
            VUPixelOfStep(VUStepOfVolume(dB, FMaxValue), height(), FMaxValue, FOrientation);
        if (y < 0 || y >= height()) {
            break;
        }
        const QString text = QString::number(dB);
        p.setPen(ToQColor(LitAtPixel(y, litCount) ? FTextInColor : FTextOutColor));
        const int32_t right = width() - 6;
        const int32_t textHeight = metrics.height();
        p.drawText(QRect(0, y - textHeight / 2, right, textHeight),
                   Qt::AlignRight | Qt::AlignVCenter, text);
    }
}
