#include "capture/NetworkCamerasDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <string>

#include "capture/CameraSourceSettings.h"
#include "platform/Diagnostics.h"
#include "ui/DialogLayout.h"

namespace {

TNetworkCamerasDialogRunHook gRunHook;

QLineEdit* AddField(QWidget* parent, const char* name, const QString& caption, int top) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(8, top + 3, 90, 17);
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(100, top, 372, 23);
    return edit;
}

QPushButton* AddButton(QWidget* parent, const char* name, const QString& caption, int left,
                       int top) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(left, top, 90, 25);
    return button;
}

}  // namespace

TNetworkCamerasDialog::TNetworkCamerasDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("NetworkCamerasDialog");
    setWindowTitle("Network Cameras");
    setFont(DialogFont());
    setFixedSize(480, 330);
    CreateComponents();
    SpreadDialogFont(*this);
    FCameras = CameraSourceSettings::StoredNetworkCameras();
    FillList();
}

void TNetworkCamerasDialog::CreateComponents() {
    lbCameras = new QListWidget(this);
    lbCameras->setObjectName("lbCameras");
    lbCameras->setGeometry(8, 8, 464, 110);
    edName = AddField(this, "edName", "Name:", 126);
    edAddress = AddField(this, "edAddress", "Address:", 153);
    edAddress->setPlaceholderText("rtsp://host:554/stream or http://host/video.mjpg");
    edUser = AddField(this, "edUser", "User name:", 180);
    edPassword = AddField(this, "edPassword", "Password:", 207);
    edPassword->setEchoMode(QLineEdit::Password);
    lbMessage = new QLabel(this);
    lbMessage->setObjectName("lbMessage");
    lbMessage->setGeometry(8, 234, 464, 34);
    lbMessage->setWordWrap(true);
    btnAdd = AddButton(this, "btnAdd", "Add", 100, 268);
    btnChange = AddButton(this, "btnChange", "Change", 194, 268);
    btnRemove = AddButton(this, "btnRemove", "Remove", 288, 268);
    btnOK = AddButton(this, "btnOK", "OK", 288, 298);
    btnOK->setDefault(true);
    btnCancel = AddButton(this, "btnCancel", "Cancel", 382, 298);
    connect(lbCameras, &QListWidget::currentRowChanged, this,
            &TNetworkCamerasDialog::lbCamerasChange);
    connect(btnAdd, &QPushButton::clicked, this, &TNetworkCamerasDialog::btnAddClick);
    connect(btnChange, &QPushButton::clicked, this, &TNetworkCamerasDialog::btnChangeClick);
    connect(btnRemove, &QPushButton::clicked, this, &TNetworkCamerasDialog::btnRemoveClick);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        if (btnOKClick()) {
            accept();
        }
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TNetworkCamerasDialog::Message() const {
    return lbMessage->text();
}

void TNetworkCamerasDialog::FillList() {
    const int row = lbCameras->currentRow();
    const QSignalBlocker blocker(lbCameras);
    lbCameras->clear();
    for (const NetworkCamera::TNetworkCamera& camera : FCameras) {
        lbCameras->addItem(
            QString::fromStdString(camera.Name + "  -  " + NetworkCamera::MaskedUri(camera)));
    }
    lbCameras->setCurrentRow(std::min(row, lbCameras->count() - 1));
}

void TNetworkCamerasDialog::lbCamerasChange() {
    try {
        const int row = lbCameras->currentRow();
        if (row < 0 || row >= static_cast<int>(FCameras.size())) {
            return;
        }
        const NetworkCamera::TNetworkCamera& camera = FCameras[static_cast<size_t>(row)];
        edName->setText(QString::fromStdString(camera.Name));
        edAddress->setText(QString::fromStdString(camera.Uri));
        edUser->setText(QString::fromStdString(camera.User));
        edPassword->setText(QString::fromStdString(camera.Password));
        lbMessage->clear();
    } catch (...) {
        LogMessage("Error in TNetworkCamerasDialog.lbCamerasChange call...");
    }
}

bool TNetworkCamerasDialog::FieldsAsCamera(NetworkCamera::TNetworkCamera& camera, int except) {
    const std::string name = edName->text().trimmed().toStdString();
    const std::string address = edAddress->text().trimmed().toStdString();
    if (name.empty() || name.find_first_of(";=\n") != std::string::npos) {
        lbMessage->setText("Enter a name without \";\" and \"=\".");
        return false;
    }
    // The address is read like a stored entry, so credentials typed into it move to the
    // user name and password.
    const auto parsed = NetworkCamera::IsSupportedUri(address)
                            ? NetworkCamera::ParseList(name + "=" + address)
                            : std::vector<NetworkCamera::TNetworkCamera>{};
    if (parsed.size() != 1) {
        lbMessage->setText("Enter an rtsp://, rtsps://, http:// or https:// address.");
        return false;
    }
    for (size_t i = 0; i < FCameras.size(); ++i) {
        if (static_cast<int>(i) != except && FCameras[i].Name == name) {
            lbMessage->setText("Another network camera has this name.");
            return false;
        }
    }
    camera = parsed.front();
    if (camera.User.empty() && camera.Password.empty()) {
        camera.User = edUser->text().toStdString();
        camera.Password = edPassword->text().toStdString();
    }
    lbMessage->clear();
    return true;
}

void TNetworkCamerasDialog::btnAddClick() {
    try {
        NetworkCamera::TNetworkCamera camera;
        if (FieldsAsCamera(camera, -1)) {
            FCameras.push_back(camera);
            FillList();
            lbCameras->setCurrentRow(lbCameras->count() - 1);
        }
    } catch (...) {
        LogMessage("Error in TNetworkCamerasDialog.btnAddClick call...");
    }
}

void TNetworkCamerasDialog::btnChangeClick() {
    try {
        const int row = lbCameras->currentRow();
        NetworkCamera::TNetworkCamera camera;
        if (row >= 0 && row < static_cast<int>(FCameras.size()) && FieldsAsCamera(camera, row)) {
            FCameras[static_cast<size_t>(row)] = camera;
            FillList();
        }
    } catch (...) {
        LogMessage("Error in TNetworkCamerasDialog.btnChangeClick call...");
    }
}

void TNetworkCamerasDialog::btnRemoveClick() {
    try {
        const int row = lbCameras->currentRow();
        if (row >= 0 && row < static_cast<int>(FCameras.size())) {
            FCameras.erase(FCameras.begin() + row);
            FillList();
            lbCamerasChange();
        }
    } catch (...) {
        LogMessage("Error in TNetworkCamerasDialog.btnRemoveClick call...");
    }
}

bool TNetworkCamerasDialog::btnOKClick() {
    try {
        if (!CameraSourceSettings::SaveNetworkCameras(FCameras)) {
            lbMessage->setText("The network cameras cannot be stored.");
            return false;
        }
        return true;
    } catch (...) {
        LogMessage("Error in TNetworkCamerasDialog.btnOKClick call...");
        return false;
    }
}

bool ShowNetworkCamerasDialog(QWidget* parent) {
    try {
        TNetworkCamerasDialog dialog(parent);
        const auto before = CameraSourceSettings::StoredNetworkCameras();
        const int result = gRunHook ? gRunHook(dialog) : dialog.exec();
        return result == QDialog::Accepted && dialog.Cameras() != before;
    } catch (...) {
        LogMessage("Error in ShowNetworkCamerasDialog call...");
        return false;
    }
}

TNetworkCamerasDialogRunHook SetNetworkCamerasDialogRunHook(TNetworkCamerasDialogRunHook hook) {
    TNetworkCamerasDialogRunHook previous = std::move(gRunHook);
    gRunHook = std::move(hook);
    return previous;
}
