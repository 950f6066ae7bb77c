#include <QMainWindow>

#include "alarms/AlarmSettings.h"
#include "alarms/AlarmsSetupForm.h"
#include "capture/CameraManagerSetupForm.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManager.h"
#include "controller/CameraPicture.h"
#include "controller/PanelGlyphs.h"
#include "controller/PictureLayout.h"
#include "detection/MotionDetectionListManager.h"
#include "localisation/UiText.h"
#include "notifications/EventOutputs.h"
#include "notifications/EventStream.h"
#include "notifications/NotificationSettingsStore.h"
#include "platform/Diagnostics.h"
#include "platform/Paths.h"
#include "ui/MessageDialog.h"
#include "videolog/VideoLoggerFrm.h"
#include "zones/SelectorObjectManager.h"
#include "zones/ZoneGeometry.h"

namespace {

constexpr int32_t kButtonWidth = 130;
constexpr int32_t kButtonHeight = 30;
constexpr int32_t kButtonGap = 2;

}  // namespace

QWidget* TCameraManager::PanelHost() const {
    // The main window's central widget when it has one, so that the panel starts below the
    // menu bar.
    if (auto* window = qobject_cast<QMainWindow*>(FMainForm.data());
        window != nullptr && window->centralWidget() != nullptr) {
        return window->centralWidget();
    }
    return FMainForm;
}

TPanelButton* TCameraManager::CreateButton(int Glyph, void (TCameraManager::*Handler)()) {
    auto* button = new TPanelButton(PanelHost());
    button->resize(kButtonWidth, kButtonHeight);
    SetButtonGlyph(button, Glyph);
    connect(button, &QPushButton::clicked, this, [this, Handler] { (this->*Handler)(); });
    button->show();
    return button;
}

void TCameraManager::SetButtonGlyph(TPanelButton* Button, int Glyph) {
    if (Button != nullptr) {
        Button->setIcon(PanelGlyph(Glyph));
        Button->setProperty("glyphIndex", Glyph);
    }
}

void TCameraManager::CreateButtons() {
    FAddZoneButton = CreateButton(kGlyphAddZone, &TCameraManager::OnAddZoneClick);
    FRemoveZoneButton = CreateButton(kGlyphRemoveZone, &TCameraManager::OnRemoveZoneClick);
    FActivateButton = CreateButton(kGlyphActivate, &TCameraManager::OnActivateClick);
    FSetupButton = CreateButton(kGlyphCameraSetup, &TCameraManager::OnSetupClick);
    FAlarmsButton = CreateButton(kGlyphAlarms, &TCameraManager::OnAlarmsClick);
    FResetAlarmsButton = CreateButton(kGlyphResetAlarms, &TCameraManager::OnResetAlarmsClick);
    FVideosListButton = CreateButton(kGlyphVideosList, &TCameraManager::OnVideosListClick);
    RefreshTexts();
}

void TCameraManager::RefreshTexts() {
    try {
        const std::pair<TPanelButton*, TTextIndex> texts[] = {
            {FAddZoneButton, txtAddZone},
            {FRemoveZoneButton, txtRemoveZone},
            {FActivateButton, FActivated ? txtDeactivate : txtActivate},
            {FSetupButton, txtCameraSetup},
            {FAlarmsButton, txtAlarms},
            {FResetAlarmsButton, txtResetAlarms},
            {FVideosListButton, txtShowVideosList},
        };
        for (const auto& [button, text] : texts) {
            if (button != nullptr) {
                button->SetCaption(UiText(text));
            }
        }
    } catch (...) {
        LogMessage("Error in TCameraManager.RefreshTexts call...");
    }
}

bool TCameraManager::Reposition() {
    try {
        if (!FFrameScrollBox) {
            return false;
        }
        QWidget* host = PanelHost();
        FFrameScrollBox->setGeometry(0, 0, host->width(), host->height() - kButtonStripHeight);
        RepositionImage();
        PlaceButtons();
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.Reposition call...");
        return false;
    }
}

