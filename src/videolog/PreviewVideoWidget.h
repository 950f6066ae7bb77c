#pragma once

#include <QImage>
#include <QWidget>

#include <memory>
#include <mutex>

#include "videolog/PlaybackFilter.h"

// The picture of one video window: shows the latest frame the playback filter delivered,
// scaled to fit and centred on black. Frames come from streaming threads through a mailbox
// that keeps only the newest one, so a busy GUI drops frames instead of queueing them.
class TPreviewVideoWidget : public QWidget {
    Q_OBJECT
public:
    explicit TPreviewVideoWidget(QWidget* parent = nullptr);
    ~TPreviewVideoWidget() override;

    // The callback to hand to the filter's window; safe to call from any thread, also after
    // this widget is gone (the frame is then dropped).
    TPlaybackFrameCallback FrameCallback() const;

    // The frame on show (null before the first one), and how many frames were shown.
    std::shared_ptr<const TPlaybackFrame> CurrentFrame() const { return FFrame; }
    int FramesShown() const { return FFramesShown; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Shared with the streaming threads. Lock guards Latest, Posted and Target; Target is
    // cleared by the widget's destructor under the lock, so a thread holding the lock may post
    // to it.
    struct TMailbox {
        std::mutex Lock;
        std::shared_ptr<const TPlaybackFrame> Latest;
        bool Posted = false;
        TPreviewVideoWidget* Target = nullptr;
    };
    static void Deliver(const std::shared_ptr<TMailbox>& Mailbox,
                        std::shared_ptr<const TPlaybackFrame> Frame);
    void TakeLatest();

    std::shared_ptr<TMailbox> FMailbox;
    std::shared_ptr<const TPlaybackFrame> FFrame;
    int FFramesShown = 0;
};
