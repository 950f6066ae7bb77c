#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

#include "controller/RecordingMarks.h"

// The marks over the live picture that say a recording runs: a red one while a motion recording
// runs, a blue one while the continuous recording runs (one above the other when both do), each
// with its label from the string table and how long its file has been running. It lies on the
// picture's parent beside the picture and the zones, kept above both so that no zone's fill
// tints it, and lets every click through to what lies below.
//
// It asks the source a few times a second while the picture is visible, and places itself in a
// corner of the picture where no zone's caption lies (see PlaceRecordingMarks).
class TRecordingMarksOverlay : public QWidget {
    Q_OBJECT
public:
    using TSource = std::function<TRecordingMarks()>;
    static constexpr int kRefreshMs = 250;
    // Distance to the picture's edges.
    static constexpr int kMargin = 6;

    TRecordingMarksOverlay(QWidget* Picture, TSource Source);

    // Asks the source now and shows, updates or hides the marks (GUI thread).
    void Refresh();
    // The text of each mark shown, top to bottom (empty while hidden).
    QStringList Texts() const;
    // The fill behind each kind of mark.
    static QColor MotionColor() { return QColor(200, 0, 0); }
    static QColor ConstantColor() { return QColor(0, 80, 170); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    struct TMark {
        QString Text;
        QColor Color;
        friend bool operator==(const TMark&, const TMark&) = default;
    };
    QFont MarkFont() const;
    QSize MarksSize() const;
    // Moves the marks where no caption lies, hiding them when there is no such place.
    void Place();

    QPointer<QWidget> FPicture;
    TSource FSource;
    QTimer FTimer;
    std::vector<TMark> FMarks;
};
