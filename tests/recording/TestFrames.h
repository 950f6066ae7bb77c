#pragma once

#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "recording/RecordingTypes.h"

// Frames for a recording under test: bottom-up RGB32 pictures with a moving bar, or noise
// (which no encoder can squeeze below its bit rate), handed out by a frame function.
class TTestFrames {
public:
    TTestFrames(int width, int height, bool noise = false)
        : FWidth(width), FHeight(height), FNoise(noise),
          FFrame(static_cast<size_t>(width) * height * 4) {}

    TGetNextFrameFunction NextFunction() {
        return [this](uint8_t*& data, int32_t& size) {
            std::lock_guard lock(FLock);
            Paint();
            data = FFrame.data();
            size = static_cast<int32_t>(FFrame.size());
            ++FHandedOut;
            return true;
        };
    }
    int HandedOut() {
        std::lock_guard lock(FLock);
        return FHandedOut;
    }
    const std::vector<uint8_t>& Frame() const { return FFrame; }
    // Paints the next picture into Frame.
    void Paint() {
        if (FNoise) {
            for (auto& b : FFrame) {
                b = static_cast<uint8_t>(FRandom());
            }
            return;
        }
        const int bar = (FPainted * 4) % FWidth;
        for (int y = 0; y < FHeight; ++y) {
            for (int x = 0; x < FWidth; ++x) {
                uint8_t* p = FFrame.data() + (static_cast<size_t>(y) * FWidth + x) * 4;
                const bool onBar = x >= bar && x < bar + 8;
                p[0] = onBar ? 255 : static_cast<uint8_t>(y * 2);
                p[1] = onBar ? 255 : static_cast<uint8_t>(x);
                p[2] = onBar ? 255 : 64;
                p[3] = 0;
            }
        }
        ++FPainted;
    }

private:
    int FWidth;
    int FHeight;
    bool FNoise;
    std::vector<uint8_t> FFrame;
    std::mutex FLock;
    int FHandedOut = 0;
    int FPainted = 0;
    std::minstd_rand FRandom{12345};
};
