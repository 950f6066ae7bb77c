#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

#include "capture/NetworkCamera.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The "Network Cameras" dialog of the camera setup: the stored network cameras with name,
// address, user name and password; entries are added, changed and removed, and OK stores the
// list (the password is kept apart from the address and never shown in the list).
class TNetworkCamerasDialog : public QDialog {
    Q_OBJECT
public:
    explicit TNetworkCamerasDialog(QWidget* parent = nullptr);

    // The entries as edited so far.
    const std::vector<NetworkCamera::TNetworkCamera>& Cameras() const { return FCameras; }
    // The message under the fields ("" when the last command worked).
    QString Message() const;

    // Event handlers, named after their component and event.
    void lbCamerasChange();
    void btnAddClick();
    void btnChangeClick();
    void btnRemoveClick();
    // Stores the list; false (the dialog stays) when the settings cannot be written.
    bool btnOKClick();

private:
    void CreateComponents();
    void FillList();
    // The fields as an entry; false (with a message) when the name or address is not usable or
    // the name is taken by another entry than `except`.
    bool FieldsAsCamera(NetworkCamera::TNetworkCamera& camera, int except);

    std::vector<NetworkCamera::TNetworkCamera> FCameras;
    QListWidget* lbCameras = nullptr;
    QLineEdit* edName = nullptr;
    QLineEdit* edAddress = nullptr;
    QLineEdit* edUser = nullptr;
    QLineEdit* edPassword = nullptr;
    QLabel* lbMessage = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnChange = nullptr;
    QPushButton* btnRemove = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
};

// Shows the dialog modally; true when OK stored a changed list.
bool ShowNetworkCamerasDialog(QWidget* parent = nullptr);

// Runs the dialog and returns its QDialog::DialogCode; by default QDialog::exec. Tests drive the
// dialog without a user this way. Returns the previous hook.
using TNetworkCamerasDialogRunHook = std::function<int(TNetworkCamerasDialog& dialog)>;
TNetworkCamerasDialogRunHook SetNetworkCamerasDialogRunHook(TNetworkCamerasDialogRunHook hook);
