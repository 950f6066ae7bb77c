#include "controller/CameraPicture.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include "platform/Diagnostics.h"

TCameraPicture::TCameraPicture(std::mutex& Lock, QWidget* Parent) : QWidget(Parent), FLock(Lock) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TCameraPicture::SetBitmapSize(int32_t Width, int32_t Height) {
    if (Width <= 0 || Height <= 0) {
        FBitmap = QImage();
        return;
    }
    FBitmap = QImage(Width, Height, QImage::Format_RGB32);
    FBitmap.fill(Qt::black);
    FrameChanged();
}

bool TCameraPicture::IsSeen() const {
    return isVisible() && !visibleRegion().isEmpty() &&
           QGuiApplication::platformName() != QLatin1String("offscreen");
}

uint8_t* TCameraPicture::Bits() {
    return FBitmap.isNull() ? nullptr : FBitmap.bits();
}

int64_t TCameraPicture::BitsSize() const {
    return FBitmap.isNull() ? 0 : FBitmap.sizeInBytes();
}

QImage TCameraPicture::Snapshot() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FBitmap.mirrored(false, true);
}

void TCameraPicture::paintEvent(QPaintEvent*) {
    try {
        QPainter painter(this);
        std::lock_guard<std::mutex> guard(FLock);
        if (FBitmap.isNull()) {
            painter.fillRect(rect(), Qt::black);
            return;
        }
        // The image holds the bottom line first: paint it mirrored vertically.
        painter.translate(0, height());
        painter.scale(1, -1);
        if (FBitmap.size() == size()) {
            // Painted as it is. Keeping a second reference to it would make the next frame's
            // write into the bitmap copy the whole picture first.
            FScaled = QImage();
            painter.drawImage(0, 0, FBitmap);
            return;
        }
        if (FScaledGeneration != FFrameGeneration || FScaled.size() != size()) {
            FScaled = FBitmap.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            FScaledGeneration = FFrameGeneration;
        }
        painter.drawImage(0, 0, FScaled);
    } catch (...) {
        LogMessage("Error in TCameraPicture.paintEvent call...");
    }
}

void TCameraPicture::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (FClickHandler) {
        FClickHandler();
    }
}