void TCameraManager::PlaceButtons() {
    if (!FFrameScrollBox) {
        return;
    }
    // One row under the scroll box, left to right in command order.
    const int32_t top = FFrameScrollBox->y() + FFrameScrollBox->height() + kButtonGap;
    int32_t left = FFrameScrollBox->x();
    for (TPanelButton* button : {FAddZoneButton.data(), FRemoveZoneButton.data(),
                                 FActivateButton.data(), FSetupButton.data(), FAlarmsButton.data(),
                                 FResetAlarmsButton.data(), FVideosListButton.data()}) {
        if (button != nullptr) {
            button->setGeometry(left, top, kButtonWidth, kButtonHeight);
            left += kButtonWidth + kButtonGap;
        }
    }
}

bool TCameraManager::RepositionImage() {
    try {
        if (!FFrameScrollBox || !FFramePreviewImage) {
            return false;
        }
        int32_t index = 0;
        int32_t width = 0;
        int32_t height = 0;
        int64_t interval = 0;
        FFrameGrabCaptureGraph->GetSelectedOutputType(index, width, height, interval);
        FARHorizontalBarHeight = 0;
        FARVerticalBarWidth = 0;
        // The box has no frame: its outer and client sizes are the same.
        const int32_t boxWidth = FFrameScrollBox->width();
        const int32_t boxHeight = FFrameScrollBox->height();
        const TPicturePlacement p =
            PlacePicture(FPictureAspectRatio > 0 ? FPictureAspectRatio
                                                 : PictureAspectRatio(width, height, 0, 0),
                         boxWidth, boxHeight, boxWidth, boxHeight);
        FFramePreviewImage->setGeometry(p.Left, p.Top, p.Width, p.Height);
        FARVerticalBarWidth = p.Left;
        FARHorizontalBarHeight = p.Top;
        if (FSelectorObjectManager) {
            FSelectorObjectManager->Stretch(p.Left, p.Top, p.Width, p.Height);
        }
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.RepositionImage call...");
        return false;
    }
}

TRect TCameraManager::ZoneFrameRectangle(int32_t ZoneIndex) {
    int32_t index = 0;
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    int64_t interval = 0;
    FFrameGrabCaptureGraph->GetSelectedOutputType(index, frameWidth, frameHeight, interval);
    int32_t bitmapWidth = 0;
    int32_t bitmapHeight = 0;
    {
        std::lock_guard<std::mutex> guard(FLock);
        if (FFramePreviewImage) {
            bitmapWidth = FFramePreviewImage->BitmapWidth();
            bitmapHeight = FFramePreviewImage->BitmapHeight();
        }
    }
    const double pictureWidth = FFramePreviewImage ? FFramePreviewImage->width() : 0;
    const double pictureHeight = FFramePreviewImage ? FFramePreviewImage->height() : 0;
    // Picture pixels to bitmap pixels, each edge to the nearest integer.
    TRect rect;
    FSelectorObjectManager->GetActualRectangle(ZoneIndex, rect, false);
    if (pictureWidth > 0 && pictureHeight > 0) {
        const double sx = bitmapWidth / pictureWidth;
        const double sy = bitmapHeight / pictureHeight;
        rect.Left = RoundHalfEven(rect.Left * sx);
        rect.Right = RoundHalfEven(rect.Right * sx);
        rect.Top = RoundHalfEven(rect.Top * sy);
        rect.Bottom = RoundHalfEven(rect.Bottom * sy);
    }
    // Frames are stored bottom line first.
    FlipRectVertically(frameHeight, rect);
    return rect;
}

double TCameraManager::SelectedPictureAspectRatio(int32_t Width, int32_t Height) {
    // The picture aspect ratio of the selected format where it carries one (DV's non-square
    // pixels), else the frame's own shape.
    uint32_t aspectX = 0;
    uint32_t aspectY = 0;
    const TMediaType* type = nullptr;
    if (SUCCEEDED(FFrameGrabCaptureGraph->GetCurrentOutputType(type)) && type != nullptr) {
        if (const TVideoInfoHeader2* info = type->VideoInfo2()) {
            aspectX = info->dwPictAspectRatioX;
            aspectY = info->dwPictAspectRatioY;
        } else if (const TMpeg2VideoInfo* mpeg = type->Mpeg2VideoInfo()) {
            aspectX = mpeg->hdr.dwPictAspectRatioX;
            aspectY = mpeg->hdr.dwPictAspectRatioY;
        } else if (type->subtype == MEDIASUBTYPE_dvsd) {
            // A DV format block carries no shape: DV pictures are 4:3 unless marked wide.
            aspectX = 4;
            aspectY = 3;
        }
    }
    return PictureAspectRatio(Width, Height, aspectX, aspectY);
}

