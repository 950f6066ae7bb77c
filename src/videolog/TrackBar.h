#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "videolog/ControlColors.h"
#include "videolog/TrackBarScale.h"

class QPainter;

// The playback position bar: a horizontal bar with a slider, an optional highlighted
// selection and a time grid labelled "hh:mm:ss.cc". It maps positions 0..MaxValue to
// 0..RangeMax seconds and signals OnChange after every position write, also when the host
// moves it. A lightweight child control: no native window; it paints into an off-screen image
// and copies that in one step. Every setter stores its value and repaints. GUI thread only.
class TVNTTrackBar : public QWidget {
    Q_OBJECT
public:
    explicit TVNTTrackBar(QWidget* Parent = nullptr);
    ~TVNTTrackBar() override;

    // A changed selection limit switches ShowSelection on and re-applies Position.
    int32_t SelStart() const { return FSelStart; }
    void SetSelStart(int32_t Value);
    int32_t SelEnd() const { return FSelEnd; }
    void SetSelEnd(int32_t Value);
    // Kept inside the selection with LockPosition and always inside 0..MaxValue; updates
    // RangePos and signals OnChange.
    int32_t Position() const { return FPosition; }
    void SetPosition(int32_t Value);
    int32_t MaxValue() const { return FMaxValue; }
    void SetMaxValue(int32_t Value);
    // The position in seconds; writing it (kept inside 0..RangeMax) moves Position and signals
    // OnChange.
    double RangePos() const { return FRangePos; }
    void SetRangePos(double Value);
    // Seconds that MaxValue stands for.
    double RangeMax() const { return FRangeMax; }
    void SetRangeMax(double Value);

    TColor BackColor() const { return FBackColor; }
    void SetBackColor(TColor Value);
    TColor SliderColor() const { return FSliderColor; }
    void SetSliderColor(TColor Value);
    TColor SelColor() const { return FSelColor; }
    void SetSelColor(TColor Value);
    TColor OutsideColor() const { return FOutsideColor; }
    void SetOutsideColor(TColor Value);
    TColor TextColor() const { return FTextColor; }
    void SetTextColor(TColor Value);
    // Stored only: the labels follow ShowGrid.
    bool TextVisible() const { return FTextVisible; }
    void SetTextVisible(bool Value);
    bool Borders() const { return FBorders; }
    void SetBorders(bool Value);
    bool ShowSelection() const { return FShowSelection; }
    void SetShowSelection(bool Value);
    int32_t SliderWidth() const { return FSliderWidth; }
    void SetSliderWidth(int32_t Value);
    bool ShowGrid() const { return FShowGrid; }
    void SetShowGrid(bool Value);
    bool LockPosition() const { return FLockPosition; }
    void SetLockPosition(bool Value);

    // Free for the host: the playback engine sets 1 while it moves the bar itself, so its
    // OnChange handler can tell the user's moves from its own.
    int32_t Tag() const { return FTag; }
    void SetTag(int32_t Value) { FTag = Value; }

    bool IsDraging() const { return FIsDraging; }
    // Geometry of the last paint.
    TBarPos BarPos() const { return FBarPos; }
    TSliderPos SliderPos() const { return FSliderPos; }
    int32_t BarWidth() const { return FBarWidth; }
    int32_t BarHeight() const { return FBarHeight; }
    int32_t BarOffset() const { return FBarOffset; }
    int32_t BarBorder() const { return FBarBorder; }
    int32_t SliderHeight() const { return FSliderHeight; }
    // Where the time labels were written, one rectangle each, left to right.
    const std::vector<QRect>& GridLabels() const { return FGridLabels; }

signals:
    void OnChange();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ApplyPosition(int32_t Value);
    void NotifyChange();
    void PaintBar(QImage& image);
    void PaintTimeGrid(QPainter& p, const TTrackBarGeometry& g);
    void PaintSelection(QPainter& p, const TTrackBarGeometry& g);
    int32_t PositionUnder(int32_t X) const;

    bool FShowSelection = false;
    int32_t FSelStart = 0;
    int32_t FSelEnd = 0;
    int32_t FPosition = 0;
    int32_t FMaxValue = 1000;
    double FRangePos = 0.0;
    double FRangeMax = 0.5;
    TColor FBackColor = kColorBlack;
    TColor FSliderColor = ColorRGB(128, 128, 128);
    TColor FSelColor = ColorRGB(128, 128, 255);
    TColor FOutsideColor = kColorBlack;
    TColor FTextColor = kColorWhite;
    bool FTextVisible = false;
    bool FBorders = true;
    int32_t FBarHeight = 0;
    int32_t FBarWidth = 0;
    int32_t FBarOffset = 0;
    int32_t FBarBorder = 0;
    int32_t FSliderWidth = 8;
    int32_t FSliderHeight = 0;
    TSliderPos FSliderPos;
    TBarPos FBarPos;
    std::vector<QRect> FGridLabels;
    bool FShowGrid = true;
    bool FIsDraging = false;
    bool FLockPosition = false;
    bool FClickPressed = false;
    int32_t FTag = 0;
};
