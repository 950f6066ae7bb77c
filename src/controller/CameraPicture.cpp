#include "controller/CameraPicture.h"

#include <QMouseEvent>
#include <QPainter>

#include "shell/Diagnostics.h"

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
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(0, height());
        painter.scale(1, -1);
        painter.drawImage(QRect(0, 0, width(), height()), FBitmap);
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
