// The per-frame detection step allocates nothing in any mode: the adaptive mode's planes and
// the threaded detectors' buffers are allocated when the zone is set. Every allocation of this
// test program, on any thread, passes the counter below.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
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

// Ten zones of a frame (odd and even sizes) through a few hundred frames: a still stretch that
// lets the threaded detectors learn, then a square crossing the frame.
class TenZoneAllocationTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(TenZoneAllocationTest, FrameStepOverTenZonesAllocatesNothing) {
    constexpr int32_t kWidth = 161;
    constexpr int32_t kHeight = 97;
    constexpr int kFrameCount = 300;
    std::vector<TZoneFrame> frames;
    for (int f = 0; f < 2; ++f) {
        frames.emplace_back(kWidth, kHeight, 90);
    }
    for (int f = 0; f < 40; ++f) {
        TZoneFrame frame(kWidth, kHeight, 90);
        for (int32_t y = 30; y < 60; ++y) {
            for (int32_t x = f * 4; x < f * 4 + 20 && x < kWidth; ++x) {
                frame.SetPixel(x, y, 220, 40, static_cast<uint8_t>(x));
            }
        }
        frames.push_back(std::move(frame));
    }
    // Frame f of the sequence: still for 100 frames, then the moving square, over and over.
    const auto frameAt = [&](int f) -> const TZoneFrame& {
        return f < 100 ? frames[f % 2 == 0 ? 0 : 1] : frames[2 + (f - 100) % 40];
    };

    std::vector<std::unique_ptr<TMotionDetectionManager>> zones;
    for (int32_t row = 0; row < 2; ++row) {
        for (int32_t column = 0; column < 5; ++column) {
            auto zone = std::make_unique<TMotionDetectionManager>();
            zone->SetTimePerFrameMS(100);
            ASSERT_TRUE(zone->Initialize(kWidth, kHeight, GetParam()));
            ASSERT_TRUE(zone->SetMotionDetectionRectangle({kWidth * column / 5, kHeight * row / 2,
                                                           kWidth * (column + 1) / 5,
                                                           kHeight * (row + 1) / 2}));
            zone->SetMotionDetectionSensitivity(90);
            zones.push_back(std::move(zone));
        }
    }

    const long before = gAllocations.load();
    uint32_t largest = 0;
    for (int f = 1; f < kFrameCount; ++f) {
        for (auto& zone : zones) {
            uint32_t count = 0;
            ASSERT_TRUE(zone->MotionDecetction_CountDifferentPixelsBlock_RGB32(
                frameAt(f).Data(), frameAt(f - 1).Data(), 10, count));
            largest = std::max(largest, count);
        }
    }
    EXPECT_EQ(gAllocations.load() - before, 0);
    // The steps did the real work: every zone got ready and the square was seen.
    for (const auto& zone : zones) {
        EXPECT_TRUE(zone->IsReadyToProcess());
    }
    EXPECT_GT(largest, 0u);
}

INSTANTIATE_TEST_SUITE_P(AdaptiveAllocationTest, TenZoneAllocationTest,
                         ::testing::Values(1, 2, 3, 4),
                         [](const auto& info) { return "Mode" + std::to_string(info.param); });

}  // namespace
