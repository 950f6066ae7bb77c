#include "zones/SelectorObject.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <utility>

#include "platform/Diagnostics.h"
#include "zones/ZoneCaptionColor.h"

namespace {

QColor ToQColor(TZoneColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

TShiftState ShiftOf(const QMouseEvent* event) {
    return TShiftState{event->modifiers(), event->buttons() | event->button()};
}

}  // namespace

TSelectorObject::TSelectorObject(QObject* Owner, QWidget* Parent)
    : QWidget(Parent), FOwner(qobject_cast<QWidget*>(Owner)) {
    // A windowless overlay: no native window, and the parent paints behind it.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);  // the cursor follows the handles even without a button held
    setMinimumSize(3 * FSelectorPointSize, 3 * FSelectorPointSize);
    resize(50, 50);
    RefreshOwnerDelta();
    RefreshPercentages();
}

TSelectorObject::~TSelectorObject() = default;

void TSelectorObject::SetSelectorPointSize(int32_t Value) {
    try {
        if (Value <= 0) {
            return;
        }
        FSelectorPointSize = Value % 2 == 0 ? Value + 1 : Value;
        RefreshOwnerDelta();
        update();
    } catch (...) {
        LogMessage("Error in TSelectorObject.SetSelectorPointSize call...");
    }
}

void TSelectorObject::SetShowMiddlePoints(bool Value) {
    if (FShowMiddlePoints != Value) {
        FShowMiddlePoints = Value;
        update();
    }
}

void TSelectorObject::SetShowCornerPoints(bool Value) {
    if (FShowCornerPoints != Value) {
        FShowCornerPoints = Value;
        update();
    }
}

void TSelectorObject::SetIsSelected(bool Value) {
    if (FIsSelected != Value) {
        FIsSelected = Value;
        update();
        if (parentWidget()) {
            parentWidget()->update();
        }
    }
}

void TSelectorObject::SetIsHidden(bool Value) {
    if (FIsHidden != Value) {
        FIsHidden = Value;
        update();
    }
}

void TSelectorObject::SetPointColor(TZoneColor Value) {
    if (FPointColor != Value) {
        FPointColor = Value;
        update();
    }
}

void TSelectorObject::SetLineColor(TZoneColor Value) {
    if (FLineColor != Value) {
        FLineColor = Value;
        update();
    }
}

void TSelectorObject::SetUse32bitFillGrid(bool Value) {
    if (FUse32bitFillGrid != Value) {
        FUse32bitFillGrid = Value;
        update();
        if (parentWidget()) {
            parentWidget()->update();
        }
    }
}

void TSelectorObject::SetDashed(bool Value) {
    if (FDashed != Value) {
        FDashed = Value;
        update();
    }
}

void TSelectorObject::SetObjectID(const QString& Value) {
    FObjectID = Value;
    setToolTip(Value);  // an empty tool tip shows no hint
}

void TSelectorObject::SetAlphaValue(uint8_t Value) {
    if (FAlphaValue != Value) {
        FAlphaValue = Value;
        update();
    }
}

QString TSelectorObject::Caption() const {
    std::lock_guard lock(FCaptionLock);
    return FCaption ? *FCaption : QString();
}

void TSelectorObject::SetCaption(const QString& Value) {
    try {
        // Build the new text outside the lock; only the pointer swap happens under it, and the
        // old text is released after the lock is let go.
        auto text = std::make_shared<const QString>(Value);
        {
            std::lock_guard lock(FCaptionLock);
            FCaption.swap(text);
        }
    } catch (...) {
        LogMessage("Error in TSelectorObject.SetCaption call...");
    }
}

void TSelectorObject::RequestRepaint() {
    try {
        // One queued call at a time; requests arriving meanwhile are served by it.
        if (!FRepaintPosted.exchange(true)) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    FRepaintPosted.store(false);
                    update();
                },
                Qt::QueuedConnection);
        }
    } catch (...) {
        LogMessage("Error in TSelectorObject.RequestRepaint call...");
    }
}

