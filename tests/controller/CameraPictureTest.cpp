// The live picture: painted right way up over the widget, following every new frame, and never
// repainted where nobody can see it.
#include "controller/CameraPicture.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstring>
#include <mutex>

namespace {

// Fills the bottom-up image: the first (bottom) half with one colour, the top half with another.
void FillFrame(TCameraPicture& picture, QRgb bottom, QRgb top) {
    uint8_t* bits = picture.Bits();
    const int32_t width = picture.BitmapWidth();
    const int32_t height = picture.BitmapHeight();
    for (int32_t row = 0; row < height; ++row) {
        const QRgb colour = row < height / 2 ? bottom : top;
        for (int32_t x = 0; x < width; ++x) {
            std::memcpy(bits + (static_cast<size_t>(row) * width + x) * 4, &colour, 4);
        }
    }
    picture.FrameChanged();
}

// Each frame is scaled once and kept for later paints; a new frame must replace it, whether or
// not the widget's size changed in between.
TEST(CameraPicturePaint, EveryNewFrameIsPaintedRightWayUpAtAnySize) {
    std::mutex lock;
    TCameraPicture picture(lock, nullptr);
    picture.SetBitmapSize(8, 4);
    struct TCase {
        QRgb Bottom;
        QRgb Top;
        QSize WidgetSize;
    } const cases[] = {
        {qRgb(255, 0, 0), qRgb(0, 0, 255), QSize(16, 8)},
        {qRgb(0, 255, 0), qRgb(255, 255, 0), QSize(16, 8)},  // same size, new frame
        {qRgb(0, 0, 255), qRgb(255, 0, 0), QSize(8, 4)},     // unscaled
        {qRgb(255, 255, 255), qRgb(0, 0, 0), QSize(32, 20)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.WidgetSize.width());
        {
            std::lock_guard guard(lock);
            FillFrame(picture, c.Bottom, c.Top);
        }
        picture.resize(c.WidgetSize);
        const QImage shown = picture.grab().toImage();
        ASSERT_EQ(shown.size(), c.WidgetSize);
        EXPECT_EQ(shown.pixel(c.WidgetSize.width() / 2, 0), c.Top);
        EXPECT_EQ(shown.pixel(c.WidgetSize.width() / 2, c.WidgetSize.height() - 1), c.Bottom);
    }
}

// A picture painted at its own size is drawn as it is: the frame thread's next write goes into
// the same memory, without copying the whole picture first (an image still shared with the
// paint would be copied on every frame).
TEST(CameraPicturePaint, PaintingAtTheBitmapsSizeKeepsItsMemoryUnshared) {
    std::mutex lock;
    TCameraPicture picture(lock, nullptr);
    picture.SetBitmapSize(8, 4);
    picture.resize(8, 4);
    const uint8_t* before = picture.Bits();
    for (const QRgb colour : {qRgb(255, 0, 0), qRgb(0, 255, 0)}) {
        FillFrame(picture, colour, colour);
        const QImage shown = picture.grab().toImage();
        EXPECT_EQ(shown.pixel(4, 0), colour);
        EXPECT_EQ(picture.Bits(), before);
    }
}

// Tests and headless runs use the offscreen platform: shown or not, nothing there is seen.
TEST(CameraPicturePaint, OffscreenPicturesAreNeverSeen) {
    std::mutex lock;
    TCameraPicture picture(lock, nullptr);
    picture.resize(32, 16);
    EXPECT_FALSE(picture.IsSeen());
    picture.show();
    EXPECT_FALSE(picture.IsSeen());
}

}  // namespace
