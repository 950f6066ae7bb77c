#include "videolog/TrackBar.h"

#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>

#include "platform/Diagnostics.h"
#include "zones/ZoneGeometry.h"

namespace {

QColor ToQColor(TColor c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

TColor FromQColor(const QColor& c) {
    return ColorRGB(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
                    static_cast<uint8_t>(c.blue()));
}

// A filled rectangle between two limits, right and bottom exclusive.
void FillSpan(QPainter& p, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor color) {
    if (x2 > x1 && y2 > y1) {
        p.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), ToQColor(color));
    }
}

// A one-pixel frame just inside the limits.
void FrameSpan(QPainter& p, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor color) {
    FillSpan(p, x1, y1, x2, y1 + 1, color);
    FillSpan(p, x1, y2 - 1, x2, y2, color);
    FillSpan(p, x1, y1, x1 + 1, y2, color);
    FillSpan(p, x2 - 1, y1, x2, y2, color);
}

QFont GridFont() {
    // Tahoma where installed; Qt substitutes the closest family otherwise.
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(6);
    return font;
}

constexpr int32_t kMaxGridLabels = 10000;

}  // namespace

TVNTTrackBar::TVNTTrackBar(QWidget* Parent) : QWidget(Parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);  // the cursor changes over the slider without a button held
    FOutsideColor = FromQColor(palette().color(QPalette::Button));
    resize(150, 25);
}

TVNTTrackBar::~TVNTTrackBar() = default;

void TVNTTrackBar::NotifyChange() {
    try {
        emit OnChange();
    } catch (...) {
        LogMessage("Error in TVNTTrackBar.OnChange call...");
    }
}

void TVNTTrackBar::ApplyPosition(int32_t Value) {
    FPosition = ClampTrackBarPosition(Value, FMaxValue, FLockPosition, FSelStart, FSelEnd);
    FRangePos = TrackBarRangePos(FPosition, FMaxValue, FRangeMax);
    update();
    NotifyChange();
}

void TVNTTrackBar::SetPosition(int32_t Value) {
    try {
        ApplyPosition(Value);
    } catch (...) {
        LogMessage("Error in TVNTTrackBar.SetPosition call...");
    }
}

void TVNTTrackBar::SetRangePos(double Value) {
    try {
        FRangePos = ClampTrackBarSeconds(Value, FRangeMax);
        FPosition = TrackBarPositionOfSeconds(FRangePos, FMaxValue, FRangeMax);
        update();
        NotifyChange();
    } catch (...) {
        LogMessage("Error in TVNTTrackBar.SetRangePos call...");
    }
}

void TVNTTrackBar::SetRangeMax(double Value) {
    FRangeMax = Value;
    update();
}

void TVNTTrackBar::SetMaxValue(int32_t Value) {
    if (Value != FMaxValue) {
        FMaxValue = Value;
        update();
    }
}

void TVNTTrackBar::SetSelStart(int32_t Value) {
    try {
        if (Value != FSelStart) {
            FShowSelection = true;
        }
        FSelStart = Value;
        if (FSelEnd < FSelStart) {
            FSelEnd = FMaxValue;
        }
        ApplyPosition(FPosition);
    } catch (...) {
        LogMessage("Error in TVNTTrackBar.SetSelStart call...");
    }
}

void TVNTTrackBar::SetSelEnd(int32_t Value) {
    try {
        if (Value != FSelEnd) {
            FShowSelection = true;
        }
        FSelEnd = Value;
        if (FSelEnd < FSelStart) {
            FSelStart = 0;
        }
        ApplyPosition(FPosition);
    } catch (...) {
        LogMessage("Error in TVNTTrackBar.SetSelEnd call...");
    }
}

void TVNTTrackBar::SetBackColor(TColor Value) {
    FBackColor = Value;
    update();
}

void TVNTTrackBar::SetSliderColor(TColor Value) {
    FSliderColor = Value;
    update();
}

void TVNTTrackBar::SetSelColor(TColor Value) {
    FSelColor = Value;
    update();
}

void TVNTTrackBar::SetOutsideColor(TColor Value) {
    FOutsideColor = Value;
    update();
}