void TCameraManager::FlipRectVertically(int32_t Height, TRect& Rect) {
    const int32_t top = Rect.Top;
    Rect.Top = Height - Rect.Bottom;
    Rect.Bottom = Height - top;
}

void TCameraManager::RemoveSelectedZone() {
    OnRemoveZoneClick();
}

void TCameraManager::OnAddZoneClick() {
    try {
        if (FSelectorObjectManager->Count() < kMaxZones) {
            FSelectorObjectManager->DeselectAll();
            FSelectorObjectManager->AddSelector(FFramePreviewImage, 0, 0);
            if (TZoneAlarmSettings* zone = FAlarmSettings->AddZone()) {
                SetDefaultZoneAlarm(*zone);
            }
        } else {
            ShowMessageDialog(UiText(txtMaximumZones), TMsgDlgType::mtInformation,
                              {TMsgDlgBtn::mbOK}, UiText(txtProductName), {UiText(txtOK)});
        }
    } catch (...) {
        LogMessage("Error in TCameraManager.OnAddZoneClick call..");
    }
}

void TCameraManager::SetDefaultZoneAlarm(TZoneAlarmSettings& Zone) {
    Zone.SoundVideoAlarmEnabled = true;
    Zone.SoundVideoAlarmFileName = GetResourceFolder("SoundAlarms") + "Clock Alarm.wav";
}

void TCameraManager::OnRemoveZoneClick() {
    try {
        // The alarm list runs parallel to the zones: drop the entries of the selected ones first.
        for (int32_t i = FSelectorObjectManager->Count() - 1; i >= 0; --i) {
            const TSelectorObject* zone = FSelectorObjectManager->GetSelectorObject(i);
            if (zone != nullptr && zone->IsSelected()) {
                FAlarmSettings->DeleteZone(i);
            }
        }
        FSelectorObjectManager->RemoveSelectedSelectors();
    } catch (...) {
        LogMessage("Error in TCameraManager.OnRemoveZoneClick call..");
    }
}

