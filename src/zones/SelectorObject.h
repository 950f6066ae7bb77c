#pragma once

#include <QMenu>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "zones/ZoneGeometry.h"

// Keys and buttons held when a zone was clicked.
struct TShiftState {
    Qt::KeyboardModifiers Modifiers;
    Qt::MouseButtons Buttons;
};

// ObjectID, Left, Top, Width, Height of the control after it moved or was resized.
using TSOMovementCallback =
    std::function<bool(const QString& ObjectID, int32_t ObjPosX, int32_t ObjPosY, int32_t ObjWidth,
                       int32_t ObjHeight)>;
using TSOSelectionCallback = std::function<bool(const QString& ObjectID)>;
using TSOMouseClickCallback =
    std::function<bool(const QString& ObjectID, TShiftState Shift, int32_t X, int32_t Y)>;

// One detection zone drawn as a rectangle over the live picture (its owner image, a sibling
// below it on the same parent). The user moves and resizes it with the mouse; its handles of
// side P (SelectorPointSize, always odd) are centred on the zone's edges, so the control is
// the zone plus a margin of P div 2 on every side. The zone's place is kept both in picture
// pixels and as fractions of the picture's size, so zones follow the picture when it is
// resized. While detection runs the zones are locked and serve as indicators: they flash and
// show a caption.
//
// Everything runs on the GUI thread except SetFlashing and SetCaption, which the frame path
// calls from its streaming thread; the next paint picks them up. RequestRepaint may be called
// from any thread as well.
class TSelectorObject : public QWidget {
    Q_OBJECT
public:
    // Owner is the picture the zone lies on when it is a widget; Parent is the widget both
    // share (the zone may also be given its parent later).
    explicit TSelectorObject(QObject* Owner, QWidget* Parent = nullptr);
    ~TSelectorObject() override;

