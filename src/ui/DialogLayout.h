#pragma once

#include <QFont>
#include <QSize>

#include <initializer_list>

class QDialog;
class QPushButton;
class QWidget;

// Helpers for the dialogs laid out at fixed positions: their font, and controls that grow where
// the font and style in use need more room for a text than the design gives.

// The font of these dialogs: Tahoma 8 pt where installed, else the application's sans-serif face
// at 8 pt.
QFont DialogFont();

// Gives every control on `dialog` the dialog's own font. Under the application's style sheet a
// control inside a group box would otherwise show the application's font instead.
void SpreadDialogFont(QWidget& dialog);

// The room a push button's style takes around its label (frame, border, padding): the button's
// size less the contents rectangle the label is drawn in.
QSize PushButtonFrame(const QPushButton& button);

// The size `control` needs to show its text whole in its font under its style: a label's size
// hint (for a word-wrapped label its width and the height of its lines at that width), a check
// box's or radio button's size hint (indicator, spacing and text), a push button's text plus its
// frame, and for a group box the width its title needs (as much room after the title as the style
// leaves before it) at its own height. Other widgets need their own size.
QSize SizeForText(const QWidget& control);

// Widens `control` to `width` if it is narrower: to the right, or to the left keeping its right
// edge. Returns how much it grew.
int GrowRightTo(QWidget& control, int width);
int GrowLeftTo(QWidget& control, int width);

// Moves each control by (dx, dy); widens and heightens each by (dw, dh).
void MoveBy(std::initializer_list<QWidget*> controls, int dx, int dy);
void StretchBy(std::initializer_list<QWidget*> controls, int dw, int dh);

// Grows a fixed-size dialog by (dw, dh) about its centre, so a dialog centred on its owner stays
// centred.
void GrowDialogBy(QDialog& dialog, int dw, int dh);
