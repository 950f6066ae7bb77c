#pragma once

#include <QWidget>

#include <functional>

// The container of the live picture and the zones, without scroll bars; a click on its empty
// bands is reported like a click on the picture.
class TFrameScrollBox : public QWidget {
    Q_OBJECT
public:
    explicit TFrameScrollBox(QWidget* Parent);

    void SetClickHandler(std::function<void()> Handler) { FClickHandler = std::move(Handler); }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::function<void()> FClickHandler;
};