int32_t TSelectorObject::ActualTopSwapped() const {
    if (!FOwner) {
        return -1;
    }
    return FOwner->height() - ActualTop() - ActualHeight();
}

void TSelectorObject::SetActualWidth(int32_t Value) {
    try {
        resize(Value + FSelectorPointSize - 1, height());
        RefreshPercentages();
    } catch (...) {
        LogMessage("Error in TSelectorObject.SetActualWidth call...");
    }
}

void TSelectorObject::SetActualHeight(int32_t Value) {
    try {
        resize(width(), Value + FSelectorPointSize - 1);
        RefreshPercentages();
    } catch (...) {
        LogMessage("Error in TSelectorObject.SetActualHeight call...");
    }
}

void TSelectorObject::SetBounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height) {
    setGeometry(Left, Top, Width, Height);
}

void TSelectorObject::RefreshOwnerDelta() {
    if (FOwner) {
        FOwnerDeltaX = FOwner->x() - DeltaXY();
        FOwnerDeltaY = FOwner->y() - DeltaXY();
    }
}

void TSelectorObject::SetRectangle(int32_t nWidth, int32_t nHeight, int32_t nPosX, int32_t nPosY,
                                   bool bOffset) {
    try {
        // 64-bit with the result held to what a widget can take, so extreme values cannot
        // overflow.
        const int64_t w = std::max(nWidth, 0);
        const int64_t h = std::max(nHeight, 0);
        const int64_t d = bOffset ? DeltaXY() : 0;
        auto position = [](int64_t v) {
            return static_cast<int32_t>(std::clamp<int64_t>(v, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        };
        auto extent = [](int64_t v) {
            return static_cast<int32_t>(std::clamp<int64_t>(v, 0, QWIDGETSIZE_MAX));
        };
        SetBounds(position(nPosX - d), position(nPosY - d), extent(w + 2 * d), extent(h + 2 * d));
        RefreshPercentages();
    } catch (...) {
        LogMessage("Error in TSelectorObject.SetRectangle call...");
    }
}

void TSelectorObject::PositionToOwnerOrigin(int32_t X, int32_t Y, bool Internal) {
    try {
        move(X + FOwnerDeltaX, Y + FOwnerDeltaY);
        if (!Internal) {
            RefreshPercentages();
        }
    } catch (...) {
        LogMessage("Error in TSelectorObject.PositionToOwnerOrigin call...");
    }
}

void TSelectorObject::RefreshImageOrigin() {
    RefreshOwnerDelta();
}

bool TSelectorObject::StretchToImage() {
    try {
        if (!FOwner) {
            return false;
        }
        RefreshImageOrigin();
        const double w = FOwner->width();
        const double h = FOwner->height();
        // The fractions stay as they are, so stretching again and again does not drift.
        PositionToOwnerOrigin(RoundHalfEven(w * FLeftPcnt), RoundHalfEven(h * FTopPcnt), true);
        SetActualSize(RoundHalfEven(w * FWidthPcnt), RoundHalfEven(h * FHeightPcnt));
        return true;
    } catch (...) {
        LogMessage("Error in TSelectorObject.StretchToImage call...");
        return false;
    }
}

void TSelectorObject::StretchToCustomImage(int32_t ImageLeft, int32_t ImageTop, int32_t ImageWidth,
                                           int32_t ImageHeight) {
    try {
        const double w = ImageWidth;
        const double h = ImageHeight;
        move(ImageLeft + RoundHalfEven(w * FLeftPcnt) - DeltaXY(),
             ImageTop + RoundHalfEven(h * FTopPcnt) - DeltaXY());
        SetActualSize(RoundHalfEven(w * FWidthPcnt), RoundHalfEven(h * FHeightPcnt));
    } catch (...) {
        LogMessage("Error in TSelectorObject.StretchToCustomImage call...");
    }
}

Qt::CursorShape TSelectorObject::CursorOfPosition(int32_t Position) {
    switch (Position) {
        case zpTopLeft:
        case zpBottomRight:
            return Qt::SizeFDiagCursor;
        case zpTopRight:
        case zpBottomLeft:
            return Qt::SizeBDiagCursor;
        case zpTopMiddle:
        case zpBottomMiddle:
            return Qt::SizeVerCursor;
        case zpMiddleLeft:
        case zpMiddleRight:
            return Qt::SizeHorCursor;
        case zpInside:
            return Qt::SizeAllCursor;
        default:
            return Qt::ArrowCursor;
    }
}

Qt::CursorShape TSelectorObject::GetMouseCursor(int32_t PosX, int32_t PosY) const {
    return CursorOfPosition(HitTestPosition(PosX, PosY));
}

int32_t TSelectorObject::HitTestPosition(int32_t X, int32_t Y) const {
    return ::HitTestPosition(X, Y, width(), height(), FSelectorPointSize);
}

void TSelectorObject::SetActualSize(int32_t w, int32_t h) {
    try {
        resize(w + FSelectorPointSize - 1, h + FSelectorPointSize - 1);
    } catch (...) {
        LogMessage("Error in TSelectorObject.SetActualSize call...");
    }
}

void TSelectorObject::RefreshPercentages() {
    try {
        if (!FOwner || FOwner->width() <= 0 || FOwner->height() <= 0) {
            return;
        }
        const float w = static_cast<float>(FOwner->width());
        const float h = static_cast<float>(FOwner->height());
        FLeftPcnt = static_cast<float>(ActualLeft()) / w;
        FTopPcnt = static_cast<float>(ActualTop()) / h;
        FWidthPcnt = static_cast<float>(ActualWidth()) / w;
        FHeightPcnt = static_cast<float>(ActualHeight()) / h;
    } catch (...) {
        LogMessage("Error in TSelectorObject.RefreshPercentages call...");
    }
}

void TSelectorObject::mousePressEvent(QMouseEvent* event) {
    try {
        event->accept();
        if (FLocked) {
            return;
        }
        const QPoint pos = event->position().toPoint();
        SetIsSelected(true);
        if (FSOSelectionCallback) {
            FSOSelectionCallback(FObjectID);
        }
        if (FSOMouseClickCallback) {
            FSOMouseClickCallback(FObjectID, ShiftOf(event), pos.x(), pos.y());
        }
        const int32_t code = HitTestPosition(pos.x(), pos.y());
        if (event->button() == Qt::LeftButton && code != zpNowhere) {
            FIsDraging = true;
            FDragStartPosition = code;
            FDragStartX = pos.x();
            FDragStartY = pos.y();
        }
    } catch (...) {
        LogMessage("Error in TSelectorObject.MouseDown call...");
    }
}

void TSelectorObject::mouseMoveEvent(QMouseEvent* event) {
    try {
        event->accept();
        if (FLocked) {
            return;
        }
        const QPoint pos = event->position().toPoint();
        setCursor(CursorOfPosition(HitTestPosition(pos.x(), pos.y())));
        if (!FIsDraging) {
            return;
        }
        // Moving the left or top edge moves the control, so the cursor keeps its client
        // position and the drag's start point stays valid.
        const TZoneBounds b =
            DragBounds(TZoneBounds{x(), y(), width(), height()}, FDragStartPosition, pos.x(),
                       pos.y(), FDragStartX, FDragStartY, FSelectorPointSize);
        SetBounds(b.Left, b.Top, b.Width, b.Height);
        RefreshPercentages();
        if (FSOMovementCallback) {
            FSOMovementCallback(FObjectID, x(), y(), width(), height());
        }
    } catch (...) {
        LogMessage("Error in TSelectorObject.MouseMove call...");
    }
}

void TSelectorObject::mouseReleaseEvent(QMouseEvent* event) {
    try {
        event->accept();
        if (FLocked) {
            return;
        }
        if (FOwner && FLockInside) {
            const TZoneRectangle zone =
                KeepInside(TZoneRectangle{ActualLeft(), ActualTop(), ActualWidth(), ActualHeight()},
                           FOwner->width(), FOwner->height());
            SetBounds(zone.Left + FOwnerDeltaX, zone.Top + FOwnerDeltaY,
                      zone.Width + FSelectorPointSize - 1, zone.Height + FSelectorPointSize - 1);
            RefreshPercentages();
        }
        if (FDisableOnTheFlyChange) {
            FDisableOnTheFlyChange = false;
            if (FSOMovementCallback) {
                FSOMovementCallback(FObjectID, x(), y(), width(), height());
            }
        }
        FIsDraging = false;
        FDragStartPosition = 0;
    } catch (...) {
        LogMessage("Error in TSelectorObject.MouseUp call...");
    }
}

void TSelectorObject::contextMenuEvent(QContextMenuEvent* event) {
    if (FLocked || !FPopupMenu) {
        event->ignore();
        return;
    }
    FPopupMenu->popup(event->globalPos());
}

void TSelectorObject::paintEvent(QPaintEvent*) {
    try {
        QPainter painter(this);
        const int32_t W = width();
        const int32_t H = height();
        const int32_t P = FSelectorPointSize;
        const int32_t h = DeltaXY();

        if (!FIsSelected) {
            if (FIsHidden) {
                painter.setBrush(Qt::NoBrush);
                painter.setPen(QPen(Qt::red, 4));
                painter.drawRect(QRect(0, 0, W, H));
                painter.setPen(QPen(Qt::red, 2));
                painter.drawLine(0, 0, W, H);
                painter.drawLine(W, 0, 0, H);
            }
            if (!FUseFillColor) {
                return;
            }
        }
        if (W < 1 || H < 1) {
            return;
        }

        // Outline through the handle centres.
        const QPolygon outline({QPoint(h, h), QPoint(W - h - 1, h), QPoint(W - h - 1, H - h - 1),
                                QPoint(h, H - h - 1), QPoint(h, h)});
        QPen outlinePen;
        outlinePen.setCosmetic(true);
        outlinePen.setWidth(1);
        if (FIsSelected && FDashed) {
            outlinePen.setColor(Qt::white);
            outlinePen.setDashPattern({1, 1});  // dotted: one pixel on, one off
        } else if (FIsSelected) {
            const int g = FFlashingColorCounter & 0xFF;
            outlinePen.setColor(QColor(g, g, g));
        } else {
            outlinePen.setColor(Qt::black);
        }
        painter.setPen(outlinePen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(outline);
        AdvanceOutlinePulse(FFlashingColorCounter, FDashedColorDelta);

        if (FUseFillColor) {
            PaintFill(painter);
        }

        if (FIsSelected) {
            painter.setOpacity(1.0);
            painter.setPen(QPen(ToQColor(FLineColor), 1));
            painter.setBrush(ToQColor(FPointColor));
            const int32_t b = (P - 1) / 2;
            // A square (l, t)-(r, b) covers columns l..r-1 and rows t..b-1, border included.
            const auto square = [&](int32_t l, int32_t t) {
                painter.drawRect(QRect(l, t, P - 1, P - 1));
            };
            if (FShowMiddlePoints) {
                square(W / 2 - b, 0);
                square(W / 2 - b, H - P);
                square(0, H / 2 - b);
                square(W - P, H / 2 - b);
            }
            if (FShowCornerPoints) {
                square(0, 0);
                square(0, H - P);
                square(W - P, 0);
                square(W - P, H - P);
            }
        }
    } catch (...) {
        LogMessage("Error in TSelectorObject.Paint call...");
    }
}

void TSelectorObject::PaintFill(QPainter& painter) {
    const int32_t W = width();
    const int32_t H = height();
    const int32_t h = DeltaXY();
    TZoneColor color = FFillColor;
    if (FFlashing.load(std::memory_order_relaxed)) {
        color = FlashingFillColor(FFillColor, FFlashingColorIncrement);
        // Wraps rather than overflows after weeks of flashing.
        FFlashingColorIncrement =
            static_cast<int32_t>(static_cast<uint32_t>(FFlashingColorIncrement) + 50u);
    }
    const QRect inner(h, h, W - 2 * h, H - 2 * h);

    if (FUse32bitFillGrid) {
        // White is the transparent key: the bitmap starts white and every white pixel ends
        // with alpha 0, every other one with the zone's alpha, premultiplied.
        QImage image(W, H, QImage::Format_ARGB32);
        if (image.isNull()) {
            // Too large to allocate: nothing is drawn rather than drawing into no memory.
            return;
        }
        image.fill(0xFFFFFFFFu);
        {
            QPainter bitmap(&image);
            bitmap.fillRect(inner, ToQColor(color));
            DrawGrid(bitmap);
        }
        const uint32_t a = FAlphaValue;
        for (int32_t row = 0; row < H; ++row) {
            auto* line = reinterpret_cast<uint32_t*>(image.scanLine(row));
            for (int32_t col = 0; col < W; ++col) {
                const uint32_t px = line[col];
                if ((px & 0x00FFFFFFu) == 0x00FFFFFFu) {
                    line[col] = 0;
                    continue;
                }
                const uint32_t r = ((px >> 16) & 0xFF) * a / 255;
                const uint32_t g = ((px >> 8) & 0xFF) * a / 255;
                const uint32_t b = (px & 0xFF) * a / 255;
                line[col] = (a << 24) | (r << 16) | (g << 8) | b;
            }
        }
        image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
        painter.setOpacity(1.0);
        painter.drawImage(0, 0, image);
    } else {
        // Constant opacity over the filled rectangle; the band around it stays clear.
        QImage image(W, H, QImage::Format_RGB32);
        if (image.isNull()) {
            return;
        }
        image.fill(Qt::black);
        {
            QPainter bitmap(&image);
            bitmap.fillRect(inner, ToQColor(color));
            DrawGrid(bitmap);
        }
        painter.setOpacity(FAlphaValue / 255.0);
        painter.drawImage(inner.topLeft(), image, inner);
        painter.setOpacity(1.0);
    }
    DrawCaption(painter, color);
}

QRect TSelectorObject::CaptionRect() const {
    const int32_t h = DeltaXY();
    const QRect inner(h, h, width() - 2 * h, height() - 2 * h);
    return QRect(9, 9, width() - 9, fontMetrics().height() + 2).intersected(inner);
}

void TSelectorObject::DrawCaption(QPainter& painter, TZoneColor Fill) {
    const QString caption = Caption();
    if (caption.isEmpty()) {
        return;
    }
    // Written over the fill at full strength, not through the zone's transparency, in the
    // colour that stands out from the fill, ringed by one pixel of the other colour so that it
    // also stands out where the picture shows through. Plain pixels: each is one of the two.
    QFont captionFont = font();
    captionFont.setStyleStrategy(QFont::NoAntialias);
    const TZoneColor text = CaptionColorOn(Fill);
    const TZoneColor ring = text == kCaptionDark ? kCaptionLight : kCaptionDark;
    painter.save();
    painter.setOpacity(1.0);
    painter.setClipRect(CaptionRect());
    painter.setFont(captionFont);
    const QPoint origin(10, 10 + painter.fontMetrics().ascent());
    painter.setPen(ToQColor(ring));
    for (int32_t dy = -1; dy <= 1; ++dy) {
        for (int32_t dx = -1; dx <= 1; ++dx) {
            if (dx != 0 || dy != 0) {
                painter.drawText(origin + QPoint(dx, dy), caption);
            }
        }
    }
    painter.setPen(ToQColor(text));
    painter.drawText(origin, caption);
    painter.restore();
}

void TSelectorObject::DrawGrid(QPainter& painter) {
    if (FUseGrid && FIsSelected) {
        const int32_t W = width();
        const int32_t H = height();
        const int32_t P = FSelectorPointSize;
        painter.setPen(QPen(ToQColor(FGridColor), 1));
        // Line ends are exclusive, like the zone's own rectangles.
        for (int32_t k = 0; k < (H - P) / 10; ++k) {
            const int32_t y = P + 10 * k;
            painter.drawLine(P, y, W - P - 1, y);
        }
        for (int32_t k = 0; k < (W - P) / 10; ++k) {
            const int32_t x = P + 10 * k;
            painter.drawLine(x, P, x, H - P - 1);
        }
    }
}