void TCameraManager::OnActivateClick() {
    try {
        if (!FActivateButton) {
            return;
        }
        if (FActivateButton->Caption() != UiText(txtActivate)) {
            // Deactivate.
            FActivated = false;
            FActivateButton->SetCaption(UiText(txtActivate));
            SetButtonGlyph(FActivateButton, kGlyphActivate);
            for (TPanelButton* button : {FAddZoneButton.data(), FRemoveZoneButton.data(),
                                         FSetupButton.data(), FAlarmsButton.data()}) {
                if (button != nullptr) {
                    button->setEnabled(true);
                }
            }
            DestroyDetector();
            FSelectorObjectManager->LockAllSelectors(false);
            {
                std::lock_guard<std::mutex> guard(FLock);
                StopWMEncoderGraph(1);
            }
            for (int32_t i = 0; i < FSelectorObjectManager->Count(); ++i) {
                if (TSelectorObject* zone = FSelectorObjectManager->GetSelectorObject(i)) {
                    zone->SetFlashing(false);
                    zone->SetCaption(QString());
                    zone->update();
                }
            }
            PublishDetectionState();
        } else if (FAlarmSettings->ZoneCount() > 0) {
            // Activate. The detector is built completely, and checked, before anything shows
            // detection as running or the frame step can see it.
            int32_t index = 0;
            int32_t frameWidth = 0;
            int32_t frameHeight = 0;
            int64_t interval = 0;
            FFrameGrabCaptureGraph->GetSelectedOutputType(index, frameWidth, frameHeight, interval);
            auto detector = std::make_unique<TMotionDetectionListManager>(FTimePerFrameMS);
            detector->AddMotionDetectionCallback(
                [this](int32_t ZoneIndex) { return MotionDetectedCallback(ZoneIndex); });
            detector->AddNoMotionDetectionCallback(
                [this](int32_t ZoneIndex) { return NoMotionDetectedCallback(ZoneIndex); });
            detector->SetAlarmSettings(*FAlarmSettings);
            detector->SetMotionDetectionSensitivity(FMotionDetectionSensitivity);
            detector->SetMotionDetectionMode(FMotionDetectionMode);
            const int32_t zones = FSelectorObjectManager->Count();
            bool ready = frameWidth > 0 && frameHeight > 0;
            for (int32_t i = 0; ready && i < zones; ++i) {
                ready = detector->AddMotionDetector(frameWidth, frameHeight, ZoneFrameRectangle(i));
            }
            if (!ready) {
                LogMessageFmt("Error in TCameraManager.OnActivateClick - cannot initialise the "
                              "zone detectors for a %d x %d frame.",
                              frameWidth, frameHeight);
                detector.reset();
                ShowMessageDialog(UiText(txtFormatCannotBeUsed), TMsgDlgType::mtError,
                                  {TMsgDlgBtn::mbOK}, UiText(txtError), {UiText(txtOK)});
                return;
            }
            FActivateButton->SetCaption(UiText(txtDeactivate));
            SetButtonGlyph(FActivateButton, kGlyphDeactivate);
            for (TPanelButton* button : {FAddZoneButton.data(), FRemoveZoneButton.data(),
                                         FSetupButton.data(), FAlarmsButton.data()}) {
                if (button != nullptr) {
                    button->setEnabled(false);
                }
            }
            FSelectorObjectManager->DeselectAll();
            FSelectorObjectManager->LockAllSelectors(true);
            if (FMotionDetectionMode > 1) {
                for (int32_t i = 0; i < zones; ++i) {
                    if (TSelectorObject* zone = FSelectorObjectManager->GetSelectorObject(i)) {
                        zone->SetFlashing(true);
                        zone->SetCaption(UiText(txtLearning) + "...");
                        zone->update();
                    }
                }
            }
            {
                std::lock_guard<std::mutex> guard(FLock);
                FMotionDetectionListManager = std::move(detector);
                FZoneFeedback.assign(static_cast<size_t>(zones), TZoneFeedback{});
                FZoneMotion.assign(static_cast<size_t>(zones), 0);
                FZoneStates.assign(static_cast<size_t>(zones), TZoneState{});
                FActivated = true;
            }
            PublishDetectionState();
        } else {
            ShowMessageDialog(UiText(txtAddAtLeastOneZone), TMsgDlgType::mtError,
                              {TMsgDlgBtn::mbOK}, UiText(txtError), {UiText(txtOK)});
        }
    } catch (...) {
        LogMessage("Error in TCameraManager.OnActivateClick call..");
    }
}

void TCameraManager::OnResetAlarmsClick() {
    try {
        if (FActivateButton && FActivateButton->Caption() == UiText(txtDeactivate)) {
            // Detection starts afresh; to the outside it stays on (or says it went off when
            // it cannot start again).
            FRestartingDetection = true;
            OnActivateClick();
            OnActivateClick();
            FRestartingDetection = false;
            if (!FActivated) {
                PublishDetectionState();
            }
        }
    } catch (...) {
        LogMessage("Error in TCameraManager.OnResetAlarmsClick call..");
    }
}

