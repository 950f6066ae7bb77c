#include "detection/MotionDetectionManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "detection/PixelKernels.h"
#include "shell/Diagnostics.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Rows of a zone copied and counted together: small enough to stay in the second-level cache.
constexpr int64_t kChunkBytes = 64 * 1024;

// Rounds to the nearest integer, ties to even (12.5 -> 12, 37.5 -> 38), independent of the
// floating-point environment; saturates at the int32 range.
int32_t RoundHalfToEven(double value) {
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    return static_cast<int32_t>(std::clamp<double>(whole, std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max()));
}

// Packs Height rows of Width pixels, starting at pixel (X, Y) of a frame FrameWidth pixels
// wide, back to back into Block.
void CopyBlock(const void* Frame, int32_t FrameWidth, int64_t X, int64_t Y, int64_t Width,
               int64_t Height, uint8_t* Block) {
    const size_t rowBytes = static_cast<size_t>(Width) * 4;
    const size_t stride = static_cast<size_t>(FrameWidth) * 4;
    const uint8_t* source =
        static_cast<const uint8_t*>(Frame) + (static_cast<size_t>(Y) * FrameWidth + X) * 4;
    for (int64_t row = 0; row < Height; ++row) {
        std::memcpy(Block, source, rowBytes);
        source += stride;
        Block += rowBytes;
    }
}

// Copies Size bytes with stores that bypass the caches where the CPU has them: the scratch
// copy of a large zone is not read again in mode 1, so it neither has to be fetched before
// being written nor push the frames out of the cache. Call StreamFence() before the copy is
// read by another thread.
void StreamCopy(uint8_t* Dest, const uint8_t* Source, size_t Size) {
#if defined(__SSE2__)
    const size_t head = std::min(Size, (16 - reinterpret_cast<uintptr_t>(Dest) % 16) % 16);
    std::memcpy(Dest, Source, head);
    size_t i = head;
    for (; i + 64 <= Size; i += 64) {
        const auto* s = reinterpret_cast<const __m128i*>(Source + i);
        auto* d = reinterpret_cast<__m128i*>(Dest + i);
        const __m128i a = _mm_loadu_si128(s);
        const __m128i b = _mm_loadu_si128(s + 1);
        const __m128i c = _mm_loadu_si128(s + 2);
        const __m128i e = _mm_loadu_si128(s + 3);
        _mm_stream_si128(d, a);
        _mm_stream_si128(d + 1, b);
        _mm_stream_si128(d + 2, c);
        _mm_stream_si128(d + 3, e);
    }
    std::memcpy(Dest + i, Source + i, Size - i);
#else
    std::memcpy(Dest, Source, Size);
#endif
}

void StreamFence() {
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

}  // namespace

TMotionDetectionManager::TMotionDetectionManager() = default;

TMotionDetectionManager::~TMotionDetectionManager() {
    try {
        Deinitialize();
        FNeuralMotionDetection.reset();
    } catch (...) {
        LogMessage("Error in TMotionDetectionManager.Destroy call...");
    }
}

bool TMotionDetectionManager::Initialize(int32_t FrameWidth, int32_t FrameHeight,
                                         int32_t MotionDetectionMode) {
    try {
        if (FInitialized && !Deinitialize()) {
            LogMessage(
                "Error in TMotionDetectionManager.Initialize - cannot deinitialize the class.");
            return false;
        }
        if (FrameWidth < 0 || FrameHeight < 0) {
            throw std::invalid_argument("negative frame size");
        }
        // The kernels take the byte size as a signed 32-bit value.
        const int64_t size = int64_t{FrameWidth} * FrameHeight * 4;
        if (size > std::numeric_limits<int32_t>::max()) {
            throw std::length_error("frame too large");
        }
        // Mode 4 reads its zone straight from the frames and needs no scratch copies.
        const size_t scratch = MotionDetectionMode == 4 ? 0 : static_cast<size_t>(size);
        FFrameBlock1.assign(scratch, 0);
        FFrameBlock2.assign(scratch, 0);
        FFrameWidth = FrameWidth;
        FFrameHeight = FrameHeight;
        FMotionDetectionMode = MotionDetectionMode;
        FInitialized = true;
        return true;
    } catch (...) {
        LogMessage("Error in TMotionDetectionManager.Initialize call...");
        return false;
    }
}

bool TMotionDetectionManager::Deinitialize() {
    try {
        if (!FInitialized) {
            return true;
        }
        FInitialized = false;
        FFrameWidth = 0;
        FFrameHeight = 0;
        std::vector<uint8_t>().swap(FFrameBlock1);
        std::vector<uint8_t>().swap(FFrameBlock2);
        FNeuralMotionDetection.reset();  // stops its thread
        FAdaptiveMotionDetection.reset();
        return true;
    } catch (...) {
        LogMessage("Error in TMotionDetectionManager.Deinitialize call...");
        return false;
    }
}

