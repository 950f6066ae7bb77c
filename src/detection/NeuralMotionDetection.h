#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/NamedThread.h"
#include "platform/Sync.h"

// The self-learning detector behind one zone. Its worker thread waits until the zone has been
// still for 10 frames, then learns the zone's background over 60 still frames as a per-byte
// envelope (lowest and highest value of every byte), widens it by a margin that depends on the
// sensitivity, and from then on counts the pixels of every new frame that fall outside it.
// Mode 2 works on the raw pixels, mode 3 on an edge image of each frame (3 x 3 Laplacian).
//
// Threads and what they may call:
// - Owner thread (the zone's frame thread): Initialize, Deinitialize, AddFrame, WaitForResult,
//   SetMotionDetectionSensitivity and destruction. These calls must not overlap each other
//   (one owner thread, or under the owner's lock); they may overlap the worker.
// - Any thread: GetDifferentPixelsCount, NeuralMode, ProcessingState (atomic reads).
// - Worker ("tdr-neural", started by the constructor): Execute and ProcessFrame.
//
// What guards which field:
// - FProcessingState is the only hand-over. While it is 0 the owner may write FFrameBlock1 and
//   then stores 1 (release); while it is 1 the worker owns all six buffers and the learning
//   fields, processes, swaps the buffer pairs and stores 0 (release). Each side loads the flag
//   with acquire before touching the buffers.
// - FInitialized is published with release after the buffers are allocated; the worker never
//   touches a buffer unless it was handed a frame, which needs FInitialized. Deinitialize clears
//   it and then waits until the worker has handed back any pending frame (or has ended), so the
//   buffers are never freed under the worker.
// - FDifferentPixelsCount, FNeuralMode and FMotionDetectionSensitivity are single atomic words,
//   written whole, read at any moment.
// - FFrameWidth, FFrameHeight, FMotionDetectionMode and the buffers' sizes change only in
//   Initialize/Deinitialize, which happen-before the next hand-over.
// - FCriticalSection exists for the object's lifetime; the hand-over rules above need no lock.
//
// An empty zone (0 pixels) accepts no frames: it never learns and its count stays 0, so no
// percentage is ever computed over zero pixels.
class TNeuralMotionDetection {
public:
    TNeuralMotionDetection();
    virtual ~TNeuralMotionDetection();
    TNeuralMotionDetection(const TNeuralMotionDetection&) = delete;
    TNeuralMotionDetection& operator=(const TNeuralMotionDetection&) = delete;

    // Allocates the six buffers for FrameWidth x FrameHeight pixels and starts waiting for
    // stillness. Meant to be called once; a second call first runs Deinitialize.
    bool Initialize(int32_t FrameWidth, int32_t FrameHeight, int32_t MotionDetectionMode);
    bool Deinitialize();
    bool SetMotionDetectionSensitivity(int32_t Sensitivity);
    // Hands one zone frame (FrameSize bytes, at most the zone's size) to the worker without
    // waiting; false (frame dropped) when not initialized or the worker still has the last one.
    bool AddFrame(const void* Frame, int32_t FrameSize);
    // The same for a zone read straight out of a larger frame: FrameHeight rows of FrameWidth
    // pixels starting at TopLeft, Stride bytes apart.
    bool AddFrame(const uint8_t* TopLeft, size_t Stride);
    // Sleeps until the worker has handed back the last frame (true), or TimeoutMs passed.
    bool WaitForResult(uint32_t TimeoutMs);
    // The count of the last frame the worker finished.
    int32_t GetDifferentPixelsCount() const;

    // Learning state: 0 waiting for stillness, 1 learning, 2 learned.
    int32_t NeuralMode() const { return FNeuralMode.load(std::memory_order_relaxed); }
    int32_t MotionDetectionMode() const { return FMotionDetectionMode; }
    int32_t FrameWidth() const { return FFrameWidth; }
    int32_t FrameHeight() const { return FFrameHeight; }
    // The hand-over flag: 1 while a frame waits for or is being processed by the worker.
    int32_t ProcessingState() const { return FProcessingState.load(std::memory_order_acquire); }

    // Saturating per-byte brightness changes of Size bytes (whole 8-byte steps).
    static void BrightnessIncrease(void* Source, int32_t Size, uint8_t Level);
    static void BrightnessDecrease(void* Source, int32_t Size, uint8_t Level);

protected:
    // Processes the frame in FFrameBlock1 and publishes its count; runs on the worker.
    virtual void ProcessFrame();
    // Signals the exit event and waits for the worker; a no-op once stopped. A subclass that
    // overrides ProcessFrame calls this from its own destructor.
    void StopThread();

private:
    void Execute();
    void FreeBuffers();
    bool ReadyForFrame() const;
    void HandOverFrame();

    TEvent FExitEvent{false, false};
    // Set by AddFrame after each hand-over; wakes the worker.
    TEvent FFrameEvent{false, false};
    // Set by the worker after it hands a frame back, and when it ends.
    TEvent FResultEvent{false, false};
    std::mutex FCriticalSection;
    std::atomic<bool> FInitialized{false};
    bool FFirstFrame = true;
    std::atomic<int32_t> FProcessingState{0};
    int32_t FFrameWidth = 0;
    int32_t FFrameHeight = 0;
    std::vector<uint8_t> FFrameBlock1;
    std::vector<uint8_t> FFrameBlock2;
    std::vector<uint8_t> FFrameBlockEdge1;
    std::vector<uint8_t> FFrameBlockEdge2;
    std::vector<uint8_t> FMinPnt;
    std::vector<uint8_t> FMaxPnt;
    std::atomic<int32_t> FMotionDetectionSensitivity{90};
    std::atomic<int32_t> FDifferentPixelsCount{0};
    std::atomic<int32_t> FNeuralMode{0};
    int32_t FSimpleDetectionCounter = 0;
    int32_t FNeuralDetectionCounter = 0;
    int32_t FMotionDetectionMode = 3;

    // False once the worker's body has returned (it then never touches the buffers again).
    std::atomic<bool> FWorkerActive{false};
    TNamedThread FThread;
};
