#pragma once

#include <QDialog>

#include <functional>

#include "recording/RetentionPlanner.h"

class QFormLayout;
class QLabel;
class QPushButton;
class QSpinBox;

// The modal "Disk Space" dialog: how much of the disk the recordings leave free, how large a
// recording folder may grow and how long recordings are kept. Each value has a label and a spin
// box in a form layout, so the rows take whatever width their texts need in every language.
class TRetentionSetupForm : public QDialog {
    Q_OBJECT
public:
    explicit TRetentionSetupForm(QWidget* parent = nullptr);

    void SetLimits(const TRetentionLimits& Limits);
    // The limits as the spin boxes hold them.
    TRetentionLimits Limits() const;

private:
    QSpinBox* AddRow(QLabel*& Label, const char* Name, int Maximum);

    QLabel* lbFreeSpacePercent = nullptr;
    QLabel* lbFreeSpaceMegabytes = nullptr;
    QLabel* lbFolderSizeMegabytes = nullptr;
    QLabel* lbRecordingAgeDays = nullptr;
    QLabel* lbPreEventSeconds = nullptr;
    QLabel* lbPostEventSeconds = nullptr;
    QSpinBox* seFreeSpacePercent = nullptr;
    QSpinBox* seFreeSpaceMegabytes = nullptr;
    QSpinBox* seFolderSizeMegabytes = nullptr;
    QSpinBox* seRecordingAgeDays = nullptr;
    QSpinBox* sePreEventSeconds = nullptr;
    QSpinBox* sePostEventSeconds = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QFormLayout* FForm = nullptr;
};

// Shows the dialog on Limits; on OK the edited values are written back and the result is true.
// Failures log "Error in ShowRetentionSetupForm call..." and give false.
bool ShowRetentionSetupForm(TRetentionLimits& Limits, QWidget* parent = nullptr);

// Runs the dialog and returns its QDialog::DialogCode (tests); by default QDialog::exec. Returns
// the previous hook; an empty hook restores the real behaviour.
using TRetentionSetupFormRunHook = std::function<int(TRetentionSetupForm& form)>;
TRetentionSetupFormRunHook SetRetentionSetupFormRunHook(TRetentionSetupFormRunHook hook);