void TVNTTrackBar::SetTextColor(TColor Value) {
    FTextColor = Value;
    update();
}

void TVNTTrackBar::SetTextVisible(bool Value) {
    FTextVisible = Value;
    update();
}

void TVNTTrackBar::SetBorders(bool Value) {
    FBorders = Value;
    update();
}

void TVNTTrackBar::SetShowSelection(bool Value) {
    FShowSelection = Value;
    update();
}

void TVNTTrackBar::SetSliderWidth(int32_t Value) {
    FSliderWidth = Value;
    update();
}

void TVNTTrackBar::SetShowGrid(bool Value) {
    FShowGrid = Value;
    update();
}

void TVNTTrackBar::SetLockPosition(bool Value) {
    FLockPosition = Value;
    update();
}

// ---- painting ----

void TVNTTrackBar::paintEvent(QPaintEvent*) {
    try {
        if (width() <= 0 || height() <= 0) {
            return;
        }
        const qreal ratio = devicePixelRatioF();
        QImage image(size() * ratio, QImage::Format_RGB32);
        if (image.isNull()) {
            return;
        }
        image.setDevicePixelRatio(ratio);
        PaintBar(image);
        QPainter painter(this);
        painter.drawImage(0, 0, image);
    } catch (...) {
        LogMessage("Error in TVNTTrackBar.Paint call...");
    }
}

void TVNTTrackBar::PaintBar(QImage& image) {
    QPainter p(&image);
    FGridLabels.clear();
    p.fillRect(rect(), ToQColor(FOutsideColor));
    if (width() < 30 || height() < 24) {
        return;  // too small for a bar: only the surrounding colour
    }
    const TTrackBarGeometry g = TrackBarGeometry(width(), height(), FBorders);
    FBarBorder = g.BarBorder;
    FBarOffset = g.BarOffset;
    FBarWidth = g.BarWidth;
    FBarHeight = g.BarHeight;
    FBarPos = g.BarPos;

    const int32_t left = kTrackBarSideMargin;
    const int32_t top = kTrackBarTop;
    FillSpan(p, left, top, left + g.BarWidth, top + g.BarHeight, FBackColor);
    if (FBorders) {
        FrameSpan(p, left, top, left + g.BarWidth, top + g.BarHeight,
                  BrightenedColor(FOutsideColor, 1.25));
    }
    if (FShowGrid) {
        PaintTimeGrid(p, g);
    }
    if (FShowSelection && FMaxValue != 0) {
        PaintSelection(p, g);
    }
    FSliderPos = TrackBarSliderPos(FPosition, FMaxValue, FSliderWidth, g);
    FSliderHeight = FSliderPos.LimitY2 - FSliderPos.LimitY1;
    FillSpan(p, FSliderPos.LimitX1, FSliderPos.LimitY1, FSliderPos.LimitX2, FSliderPos.LimitY2,
             FSliderColor);
    FrameSpan(p, FSliderPos.LimitX1, FSliderPos.LimitY1, FSliderPos.LimitX2, FSliderPos.LimitY2,
              HalvedColor(FSliderColor));
}

