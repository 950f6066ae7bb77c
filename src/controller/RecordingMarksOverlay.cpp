#include "controller/RecordingMarksOverlay.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <utility>

#include "controller/RecordingMarksPlacement.h"
#include "localisation/UiText.h"
#include "platform/Diagnostics.h"
#include "zones/SelectorObject.h"

namespace {

// Inside a mark: the space around its dot and text; between two marks: kGap.
constexpr int kPadX = 6;
constexpr int kPadY = 2;
constexpr int kGap = 3;

}  // namespace

TRecordingMarksOverlay::TRecordingMarksOverlay(QWidget* Picture, TSource Source)
    : QWidget(Picture != nullptr ? Picture->parentWidget() : nullptr),
      FPicture(Picture),
      FSource(std::move(Source)) {
    // Clicks reach the zone or the picture below, as if the marks were not there.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
    if (Picture) {
        Picture->installEventFilter(this);
    }
    FTimer.setInterval(kRefreshMs);
    connect(&FTimer, &QTimer::timeout, this, &TRecordingMarksOverlay::Refresh);
    FTimer.start();
}

void TRecordingMarksOverlay::Refresh() {
    try {
        // The source is asked only while the picture is shown; each question costs the
        // controller's lock for a moment.
        if (!FPicture || !FPicture->isVisible()) {
            FMarks.clear();
            hide();
            return;
        }
        const TRecordingMarks marks = FSource ? FSource() : TRecordingMarks{};
        std::vector<TMark> next;
        const auto text = [](TTextIndex Label, double Seconds) {
            return UiText(Label) + QLatin1Char(' ') +
                   QString::fromStdString(FormatRecordingTime(Seconds));
        };
        if (marks.Motion) {
            next.push_back({text(txtMotionRecordingMark, marks.MotionSeconds), MotionColor()});
        }
        if (marks.Constant) {
            next.push_back(
                {text(txtConstantRecordingMark, marks.ConstantSeconds), ConstantColor()});
        }
        const bool changed = next != FMarks;
        FMarks = std::move(next);
        if (FMarks.empty()) {
            hide();
            return;
        }
        resize(MarksSize());
        Place();
        if (changed) {
            update();
        }
    } catch (...) {
        LogMessage("Error in TRecordingMarksOverlay.Refresh call...");
    }
}

QStringList TRecordingMarksOverlay::Texts() const {
    QStringList texts;
    if (isVisible()) {
        for (const TMark& mark : FMarks) {
            texts << mark.Text;
        }
    }
    return texts;
}

QFont TRecordingMarksOverlay::MarkFont() const {
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

QSize TRecordingMarksOverlay::MarksSize() const {
    const QFontMetrics metrics(MarkFont());
    const int line = metrics.height() + 2 * kPadY;
    int width = 0;
    for (const TMark& mark : FMarks) {
        // The dot is as wide as the line is high, less its padding.
        width = std::max(width,
                         kPadX + metrics.ascent() + metrics.horizontalAdvance(mark.Text) + kPadX);
    }
    const auto count = static_cast<int>(FMarks.size());
    return QSize(width, count * line + std::max(count - 1, 0) * kGap);
}

void TRecordingMarksOverlay::Place() {
    QWidget* picture = FPicture.data();
    QWidget* box = parentWidget();
    std::vector<QRect> zones;
    std::vector<QRect> captions;
    if (box != nullptr && picture != nullptr) {
        // The zones lie on the picture's parent too.
        for (const TSelectorObject* zone :
             box->findChildren<TSelectorObject*>(Qt::FindDirectChildrenOnly)) {
            if (zone->isHidden()) {
                continue;
            }
            zones.push_back(zone->geometry().translated(-picture->pos()));
            captions.push_back(zone->CaptionRect().translated(zone->pos() - picture->pos()));
        }
    }
    const std::optional<QPoint> place =
        picture != nullptr ? PlaceRecordingMarks(size(), picture->size(), kMargin, zones, captions)
                           : std::nullopt;
    if (!place) {
        hide();
        return;
    }
    move(picture->pos() + *place);
    show();
    // Zones added later are raised over everything on the parent; the marks go back on top
    // (nothing happens when they are there already).
    raise();
}

bool TRecordingMarksOverlay::eventFilter(QObject* Watched, QEvent* Event) {
    // A resized picture moves its zones with it: the marks find their place again at once.
    if (Watched == FPicture.data() && !FMarks.empty() &&
        (Event->type() == QEvent::Resize || Event->type() == QEvent::Move)) {
        Place();
    }
    return QWidget::eventFilter(Watched, Event);
}

void TRecordingMarksOverlay::paintEvent(QPaintEvent*) {
    try {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setFont(MarkFont());
        const QFontMetrics metrics(MarkFont());
        const int line = metrics.height() + 2 * kPadY;
        const int dot = metrics.ascent() / 2;
        int top = 0;
        for (const TMark& mark : FMarks) {
            const QRect box(0, top, width(), line);
            painter.setPen(Qt::NoPen);
            painter.setBrush(mark.Color);
            painter.drawRoundedRect(box, 4, 4);
            // White on either fill: the contrast ratio is over 6.
            painter.setBrush(Qt::white);
            painter.drawEllipse(
                QRect(kPadX + (metrics.ascent() - dot) / 2, top + (line - dot) / 2, dot, dot));
            painter.setPen(Qt::white);
            painter.drawText(QPoint(kPadX + metrics.ascent(), top + kPadY + metrics.ascent()),
                             mark.Text);
            top += line + kGap;
        }
    } catch (...) {
        LogMessage("Error in TRecordingMarksOverlay.paintEvent call...");
    }
}