void TCameraManager::OnSetupClick() {
    try {
        const int32_t oldCamera = FCameraIndex;
        const int32_t oldFormat = FFormatIndex;
        const bool chosen = ShowCameraManagerSetupForm(
            FCameraIndex, FFormatIndex, FMotionDetectionSensitivity, FMotionDetectionMode, FMainForm);
        // Network cameras edited in the dialog change the device list, whether or not the
        // dialog was left with OK: the graph is made again over the new list.
        const bool listChanged = RefreshCaptureGraph();
        if (!chosen && !listChanged) {
            return;
        }
        bool started = ReInitializeCameraAndFormat(FCameraIndex, FFormatIndex);
        // A network camera whose stream is still being looked at is started by the camera
        // watch once the look answers; only a camera known not to work keeps the previous one.
        if (!started && !FFrameGrabCaptureGraph->NetworkProbePending(FCameraIndex)) {
            FCameraIndex = oldCamera;
            FFormatIndex = oldFormat;
            started = ReInitializeCameraAndFormat(FCameraIndex, FFormatIndex);
            ShowMessageDialog(UiText(txtFormatCannotBeUsed), TMsgDlgType::mtInformation,
                              {TMsgDlgBtn::mbOK}, UiText(txtProductName), {UiText(txtOK)});
        }
        FollowCameraChange(started);
        Reposition();
    } catch (...) {
        LogMessage("Error in TCameraManager.OnSetupClick call..");
    }
}

bool TCameraManager::ReInitializeCameraAndFormat(int32_t DeviceIndex, int32_t FormatIndex) {
    try {
        // Stopped without the lock: stopping waits for the streaming thread.
        FFrameGrabCaptureGraph->Stop();
        FFrameGrabCaptureGraph->DeactivateMainGraph();
        FStreamEnded = false;
        if (FAILED(FFrameGrabCaptureGraph->ActivateMainGraph(DeviceIndex))) {
            return false;
        }
        int32_t width = 0;
        int32_t height = 0;
        int64_t interval = 0;
        if (FAILED(FFrameGrabCaptureGraph->GetOutputType(FormatIndex, width, height, interval)) ||
            FAILED(
                FFrameGrabCaptureGraph->SelectOutputType(FormatIndex, width, height, interval))) {
            return false;
        }
        // Asked before rendering, while a probe of the device disturbs nothing.
        const double aspectRatio = SelectedPictureAspectRatio(width, height);
        {
            std::lock_guard<std::mutex> guard(FLock);
            if (FFramePreviewImage) {
                FFramePreviewImage->SetBitmapSize(width, height);
            }
            FVideoWidth = width;
            FVideoHeight = height;
            FVideoFrameInterval = interval;
            FPictureAspectRatio = aspectRatio;
            // The fresh picture holds no previous frame to compare with.
            FFirstFrame = true;
            // The continually running recording goes on in a new file with the new size.
            if (FConstantVideoLoggerThread != nullptr) {
                StopWMEncoderGraph(0);
                StartWMEncoderGraph(0);
            }
        }
        if (FFrameGrabCaptureGraph->RenderOutput() != S_OK) {
            return false;
        }
        FFrameGrabCaptureGraph->Play();
        return true;
    } catch (...) {
        LogMessage("Error in TCameraManager.ReInitializeCameraAndFormat call..");
        return false;
    }
}

void TCameraManager::OnAlarmsClick() {
    try {
        const std::string instance = FEvents ? FEvents->Instance() : EventInstanceName({});
        bool notificationsChanged = false;
        ShowAlarmsSetupForm(
            *FAlarmSettings, QString::fromStdString(FMotionLogFolder),
            QString::fromStdString(FConstantLogFolder), FMainForm,
            [instance](const TNotificationSettings& Settings) {
                return SendTestEvent(Settings, instance);
            },
            &notificationsChanged);
        RefreshVideoLoggers();
        // The receivers follow the stored settings at once.
        if (notificationsChanged) {
            ApplyNotificationSettings(LoadNotificationSettings());
        }
    } catch (...) {
        LogMessage("Error in TCameraManager.OnAlarmsClick call..");
    }
}

void TCameraManager::OnVideosListClick() {
    try {
        // The motion recordings, with the continually running ones to choose in the window.
        ShowVideoLoggerForm(nullptr, FMotionLogFolder, UiText(txtVideoLog), FConstantLogFolder);
    } catch (...) {
        LogMessage("Error in TCameraManager.OnVideosListClick call..");
    }
}

void TCameraManager::OnImageClick() {
    try {
        if (FSelectorObjectManager) {
            FSelectorObjectManager->DeselectAll();
        }
    } catch (...) {
        LogMessage("Error in TCameraManager.OnImageClick call..");
    }
}
