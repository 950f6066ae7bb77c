#include "recording/PreEventRing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int32_t kWidth = 8;
constexpr int32_t kHeight = 6;

// A grey frame whose level encodes its index, so the ring's order can be read back.
std::vector<uint8_t> Frame(int32_t Index) {
    const auto level = static_cast<uint8_t>(20 + Index * 10);
    std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4, level);
    return frame;
}

int32_t IndexOf(const TPreEventRing& Ring, int32_t Position) {
    std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 4);
    Ring.CopyRgb32At(Position, rgb.data());
    return (rgb[0] - 20 + 5) / 10;
}

struct TFillCase {
    const char* Name;
    int32_t Capacity;
    int32_t Pushed;
    int32_t FirstKept;  // index of the oldest frame kept
    int32_t Kept;
};

const TFillCase kFillCases[] = {
    {"Empty", 4, 0, 0, 0},
    {"NotYetFull", 4, 2, 0, 2},
    {"ExactlyFull", 4, 4, 0, 4},
    {"WrappedOnce", 4, 6, 2, 4},
    {"WrappedSeveralTimes", 3, 11, 8, 3},
    {"Off", 0, 5, 0, 0},
};

}  // namespace

TEST(PreEventRingTest, KeepsTheLastFramesOldestFirstWithTheirTimes) {
    for (const TFillCase& c : kFillCases) {
        SCOPED_TRACE(c.Name);
        TPreEventRing ring;
        ring.Configure(kWidth, kHeight, c.Capacity);
        for (int32_t i = 0; i < c.Pushed; ++i) {
            EXPECT_EQ(ring.Push(Frame(i).data(), kWidth * kHeight * 4, 1000.0 + i), c.Capacity > 0);
        }
        ASSERT_EQ(ring.Count(), c.Kept);
        for (int32_t k = 0; k < c.Kept; ++k) {
            EXPECT_EQ(IndexOf(ring, k), c.FirstKept + k);
            EXPECT_DOUBLE_EQ(ring.TimeAt(k), 1000.0 + c.FirstKept + k);
        }
        EXPECT_EQ(ring.I420At(c.Kept), nullptr);
    }
}

TEST(PreEventRingTest, RejectsFramesOfAnotherSize) {
    TPreEventRing ring;
    ring.Configure(kWidth, kHeight, 2);
    std::vector<uint8_t> small(static_cast<size_t>(kWidth) * kHeight * 4 - 4);
    EXPECT_FALSE(ring.Push(small.data(), static_cast<int32_t>(small.size()), 1.0));
    EXPECT_FALSE(ring.Push(nullptr, kWidth * kHeight * 4, 1.0));
    EXPECT_EQ(ring.Count(), 0);
}

TEST(PreEventRingTest, MemoryIsSizedOnceInI420AndKeptAcrossClearAndSameConfigure) {
    TPreEventRing ring;
    ring.Configure(1920, 1080, 20);
    const size_t expected = 20u * 1920u * 1080u * 3u / 2u;
    EXPECT_EQ(ring.AllocatedBytes(), expected);
    std::vector<uint8_t> frame(1920u * 1080u * 4u, 100);
    ASSERT_TRUE(ring.Push(frame.data(), static_cast<int32_t>(frame.size()), 1.0));
    const uint8_t* storage = ring.I420At(0);
    ring.Clear();
    EXPECT_EQ(ring.Count(), 0);
    ring.Configure(1920, 1080, 20);
    ASSERT_TRUE(ring.Push(frame.data(), static_cast<int32_t>(frame.size()), 2.0));
    EXPECT_EQ(ring.I420At(0), storage);
    // A format change resizes; switching off gives the memory back.
    ring.Configure(640, 480, 20);
    EXPECT_EQ(ring.AllocatedBytes(), 20u * 640u * 480u * 3u / 2u);
    EXPECT_EQ(ring.Count(), 0);
    ring.Configure(640, 480, 0);
    EXPECT_EQ(ring.AllocatedBytes(), 0u);
}
