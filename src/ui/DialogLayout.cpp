#include "ui/DialogLayout.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

#include <algorithm>

namespace {

constexpr int kFontPointSize = 8;
constexpr const char* kFontFamily = "Tahoma";

// Where the style draws a group box's title.
QRect GroupBoxTitleRect(const QGroupBox& box) {
    QStyleOptionGroupBox option;
    option.initFrom(&box);
    option.text = box.title();
    option.textAlignment = box.alignment();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    return box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                       &box);
}

}  // namespace

QFont DialogFont() {
    QFont font = QApplication::font();
    if (QFontDatabase::hasFamily(kFontFamily)) {
        font.setFamily(kFontFamily);
    }
    font.setPointSize(kFontPointSize);
    return font;
}

void SpreadDialogFont(QWidget& dialog) {
    const QFont font = dialog.font();
    for (QWidget* control : dialog.findChildren<QWidget*>()) {
        control->setFont(font);
    }
}

QSize PushButtonFrame(const QPushButton& button) {
    button.ensurePolished();
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.icon = button.icon();
    option.iconSize = button.iconSize();
    if (button.isDefault()) {
        option.features |= QStyleOptionButton::DefaultButton;
    }
    if (button.autoDefault()) {
        option.features |= QStyleOptionButton::AutoDefaultButton;
    }
    if (button.isFlat()) {
        option.features |= QStyleOptionButton::Flat;
    }
    const QRect contents =
        button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    return button.size() - contents.size();
}

QSize SizeForText(const QWidget& control) {
    control.ensurePolished();
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        if (label->wordWrap()) {
            return {label->width(), label->heightForWidth(label->width())};
        }
        return label->sizeHint();
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
        QSize text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
        if (!button->icon().isNull()) {
            text.rwidth() += button->iconSize().width() + 4;
            text.setHeight(std::max(text.height(), button->iconSize().height()));
        }
        return PushButtonFrame(*button) + text;
    }
    if (qobject_cast<const QCheckBox*>(&control) != nullptr ||
        qobject_cast<const QRadioButton*>(&control) != nullptr) {
        return control.sizeHint();
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(&control)) {
        if (box->title().isEmpty()) {
            return {0, box->height()};
        }
        const QRect title = GroupBoxTitleRect(*box);
        return {2 * title.x() + box->fontMetrics().horizontalAdvance(box->title()), box->height()};
    }
    return control.size();
}

int GrowRightTo(QWidget& control, int width) {
    const int growth = std::max(0, width - control.width());
    control.resize(control.width() + growth, control.height());
    return growth;
}

int GrowLeftTo(QWidget& control, int width) {
    const int growth = std::max(0, width - control.width());
    const QRect r = control.geometry();
    control.setGeometry(r.x() - growth, r.y(), r.width() + growth, r.height());
    return growth;
}

void MoveBy(std::initializer_list<QWidget*> controls, int dx, int dy) {
    for (QWidget* control : controls) {
        control->move(control->x() + dx, control->y() + dy);
    }
}

void StretchBy(std::initializer_list<QWidget*> controls, int dw, int dh) {
    for (QWidget* control : controls) {
        control->resize(control->width() + dw, control->height() + dh);
    }
}

void GrowDialogBy(QDialog& dialog, int dw, int dh) {
    if (dw == 0 && dh == 0) {
        return;
    }
    const QRect r = dialog.geometry();
    dialog.setFixedSize(r.width() + dw, r.height() + dh);
    if (dialog.parentWidget() != nullptr) {
        dialog.move(dialog.pos() - QPoint(dw / 2, dh / 2));
    }
}
