#pragma once

#include <QPushButton>
#include <QString>

class QFontMetrics;

// A button of the camera panel: icon on the left, its caption wrapped onto as many lines as the
// fixed button width needs. Caption() is the caption as given; text() is what is shown.
class TPanelButton : public QPushButton {
    Q_OBJECT
public:
    explicit TPanelButton(QWidget* Parent);

    void SetCaption(const QString& Caption);
    const QString& Caption() const { return FCaption; }

    // Breaks Text at spaces so that each line is at most Width wide in Metrics; a word wider
    // than Width stays whole on its own line.
    static QString WrapText(const QString& Text, const QFontMetrics& Metrics, int Width);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateShownText();
    // Room for the text: the button less its margins and the icon.
    int TextWidth() const;

    QString FCaption;
};