bool TMotionDetectionManager::SetMotionDetectionRectangle(const TRect& Rect) {
    try {
        FMotionDetectionRect = Rect;
        const int64_t width = std::max<int64_t>(Rect.Width(), 0);
        const int64_t height = std::max<int64_t>(Rect.Height(), 0);
        const int64_t count = width * height;
        if (width > std::numeric_limits<int32_t>::max() ||
            height > std::numeric_limits<int32_t>::max() ||
            count > std::numeric_limits<int32_t>::max()) {
            FDetectionRegionPixelsCount = 0;
            FNeuralMotionDetection.reset();
            throw std::length_error("zone too large");
        }
        FDetectionRegionPixelsCount = static_cast<int32_t>(count);
        FNeuralMotionDetection.reset();
        FAdaptiveMotionDetection.reset();
        if (FMotionDetectionMode == 4) {
            const int64_t left = std::max<int64_t>(Rect.Left, 0);
            const int64_t top = std::max<int64_t>(Rect.Top, 0);
            const int64_t right = std::min<int64_t>(int64_t{Rect.Left} + width, FFrameWidth);
            const int64_t bottom = std::min<int64_t>(int64_t{Rect.Top} + height, FFrameHeight);
            FAdaptiveMotionDetection = std::make_unique<TAdaptiveMotionDetection>();
            FAdaptiveMotionDetection->SetMotionDetectionSensitivity(FMotionDetectionSensitivity);
            // A zone entirely outside the frame has nothing to learn and never gets ready.
            if (right <= left || bottom <= top) {
                return false;
            }
            return FAdaptiveMotionDetection->Initialize(static_cast<int32_t>(right - left),
                                                        static_cast<int32_t>(bottom - top),
                                                        FTimePerFrameMS);
        }
        FNeuralMotionDetection = std::make_unique<TNeuralMotionDetection>();
        // A failure here has logged its own line; the zone then never becomes ready.
        return FNeuralMotionDetection->Initialize(
            static_cast<int32_t>(width), static_cast<int32_t>(height), FMotionDetectionMode);
    } catch (...) {
        LogMessage("Error in TMotionDetectionManager.SetMotionDetectionRectangle call...");
        return false;
    }
}

bool TMotionDetectionManager::SetMotionDetectionSensitivity(int32_t Sensitivity) {
    try {
        FMotionDetectionSensitivity = Sensitivity;
        if (FAdaptiveMotionDetection) {
            FAdaptiveMotionDetection->SetMotionDetectionSensitivity(Sensitivity);
            return true;
        }
        if (!FNeuralMotionDetection) {
            throw std::logic_error("no zone set");
        }
        return FNeuralMotionDetection->SetMotionDetectionSensitivity(Sensitivity);
    } catch (...) {
        LogMessage("Error in TMotionDetectionManager.SetMotionDetectionSensitivity call...");
        return false;
    }
}

