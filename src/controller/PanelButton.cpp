#include "controller/PanelButton.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QStringList>

namespace {

// Left image margin, the gap between icon and text and the frame on both sides.
constexpr int kImageMargin = 5;
constexpr int kIconTextGap = 4;
constexpr int kFrame = 4;

}  // namespace

TPanelButton::TPanelButton(QWidget* Parent) : QPushButton(Parent) {
    // Two lines of 8 pt text fit the 30-pixel button once the vertical padding is gone.
    setStyleSheet(QStringLiteral("QPushButton { text-align: left; padding: 0px 2px 0px 5px; }"));
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
}

void TPanelButton::SetCaption(const QString& Caption) {
    FCaption = Caption;
    UpdateShownText();
}

QString TPanelButton::WrapText(const QString& Text, const QFontMetrics& Metrics, int Width) {
    const QStringList words = Text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList lines;
    QString line;
    for (const QString& word : words) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (line.isEmpty() || Metrics.horizontalAdvance(candidate) <= Width) {
            line = candidate;
        } else {
            lines << line;
            line = word;
        }
    }
    if (!line.isEmpty()) {
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

void TPanelButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    UpdateShownText();
}

void TPanelButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        UpdateShownText();
    }
}

int TPanelButton::TextWidth() const {
    const int glyph = icon().isNull() ? 0 : iconSize().width() + kIconTextGap;
    return width() - kImageMargin - glyph - 2 * kFrame;
}

void TPanelButton::UpdateShownText() {
    const QString shown = WrapText(FCaption, fontMetrics(), TextWidth());
    if (shown != text()) {
        setText(shown);
    }
}
