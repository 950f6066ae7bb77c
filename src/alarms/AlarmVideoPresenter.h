#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// The full-screen video of an alarm. Alarm threads and GStreamer streaming threads never touch
// widgets: they hand their requests and frames to a presenter, which the application layer
// implements with a window driven from the GUI thread.
//
// `Owner` identifies the alarm (its sound thread), so the presenter can tell several zones
// apart: each owner that asked for full screen keeps the window up until it hides again.

// One decoded picture, owned by whoever holds it: BGRx, 4 bytes per pixel, top row first,
// rows `Stride` bytes apart.
struct TAlarmVideoFrame {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Stride = 0;
    std::vector<uint8_t> Pixels;
};
using TAlarmVideoFramePtr = std::shared_ptr<const TAlarmVideoFrame>;

// Every call comes from a worker thread and must return at once (queue the work, never wait
// for the GUI); a presenter must not call SetAlarmVideoPresenter from inside these calls.
class IAlarmVideoPresenter {
public:
    virtual ~IAlarmVideoPresenter() = default;
    // Make the video window visible and switch it to full-screen mode.
    virtual void ShowFullScreen(uintptr_t Owner) = 0;
    // Leave full-screen mode and hide the window (once no other owner still shows video).
    virtual void Hide(uintptr_t Owner) = 0;
    // The next picture of Owner's video; a slow presenter drops pictures rather than queue them.
    virtual void PresentFrame(uintptr_t Owner, TAlarmVideoFramePtr Frame) = 0;
};

// Installs the process-wide presenter (nullptr removes it) and returns the previous one. The
// application installs it at start-up and removes it at shutdown, after detection stopped.
// Calls to the presenter hold the same lock, so once removal returns no call is in flight and
// the presenter may be destroyed.
IAlarmVideoPresenter* SetAlarmVideoPresenter(IAlarmVideoPresenter* Presenter);
bool HasAlarmVideoPresenter();

// Forward to the installed presenter; nothing happens while none is installed.
void AlarmVideoShowFullScreen(uintptr_t Owner);
void AlarmVideoHide(uintptr_t Owner);
void AlarmVideoPresentFrame(uintptr_t Owner, TAlarmVideoFramePtr Frame);
