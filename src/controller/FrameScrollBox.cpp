#include "controller/FrameScrollBox.h"

#include <QMouseEvent>

TFrameScrollBox::TFrameScrollBox(QWidget* Parent) : QWidget(Parent) {
    setAutoFillBackground(true);
}

void TFrameScrollBox::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (FClickHandler) {
        FClickHandler();
    }
}
