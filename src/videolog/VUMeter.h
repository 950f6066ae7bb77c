#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>

#include "videolog/ControlColors.h"
#include "videolog/VUMeterScale.h"

// A segmented level meter for one audio channel, calibrated from -120 dB to +20 dB in MaxValue
// steps, with low, middle and high colour zones (sharp or blended), unlit segments darkened,
// an optional 0 dB line, grid ticks and dB labels. A lightweight child control: no native
// window; it paints its whole area into an off-screen image and copies that in one step, so it
// never flickers. Every setter stores its value and repaints. GUI thread only.
class TVUMeter : public QWidget {
    Q_OBJECT
public:
    explicit TVUMeter(QWidget* Parent = nullptr);
    ~TVUMeter() override;

    // The level in dB, kept in -120..+20; writing it moves Position.
    double Volume() const { return FVolume; }
    void SetVolume(double Value);
    // The level as a step, kept in 0..MaxValue; writing it moves Volume.
    int32_t Position() const { return FPosition; }
    void SetPosition(int32_t Value);
    // Steps for the 140 dB span (0..65535).
    int32_t MaxValue() const { return FMaxValue; }
    void SetMaxValue(int32_t Value);
    // Thickness of one segment: with Borders a new size below the meter's length - 4 is taken;
    // without Borders it is always 1.
    int32_t BarSize() const { return FBarSize; }
    void SetBarSize(int32_t Value);
    int32_t BarCount() const { return FBarCount; }
    TTrackBarOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TTrackBarOrientation Value);

    TColor ColorLow() const { return FColorLow; }
    void SetColorLow(TColor Value);
    TColor ColorMid() const { return FColorMid; }
    void SetColorMid(TColor Value);
    TColor ColorHi() const { return FColorHi; }
    void SetColorHi(TColor Value);
    TColor BackColor() const { return FBackColor; }
    void SetBackColor(TColor Value);
    TColor GridColor() const { return FGridColor; }
    void SetGridColor(TColor Value);
    TColor TextInColor() const { return FTextInColor; }
    void SetTextInColor(TColor Value);
    TColor TextOutColor() const { return FTextOutColor; }
    void SetTextOutColor(TColor Value);

    bool ShowGrids() const { return FShowGrids; }
    void SetShowGrids(bool Value);
    bool ShowZeroLine() const { return FShowZero; }
    void SetShowZeroLine(bool Value);
    // dB between grid ticks, at least 1.
    int32_t GridSpace() const { return FGridSpace; }
    void SetGridSpace(int32_t Value);
    // Zone limits in steps from the top end; a value above MaxValue is ignored.
    int32_t BreakPosLowMid() const { return FBreakPosLowMid; }
    void SetBreakPosLowMid(int32_t Value);
    int32_t BreakPosMidHi() const { return FBreakPosMidHi; }
    void SetBreakPosMidHi(int32_t Value);
    bool Borders() const { return FBorders; }
    void SetBorders(bool Value);
    bool Gradient() const { return FGradient; }
    void SetGradient(bool Value);
    bool TextVisible() const { return FTextVisible; }
    void SetTextVisible(bool Value);

    // Whether segment I (from 1 at the top of a vertical meter, at the left of a horizontal
    // one) is lit at the current position.
    bool InPos(int32_t I) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int32_t Extent() const;
    void RefreshBarCount();
    void PaintMeter(QImage& image);
    void PaintLines(QPainter& painter, int32_t litCount);
    void PaintLabels(QPainter& painter, int32_t litCount);
    bool LitAtPixel(int32_t pixel, int32_t litCount) const;

    TColor FColorLow = ColorRGB(0, 255, 0);
    TColor FColorMid = ColorRGB(255, 255, 0);
    TColor FColorHi = ColorRGB(255, 0, 0);
    TTrackBarOrientation FOrientation = trVertical;
    uint16_t FMaxValue = 1400;
    TColor FBackColor = kColorBlack;
    uint16_t FBarSize = 1;
    uint16_t FPosition = 0;
    bool FShowGrids = false;
    bool FShowZero = true;
    int32_t FGridSpace = 15;
    TColor FGridColor = kColorBlack;
    double FVolume = kVUMinVolume;
    TColor FTextInColor = kColorBlack;
    TColor FTextOutColor = kColorWhite;
    uint16_t FBreakPosLowMid = 275;
    uint16_t FBreakPosMidHi = 245;
    bool FBorders = false;
    bool FGradient = false;
    bool FTextVisible = true;
    int32_t FBarCount = 0;
};
