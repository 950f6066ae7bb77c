#include "capture/CameraManagerSetupForm.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSlider>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <iterator>

#include "capture/CameraSourceSettings.h"
#include "capture/CaptureFormats.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/NetworkCamerasDialog.h"
#include "localisation/UiText.h"
#include "platform/DebugOutput.h"
#include "platform/Diagnostics.h"
#include "ui/DialogLayout.h"

namespace {

// How often the dialog looks whether a network camera's look has answered.
constexpr int kProbeCheckMs = 100;
constexpr int kClientWidth = 575;
constexpr int kClientHeight = 244;
// The design width of the camera and format lists (and of the slider and the mode list below
// them, which end where the lists end).
constexpr int kListWidth = 419;
constexpr int kSensitivityMin = 1;
constexpr int kSensitivityMax = 100;
// The motion detection modes in list order; a mode's value is its position + 1.
constexpr TTextIndex kModeTexts[] = {txtSimpleMode, txtSelfLearningMode,
                                     txtSelfLearningAdvancedMode, txtAdaptive};

TCameraManagerSetupFormRunHook gRunHook;

QString DesignText(TTextIndex index) {
    return QString::fromStdString(DefaultTexts.Texts[index]);
}

}  // namespace

TCameraManagerSetupForm::TCameraManagerSetupForm(QWidget* parent) : QDialog(parent) {
    // FormCreate: no camera and no format chosen yet.
    FCameraIndex = -1;
    FFormatIndex = -1;
    setObjectName("CameraManagerSetupForm");
    setWindowTitle(DesignText(txtSetup));
    setFont(DialogFont());
    setFixedSize(kClientWidth, kClientHeight);
    CreateComponents();
    SpreadDialogFont(*this);
    SetTabOrder();

    if (parent != nullptr) {
        const QRect area = parent->window()->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }

    // Key preview: the dialog sees key presses before the focused control.
    qApp->installEventFilter(this);

    FProbeTimer = new QTimer(this);
    connect(FProbeTimer, &QTimer::timeout, this, [this] { NetworkProbesAnswered(); });
    FProbeTimer->start(kProbeCheckMs);
}

void TCameraManagerSetupForm::NetworkProbesAnswered() {
    try {
        const uint64_t finished = TFrameGrabCaptureGraph::NetworkProbesFinished();
        if (finished == FProbesSeen || !FFrameGrabCaptureGraph) {
            return;
        }
        FProbesSeen = finished;
        if (cbFormat->count() == 0 && cbCamera->currentIndex() >= 0 &&
            !FFrameGrabCaptureGraph->NetworkProbePending(cbCamera->currentIndex())) {
            UpdateCameraFormats(FFormatIndex);
        }
    } catch (...) {
        LogMessage("Error in TCameraManagerSetupForm.NetworkProbesAnswered call...");
    }
}

TCameraManagerSetupForm::~TCameraManagerSetupForm() {
    qApp->removeEventFilter(this);
    // A dialog destroyed without being closed still releases its device.
    if (FFrameGrabCaptureGraph) {
        FormClose();
    }
}

