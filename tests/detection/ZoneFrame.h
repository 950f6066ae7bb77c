#pragma once

#include <cstdint>
#include <vector>

// An RGB32 test frame allocated to exactly its size, so a read or write past its end shows
// up under AddressSanitizer or valgrind.
struct TZoneFrame {
    TZoneFrame(int32_t width, int32_t height, uint8_t value = 0, uint8_t fourth = 0)
        : Width(width), Height(height), Bytes(static_cast<size_t>(width) * height * 4) {
        for (int32_t i = 0; i < width * height; ++i) {
            SetPixel(i % width, i / width, value, value, value, fourth);
        }
    }

    uint8_t* Pixel(int32_t x, int32_t y) {
        return Bytes.data() + (static_cast<size_t>(y) * Width + x) * 4;
    }
    void SetPixel(int32_t x, int32_t y, uint8_t blue, uint8_t green, uint8_t red,
                  uint8_t fourth = 0) {
        uint8_t* p = Pixel(x, y);
        p[0] = blue;
        p[1] = green;
        p[2] = red;
        p[3] = fourth;
    }
    const void* Data() const { return Bytes.data(); }
    int32_t Size() const { return static_cast<int32_t>(Bytes.size()); }

    int32_t Width;
    int32_t Height;
    std::vector<uint8_t> Bytes;
};
