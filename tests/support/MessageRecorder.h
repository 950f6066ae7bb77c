#pragma once

#include <QMessageBox>
#include <QStringList>

#include "ui/MessageDialog.h"

// Records every message box instead of showing it.
class MessageRecorder {
public:
    MessageRecorder() {
        FPrevious = SetMessageDialogHook([this](QMessageBox& box) {
            Texts << box.text();
            Captions << box.windowTitle();
            return mrOk;
        });
    }
    ~MessageRecorder() { SetMessageDialogHook(FPrevious); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList Texts;
    QStringList Captions;

private:
    TMessageDialogHook FPrevious;
};
