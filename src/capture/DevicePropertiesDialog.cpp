#include "capture/DevicePropertiesDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "capture/PropertyPages.h"
#include "capture/V4l2Source.h"
#include "platform/Diagnostics.h"
#include "platform/GstHandle.h"

namespace {

// Integer values snap to the control's step, counted from its minimum.
int32_t Snap(const TV4l2Control& control, int32_t value) {
    const int64_t step = control.Step > 0 ? control.Step : 1;
    const int64_t offset = static_cast<int64_t>(value) - control.Minimum;
    const int64_t snapped = control.Minimum + (offset + step / 2) / step * step;
    return static_cast<int32_t>(std::clamp<int64_t>(snapped, control.Minimum, control.Maximum));
}

}  // namespace

TDevicePropertiesDialog::TDevicePropertiesDialog(std::vector<TV4l2Control> controls, TSetter setter,
                                                 const QString& caption, QWidget* parent)
    : QDialog(parent), FControls(std::move(controls)), FSetter(std::move(setter)) {
    setWindowTitle(caption);
    auto* form = new QFormLayout;
    for (size_t i = 0; i < FControls.size(); ++i) {
        QWidget* editor = MakeEditor(i);
        editor->setObjectName(QStringLiteral("control%1").arg(FControls[i].Id));
        editor->setEnabled(!FControls[i].ReadOnly);
        FEditors.push_back(editor);
        form->addRow(QString::fromStdString(FControls[i].Name), editor);
    }
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::RestoreDefaults | QDialogButtonBox::Close, this);
    QPushButton* defaults = buttons->button(QDialogButtonBox::RestoreDefaults);
    defaults->setText(tr("Default"));
    defaults->setObjectName(QStringLiteral("btnDefault"));
    connect(defaults, &QPushButton::clicked, this, &TDevicePropertiesDialog::RestoreDefaults);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QWidget* TDevicePropertiesDialog::MakeEditor(size_t index) {
    const TV4l2Control& control = FControls[index];
    switch (control.Type) {
        case TV4l2ControlType::Boolean: {
            auto* box = new QCheckBox(this);
            box->setChecked(control.Value != 0);
            connect(box, &QCheckBox::toggled, this,
                    [this, index](bool checked) { Apply(index, checked ? 1 : 0); });
            return box;
        }
        case TV4l2ControlType::Menu: {
            auto* combo = new QComboBox(this);
            for (const auto& [value, label] : control.MenuItems) {
                combo->addItem(QString::fromStdString(label), value);
            }
            combo->setCurrentIndex(combo->findData(control.Value));
            connect(combo, &QComboBox::currentIndexChanged, this, [this, index, combo](int item) {
                if (item >= 0) {
                    Apply(index, combo->itemData(item).toInt());
                }
            });
            return combo;
        }
        case TV4l2ControlType::Button: {
            auto* button = new QPushButton(QString::fromStdString(control.Name), this);
            connect(button, &QPushButton::clicked, this, [this, index] { Apply(index, 1); });
            return button;
        }
        case TV4l2ControlType::Integer:
            break;
    }
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(control.Minimum, control.Maximum);
    slider->setSingleStep(control.Step > 0 ? control.Step : 1);
    slider->setPageStep(std::max(control.Step, (control.Maximum - control.Minimum) / 10));
    slider->setValue(control.Value);
    connect(slider, &QSlider::valueChanged, this,
            [this, index](int value) { Apply(index, value); });
    return slider;
}

QWidget* TDevicePropertiesDialog::Editor(uint32_t id) const {
    for (size_t i = 0; i < FControls.size(); ++i) {
        if (FControls[i].Id == id) {
            return FEditors[i];
        }
    }
    return nullptr;
}

void TDevicePropertiesDialog::Apply(size_t index, int32_t value) {
    try {
        TV4l2Control& control = FControls[index];
        if (control.Type == TV4l2ControlType::Integer) {
            value = Snap(control, value);
            if (value == control.Value) {
                ShowValue(index);  // a slider position between two steps
                return;
            }
        }
        if (FSetter && !FSetter(control.Id, value)) {
            LogMessageFmt("Error in TDevicePropertiesDialog - cannot set %s.",
                          control.Name.c_str());
            ShowValue(index);  // the device keeps its value
            return;
        }
        if (control.Type != TV4l2ControlType::Button) {
            control.Value = value;
        }
        ShowValue(index);
    } catch (...) {
        LogMessage("Error in TDevicePropertiesDialog.Apply call...");
    }
}

void TDevicePropertiesDialog::ShowValue(size_t index) {
    const TV4l2Control& control = FControls[index];
    QWidget* editor = FEditors[index];
    const QSignalBlocker block(editor);
    if (auto* slider = qobject_cast<QSlider*>(editor)) {
        slider->setValue(control.Value);
    } else if (auto* box = qobject_cast<QCheckBox*>(editor)) {
        box->setChecked(control.Value != 0);
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(combo->findData(control.Value));
    }
}

void TDevicePropertiesDialog::RestoreDefaults() {
    for (size_t i = 0; i < FControls.size(); ++i) {
        const TV4l2Control& control = FControls[i];
        if (control.ReadOnly || control.Type == TV4l2ControlType::Button ||
            control.Value == control.Default) {
            continue;
        }
        Apply(i, control.Default);
    }
}

void InstallDevicePropertiesDialog() {
    SetPropertyPageHandler(
        [](GstElement* object, void* ownerWindow, const std::string& caption) -> HRESULT {
            std::vector<TV4l2Control> controls;
            if (!V4l2Source::ReadControls(object, controls) || controls.empty()) {
                return E_FAIL;
            }
            // The device is opened per change (or the running element's descriptor borrowed).
            TGstElementHandle device = TGstElementHandle::Ref(object);
            TDevicePropertiesDialog dialog(
                std::move(controls),
                [device](uint32_t id, int32_t value) {
                    return V4l2Source::WriteControl(device.Get(), id, value);
                },
                QString::fromStdString(caption), static_cast<QWidget*>(ownerWindow));
            dialog.exec();
            return S_OK;
        });
}
