#include "ui/MessageDialog.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <set>
#include <vector>

namespace {

TMessageDialogHook gHook;

struct TButtonInfo {
    TMsgDlgBtn Button;
    const char* Text;
    QMessageBox::ButtonRole Role;
    int Result;
};

constexpr TButtonInfo kButtons[] = {
    {TMsgDlgBtn::mbYes, "&Yes", QMessageBox::YesRole, mrYes},
    {TMsgDlgBtn::mbNo, "&No", QMessageBox::NoRole, mrNo},
    {TMsgDlgBtn::mbOK, "OK", QMessageBox::AcceptRole, mrOk},
    {TMsgDlgBtn::mbCancel, "Cancel", QMessageBox::RejectRole, mrCancel},
    {TMsgDlgBtn::mbAbort, "&Abort", QMessageBox::RejectRole, mrAbort},
    {TMsgDlgBtn::mbRetry, "&Retry", QMessageBox::AcceptRole, mrRetry},
    {TMsgDlgBtn::mbIgnore, "&Ignore", QMessageBox::AcceptRole, mrIgnore},
    {TMsgDlgBtn::mbAll, "&All", QMessageBox::YesRole, mrAll},
    {TMsgDlgBtn::mbNoToAll, "N&o to All", QMessageBox::NoRole, mrNoToAll},
    {TMsgDlgBtn::mbYesToAll, "Yes to &All", QMessageBox::YesRole, mrYesToAll},
    {TMsgDlgBtn::mbHelp, "&Help", QMessageBox::HelpRole, mrHelp},
    {TMsgDlgBtn::mbClose, "&Close", QMessageBox::RejectRole, mrClose},
};

QMessageBox::Icon IconOf(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::mtWarning:
            return QMessageBox::Warning;
        case TMsgDlgType::mtError:
            return QMessageBox::Critical;
        case TMsgDlgType::mtInformation:
            return QMessageBox::Information;
        case TMsgDlgType::mtConfirmation:
            return QMessageBox::Question;
        case TMsgDlgType::mtCustom:
            break;
    }
    return QMessageBox::NoIcon;
}

bool HasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != "offscreen" && platform != "minimal";
}

}  // namespace

TMessageDialogHook SetMessageDialogHook(TMessageDialogHook hook) {
    TMessageDialogHook previous = std::move(gHook);
    gHook = std::move(hook);
    return previous;
}

int ShowMessageDialog(const QString& message, TMsgDlgType type,
                      std::initializer_list<TMsgDlgBtn> buttons, const QString& caption,
                      const QStringList& buttonTexts) {
    const std::set<TMsgDlgBtn> wanted(buttons);

    // OK, else Yes, else Retry is the default button, as in the platform's dialogs.
    TMsgDlgBtn defaultButton = TMsgDlgBtn::mbRetry;
    if (wanted.count(TMsgDlgBtn::mbOK) != 0) {
        defaultButton = TMsgDlgBtn::mbOK;
    } else if (wanted.count(TMsgDlgBtn::mbYes) != 0) {
        defaultButton = TMsgDlgBtn::mbYes;
    }

    QMessageBox dialog(IconOf(type), caption, message);
    std::vector<std::pair<QAbstractButton*, int>> results;
    int defaultResult = mrNone;
    for (const TButtonInfo& info : kButtons) {
        if (wanted.count(info.Button) == 0) {
            continue;
        }
        QString text = QString::fromUtf8(info.Text);
        const qsizetype n = static_cast<qsizetype>(results.size());
        if (n < buttonTexts.size()) {
            text = buttonTexts.at(n);
        }
        QPushButton* button = dialog.addButton(text, info.Role);
        results.emplace_back(button, info.Result);
        if (info.Button == defaultButton) {
            dialog.setDefaultButton(button);
            defaultResult = info.Result;
        }
    }
    if (results.empty()) {
        dialog.setStandardButtons(QMessageBox::NoButton);
    }

    if (gHook) {
        return gHook(dialog);
    }
    if (!HasDisplay()) {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(),
                     message.toLocal8Bit().constData());
        std::fflush(stderr);
        return defaultResult;
    }
    dialog.exec();
    for (const auto& [button, result] : results) {
        if (dialog.clickedButton() == button) {
            return result;
        }
    }
    // Closed with Escape or the title bar: the cancel-like button's result, else none.
    return wanted.count(TMsgDlgBtn::mbCancel) != 0 ? mrCancel : mrNone;
}
