// A recorded sequence of synthetic frames run through every mode and several zone shapes. The
// table holds a digest of each zone's per-frame results (count, activity, readiness), taken
// from the detector as it stood before its per-frame buffers were reworked; any change in what
// a zone reports shows up here. Mode 1 is also checked frame by frame against the scalar
// kernel over a packed copy of the zone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "detection/MotionDetectionManager.h"
#include "detection/PixelKernelsScalar.h"
#include "detection/ZoneFrame.h"

namespace {

constexpr int32_t kWidth = 41;  // odd, so rows of odd zones do not pair up
constexpr int32_t kHeight = 27;
constexpr int32_t kLevel = 10;
constexpr int kFrames = 110;

// Background with texture; still until frame 75, then a square crosses and the light drifts.
// A few pixels change only in the fourth byte, and some changes stay at or below the level.
std::vector<TZoneFrame> RecordedSequence() {
    std::vector<TZoneFrame> frames;
    for (int f = 0; f < kFrames; ++f) {
        TZoneFrame frame(kWidth, kHeight);
        const bool moving = f >= 75;
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                const int base = 40 + (x * 7 + y * 13) % 90;
                const int light = moving ? (f - 75) * 3 : 0;
                const int wobble = ((x + y + f) % 5 == 0) ? kLevel : 0;  // never counted
                frame.SetPixel(x, y, static_cast<uint8_t>(base + light),
                               static_cast<uint8_t>(base + wobble), static_cast<uint8_t>(200 - base),
                               static_cast<uint8_t>(moving && (x * y + f) % 11 == 0 ? 99 : 0));
            }
        }
        if (moving) {
            const int32_t left = (f - 75) * 2 - 6;
            for (int32_t y = 8; y < 19; ++y) {
                for (int32_t x = left; x < left + 9; ++x) {
                    if (x >= 0 && x < kWidth) {
                        frame.SetPixel(x, y, 250, 30, static_cast<uint8_t>(x * 5));
                    }
                }
            }
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

struct TSequenceCase {
    const char* Name;
    int32_t Mode;
    TRect Zone;
    uint64_t Digest;
    uint64_t CountSum;
};

// Zones: the whole frame, zones on each edge, 1-pixel-wide and 1-pixel-high ones, odd and
// even interior ones, one pixel, and one reaching out of the frame.
const TRect kWhole{0, 0, kWidth, kHeight};
const TRect kLeftColumn{0, 2, 1, 25};
const TRect kRightEdge{38, 0, 41, 27};
const TRect kBottomRow{0, 26, 41, 27};
const TRect kOddInterior{3, 4, 12, 11};
const TRect kEvenInterior{10, 5, 26, 17};
const TRect kOnePixel{20, 13, 21, 14};
const TRect kPastTheCorner{30, 20, 50, 40};

uint64_t Mix(uint64_t digest, uint64_t value) {
    // FNV-1a over the eight bytes of value.
    for (int i = 0; i < 8; ++i) {
        digest ^= (value >> (i * 8)) & 0xFF;
        digest *= 1099511628211ull;
    }
    return digest;
}

uint32_t ScalarZoneCount(const TZoneFrame& current, const TZoneFrame& previous, TRect zone) {
    zone.Left = std::max(zone.Left, 0);
    zone.Top = std::max(zone.Top, 0);
    zone.Right = std::min(zone.Right, kWidth);
    zone.Bottom = std::min(zone.Bottom, kHeight);
    std::vector<uint8_t> packed1;
    std::vector<uint8_t> packed2;
    for (int32_t y = zone.Top; y < zone.Bottom; ++y) {
        const size_t offset = (static_cast<size_t>(y) * kWidth + zone.Left) * 4;
        const size_t bytes = static_cast<size_t>(zone.Right - zone.Left) * 4;
        packed1.insert(packed1.end(), current.Bytes.begin() + offset,
                       current.Bytes.begin() + offset + bytes);
        packed2.insert(packed2.end(), previous.Bytes.begin() + offset,
                       previous.Bytes.begin() + offset + bytes);
    }
    uint32_t count = kLevel;
    PixelKernelsScalar::CountDiffPixels32(packed1.data(), packed2.data(), count,
                                          static_cast<int32_t>(packed1.size()));
    return count;
}

class MotionDetectionSequence : public ::testing::TestWithParam<TSequenceCase> {};

TEST_P(MotionDetectionSequence, ReportsTheRecordedResults) {
    const TSequenceCase& c = GetParam();
    static const std::vector<TZoneFrame> frames = RecordedSequence();
    TMotionDetectionManager manager;
    manager.SetTimePerFrameMS(100);
    ASSERT_TRUE(manager.Initialize(kWidth, kHeight, c.Mode));
    manager.SetMotionDetectionRectangle(c.Zone);
    manager.SetMotionDetectionSensitivity(90);

    uint64_t digest = 14695981039346656037ull;
    uint64_t sum = 0;
    for (int f = 1; f < kFrames; ++f) {
        uint32_t count = 0;
        ASSERT_TRUE(manager.MotionDecetction_CountDifferentPixelsBlock_RGB32(
            frames[f].Data(), frames[f - 1].Data(), kLevel, count));
        if (c.Mode == 1) {
            ASSERT_EQ(count, ScalarZoneCount(frames[f], frames[f - 1], c.Zone)) << f;
        }
        const TNeuralMotionDetection* detector =
            c.Mode == 2 || c.Mode == 3 ? manager.NeuralMotionDetection() : nullptr;
        if (detector != nullptr) {
            // The step returns once the threaded detector has finished the frame it was given
            // and reports that frame's count.
            ASSERT_EQ(detector->ProcessingState(), 0) << f;
            ASSERT_EQ(static_cast<int32_t>(count), detector->GetDifferentPixelsCount()) << f;
        } else {
            digest = Mix(digest, static_cast<uint64_t>(manager.MotionActivityPrc()));
        }
        digest = Mix(digest, count);
        digest = Mix(digest, manager.IsReadyToProcess() ? 1 : 0);
        sum += count;
    }
    EXPECT_EQ(sum, c.CountSum);
    EXPECT_EQ(digest, c.Digest);
    if (digest != c.Digest || sum != c.CountSum) {
        std::printf("    {\"%s\", %d, {%d, %d, %d, %d}, 0x%016llxull, %llu},\n", c.Name, c.Mode,
                    c.Zone.Left, c.Zone.Top, c.Zone.Right, c.Zone.Bottom,
                    static_cast<unsigned long long>(digest), static_cast<unsigned long long>(sum));
    }
}

// clang-format off
const TSequenceCase kCases[] = {
#include "detection/MotionDetectionSequenceTable.inc"
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(MotionDetection, MotionDetectionSequence, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                             return std::string(info.param.Name) + "Mode" +
                                    std::to_string(info.param.Mode);
                         });

}  // namespace
