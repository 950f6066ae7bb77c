// The adaptive mode's per-frame step allocates nothing: its planes are allocated when the zone
// is set. Every allocation of this test program passes the counter below.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "detection/MotionDetectionManager.h"
#include "detection/ZoneFrame.h"

namespace {

std::atomic<long> gAllocations{0};

}  // namespace

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

TEST(AdaptiveAllocationTest, FrameStepAllocatesNothing) {
    constexpr int32_t kWidth = 160;
    constexpr int32_t kHeight = 120;
    // A square crossing the zone, 3 pixels a frame; made before the count starts.
    std::vector<TZoneFrame> frames;
    for (int f = 0; f < 40; ++f) {
        TZoneFrame frame(kWidth, kHeight, 90);
        for (int32_t y = 40; y < 70; ++y) {
            for (int32_t x = 10 + f * 3; x < 40 + f * 3; ++x) {
                frame.SetPixel(x, y, static_cast<uint8_t>(200 + (x + y) % 7), 200, 200);
            }
        }
        frames.push_back(std::move(frame));
    }
    TMotionDetectionManager manager;
    manager.SetTimePerFrameMS(100);
    ASSERT_TRUE(manager.Initialize(kWidth, kHeight, 4));
    ASSERT_TRUE(manager.SetMotionDetectionRectangle({10, 10, 150, 110}));
    manager.SetMotionDetectionSensitivity(80);

    const long before = gAllocations.load();
    uint32_t count = 0;
    uint32_t largest = 0;
    for (int i = 1; i < 40; ++i) {
        ASSERT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
            frames[i].Data(), frames[i - 1].Data(), 10, count));
        largest = std::max(largest, count);
    }
    EXPECT_EQ(gAllocations.load() - before, 0);
    // The frames kept the detector busy: the square was found once the zone was ready.
    EXPECT_TRUE(manager.IsReadyToProcess());
    EXPECT_GT(largest, 0u);
}

}  // namespace