bool TMotionDetectionManager::MotionDecetction_CountDifferentPixelsBlock_RGB32(
    const void* Frame1, const void* Frame2, int32_t DetectionLevel, int32_t BlockX, int32_t BlockY,
    int32_t BlockWidth, int32_t BlockHeight, uint32_t& PixelsCount) {
    try {
        if (!FInitialized) {
            return false;
        }
        PixelsCount = 0;
        if (Frame1 == nullptr || Frame2 == nullptr) {
            throw std::invalid_argument("no frame");
        }

        // The part of the block that lies inside the frame.
        const int64_t left = std::max<int64_t>(BlockX, 0);
        const int64_t top = std::max<int64_t>(BlockY, 0);
        const int64_t right = std::min<int64_t>(int64_t{BlockX} + BlockWidth, FFrameWidth);
        const int64_t bottom = std::min<int64_t>(int64_t{BlockY} + BlockHeight, FFrameHeight);
        const int64_t width = std::max<int64_t>(right - left, 0);
        const int64_t height = std::max<int64_t>(bottom - top, 0);
        if (width == 0 || height == 0) {
            FMotionActivityPrc = 0;
            return true;
        }
        // Fits: the scratch buffers hold a whole frame, whose size Initialize bounded.
        const int32_t size = static_cast<int32_t>(width * height * 4);

        if (FMotionDetectionMode == 4) {
            // The detector learns the zone's in-frame size; another block is not handed over.
            if (FAdaptiveMotionDetection && width == FAdaptiveMotionDetection->Width() &&
                height == FAdaptiveMotionDetection->Height()) {
                const size_t stride = static_cast<size_t>(FFrameWidth) * 4;
                const uint8_t* first = static_cast<const uint8_t*>(Frame1) +
                                       (static_cast<size_t>(top) * FFrameWidth + left) * 4;
                FAdaptiveMotionDetection->AddFrame(first, stride, PixelsCount);
            }
            FMotionActivityPrc =
                FDetectionRegionPixelsCount > 0
                    ? RoundHalfToEven(PixelsCount * 100.0 / FDetectionRegionPixelsCount)
                    : 0;
            return true;
        }

        const bool countHere = FMotionDetectionMode == 1;
        const int64_t rowBytes = width * 4;
        uint32_t total = 0;
        if (countHere && width % 2 == 0) {
            // Every row holds whole two-pixel steps, so the rows can be counted one by one
            // straight from the frames (still in the cache from the copy); the sum equals one
            // count over the packed zone.
            const size_t stride = static_cast<size_t>(FFrameWidth) * 4;
            const size_t first = (static_cast<size_t>(top) * FFrameWidth + left) * 4;
            const uint8_t* source1 = static_cast<const uint8_t*>(Frame1) + first;
            const uint8_t* source2 = static_cast<const uint8_t*>(Frame2) + first;
            for (int64_t row = 0; row < height; ++row) {
                StreamCopy(FFrameBlock1.data() + row * rowBytes, source1, rowBytes);
                StreamCopy(FFrameBlock2.data() + row * rowBytes, source2, rowBytes);
                uint32_t levelAndCount = static_cast<uint32_t>(DetectionLevel);
                CountDiffPixels32(source1, source2, levelAndCount, static_cast<int32_t>(rowBytes));
                total += levelAndCount;
                source1 += stride;
                source2 += stride;
            }
            StreamFence();
        } else {
            // Copied in chunks of rows; in mode 1 each chunk is counted while it is in the
            // cache. A chunk holds whole two-pixel steps (an even number of rows, since the
            // width is odd here), so the sum of the chunk counts equals one count over the
            // whole zone, including the skipped last pixel of an odd-sized zone.
            int64_t chunkRows = std::max<int64_t>(1, kChunkBytes / rowBytes);
            if (width % 2 != 0 && chunkRows % 2 != 0) {
                ++chunkRows;
            }
            for (int64_t row = 0; row < height; row += chunkRows) {
                const int64_t rows = std::min(chunkRows, height - row);
                uint8_t* block1 = FFrameBlock1.data() + row * rowBytes;
                uint8_t* block2 = FFrameBlock2.data() + row * rowBytes;
                CopyBlock(Frame1, FFrameWidth, left, top + row, width, rows, block1);
                CopyBlock(Frame2, FFrameWidth, left, top + row, width, rows, block2);
                if (countHere) {
                    uint32_t levelAndCount = static_cast<uint32_t>(DetectionLevel);
                    CountDiffPixels32(block1, block2, levelAndCount,
                                      static_cast<int32_t>(rows * rowBytes));
                    total += levelAndCount;
                }
            }
        }

        if (countHere) {
            PixelsCount = total;
        } else if (FMotionDetectionMode == 2 || FMotionDetectionMode == 3) {
            if (FNeuralMotionDetection) {
                // The detector learns one zone size; a block of another size (a zone clamped at
                // the frame edge) is not handed over.
                if (width == FNeuralMotionDetection->FrameWidth() &&
                    height == FNeuralMotionDetection->FrameHeight()) {
                    FNeuralMotionDetection->AddFrame(FFrameBlock1.data(), size);
                }
                PixelsCount = static_cast<uint32_t>(
                    std::max(FNeuralMotionDetection->GetDifferentPixelsCount(), 0));
            }
        }

        FMotionActivityPrc =
            FDetectionRegionPixelsCount > 0
                ? RoundHalfToEven(PixelsCount * 100.0 / FDetectionRegionPixelsCount)
                : 0;
        return true;
    } catch (...) {
        LogMessage(
            "Error in TMotionDetectionManager.MotionDecetction_CountDifferentPixelsBlock_RGB32 "
            "call...");
        return false;
    }
}

bool TMotionDetectionManager::MotionDecetction_CountDifferentPixelsBlock_RGB32(
    const void* Frame1, const void* Frame2, int32_t DetectionLevel, uint32_t& PixelsCount) {
    const TRect& zone = FMotionDetectionRect;
    // Widths beyond int32 clamp to the frame just the same.
    const auto clampedExtent = [](int64_t extent) {
        return static_cast<int32_t>(
            std::clamp<int64_t>(extent, 0, std::numeric_limits<int32_t>::max()));
    };
    return MotionDecetction_CountDifferentPixelsBlock_RGB32(
        Frame1, Frame2, DetectionLevel, zone.Left, zone.Top, clampedExtent(zone.Width()),
        clampedExtent(zone.Height()), PixelsCount);
}

bool TMotionDetectionManager::IsReadyToProcess() const {
    switch (FMotionDetectionMode) {
        case 1:
            return true;
        case 2:
        case 3:
            return FNeuralMotionDetection && FNeuralMotionDetection->NeuralMode() == 2;
        case 4:
            return FAdaptiveMotionDetection && FAdaptiveMotionDetection->IsReady();
        default:
            return false;
    }
}

void TMotionDetectionManager::BrightnessIncrease(void* Source, int32_t Size, uint8_t Level) {
    ::BrightnessIncrease(Source, Size, Level);
}

void TMotionDetectionManager::BrightnessDecrease(void* Source, int32_t Size, uint8_t Level) {
    ::BrightnessDecrease(Source, Size, Level);
}
