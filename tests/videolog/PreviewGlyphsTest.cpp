#include "videolog/PreviewGlyphs.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include <set>

namespace {

struct TInk {
    int pixels = 0;      // pixels with any coverage
    int brightness = 0;  // mean grey of the fully covered ones
};

TInk InkOf(const QImage& image) {
    TInk ink;
    long long sum = 0;
    int solid = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 0) {
                ++ink.pixels;
            }
            if (c.alpha() == 255) {
                sum += c.value();
                ++solid;
            }
        }
    }
    ink.brightness = solid > 0 ? static_cast<int>(sum / solid) : -1;
    return ink;
}

QImage Render(int skin, int index, int size, qreal ratio = 1.0) {
    return PreviewGlyph(skin, index).pixmap(QSize(size, size), ratio).toImage();
}

TEST(PreviewGlyphsTest, SevenGlyphsPerSkin) {
    EXPECT_EQ(PreviewGlyphCount(), 7);
    for (int skin : {0, 1}) {
        std::set<QByteArray> shapes;
        for (int index = 0; index < PreviewGlyphCount(); ++index) {
            ASSERT_FALSE(PreviewGlyph(skin, index).isNull()) << skin << "/" << index;
            for (int size : {16, 20, 24}) {
                const QImage image = Render(skin, index, size);
                EXPECT_EQ(image.size(), QSize(size, size));
                const TInk ink = InkOf(image);
                EXPECT_GT(ink.pixels, size * size / 10) << skin << "/" << index << " @" << size;
                EXPECT_LT(ink.pixels, size * size * 3 / 4) << skin << "/" << index;
                // Light skin: dark glyphs; dark skin: light glyphs.
                if (skin == 0) {
                    EXPECT_LT(ink.brightness, 64) << index;
                } else {
                    EXPECT_GT(ink.brightness, 192) << index;
                }
            }
            const QImage image = Render(skin, index, 16).convertToFormat(QImage::Format_ARGB32);
            shapes.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()),
                                     static_cast<int>(image.sizeInBytes())));
        }
        EXPECT_EQ(shapes.size(), 7u) << "every glyph has its own shape";
    }
}

// Bars and squares sit on whole pixels: the stop square at 16 pixels has no partly covered
// edge pixels, and at double density the icon has a real 32-pixel rendering.
TEST(PreviewGlyphsTest, CrispAtSmallSizesAndHighDensity) {
    const QImage stop = Render(0, pgStop, 16);
    int partial = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int a = stop.pixelColor(x, y).alpha();
            partial += a > 0 && a < 255 ? 1 : 0;
        }
    }
    EXPECT_EQ(partial, 0);
    EXPECT_EQ(InkOf(stop).pixels, 100);

    const QPixmap dense = PreviewGlyph(1, pgPlay).pixmap(QSize(16, 16), 2.0);
    EXPECT_EQ(dense.size(), QSize(32, 32));
    EXPECT_DOUBLE_EQ(dense.devicePixelRatio(), 2.0);
}

TEST(PreviewGlyphsTest, OtherSkinsAndIndexesAreEmpty) {
    EXPECT_TRUE(PreviewGlyph(2, 0).isNull());
    EXPECT_TRUE(PreviewGlyph(-1, 0).isNull());
    EXPECT_TRUE(PreviewGlyph(0, 7).isNull());
    EXPECT_TRUE(PreviewGlyph(1, -1).isNull());
}

}  // namespace
