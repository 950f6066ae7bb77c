#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>

class QMessageBox;

// Message dialog types and buttons; the buttons are created in this enumeration order, whatever
// order the caller lists them in.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum class TMsgDlgBtn {
    mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll,
    mbHelp, mbClose
};

// Modal results.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
              mrYes = 6, mrNo = 7, mrClose = 8, mrHelp = 9, mrAll = 12, mrNoToAll = 13,
              mrYesToAll = 14;

// Every message box of the program: the dialog for the message, type and buttons, with the given
// caption; the n-th created button gets the n-th of buttonTexts (buttons beyond the list keep
// their own texts). Returns the modal result of the button pressed.
//
// Without a display to click on (offscreen or minimal platform) the message is written to
// standard error and the default button's result is returned at once.
int ShowMessageDialog(const QString& message, TMsgDlgType type,
                      std::initializer_list<TMsgDlgBtn> buttons, const QString& caption,
                      const QStringList& buttonTexts);

// Tests look at the built dialog and choose the result instead of a user.
using TMessageDialogHook = std::function<int(QMessageBox& dialog)>;
TMessageDialogHook SetMessageDialogHook(TMessageDialogHook hook);
