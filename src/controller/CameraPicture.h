#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <mutex>

// The live picture: a 32-bit image of the frame size, filled by the frame path with bottom-up
// frames and painted right way up, scaled smoothly over the widget. The image memory is shared
// with the frame path's streaming thread under the controller's lock, which painting takes too.
class TCameraPicture : public QWidget {
    Q_OBJECT
public:
    TCameraPicture(std::mutex& Lock, QWidget* Parent);

    // Sizes the image to the frame size (GUI thread; the caller holds the lock).
    void SetBitmapSize(int32_t Width, int32_t Height);
    // The image memory: first byte of the bottom line, Size bytes long (caller holds the lock).
    uint8_t* Bits();
    int64_t BitsSize() const;
    int32_t BitmapWidth() const { return FBitmap.width(); }
    int32_t BitmapHeight() const { return FBitmap.height(); }
    // A right-way-up copy of the image (takes the lock).
    QImage Snapshot() const;
    // The frame path wrote a new frame into the image (caller holds the lock).
    void FrameChanged() { ++FFrameGeneration; }
    // Whether painting the picture can be seen: shown, not covered, on a real screen. The
    // offscreen platform (tests, headless runs) never shows anything, so it never paints.
    bool IsSeen() const;

    void SetClickHandler(std::function<void()> Handler) { FClickHandler = std::move(Handler); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::mutex& FLock;
    QImage FBitmap;
    // The image scaled to the widget, made once per frame and size however often it is painted.
    QImage FScaled;
    uint64_t FFrameGeneration = 0;
    uint64_t FScaledGeneration = ~uint64_t{0};
    std::function<void()> FClickHandler;
};
