#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

#include "capture/V4l2Device.h"

class QWidget;

// The capture filter's property page: one editor per control of the V4L2 device (a slider
// for integers, a check box for booleans, a combo box for menus, a push button for buttons).
// Changes go to the device as they are made; "Default" puts every control back to the
// driver's default. The dialog only knows the control list and a setter, so any list can be
// shown (the device's, or a made-up one).
class TDevicePropertiesDialog : public QDialog {
    Q_OBJECT
public:
    // Sets control `id` to `value` on the device; false when the device refuses.
    using TSetter = std::function<bool(uint32_t id, int32_t value)>;

    TDevicePropertiesDialog(std::vector<TV4l2Control> controls, TSetter setter,
                            const QString& caption, QWidget* parent = nullptr);

    // The controls with the values the dialog set last.
    const std::vector<TV4l2Control>& Controls() const { return FControls; }
    // The editor of control `id` (object name "control<id>"); null for an unknown id.
    QWidget* Editor(uint32_t id) const;
    // What the "Default" button does.
    void RestoreDefaults();

private:
    QWidget* MakeEditor(size_t index);
    void Apply(size_t index, int32_t value);
    // Shows the value of control `index` without sending it to the device again.
    void ShowValue(size_t index);

    std::vector<TV4l2Control> FControls;
    std::vector<QWidget*> FEditors;
    TSetter FSetter;
};

// Makes the dialog the property page of V4L2 capture filters (ShowSpecifiedPropertyPages).
// Called once by the main window at start-up.
void InstallDevicePropertiesDialog();