void TVNTTrackBar::PaintTimeGrid(QPainter& p, const TTrackBarGeometry& g) {
    const QFont font = GridFont();
    p.setFont(font);
    p.setPen(ToQColor(FTextColor));
    const QFontMetrics metrics(font);
    const auto textWidth = [&](const QString& text) { return metrics.horizontalAdvance(text); };

    // No label is wider than the longest time with every digit the font's widest.
    QChar widestDigit = '0';
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widestDigit)) {
            widestDigit = QChar(digit);
        }
    }
    QString widest = QString::fromStdString(TimeText(std::max(FRangeMax, 0.0)));
    for (QChar& c : widest) {
        if (c.isDigit()) {
            c = widestDigit;
        }
    }
    // Two labels a label's width apart touch; a gap, and a pixel for each of the two roundings
    // of a label's place, keep them apart.
    constexpr int32_t kLabelGap = 6;
    const double step = LabelStep(FRangeMax, g.BarWidth - 2 * g.BarBorder,
                                  textWidth(widest) + 1 + kLabelGap + 2);
    const int32_t tickTop = g.BarHeight + 2;
    const int32_t tickBottom = g.BarHeight + 8;
    const auto tick = [&](int32_t x) { FillSpan(p, x, tickTop, x + 1, tickBottom, FTextColor); };
    const auto label = [&](int32_t x, const QString& text) {
        const int32_t w = textWidth(text);
        const QRect at(x - w / 2, tickBottom, w + 1, metrics.height());
        p.drawText(at, Qt::AlignLeft | Qt::AlignTop, text);
        FGridLabels.push_back(at);
    };
    const int32_t maxX = TrackBarPositionToX(FMaxValue, FMaxValue, g);

    const int32_t zeroX = TrackBarPositionToX(0, FMaxValue, g);
    tick(zeroX);
    label(zeroX, QString::fromStdString(TimeText(0.0)));
    tick(maxX);
    for (int32_t k = 1; step > 0.0 && k <= kMaxGridLabels; ++k) {
        const double t = k * step;
        if (t > FRangeMax) {
            break;
        }
        const QString text = QString::fromStdString(TimeText(t));
        // The last label would run past the end of the bar.
        if (t == FRangeMax && textWidth(text) / 2 > 2) {
            break;
        }
        const int32_t position = RoundHalfEven(FMaxValue * t / FRangeMax);
        const int32_t x = TrackBarPositionToX(position, FMaxValue, g);
        tick(x);
        label(x, text);
    }
    tick(maxX);
}

void TVNTTrackBar::PaintSelection(QPainter& p, const TTrackBarGeometry& g) {
    const int32_t startX = TrackBarPositionToX(FSelStart, FMaxValue, g);
    const int32_t endX = TrackBarPositionToX(FSelEnd, FMaxValue, g);
    // Two small flags below the bar, each pointing away from the selection.
    const int32_t below = kTrackBarTop + g.BarHeight;
    for (int32_t row = 0; row < 6; ++row) {
        const int32_t length = 6 - row;
        FillSpan(p, startX - 1 - (length - 1), below + row, startX, below + row + 1, FSelColor);
        FillSpan(p, endX, below + row, endX + length, below + row + 1, FSelColor);
    }
    FillSpan(p, startX, kTrackBarTop + g.BarBorder, endX, kTrackBarTop + g.BarHeight - g.BarBorder,
             FSelColor);
}

// ---- mouse ----

int32_t TVNTTrackBar::PositionUnder(int32_t X) const {
    return TrackBarXToPosition(X, width(), FMaxValue);
}

void TVNTTrackBar::mousePressEvent(QMouseEvent* event) {
    try {
        if (event->button() != Qt::LeftButton) {
            return;
        }
        const QPoint at = event->position().toPoint();
        FClickPressed = true;
        if (FSliderPos.Contains(at.x(), at.y())) {
            FIsDraging = true;
        }
    } catch (...) {
        LogMessage("Error in TVNTTrackBar.MouseDown call...");
    }
}

void TVNTTrackBar::mouseMoveEvent(QMouseEvent* event) {
    try {
        const QPoint at = event->position().toPoint();
        if (FSliderPos.Contains(at.x(), at.y())) {
            setCursor(Qt::PointingHandCursor);
        } else {
            unsetCursor();
        }
        if (FIsDraging) {
            SetPosition(PositionUnder(at.x()));
        }
    } catch (...) {
        LogMessage("Error in TVNTTrackBar.MouseMove call...");
    }
}

void TVNTTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    try {
        if (event->button() != Qt::LeftButton) {
            return;
        }
        const QPoint at = event->position().toPoint();
        const bool clicked = FClickPressed && rect().contains(at);
        FClickPressed = false;
        if (FIsDraging) {
            // The drag ends where the mouse is; the same release is not taken as a click too.
            SetPosition(PositionUnder(at.x()));
            FIsDraging = false;
            return;
        }
        if (clicked && FBarPos.Contains(at.x(), at.y())) {
            SetPosition(PositionUnder(at.x()));
            setCursor(Qt::PointingHandCursor);
        }
    } catch (...) {
        LogMessage("Error in TVNTTrackBar.MouseUp call...");
    }
}
