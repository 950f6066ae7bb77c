#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// `count` frames of `bytes` with a little noise, the same in every run, so that a detector's
// count is neither 0 nor everything.
inline std::vector<std::vector<uint8_t>> MakeNoisyFrames(int count, size_t bytes) {
    std::vector<std::vector<uint8_t>> frames(static_cast<size_t>(count),
                                             std::vector<uint8_t>(bytes));
    uint32_t seed = 12345;
    for (auto& frame : frames) {
        for (size_t i = 0; i < bytes; ++i) {
            seed = seed * 1664525u + 1013904223u;
            frame[i] = static_cast<uint8_t>(100 + (seed >> 28));
        }
    }
    return frames;
}
