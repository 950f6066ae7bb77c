#pragma once

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "alarms/AlarmVideoPresenter.h"

// The full-screen window of alarm videos: a top-level window that shows the pictures of the
// playing alarm scaled to fit, keeping their aspect ratio, on black. The presenter calls come
// from alarm and streaming threads; each is turned into a queued call on the GUI thread, so the
// window itself is only touched there. Pictures are coalesced: while one waits to be taken,
// a newer one replaces it.
//
// Several zones: every zone that asked for full screen keeps the window up until it hides
// again; the pictures shown are those of the zone that asked last (the others' are ignored
// until it hides).
//
// The owner (the main window) creates it, installs it with SetAlarmVideoPresenter at
// start-up and removes it at shutdown before destroying it.
class TAlarmVideoWindow : public QWidget, public IAlarmVideoPresenter {
    Q_OBJECT
public:
    explicit TAlarmVideoWindow(QWidget* parent = nullptr);
    ~TAlarmVideoWindow() override;

    // IAlarmVideoPresenter, from any thread.
    void ShowFullScreen(uintptr_t Owner) override;
    void Hide(uintptr_t Owner) override;
    void PresentFrame(uintptr_t Owner, TAlarmVideoFramePtr Frame) override;

    // GUI thread: the picture on show (null while none) and how many paints drew one.
    TAlarmVideoFramePtr CurrentFrame() const { return FFrame; }
    int PaintedFrameCount() const { return FPaintedFrameCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DoShowFullScreen(uintptr_t Owner);
    void DoHide(uintptr_t Owner);
    void TakeFrame();

    // GUI thread only.
    std::vector<uintptr_t> FOwners;  // zones showing video, the latest last
    TAlarmVideoFramePtr FFrame;
    int FPaintedFrameCount = 0;

    // The picture waiting for the GUI thread.
    std::mutex FPendingLock;
    TAlarmVideoFramePtr FPendingFrame;
    uintptr_t FPendingOwner = 0;
    std::atomic<bool> FFramePosted{false};
};
