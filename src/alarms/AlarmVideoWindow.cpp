#include "alarms/AlarmVideoWindow.h"

#include <QImage>
#include <QMetaObject>
#include <QPainter>

#include <algorithm>
#include <utility>

#include "platform/Diagnostics.h"

TAlarmVideoWindow::TAlarmVideoWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Tandrel"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(false);
}

TAlarmVideoWindow::~TAlarmVideoWindow() = default;

void TAlarmVideoWindow::ShowFullScreen(uintptr_t Owner) {
    try {
        QMetaObject::invokeMethod(
            this, [this, Owner] { DoShowFullScreen(Owner); }, Qt::QueuedConnection);
    } catch (...) {
        LogMessage("Error in TAlarmVideoWindow.ShowFullScreen call...");
    }
}

void TAlarmVideoWindow::Hide(uintptr_t Owner) {
    try {
        QMetaObject::invokeMethod(
            this, [this, Owner] { DoHide(Owner); }, Qt::QueuedConnection);
    } catch (...) {
        LogMessage("Error in TAlarmVideoWindow.Hide call...");
    }
}

void TAlarmVideoWindow::PresentFrame(uintptr_t Owner, TAlarmVideoFramePtr Frame) {
    try {
        {
            std::lock_guard lock(FPendingLock);
            FPendingFrame = std::move(Frame);
            FPendingOwner = Owner;
        }
        // One queued call at a time: pictures arriving meanwhile replace the waiting one.
        if (!FFramePosted.exchange(true)) {
            QMetaObject::invokeMethod(
                this, [this] { TakeFrame(); }, Qt::QueuedConnection);
        }
    } catch (...) {
        LogMessage("Error in TAlarmVideoWindow.PresentFrame call...");
    }
}

void TAlarmVideoWindow::DoShowFullScreen(uintptr_t Owner) {
    try {
        if (FOwners.empty()) {
            FFrame.reset();  // no picture left over from an earlier alarm
        }
        FOwners.erase(std::remove(FOwners.begin(), FOwners.end(), Owner), FOwners.end());
        FOwners.push_back(Owner);
        showFullScreen();
        raise();
        update();
    } catch (...) {
        LogMessage("Error in TAlarmVideoWindow.ShowFullScreen call...");
    }
}

void TAlarmVideoWindow::DoHide(uintptr_t Owner) {
    try {
        FOwners.erase(std::remove(FOwners.begin(), FOwners.end(), Owner), FOwners.end());
        if (!FOwners.empty()) {
            return;
        }
        FFrame.reset();
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        hide();
    } catch (...) {
        LogMessage("Error in TAlarmVideoWindow.Hide call...");
    }
}

void TAlarmVideoWindow::TakeFrame() {
    try {
        FFramePosted.store(false);
        TAlarmVideoFramePtr frame;
        uintptr_t owner = 0;
        {
            std::lock_guard lock(FPendingLock);
            frame = std::exchange(FPendingFrame, nullptr);
            owner = FPendingOwner;
        }
        if (frame && !FOwners.empty() && FOwners.back() == owner) {
            FFrame = std::move(frame);
            update();
        }
    } catch (...) {
        LogMessage("Error in TAlarmVideoWindow.TakeFrame call...");
    }
}

void TAlarmVideoWindow::paintEvent(QPaintEvent*) {
    try {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        const TAlarmVideoFramePtr frame = FFrame;
        if (!frame || frame->Width <= 0 || frame->Height <= 0 ||
            frame->Pixels.size() < static_cast<size_t>(frame->Stride) * frame->Height) {
            return;
        }
        // BGRx bytes are Qt's RGB32 on a little-endian machine.
        const QImage image(frame->Pixels.data(), frame->Width, frame->Height, frame->Stride,
                           QImage::Format_RGB32);
        QRect target(QPoint(0, 0), image.size().scaled(size(), Qt::KeepAspectRatio));
        target.moveCenter(rect().center());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image);
        ++FPaintedFrameCount;
    } catch (...) {
        LogMessage("Error in TAlarmVideoWindow.paintEvent call...");
    }
}
