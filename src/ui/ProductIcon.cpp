#include "ui/ProductIcon.h"

#include <QPainter>

QPixmap ProductIconPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x0078D7));
    painter.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(s / 2, s / 2), s * 0.34, s * 0.34);
    painter.setBrush(QColor(0x1B1B1B));
    painter.drawEllipse(QPointF(s / 2, s / 2), s * 0.22, s * 0.22);
    painter.setBrush(QColor(0x0078D7));
    painter.drawEllipse(QPointF(s / 2, s / 2), s * 0.11, s * 0.11);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(s * 0.44, s * 0.42), s * 0.04, s * 0.04);
    return pixmap;
}

QIcon ProductIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        icon.addPixmap(ProductIconPixmap(size));
    }
    return icon;
}
