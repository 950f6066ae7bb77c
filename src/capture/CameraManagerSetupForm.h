#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/MediaType.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;
class TFrameGrabCaptureGraph;

// The modal "Setup" dialog of a camera: device, output format, motion detection sensitivity and
// mode. It lists devices and formats through a capture graph of its own, which lives from the
// first show to the close and is only activated, never rendered or run.
class TCameraManagerSetupForm : public QDialog {
    Q_OBJECT
public:
    explicit TCameraManagerSetupForm(QWidget* parent = nullptr);
    ~TCameraManagerSetupForm() override;

    // The values the dialog starts with and, after OK, the chosen ones.
    int32_t FCameraIndex = -1;
    int32_t FFormatIndex = -1;
    int32_t FMotionDetectionSensitivity = 1;  // 1 to 100
    int32_t FMotionDetectionMode = 1;         // 1 to 3

    // Event handlers, named after their component and event.
    void FormShow();
    void FormClose();
    void cbCameraChange();
    void tbMotionDetectionSensitivityChange();
    void cbMotionDetectionModeChange();
    void btnCameraSettingsClick();
    // Opens the network cameras' dialog; a changed list is listed again at once.
    void btnNetworkCamerasClick();
    void btnOKClick();
    // Enter clicks btnOK, Escape clicks btnCancel; true when the key was handled.
    bool FormKeyDown(int Key);

    // Takes every caption from the current UI string table; the two labels keep their right
    // edges. Then whatever is still too small for its text grows (FitTexts).
    void RefreshTexts();
    // Reactivates the selected camera and lists its formats; selects `FormatIndex` when the
    // selected camera is the one passed in, else the first format. False (list unchanged) when
    // the camera offers no format.
    bool UpdateCameraFormats(int32_t FormatIndex);
    // The list entry of a format: "Resolution: 640 x 480, Frames per second: 30.00" in the
    // current language; empty for a missing media type, another format block or a frame
    // interval of 0.
    static void MediaTypeToStringLocalized(const TMediaType* MediaType, std::string& Text);

    // The dialog's own capture graph; nullptr before the first show and after the close.
    TFrameGrabCaptureGraph* FrameGrabCaptureGraph() const { return FFrameGrabCaptureGraph.get(); }

    void done(int r) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Grows every control that is still too small for its text in the font and style in use, and
    // the dialog with them; with texts that fit, the design layout stays as it is.
    void FitTexts();
    void CreateComponents();
    void SetTabOrder();
    int TextWidth(const QString& text) const;
    // Keeps `label`'s right edge while its text changes.
    void SetLabelText(QLabel* label, const QString& text);
    void SetCameraSettingsText(const QString& text);
    void FillMotionDetectionModes();
    // A fresh capture graph over the current camera sources, its devices in the camera list
    // with `CameraIndex` selected (the first when -1), activated, and its formats listed.
    // False when there is no device at all.
    bool ListDevices(int32_t CameraIndex, int32_t FormatIndex);

    QLabel* lbCamera = nullptr;
    QComboBox* cbCamera = nullptr;
    QLabel* lbFormat = nullptr;
    QComboBox* cbFormat = nullptr;
    QPushButton* btnCameraSettings = nullptr;
    QPushButton* btnNetworkCameras = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QSlider* tbMotionDetectionSensitivity = nullptr;
    QLineEdit* edMotionDetectionSensitivity = nullptr;
    QGroupBox* gbMotionDetectionMode = nullptr;
    QComboBox* cbMotionDetectionMode = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    // Network cameras are looked at on threads of their own: a camera whose look has not
    // answered shows no formats yet, and the list is filled once an answer comes (checked by
    // a timer against the count of finished looks).
    void NetworkProbesAnswered();

    std::unique_ptr<TFrameGrabCaptureGraph> FFrameGrabCaptureGraph;
    bool FShown = false;
    QTimer* FProbeTimer = nullptr;
    uint64_t FProbesSeen = 0;
};

// Shows the dialog modally with the four values; on OK they receive the chosen values and the
// result is true. Cancel or closing leaves them untouched and gives false. Failures log
// "Error in ShowCameraManagerSetupForm call..." and give false.
bool ShowCameraManagerSetupForm(int32_t& CameraIndex, int32_t& FormatIndex,
                                int32_t& MotionDetectionSensitivity, int32_t& MotionDetectionMode,
                                QWidget* parent = nullptr);

// Runs the dialog and returns its QDialog::DialogCode; by default QDialog::exec. Tests drive the
// dialog without a user this way. Returns the previous hook; an empty hook restores exec.
using TCameraManagerSetupFormRunHook = std::function<int(TCameraManagerSetupForm& form)>;
TCameraManagerSetupFormRunHook SetCameraManagerSetupFormRunHook(
    TCameraManagerSetupFormRunHook hook);