void TCameraManagerSetupForm::CreateComponents() {
    lbCamera = new QLabel(DesignText(txtCamera), this);
    lbCamera->setObjectName("lbCamera");
    lbCamera->setGeometry(21, 11, 37, 13);

    cbCamera = new QComboBox(this);
    cbCamera->setObjectName("cbCamera");
    cbCamera->setGeometry(64, 8, 419, 21);

    lbFormat = new QLabel(DesignText(txtFormat), this);
    lbFormat->setObjectName("lbFormat");
    lbFormat->setGeometry(24, 38, 34, 13);

    cbFormat = new QComboBox(this);
    cbFormat->setObjectName("cbFormat");
    cbFormat->setGeometry(64, 35, 419, 21);

    btnCameraSettings = new QPushButton(this);
    btnCameraSettings->setObjectName("btnCameraSettings");
    btnCameraSettings->setGeometry(489, 8, 75, 48);
    SetCameraSettingsText(DesignText(txtCameraSettings));

    GroupBox1 = new QGroupBox(DesignText(txtMotionDetectionSensitivity), this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(64, 72, 500, 73);

    tbMotionDetectionSensitivity = new QSlider(Qt::Horizontal, GroupBox1);
    tbMotionDetectionSensitivity->setObjectName("tbMotionDetectionSensitivity");
    tbMotionDetectionSensitivity->setGeometry(16, 19, 403, 38);
    tbMotionDetectionSensitivity->setRange(kSensitivityMin, kSensitivityMax);
    tbMotionDetectionSensitivity->setValue(kSensitivityMin);
    tbMotionDetectionSensitivity->setTickPosition(QSlider::TicksBothSides);
    tbMotionDetectionSensitivity->setTickInterval(1);

    edMotionDetectionSensitivity = new QLineEdit(GroupBox1);
    edMotionDetectionSensitivity->setObjectName("edMotionDetectionSensitivity");
    edMotionDetectionSensitivity->setGeometry(425, 29, 57, 21);
    edMotionDetectionSensitivity->setReadOnly(true);

    gbMotionDetectionMode = new QGroupBox(DesignText(txtMotionDetectionMode), this);
    gbMotionDetectionMode->setObjectName("gbMotionDetectionMode");
    gbMotionDetectionMode->setGeometry(64, 151, 500, 50);

    cbMotionDetectionMode = new QComboBox(gbMotionDetectionMode);
    cbMotionDetectionMode->setObjectName("cbMotionDetectionMode");
    cbMotionDetectionMode->setGeometry(18, 18, 401, 21);
    for (TTextIndex mode : kModeTexts) {
        cbMotionDetectionMode->addItem(DesignText(mode));
    }

    btnOK = new QPushButton(DesignText(txtOK), this);
    btnOK->setObjectName("btnOK");
    btnOK->setGeometry(408, 211, 75, 25);
    btnOK->setDefault(true);

    btnCancel = new QPushButton(DesignText(txtCancel), this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setGeometry(489, 211, 75, 25);

    btnNetworkCameras = new QPushButton("Network Cameras...", this);
    btnNetworkCameras->setObjectName("btnNetworkCameras");
    btnNetworkCameras->setGeometry(64, 211, 130, 25);

    // The dialog fills its lists under signal blockers, so these report the user's changes
    // (and the sensitivity set on show).
    connect(cbCamera, &QComboBox::currentIndexChanged, this,
            &TCameraManagerSetupForm::cbCameraChange);
    connect(tbMotionDetectionSensitivity, &QSlider::valueChanged, this,
            &TCameraManagerSetupForm::tbMotionDetectionSensitivityChange);
    connect(cbMotionDetectionMode, &QComboBox::currentIndexChanged, this,
            &TCameraManagerSetupForm::cbMotionDetectionModeChange);
    connect(btnCameraSettings, &QPushButton::clicked, this,
            &TCameraManagerSetupForm::btnCameraSettingsClick);
    connect(btnNetworkCameras, &QPushButton::clicked, this,
            &TCameraManagerSetupForm::btnNetworkCamerasClick);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        btnOKClick();
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TCameraManagerSetupForm::SetTabOrder() {
    QWidget* const order[] = {cbCamera,
                              cbFormat,
                              btnCameraSettings,
                              tbMotionDetectionSensitivity,
                              edMotionDetectionSensitivity,
                              cbMotionDetectionMode,
                              btnNetworkCameras,
                              btnOK,
                              btnCancel};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

int TCameraManagerSetupForm::TextWidth(const QString& text) const {
    return QFontMetrics(font()).horizontalAdvance(text);
}

void TCameraManagerSetupForm::SetLabelText(QLabel* label, const QString& text) {
    const int change = TextWidth(label->text()) - TextWidth(text);
    const QRect r = label->geometry();
    label->setGeometry(r.x() + change, r.y(), r.width() - change, r.height());
    label->setText(text);
}

// The button wraps its caption at spaces into as many lines as its width needs.
void TCameraManagerSetupForm::SetCameraSettingsText(const QString& text) {
    const int available = btnCameraSettings->width() - PushButtonFrame(*btnCameraSettings).width();
    QStringList lines;
    for (const QString& word : text.split(' ', Qt::SkipEmptyParts)) {
        if (!lines.isEmpty() && TextWidth(lines.back() + ' ' + word) <= available) {
            lines.back() += ' ' + word;
        } else {
            lines << word;
        }
    }
    btnCameraSettings->setText(lines.join('\n'));
    btnCameraSettings->setAccessibleName(text);
}

void TCameraManagerSetupForm::FillMotionDetectionModes() {
    const QSignalBlocker blocker(cbMotionDetectionMode);
    cbMotionDetectionMode->clear();
    for (TTextIndex mode : kModeTexts) {
        cbMotionDetectionMode->addItem(UiText(mode));
    }
    cbMotionDetectionMode->setCurrentIndex(FMotionDetectionMode - 1);
}

void TCameraManagerSetupForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

bool TCameraManagerSetupForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        if (FormKeyDown(static_cast<QKeyEvent*>(event)->key())) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TCameraManagerSetupForm::done(int r) {
    FormClose();
    QDialog::done(r);
}

void TCameraManagerSetupForm::FormShow() {
    try {
        RefreshTexts();
        if (!ListDevices(FCameraIndex, FFormatIndex)) {
            return;
        }
        tbMotionDetectionSensitivity->setValue(FMotionDetectionSensitivity);
        const QSignalBlocker blocker(cbMotionDetectionMode);
        cbMotionDetectionMode->setCurrentIndex(FMotionDetectionMode - 1);
    } catch (...) {
        LogMessage("Error in TCameraManagerSetupForm.FormShow call...");
    }
}

bool TCameraManagerSetupForm::ListDevices(int32_t CameraIndex, int32_t FormatIndex) {
    if (FFrameGrabCaptureGraph) {
        FFrameGrabCaptureGraph->DeactivateMainGraph();
    }
    // The dialog never waits for a network camera: all are looked at at once, in the
    // background, and their formats shown as the answers come.
    FProbesSeen = TFrameGrabCaptureGraph::NetworkProbesFinished();
    FFrameGrabCaptureGraph =
        std::make_unique<TFrameGrabCaptureGraph>(CameraSourceSettings::Sources(), 0);

    int32_t count = 0;
    FFrameGrabCaptureGraph->GetSupportedDevicesCount(count);
    {
        const QSignalBlocker blocker(cbCamera);
        cbCamera->clear();
        for (int32_t i = 0; i < count; ++i) {
            const std::string* name = nullptr;
            FFrameGrabCaptureGraph->GetSupportedDeviceFriendlyName(i, name);
            cbCamera->addItem(name != nullptr ? QString::fromStdString(*name) : QString());
        }
    }
    if (cbCamera->count() == 0) {
        return false;
    }
    {
        // A camera index beyond the list leaves it without selection; activating that fails.
        const QSignalBlocker blocker(cbCamera);
        const int index = CameraIndex < 0 ? 0 : CameraIndex;
        cbCamera->setCurrentIndex(index < cbCamera->count() ? index : -1);
    }
    FFrameGrabCaptureGraph->ActivateMainGraph(cbCamera->currentIndex());
    UpdateCameraFormats(FormatIndex);
    return true;
}

void TCameraManagerSetupForm::btnNetworkCamerasClick() {
    try {
        if (ShowNetworkCamerasDialog(this)) {
            ListDevices(cbCamera->currentIndex(), 0);
        }
    } catch (...) {
        LogMessage("Error in TCameraManagerSetupForm.btnNetworkCamerasClick call...");
    }
}

void TCameraManagerSetupForm::FormClose() {
    try {
        if (FFrameGrabCaptureGraph) {
            FFrameGrabCaptureGraph->DeactivateMainGraph();
            FFrameGrabCaptureGraph.reset();
        }
    } catch (...) {
        LogMessage("Error in TCameraManagerSetupForm.FormClose call...");
    }
}

bool TCameraManagerSetupForm::UpdateCameraFormats(int32_t FormatIndex) {
    try {
        if (!FFrameGrabCaptureGraph) {
            return false;
        }
        FFrameGrabCaptureGraph->DeactivateMainGraph();
        FFrameGrabCaptureGraph->ActivateMainGraph(cbCamera->currentIndex());

        int32_t count = 0;
        FFrameGrabCaptureGraph->GetOutputTypesCount(count);
        const QSignalBlocker blocker(cbFormat);
        cbFormat->clear();
        if (count <= 0) {
            return false;
        }

        for (int32_t i = 0; i < count; ++i) {
            const TMediaType* outputType = nullptr;
            int32_t minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
            int32_t granularityWidth = 0, granularityHeight = 0;
            int64_t minFrameInterval = 0, maxFrameInterval = 0;
            FFrameGrabCaptureGraph->GetOutputType(i, outputType, minWidth, minHeight, maxWidth,
                                                  maxHeight, granularityWidth, granularityHeight,
                                                  minFrameInterval, maxFrameInterval);
            std::string text;
            MediaTypeToStringLocalized(outputType, text);
            cbFormat->addItem(QString::fromStdString(text));
        }

        // Another camera starts at its first format; an index beyond the list selects nothing.
        if (cbCamera->currentIndex() != FCameraIndex || FormatIndex < 0) {
            cbFormat->setCurrentIndex(0);
        } else {
            cbFormat->setCurrentIndex(FormatIndex < cbFormat->count() ? FormatIndex : -1);
        }
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManagerSetupForm.UpdateCameraFormats call...");
        return false;
    }
}

void TCameraManagerSetupForm::MediaTypeToStringLocalized(const TMediaType* MediaType,
                                                         std::string& Text) {
    Text.clear();
    try {
        if (MediaType == nullptr) {
            OutputDebugString(
                "Error in TCameraManagerSetupForm.MediaTypeToStringLocalized - PMT is nil.");
            return;
        }
        int32_t width = 0;
        int32_t height = 0;
        int64_t frameInterval = 0;
        if (!ReadVideoInfoFormat(*MediaType, width, height, frameInterval)) {
            return;  // neither VIDEOINFOHEADER nor VIDEOINFOHEADER2: nothing to describe
        }
        if (frameInterval == 0) {
            // The frame rate is undefined: the entry stays empty.
            OutputDebugString(
                "Error in TCameraManagerSetupForm.MediaTypeToStringLocalized call...");
            return;
        }
        Text = FormatDescription(*MediaType);
    } catch (...) {
        Text.clear();
        OutputDebugString("Error in TCameraManagerSetupForm.MediaTypeToStringLocalized call...");
    }
}

void TCameraManagerSetupForm::cbCameraChange() {
    try {
        // A network camera chosen is looked at anew; its formats follow the answer.
        if (FFrameGrabCaptureGraph) {
            FFrameGrabCaptureGraph->ProbeDeviceAgain(cbCamera->currentIndex());
        }
        UpdateCameraFormats(FFormatIndex);
    } catch (...) {
        LogMessage("Error in TCameraManagerSetupForm.cbCameraChange call...");
    }
}

void TCameraManagerSetupForm::tbMotionDetectionSensitivityChange() {
    try {
        edMotionDetectionSensitivity->setText(
            QString::number(tbMotionDetectionSensitivity->value()) + " %");
    } catch (...) {
    }
}

void TCameraManagerSetupForm::cbMotionDetectionModeChange() {
    try {
        FMotionDetectionMode = cbMotionDetectionMode->currentIndex() + 1;
    } catch (...) {
    }
}

void TCameraManagerSetupForm::btnCameraSettingsClick() {
    try {
        if (FFrameGrabCaptureGraph) {
            // Changes made on the pages live in the device driver; nothing here to undo on Cancel.
            FFrameGrabCaptureGraph->ShowVideoCaptureFilterPropertyPage();
        }
    } catch (...) {
        LogMessage("Error in TCameraManagerSetupForm.btnCameraSettingsClick call...");
    }
}

void TCameraManagerSetupForm::btnOKClick() {
    try {
        FCameraIndex = cbCamera->currentIndex();
        FFormatIndex = cbFormat->currentIndex();
        // A network camera whose look has not answered yet starts at its first format.
        if (FFormatIndex < 0 && FFrameGrabCaptureGraph &&
            FFrameGrabCaptureGraph->NetworkProbePending(FCameraIndex)) {
            FFormatIndex = 0;
        }
        FMotionDetectionSensitivity = tbMotionDetectionSensitivity->value();
    } catch (...) {
        LogMessage("Error in TCameraManagerSetupForm.btnOKClick call...");
    }
}

bool TCameraManagerSetupForm::FormKeyDown(int Key) {
    try {
        if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
            btnOK->click();
            return true;
        }
        if (Key == Qt::Key_Escape) {
            btnCancel->click();
            return true;
        }
    } catch (...) {
        LogMessage("Error in TCameraManagerSetupForm.FormKeyDown call...");
    }
    return false;
}

void TCameraManagerSetupForm::RefreshTexts() {
    try {
        setWindowTitle(UiText(txtSetup));
        SetLabelText(lbCamera, UiText(txtCamera));
        SetLabelText(lbFormat, UiText(txtFormat));
        GroupBox1->setTitle(UiText(txtMotionDetectionSensitivity));
        gbMotionDetectionMode->setTitle(UiText(txtMotionDetectionMode));
        FillMotionDetectionModes();
        SetCameraSettingsText(UiText(txtCameraSettings));
        btnOK->setText(UiText(txtOK));
        btnCancel->setText(UiText(txtCancel));
        FitTexts();
    } catch (...) {
    }
}

void TCameraManagerSetupForm::FitTexts() {
    // Across. The labels grow to the left, keeping their right edges at the lists; the buttons
    // keep their right edges too, OK and Cancel alike, and the lists give the camera settings
    // button its room (wrapped anew at its new width).
    for (QLabel* label : {lbCamera, lbFormat}) {
        GrowLeftTo(*label, SizeForText(*label).width());
    }
    const int settingsGrowth =
        GrowLeftTo(*btnCameraSettings, SizeForText(*btnCameraSettings).width());
    if (settingsGrowth > 0) {
        StretchBy({cbCamera, cbFormat}, -settingsGrowth, 0);
        SetCameraSettingsText(btnCameraSettings->accessibleName());
    }
    const int buttonWidth = std::max(SizeForText(*btnOK).width(), SizeForText(*btnCancel).width());
    MoveBy({btnOK}, -GrowLeftTo(*btnCancel, buttonWidth), 0);
    GrowLeftTo(*btnOK, buttonWidth);

    // The dialog widens by what is still missing: the lists' design width, the group box
    // titles. The lists, the group boxes, the slider and the mode list stretch with it; the
    // controls on the right keep their places there.
    int widen = kListWidth - cbCamera->width();
    for (QGroupBox* box : {GroupBox1, gbMotionDetectionMode}) {
        widen = std::max(widen, SizeForText(*box).width() - box->width());
    }
    if (widen > 0) {
        StretchBy({cbCamera, cbFormat, GroupBox1, tbMotionDetectionSensitivity,
                   gbMotionDetectionMode, cbMotionDetectionMode},
                  widen, 0);
        MoveBy({btnCameraSettings, edMotionDetectionSensitivity, btnOK, btnCancel}, widen, 0);
        GrowDialogBy(*this, widen, 0);
    }
}

bool ShowCameraManagerSetupForm(int32_t& CameraIndex, int32_t& FormatIndex,
                                int32_t& MotionDetectionSensitivity, int32_t& MotionDetectionMode,
                                QWidget* parent) {
    try {
        // Held by a guarded pointer: should the parent go away while the dialog runs, it takes
        // the dialog with it and nothing is handed back.
        QPointer<TCameraManagerSetupForm> form = new TCameraManagerSetupForm(parent);
        const auto destroyForm = qScopeGuard([&form] { delete form.data(); });
        form->FCameraIndex = CameraIndex;
        form->FFormatIndex = FormatIndex;
        form->FMotionDetectionSensitivity = MotionDetectionSensitivity;
        form->FMotionDetectionMode = MotionDetectionMode;
        const int result = gRunHook ? gRunHook(*form) : form->exec();
        if (form.isNull() || result != QDialog::Accepted) {
            return false;
        }
        CameraIndex = form->FCameraIndex;
        FormatIndex = form->FFormatIndex;
        MotionDetectionSensitivity = form->FMotionDetectionSensitivity;
        MotionDetectionMode = form->FMotionDetectionMode;
        return true;
    } catch (...) {
        LogMessage("Error in ShowCameraManagerSetupForm call...");
        return false;
    }
}

TCameraManagerSetupFormRunHook SetCameraManagerSetupFormRunHook(
    TCameraManagerSetupFormRunHook hook) {
    TCameraManagerSetupFormRunHook previous = std::move(gRunHook);
    gRunHook = std::move(hook);
    return previous;
}
