#include "alarms/RetentionSetupForm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QVBoxLayout>

#include <functional>
#include <utility>

#include "localisation/UiText.h"
#include "platform/Diagnostics.h"
#include "ui/DialogLayout.h"

namespace {

// The largest values the settings store accepts back (see the controller's stored values).
constexpr int kMaxFreePercent = 50;
constexpr int kMaxFreeMegabytes = 1048576;
constexpr int kMaxFolderMegabytes = 1073741824;
constexpr int kMaxAgeDays = 3650;
constexpr int kMaxPreEventSeconds = 10;
constexpr int kMaxPostEventSeconds = 60;

TRetentionSetupFormRunHook gRunHook;

}  // namespace

TRetentionSetupForm::TRetentionSetupForm(QWidget* parent) : QDialog(parent) {
    setObjectName("RetentionSetupForm");
    setWindowTitle(UiText(txtDiskSpace));
    setFont(DialogFont());

    auto* outer = new QVBoxLayout(this);
    FForm = new QFormLayout();
    FForm->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    outer->addLayout(FForm);
    seFreeSpacePercent = AddRow(lbFreeSpacePercent, "FreeSpacePercent", kMaxFreePercent);
    lbFreeSpacePercent->setText(UiText(txtFreeSpacePercent));
    seFreeSpaceMegabytes = AddRow(lbFreeSpaceMegabytes, "FreeSpaceMegabytes", kMaxFreeMegabytes);
    lbFreeSpaceMegabytes->setText(UiText(txtFreeSpaceMegabytes));
    seFolderSizeMegabytes =
        AddRow(lbFolderSizeMegabytes, "FolderSizeMegabytes", kMaxFolderMegabytes);
    lbFolderSizeMegabytes->setText(UiText(txtFolderSizeMegabytes));
    seRecordingAgeDays = AddRow(lbRecordingAgeDays, "RecordingAgeDays", kMaxAgeDays);
    lbRecordingAgeDays->setText(UiText(txtRecordingAgeDays));
    sePreEventSeconds = AddRow(lbPreEventSeconds, "PreEventSeconds", kMaxPreEventSeconds);
    lbPreEventSeconds->setText(UiText(txtPreEventSeconds));
    sePostEventSeconds = AddRow(lbPostEventSeconds, "PostEventSeconds", kMaxPostEventSeconds);
    lbPostEventSeconds->setText(UiText(txtPostEventSeconds));

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    btnOK = new QPushButton(UiText(txtOK), this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnCancel = new QPushButton(UiText(txtCancel), this);
    btnCancel->setObjectName("btnCancel");
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    SpreadDialogFont(*this);
    SetLimits(TRetentionLimits{});
}

QSpinBox* TRetentionSetupForm::AddRow(QLabel*& Label, const char* Name, int Maximum) {
    Label = new QLabel(this);
    Label->setObjectName(QStringLiteral("lb") + Name);
    auto* box = new QSpinBox(this);
    box->setObjectName(QStringLiteral("se") + Name);
    box->setRange(0, Maximum);
    box->setAccelerated(true);
    Label->setBuddy(box);
    FForm->addRow(Label, box);
    return box;
}

void TRetentionSetupForm::SetLimits(const TRetentionLimits& Limits) {
    seFreeSpacePercent->setValue(Limits.MinFreePercent);
    seFreeSpaceMegabytes->setValue(Limits.MinFreeMegabytes);
    seFolderSizeMegabytes->setValue(Limits.MaxFolderMegabytes);
    seRecordingAgeDays->setValue(Limits.MaxAgeDays);
    sePreEventSeconds->setValue(Limits.PreEventSeconds);
    sePostEventSeconds->setValue(Limits.PostEventSeconds);
}

TRetentionLimits TRetentionSetupForm::Limits() const {
    TRetentionLimits limits;
    limits.MinFreePercent = seFreeSpacePercent->value();
    limits.MinFreeMegabytes = seFreeSpaceMegabytes->value();
    limits.MaxFolderMegabytes = seFolderSizeMegabytes->value();
    limits.MaxAgeDays = seRecordingAgeDays->value();
    limits.PreEventSeconds = sePreEventSeconds->value();
    limits.PostEventSeconds = sePostEventSeconds->value();
    return limits;
}

bool ShowRetentionSetupForm(TRetentionLimits& Limits, QWidget* parent) {
    try {
        QPointer<TRetentionSetupForm> form = new TRetentionSetupForm(parent);
        const auto destroyForm = qScopeGuard([&form] { delete form.data(); });
        form->SetLimits(Limits);
        const int result = gRunHook ? gRunHook(*form) : form->exec();
        if (form.isNull() || result != QDialog::Accepted) {
            return false;
        }
        Limits = form->Limits();
        return true;
    } catch (...) {
        LogMessage("Error in ShowRetentionSetupForm call...");
        return false;
    }
}

TRetentionSetupFormRunHook SetRetentionSetupFormRunHook(TRetentionSetupFormRunHook hook) {
    return std::exchange(gRunHook, std::move(hook));
}
