#include "videolog/PreviewVideoWidget.h"

#include <QPainter>

TPreviewVideoWidget::TPreviewVideoWidget(QWidget* parent)
    : QWidget(parent), FMailbox(std::make_shared<TMailbox>()) {
    FMailbox->Target = this;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

TPreviewVideoWidget::~TPreviewVideoWidget() {
    std::lock_guard<std::mutex> guard(FMailbox->Lock);
    FMailbox->Target = nullptr;
    FMailbox->Latest.reset();
}

TPlaybackFrameCallback TPreviewVideoWidget::FrameCallback() const {
    std::shared_ptr<TMailbox> mailbox = FMailbox;
    return [mailbox](std::shared_ptr<const TPlaybackFrame> frame) {
        Deliver(mailbox, std::move(frame));
    };
}

void TPreviewVideoWidget::Deliver(const std::shared_ptr<TMailbox>& Mailbox,
                                  std::shared_ptr<const TPlaybackFrame> Frame) {
    if (!Frame || Frame->Width <= 0 || Frame->Height <= 0 ||
        Frame->Pixels.size() < static_cast<size_t>(Frame->Width) * Frame->Height * 4) {
        return;
    }
    std::lock_guard<std::mutex> guard(Mailbox->Lock);
    if (Mailbox->Target == nullptr) {
        return;
    }
    Mailbox->Latest = std::move(Frame);
    if (!Mailbox->Posted) {
        Mailbox->Posted = true;
        // Posting is thread-safe; a call still queued when the widget goes is discarded.
        TPreviewVideoWidget* target = Mailbox->Target;
        QMetaObject::invokeMethod(target, [target] { target->TakeLatest(); },
                                  Qt::QueuedConnection);
    }
}

void TPreviewVideoWidget::TakeLatest() {
    std::shared_ptr<const TPlaybackFrame> frame;
    {
        std::lock_guard<std::mutex> guard(FMailbox->Lock);
        frame = std::move(FMailbox->Latest);
        FMailbox->Posted = false;
    }
    if (frame) {
        FFrame = std::move(frame);
        ++FFramesShown;
        if (isVisible()) {
            update();
        }
    }
}

void TPreviewVideoWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!FFrame) {
        return;
    }
    const QImage image(FFrame->Pixels.data(), FFrame->Width, FFrame->Height, FFrame->Width * 4,
                       QImage::Format_RGB32);
    // Keeps the picture's shape: scaled to fit, centred, black bars beside or above.
    QSize shown = image.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                       shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, image);
}