    bool DisableOnTheFlyChange() const { return FDisableOnTheFlyChange; }
    void SetDisableOnTheFlyChange(bool Value) { FDisableOnTheFlyChange = Value; }
    bool IsDraging() const { return FIsDraging; }
    int32_t DragStartPosition() const { return FDragStartPosition; }
    int32_t SelectorPointSize() const { return FSelectorPointSize; }
    void SetSelectorPointSize(int32_t Value);
    int32_t SelectorLineWidth() const { return 1; }
    bool ShowMiddlePoints() const { return FShowMiddlePoints; }
    void SetShowMiddlePoints(bool Value);
    bool ShowCornerPoints() const { return FShowCornerPoints; }
    void SetShowCornerPoints(bool Value);
    bool IsSelected() const { return FIsSelected; }
    void SetIsSelected(bool Value);
    bool IsHidden() const { return FIsHidden; }
    void SetIsHidden(bool Value);
    TZoneColor PointColor() const { return FPointColor; }
    void SetPointColor(TZoneColor Value);
    TZoneColor LineColor() const { return FLineColor; }
    void SetLineColor(TZoneColor Value);
    bool UseFillColor() const { return FUseFillColor; }
    void SetUseFillColor(bool Value) { FUseFillColor = Value; }
    bool UseGrid() const { return FUseGrid; }
    void SetUseGrid(bool Value) { FUseGrid = Value; }
    bool Use32bitFillGrid() const { return FUse32bitFillGrid; }
    void SetUse32bitFillGrid(bool Value);
    TZoneColor FillColor() const { return FFillColor; }
    void SetFillColor(TZoneColor Value) { FFillColor = Value; }
    TZoneColor GridColor() const { return FGridColor; }
    void SetGridColor(TZoneColor Value) { FGridColor = Value; }
    bool LockInside() const { return FLockInside; }
    void SetLockInside(bool Value) { FLockInside = Value; }
    bool Locked() const { return FLocked; }
    void SetLocked(bool Value) { FLocked = Value; }
    bool Dashed() const { return FDashed; }
    void SetDashed(bool Value);
    QString ObjectID() const { return FObjectID; }
    void SetObjectID(const QString& Value);
    int32_t ObjectIDNumber() const { return FObjectIDNumber; }
    void SetObjectIDNumber(int32_t Value) { FObjectIDNumber = Value; }
    uint8_t AlphaValue() const { return FAlphaValue; }
    void SetAlphaValue(uint8_t Value);
    // Any thread.
    bool Flashing() const { return FFlashing.load(std::memory_order_relaxed); }
    void SetFlashing(bool Value) { FFlashing.store(Value, std::memory_order_relaxed); }
    QString Caption() const;
    void SetCaption(const QString& Value);
    // Schedules a repaint on the GUI thread.
    void RequestRepaint();
    // The line the caption is written on, in the control's coordinates: from (10, 10) to the
    // fill's right edge, one line of its font high, and the one-pixel ring around the text.
    // Any caption lies inside it, whatever its text.
    QRect CaptionRect() const;
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* Menu) { FPopupMenu = Menu; }
    QWidget* OwnerImage() const { return FOwner; }

    // Geometry (see the class comment).
    int32_t DeltaXY() const { return FSelectorPointSize / 2; }
    int32_t DeltaEndX() const { return width() - DeltaXY(); }
    int32_t DeltaEndY() const { return height() - DeltaXY(); }
    int32_t ActualLeft() const { return x() - FOwnerDeltaX; }
    int32_t ActualTop() const { return y() - FOwnerDeltaY; }
    int32_t ActualTopSwapped() const;
    int32_t ActualWidth() const { return width() - FSelectorPointSize + 1; }
    void SetActualWidth(int32_t Value);
    int32_t ActualHeight() const { return height() - FSelectorPointSize + 1; }
    void SetActualHeight(int32_t Value);
    float LeftPcnt() const { return FLeftPcnt; }
    float TopPcnt() const { return FTopPcnt; }
    float WidthPcnt() const { return FWidthPcnt; }
    float HeightPcnt() const { return FHeightPcnt; }
    // Grey level of the selected outline at the next paint; fill increment of a flashing zone.
    int32_t FlashingColorCounter() const { return FFlashingColorCounter; }
    int32_t FlashingColorIncrement() const { return FFlashingColorIncrement; }

    // With bOffset the arguments are the zone itself in the parent's coordinates, otherwise
    // the control's bounds; a negative size counts as 0.
    void SetRectangle(int32_t nWidth, int32_t nHeight, int32_t nPosX, int32_t nPosY, bool bOffset);
    // Places the zone's top-left corner at picture pixel (X, Y).
    void PositionToOwnerOrigin(int32_t X, int32_t Y, bool Internal);
    void RefreshImageOrigin();
    bool StretchToImage();
    void StretchToCustomImage(int32_t ImageLeft, int32_t ImageTop, int32_t ImageWidth,
                              int32_t ImageHeight);
    void SetMovementCallback(TSOMovementCallback Callback) {
        FSOMovementCallback = std::move(Callback);
    }
    void SetSelectionCallback(TSOSelectionCallback Callback) {
        FSOSelectionCallback = std::move(Callback);
    }
    void SetMouseClickCallback(TSOMouseClickCallback Callback) {
        FSOMouseClickCallback = std::move(Callback);
    }
    Qt::CursorShape GetMouseCursor(int32_t PosX, int32_t PosY) const;
    void SetActualSize(int32_t w, int32_t h);
    void RefreshPercentages();
    int32_t HitTestPosition(int32_t X, int32_t Y) const;

    // The cursor shown over a position code.
    static Qt::CursorShape CursorOfPosition(int32_t Position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void SetBounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height);
    void RefreshOwnerDelta();
    void PaintFill(QPainter& painter);
    // Fill is the colour painted under the caption, which the caption's colour follows.
    void DrawCaption(QPainter& painter, TZoneColor Fill);
    void DrawGrid(QPainter& painter);

    int32_t FSelectorPointSize = 5;
    int32_t FDragStartX = 0;
    int32_t FDragStartY = 0;
    int32_t FDragStartPosition = 0;
    bool FShowMiddlePoints = true;
    bool FShowCornerPoints = true;
    bool FIsSelected = false;
    bool FIsHidden = false;
    bool FIsDraging = false;
    TZoneColor FPointColor = ZoneRGB(255, 255, 255);
    TZoneColor FLineColor = ZoneRGB(0, 0, 0);
    bool FUseFillColor = false;
    TZoneColor FFillColor = ZoneRGB(255, 0, 0);
    bool FUseGrid = false;
    TZoneColor FGridColor = ZoneRGB(128, 0, 128);
    bool FUse32bitFillGrid = false;
    bool FLockInside = true;
    bool FDashed = true;
    int32_t FDashedColorDelta = 40;
    int32_t FFlashingColorCounter = 0;
    QString FObjectID;
    int32_t FObjectIDNumber = 0;
    bool FDisableOnTheFlyChange = false;
    TSOMovementCallback FSOMovementCallback;
    TSOSelectionCallback FSOSelectionCallback;
    TSOMouseClickCallback FSOMouseClickCallback;
    uint8_t FAlphaValue = 0;
    QPointer<QWidget> FOwner;
    int32_t FOwnerDeltaX = 0;
    int32_t FOwnerDeltaY = 0;
    bool FLocked = false;
    float FLeftPcnt = 0;
    float FTopPcnt = 0;
    float FWidthPcnt = 0;
    float FHeightPcnt = 0;
    std::atomic<bool> FFlashing{false};
    int32_t FFlashingColorIncrement = 0;
    // The caption is written by the frame path: an immutable string swapped under a lock, so a
    // paint never sees a half-replaced text.
    mutable std::mutex FCaptionLock;
    std::shared_ptr<const QString> FCaption;
    std::atomic<bool> FRepaintPosted{false};
    QPointer<QMenu> FPopupMenu;
};
