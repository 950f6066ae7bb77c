#pragma once

#include <cstdint>
#include <memory>

#include "detection/AdaptiveMotionDetection.h"
#include "detection/NeuralMotionDetection.h"
#include "platform/Rect.h"

// Watches one rectangular zone of RGB32 frames (4 bytes per pixel, rows packed without padding,
// zone coordinates in buffer rows). Per frame it counts the pixels of the zone that differ
// between the new and the previous frame in place (mode 1, "Simple Mode"), or copies the new
// zone into its threaded self-learning detector, waits (bounded) until the detector has
// processed it and reports that frame's count (modes 2 and 3). Mode 4 ("Adaptive") reads the
// zone straight from the new frame into its adaptive detector on the calling thread and
// reports that frame's count; it has no threaded detector. The step allocates nothing.
//
// Set-up order: Initialize, SetMotionDetectionRectangle (creates the threaded detector),
// SetMotionDetectionSensitivity. All calls belong to one thread (the frame thread, or under the
// owner's lock); only the threaded detector's worker runs beside it.
//
// Zones are clamped to the frame for every frame: nothing outside either frame is read, and an
// empty zone counts 0 pixels with activity 0. In modes 2 and 3 the threaded detector learns
// one zone size, so a zone that reaches out of the frame (and is clamped to a smaller block)
// is not handed over at all: it reports the detector's last count, 0, and never gets ready.
class TMotionDetectionManager {
public:
    TMotionDetectionManager();
    ~TMotionDetectionManager();
    TMotionDetectionManager(const TMotionDetectionManager&) = delete;
    TMotionDetectionManager& operator=(const TMotionDetectionManager&) = delete;

    // Stores the frame size and mode; the zone's buffers belong to its detector.
    bool Initialize(int32_t FrameWidth, int32_t FrameHeight, int32_t MotionDetectionMode);
    // Frees the zone's detector; the rectangle must be set again afterwards.
    bool Deinitialize();
    // Modes 1-3: creates the threaded detector for the zone's size. Mode 4: creates the adaptive
    // detector for the part of the zone inside the frame.
    bool SetMotionDetectionRectangle(const TRect& Rect);
    // Mode 4 turns its time constants into frames with this; set before the rectangle.
    void SetTimePerFrameMS(int32_t TimePerFrameMS) { FTimePerFrameMS = TimePerFrameMS; }
    // Stored here and passed to the threaded detector; false (and logged) while there is none.
    bool SetMotionDetectionSensitivity(int32_t Sensitivity);

    // The per-frame step for the given block: Frame1 is the new frame, Frame2 the previous one,
    // both FrameWidth x FrameHeight pixels. Only the low byte of DetectionLevel is used.
    bool MotionDecetction_CountDifferentPixelsBlock_RGB32(const void* Frame1, const void* Frame2,
                                                          int32_t DetectionLevel, int32_t BlockX,
                                                          int32_t BlockY, int32_t BlockWidth,
                                                          int32_t BlockHeight,
                                                          uint32_t& PixelsCount);
    // The same for the stored zone.
    bool MotionDecetction_CountDifferentPixelsBlock_RGB32(const void* Frame1, const void* Frame2,
                                                          int32_t DetectionLevel,
                                                          uint32_t& PixelsCount);

    int32_t DetectionRegionPixelsCount() const { return FDetectionRegionPixelsCount; }
    // Mode 1 always; modes 2 and 3 once the threaded detector has learned its background;
    // mode 4 once its adaptive detector has learned (1.5 s of frames).
    bool IsReadyToProcess() const;
    // Last activity in percent of the zone's pixels.
    int32_t MotionActivityPrc() const { return FMotionActivityPrc; }

    int32_t MotionDetectionMode() const { return FMotionDetectionMode; }
    int32_t MotionDetectionSensitivity() const { return FMotionDetectionSensitivity; }
    const TRect& MotionDetectionRect() const { return FMotionDetectionRect; }
    // The zone's threaded detector, or null before SetMotionDetectionRectangle.
    const TNeuralMotionDetection* NeuralMotionDetection() const {
        return FNeuralMotionDetection.get();
    }

    // The zone's adaptive detector (mode 4 only), or null.
    const TAdaptiveMotionDetection* AdaptiveMotionDetection() const {
        return FAdaptiveMotionDetection.get();
    }

    // Saturating per-byte brightness changes of Size bytes (whole 8-byte steps).
    static void BrightnessIncrease(void* Source, int32_t Size, uint8_t Level);
    static void BrightnessDecrease(void* Source, int32_t Size, uint8_t Level);

private:
    int32_t FMotionDetectionMode = 3;
    bool FInitialized = false;
    int32_t FFrameWidth = 0;
    int32_t FFrameHeight = 0;
    TRect FMotionDetectionRect;
    int32_t FDetectionRegionPixelsCount = 0;
    int32_t FMotionDetectionSensitivity = 90;
    std::unique_ptr<TNeuralMotionDetection> FNeuralMotionDetection;
    std::unique_ptr<TAdaptiveMotionDetection> FAdaptiveMotionDetection;
    // Simple mode's zone, which needs no detector object: set by a usable rectangle.
    bool FZoneSet = false;
    int32_t FTimePerFrameMS = 0;
    int32_t FMotionActivityPrc = 0;
};
