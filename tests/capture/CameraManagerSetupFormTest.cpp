#include "capture/CameraManagerSetupForm.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "capture/CaptureTestFiles.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/PropertyPages.h"
#include "graph/GraphFunctions.h"
#include "localisation/LanguageFile.h"
#include "localisation/TandrelTexts.h"
#include "platform/MediaFramework.h"
#include "support/LogCapture.h"
#include "support/MjpegHttpServer.h"
#include "ui/MessageDialog.h"

namespace {

constexpr const char* kFileCameraName = "clip.avi";
// The file camera offers its picture size in YUY2 and RGB32.
const QString kFileCameraFormat = "Resolution: 160 x 120, Frames per second: 10.00";

template <typename T>
T* Child(QWidget& form, const char* name) {
    T* child = form.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QStringList Items(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

// Sets an environment variable for the lifetime of the object, then restores it.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name)) {
            FOld = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~TScopedEnv() {
        if (FOld) {
            setenv(FName, FOld->c_str(), 1);
        } else {
            unsetenv(FName);
        }
    }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

// A one-second MJPEG clip, 160 x 120 at 10 frames per second: a file camera of webcam type.
bool WriteClip(const std::string& fileName) {
    return TCaptureTestFiles::Run(
        "videotestsrc num-buffers=10 ! video/x-raw,width=160,height=120,framerate=10/1 ! "
        "jpegenc ! avimux ! filesink location=\"" +
        fileName + "\"");
}

// The values handed to and from the dialog.
struct TSetup {
    int32_t Camera = -1;
    int32_t Format = -1;
    int32_t Sensitivity = 1;
    int32_t Mode = 1;
    auto Tie() const { return std::tie(Camera, Format, Sensitivity, Mode); }
};

// Drives ShowCameraManagerSetupForm without a user over the Test Pattern and one file camera:
// the dialog is shown, the test's steps run, and the dialog's result (set by OK or Cancel, else
// Rejected) ends the "modal" run. Message boxes and property pages are recorded, not shown.
class CameraManagerSetupFormTest : public ::testing::Test {
protected:
    using TSteps = std::function<void(TCameraManagerSetupForm&)>;

    void SetUp() override {
        ASSERT_TRUE(InitializeMediaFramework());
        ASSERT_TRUE(FFolder.isValid());
        LoadLanguageFile("");
        const std::string clip = FFolder.filePath(kFileCameraName).toStdString();
        ASSERT_TRUE(WriteClip(clip));
        FFileCameras.emplace("TANDREL_FILE_CAMERAS", clip.c_str());
        FTestPattern.emplace("TANDREL_TEST_PATTERN", nullptr);

        // Real cameras of the machine, if any, come first; the virtual devices follow.
        TFrameGrabCaptureGraph graph;
        int32_t count = 0;
        graph.GetSupportedDevicesCount(count);
        for (int32_t i = 0; i < count; ++i) {
            const std::string* name = nullptr;
            graph.GetSupportedDeviceFriendlyName(i, name);
            FDevices << QString::fromStdString(*name);
        }
        FTestPatternIndex = FDevices.indexOf("Test Pattern");
        FFileCameraIndex = FDevices.indexOf(kFileCameraName);
        ASSERT_GE(FTestPatternIndex, 0);
        ASSERT_EQ(FFileCameraIndex, FTestPatternIndex + 1);

        FPreviousMessageHook = SetMessageDialogHook([this](QMessageBox& box) {
            FMessages << box.text();
            return mrOk;
        });
        FPreviousPropertyPageHandler =
            SetPropertyPageHandler([this](GstElement*, void*, const std::string& caption) {
                FPropertyPages << QString::fromStdString(caption);
                return S_OK;
            });
        FPreviousRunHook = SetCameraManagerSetupFormRunHook([this](TCameraManagerSetupForm& form) {
            form.show();
            if (FSteps) {
                FSteps(form);
            }
            return form.result();
        });
    }

    void TearDown() override {
        SetMessageDialogHook(FPreviousMessageHook);
        SetPropertyPageHandler(FPreviousPropertyPageHandler);
        SetCameraManagerSetupFormRunHook(FPreviousRunHook);
        LoadLanguageFile("");
    }

    bool Run(TSetup& setup, TSteps steps) {
        FSteps = std::move(steps);
        return ShowCameraManagerSetupForm(setup.Camera, setup.Format, setup.Sensitivity,
                                          setup.Mode);
    }

    static void ClickOK(TCameraManagerSetupForm& form) {
        Child<QPushButton>(form, "btnOK")->click();
    }
    static void ClickCancel(TCameraManagerSetupForm& form) {
        Child<QPushButton>(form, "btnCancel")->click();
    }
    static void ChooseCamera(TCameraManagerSetupForm& form, int index) {
        Child<QComboBox>(form, "cbCamera")->setCurrentIndex(index);
    }
    static QComboBox* Formats(TCameraManagerSetupForm& form) {
        return Child<QComboBox>(form, "cbFormat");
    }

    QTemporaryDir FFolder;
    std::optional<TScopedEnv> FFileCameras;
    std::optional<TScopedEnv> FTestPattern;
    QStringList FDevices;
    int FTestPatternIndex = -1;
    int FFileCameraIndex = -1;
    TSteps FSteps;
    QStringList FMessages;
    QStringList FPropertyPages;
    TMessageDialogHook FPreviousMessageHook;
    TPropertyPageHandler FPreviousPropertyPageHandler;
    TCameraManagerSetupFormRunHook FPreviousRunHook;
};

TEST_F(CameraManagerSetupFormTest, LayoutFollowsTheDesign) {
    TCameraManagerSetupForm form;
    EXPECT_EQ(form.objectName(), "CameraManagerSetupForm");
    EXPECT_EQ(form.size(), QSize(575, 244));
    EXPECT_EQ(form.windowTitle(), "Setup");
    EXPECT_EQ(form.font().pointSize(), 8);
    EXPECT_EQ(form.FCameraIndex, -1);
    EXPECT_EQ(form.FFormatIndex, -1);
    EXPECT_EQ(form.FrameGrabCaptureGraph(), nullptr);  // built when shown

    const std::tuple<const char*, const char*, QRect> controls[] = {
        {"lbCamera", "", QRect(21, 11, 37, 13)},
        {"cbCamera", "", QRect(64, 8, 419, 21)},
        {"lbFormat", "", QRect(24, 38, 34, 13)},
        {"cbFormat", "", QRect(64, 35, 419, 21)},
        {"btnCameraSettings", "", QRect(489, 8, 75, 48)},
        {"GroupBox1", "", QRect(64, 72, 500, 73)},
        {"tbMotionDetectionSensitivity", "GroupBox1", QRect(16, 19, 403, 38)},
        {"edMotionDetectionSensitivity", "GroupBox1", QRect(425, 29, 57, 21)},
        {"gbMotionDetectionMode", "", QRect(64, 151, 500, 50)},
        {"cbMotionDetectionMode", "gbMotionDetectionMode", QRect(18, 18, 401, 21)},
        {"btnOK", "", QRect(408, 211, 75, 25)},
        {"btnCancel", "", QRect(489, 211, 75, 25)},
    };
    for (const auto& [name, parent, geometry] : controls) {
        QWidget* control = Child<QWidget>(form, name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), geometry) << name;
        const QString expectedParent = *parent ? parent : "CameraManagerSetupForm";
        EXPECT_EQ(control->parentWidget()->objectName(), expectedParent) << name;
    }

    EXPECT_EQ(Child<QLabel>(form, "lbCamera")->text(), "Camera");
    EXPECT_EQ(Child<QLabel>(form, "lbFormat")->text(), "Format");
    EXPECT_EQ(Child<QPushButton>(form, "btnCameraSettings")->text().replace('\n', ' '),
              "Camera Settings");
    EXPECT_EQ(Child<QGroupBox>(form, "GroupBox1")->title(), "Motion Detection Sensitivity");
    EXPECT_EQ(Child<QGroupBox>(form, "gbMotionDetectionMode")->title(), "Motion Detection Mode");
    EXPECT_EQ(Child<QPushButton>(form, "btnOK")->text(), "OK");
    EXPECT_EQ(Child<QPushButton>(form, "btnCancel")->text(), "Cancel");
    EXPECT_TRUE(Child<QPushButton>(form, "btnOK")->isDefault());

    auto* slider = Child<QSlider>(form, "tbMotionDetectionSensitivity");
    EXPECT_EQ(std::make_tuple(slider->minimum(), slider->maximum(), slider->value()),
              std::make_tuple(1, 100, 1));
    EXPECT_EQ(slider->tickPosition(), QSlider::TicksBothSides);
    auto* edit = Child<QLineEdit>(form, "edMotionDetectionSensitivity");
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_EQ(Items(Child<QComboBox>(form, "cbMotionDetectionMode")),
              QStringList({"Simple Mode", "Self-Learning Mode", "Self-Learning Advanced Mode",
                           "Adaptive"}));
}

TEST_F(CameraManagerSetupFormTest, DialogIsCentredOnTheMainWindow) {
    QWidget mainWindow;
    mainWindow.setGeometry(300, 200, 926, 521);
    TCameraManagerSetupForm form(&mainWindow);
    const QPoint offset = form.geometry().center() - mainWindow.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
}

TEST_F(CameraManagerSetupFormTest, CameraButtonWrapsItsCaption) {
    TCameraManagerSetupForm form;
    auto* button = Child<QPushButton>(form, "btnCameraSettings");
    const QString text = button->text();
    // Every line fits the button; the caption is split only where it must be.
    const QFontMetrics metrics(form.font());
    for (const QString& line : text.split('\n')) {
        EXPECT_LE(metrics.horizontalAdvance(line), button->width()) << line.toStdString();
    }
    if (metrics.horizontalAdvance("Camera Settings") >= button->width()) {
        EXPECT_EQ(text, "Camera\nSettings");
    }
}

TEST_F(CameraManagerSetupFormTest, ListsTheDevicesAndEachCamerasFormats) {
    TSetup setup{FTestPatternIndex, 4, 20, 2};
    Run(setup, [&](TCameraManagerSetupForm& form) {
        auto* cameras = Child<QComboBox>(form, "cbCamera");
        EXPECT_EQ(Items(cameras), FDevices);
        EXPECT_EQ(cameras->currentIndex(), FTestPatternIndex);
        ASSERT_NE(form.FrameGrabCaptureGraph(), nullptr);
        EXPECT_TRUE(form.FrameGrabCaptureGraph()->MainGraphActive());
        EXPECT_EQ(form.FrameGrabCaptureGraph()->DeviceIndex(), FTestPatternIndex);
        // Activated only: no output part.
        EXPECT_EQ(form.FrameGrabCaptureGraph()->VideoFrameGrabFilter(), nullptr);

        // The stored format of the camera passed in.
        QComboBox* formats = Formats(form);
        ASSERT_EQ(formats->count(), 18);
        EXPECT_EQ(formats->currentIndex(), 4);
        EXPECT_EQ(formats->itemText(0), "Resolution: 320 x 240, Frames per second: 30.00");
        EXPECT_EQ(formats->itemText(4), "Resolution: 320 x 240, Frames per second: 15.00");
        EXPECT_EQ(formats->itemText(9), "Resolution: 640 x 480, Frames per second: 30.00");
        EXPECT_EQ(formats->itemText(17), "Resolution: 1280 x 720, Frames per second: 10.00");

        // Another camera starts at its first format.
        ChooseCamera(form, FFileCameraIndex);
        // I420, YUY2 and RGB32 of the file's one size and rate.
        EXPECT_EQ(Items(formats),
                  QStringList({kFileCameraFormat, kFileCameraFormat, kFileCameraFormat}));
        EXPECT_EQ(formats->currentIndex(), 0);
        EXPECT_EQ(form.FrameGrabCaptureGraph()->DeviceIndex(), FFileCameraIndex);

        // Back to the camera passed in: its stored format again.
        ChooseCamera(form, FTestPatternIndex);
        EXPECT_EQ(formats->count(), 18);
        EXPECT_EQ(formats->currentIndex(), 4);

        ChooseCamera(form, FFileCameraIndex);
        formats->setCurrentIndex(1);
        ClickOK(form);
        EXPECT_EQ(form.FrameGrabCaptureGraph(), nullptr);  // released on close
    });
    EXPECT_EQ(setup.Tie(), TSetup({FFileCameraIndex, 1, 20, 2}).Tie());
}

TEST_F(CameraManagerSetupFormTest, FormatPreselection) {
    struct TCase {
        const char* name;
        bool fileCamera;
        int32_t format;
        int expectedSelection;  // -1: no selection
    };
    const TCase cases[] = {
        {"stored index", false, 9, 9},
        {"negative index", false, -1, 0},
        {"last index", false, 17, 17},
        {"index beyond the list", true, 4, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TSetup setup{c.fileCamera ? FFileCameraIndex : FTestPatternIndex, c.format, 1, 1};
        const bool confirmed = Run(setup, [&](TCameraManagerSetupForm& form) {
            EXPECT_EQ(Formats(form)->count(), c.fileCamera ? 3 : 18);
            EXPECT_EQ(Formats(form)->currentIndex(), c.expectedSelection);
            ClickOK(form);
        });
        EXPECT_TRUE(confirmed);
        EXPECT_EQ(setup.Format, c.expectedSelection);
    }
}

TEST_F(CameraManagerSetupFormTest, NoCameraSelectedPicksTheFirstDevice) {
    TSetup setup{-1, 3, 1, 1};
    Run(setup, [&](TCameraManagerSetupForm& form) {
        EXPECT_EQ(Child<QComboBox>(form, "cbCamera")->currentIndex(), 0);
        // The first device is not the camera passed in: its first format.
        EXPECT_EQ(Formats(form)->currentIndex(), 0);
        ClickOK(form);
    });
    EXPECT_EQ(setup.Camera, 0);
    EXPECT_EQ(setup.Format, 0);
}

TEST_F(CameraManagerSetupFormTest, CameraIndexBeyondTheListSelectsNothing) {
    LogCapture log;
    TSetup setup{static_cast<int32_t>(FDevices.size()), 2, 30, 1};
    Run(setup, [&](TCameraManagerSetupForm& form) {
        EXPECT_EQ(Child<QComboBox>(form, "cbCamera")->count(), FDevices.size());
        EXPECT_EQ(Child<QComboBox>(form, "cbCamera")->currentIndex(), -1);
        EXPECT_EQ(Formats(form)->count(), 0);
        EXPECT_EQ(Child<QLineEdit>(form, "edMotionDetectionSensitivity")->text(), "30 %");
        ClickOK(form);
    });
    EXPECT_TRUE(
        log.Contains("Error in TFrameGrabCaptureGraph.ActivateMainGraph - invalid device index."));
    EXPECT_EQ(setup.Tie(), TSetup({-1, -1, 30, 1}).Tie());
}

TEST_F(CameraManagerSetupFormTest, WithoutAnyDeviceTheListsStayEmpty) {
    TScopedEnv noFiles("TANDREL_FILE_CAMERAS", nullptr);
    TScopedEnv noPattern("TANDREL_TEST_PATTERN", "0");
    {
        TFrameGrabCaptureGraph probe;
        int32_t count = 0;
        probe.GetSupportedDevicesCount(count);
        if (count > 0) {
            GTEST_SKIP() << "this machine has a camera";
        }
    }
    TSetup setup{0, 2, 40, 3};
    const bool confirmed = Run(setup, [&](TCameraManagerSetupForm& form) {
        EXPECT_EQ(Child<QComboBox>(form, "cbCamera")->count(), 0);
        EXPECT_EQ(Formats(form)->count(), 0);
        EXPECT_EQ(Child<QSlider>(form, "tbMotionDetectionSensitivity")->value(), 1);
        EXPECT_TRUE(Child<QLineEdit>(form, "edMotionDetectionSensitivity")->text().isEmpty());
        ClickOK(form);
    });
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(setup.Tie(), TSetup({-1, -1, 1, 3}).Tie());
}

TEST_F(CameraManagerSetupFormTest, SensitivityEditFollowsTheTrackBar) {
    struct TCase {
        int32_t start;
        QString shownOnOpen;  // the start position 1 is no change, so the edit stays empty
        int moveTo;
        QString shownAfterMove;
    };
    const TCase cases[] = {
        {50, "50 %", 100, "100 %"}, {1, "", 75, "75 %"}, {100, "100 %", 1, "1 %"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.start);
        TSetup setup{FTestPatternIndex, 0, c.start, 1};
        Run(setup, [&](TCameraManagerSetupForm& form) {
            auto* slider = Child<QSlider>(form, "tbMotionDetectionSensitivity");
            auto* edit = Child<QLineEdit>(form, "edMotionDetectionSensitivity");
            EXPECT_EQ(slider->value(), c.start);
            EXPECT_EQ(edit->text(), c.shownOnOpen);
            slider->setValue(c.moveTo);
            EXPECT_EQ(edit->text(), c.shownAfterMove);
            ClickOK(form);
        });
        EXPECT_EQ(setup.Sensitivity, c.moveTo);
    }
}

TEST_F(CameraManagerSetupFormTest, ModeListPositionsAreModesOneToFour) {
    const QString texts[] = {"Simple Mode", "Self-Learning Mode", "Self-Learning Advanced Mode",
                             "Adaptive"};
    for (int32_t mode = 1; mode <= 4; ++mode) {
        for (int chosen = 0; chosen < 4; ++chosen) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", chosen " << chosen);
            TSetup setup{FTestPatternIndex, 0, 1, mode};
            Run(setup, [&](TCameraManagerSetupForm& form) {
                auto* modes = Child<QComboBox>(form, "cbMotionDetectionMode");
                EXPECT_EQ(modes->currentIndex(), mode - 1);
                EXPECT_EQ(modes->currentText(), texts[mode - 1]);
                modes->setCurrentIndex(chosen);
                ClickOK(form);
            });
            EXPECT_EQ(setup.Mode, chosen + 1);
        }
    }
}

TEST_F(CameraManagerSetupFormTest, CancelLeavesEveryValueAsItWas) {
    const std::function<void(TCameraManagerSetupForm&)> closers[] = {
        ClickCancel,
        [](TCameraManagerSetupForm& form) { QTest::keyClick(&form, Qt::Key_Escape); },
        [](TCameraManagerSetupForm& form) { form.close(); },
    };
    for (const auto& close : closers) {
        TSetup setup{FTestPatternIndex, 4, 60, 3};
        const bool confirmed = Run(setup, [&](TCameraManagerSetupForm& form) {
            ChooseCamera(form, FFileCameraIndex);
            Formats(form)->setCurrentIndex(1);
            Child<QSlider>(form, "tbMotionDetectionSensitivity")->setValue(10);
            Child<QComboBox>(form, "cbMotionDetectionMode")->setCurrentIndex(0);
            Child<QPushButton>(form, "btnCameraSettings")->click();
            close(form);
            EXPECT_EQ(form.FrameGrabCaptureGraph(), nullptr);
        });
        EXPECT_FALSE(confirmed);
        EXPECT_EQ(setup.Tie(), TSetup({FTestPatternIndex, 4, 60, 3}).Tie());
    }
}

TEST_F(CameraManagerSetupFormTest, EnterConfirms) {
    TSetup setup{FTestPatternIndex, 4, 60, 3};
    const bool confirmed = Run(setup, [&](TCameraManagerSetupForm& form) {
        Formats(form)->setCurrentIndex(7);
        QTest::keyClick(Formats(form), Qt::Key_Return);
    });
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(setup.Tie(), TSetup({FTestPatternIndex, 7, 60, 3}).Tie());
}

TEST_F(CameraManagerSetupFormTest, TextsComeFromTheStringTable) {
    CurrentTexts.Texts[txtSetup] = "Einrichtung";
    CurrentTexts.Texts[txtCamera] = "Videokamera";
    CurrentTexts.Texts[txtFormat] = "Fmt";
    CurrentTexts.Texts[txtCameraSettings] = "Kamera Einstellungen";
    CurrentTexts.Texts[txtMotionDetectionSensitivity] = "Empfindlichkeit";
    CurrentTexts.Texts[txtMotionDetectionMode] = "Modus";
    CurrentTexts.Texts[txtSimpleMode] = "Einfach";
    CurrentTexts.Texts[txtSelfLearningMode] = "Lernend";
    CurrentTexts.Texts[txtSelfLearningAdvancedMode] = "Lernend erweitert";
    CurrentTexts.Texts[txtAdaptive] = "Anpassend";
    CurrentTexts.Texts[txtOK] = "Gut";
    CurrentTexts.Texts[txtCancel] = "Abbrechen";
    CurrentTexts.Texts[txtResolution] = "Aufloesung";
    CurrentTexts.Texts[txtFramesPerSecond] = "Bilder pro Sekunde";

    TSetup setup{FTestPatternIndex, 9, 1, 2};
    Run(setup, [&](TCameraManagerSetupForm& form) {
        EXPECT_EQ(form.windowTitle(), "Einrichtung");
        const QFontMetrics metrics(form.font());
        // The labels keep their right edges (58) and move by the change of their text widths.
        auto* camera = Child<QLabel>(form, "lbCamera");
        EXPECT_EQ(camera->text(), "Videokamera");
        EXPECT_EQ(camera->x(), 21 + metrics.horizontalAdvance("Camera") -
                                   metrics.horizontalAdvance("Videokamera"));
        EXPECT_EQ(camera->geometry().right() + 1, 58);
        auto* format = Child<QLabel>(form, "lbFormat");
        EXPECT_EQ(format->text(), "Fmt");
        EXPECT_EQ(format->x(),
                  24 + metrics.horizontalAdvance("Format") - metrics.horizontalAdvance("Fmt"));
        EXPECT_EQ(format->geometry().right() + 1, 58);

        EXPECT_EQ(Child<QGroupBox>(form, "GroupBox1")->title(), "Empfindlichkeit");
        EXPECT_EQ(Child<QGroupBox>(form, "gbMotionDetectionMode")->title(), "Modus");
        auto* modes = Child<QComboBox>(form, "cbMotionDetectionMode");
        EXPECT_EQ(Items(modes),
                  QStringList({"Einfach", "Lernend", "Lernend erweitert", "Anpassend"}));
        EXPECT_EQ(modes->currentIndex(), 1);
        EXPECT_EQ(Child<QPushButton>(form, "btnCameraSettings")->text().replace('\n', ' '),
                  "Kamera Einstellungen");
        EXPECT_EQ(Child<QPushButton>(form, "btnOK")->text(), "Gut");
        EXPECT_EQ(Child<QPushButton>(form, "btnCancel")->text(), "Abbrechen");
        EXPECT_EQ(Formats(form)->itemText(9), "Aufloesung: 640 x 480, Bilder pro Sekunde: 30.00");
        ClickOK(form);
    });
    EXPECT_EQ(setup.Mode, 2);  // refilling the mode list is no choice of the user
}

TEST_F(CameraManagerSetupFormTest, CameraSettingsOfADeviceWithoutPagesShowsNothing) {
    LogCapture log;
    TSetup setup{FTestPatternIndex, 0, 1, 1};
    Run(setup, [&](TCameraManagerSetupForm& form) {
        GstElement* filter = form.FrameGrabCaptureGraph()->VideoCaptureFilter();
        ASSERT_NE(filter, nullptr);
        ASSERT_FALSE(IsPropertyPageAvailable(filter));
        auto* button = Child<QPushButton>(form, "btnCameraSettings");
        EXPECT_TRUE(button->isEnabled());
        button->click();
        EXPECT_TRUE(form.isVisible());  // the dialog stays open
        ClickCancel(form);
    });
    EXPECT_TRUE(FPropertyPages.isEmpty());
    EXPECT_TRUE(FMessages.isEmpty());
    for (const std::string& line : log.Lines()) {
        EXPECT_EQ(line.find("btnCameraSettingsClick"), std::string::npos) << line;
    }
}

// An MJPEG network camera names no frame rate: its formats show the rate the program takes
// pictures at, and nothing is logged about a format without a rate.
TEST_F(CameraManagerSetupFormTest, AnMjpegNetworkCameraShowsItsFormats) {
    MjpegHttpServer server(MjpegHttpServer::MakeFrames(320, 240, 10), 10);
    TScopedEnv cameras("TANDREL_NETWORK_CAMERAS", ("Door=" + server.Url()).c_str());
    const int door = FFileCameraIndex + 1;
    const QString format = "Resolution: 320 x 240, Frames per second: 10.00";
    LogCapture log;
    TSetup setup{door, 0, 1, 1};
    Run(setup, [&](TCameraManagerSetupForm& form) {
        QComboBox* formats = Formats(form);
        EXPECT_TRUE(QTest::qWaitFor([&] { return formats->count() > 0; }, 20000));
        EXPECT_EQ(Items(formats), QStringList({format, format, format}));
        EXPECT_EQ(formats->currentIndex(), 0);
        ClickOK(form);
    });
    EXPECT_EQ(setup.Tie(), TSetup({door, 0, 1, 1}).Tie());
    for (const std::string& line : log.Lines()) {
        EXPECT_EQ(line.find("MediaTypeToStringLocalized"), std::string::npos) << line;
    }
}

TEST_F(CameraManagerSetupFormTest, MediaTypeDescriptions) {
    auto videoInfo = [](int64_t interval) {
        TVideoInfoHeader vih{};
        vih.AvgTimePerFrame = interval;
        vih.bmiHeader.biWidth = 640;
        vih.bmiHeader.biHeight = 480;
        TMediaType mt;
        mt.majortype = MEDIATYPE_Video;
        mt.SetFormat(FORMAT_VideoInfo, vih);
        return mt;
    };
    auto videoInfo2 = [](int64_t interval) {
        TVideoInfoHeader2 vih{};
        vih.AvgTimePerFrame = interval;
        vih.bmiHeader.biWidth = 1280;
        vih.bmiHeader.biHeight = 720;
        TMediaType mt;
        mt.majortype = MEDIATYPE_Video;
        mt.SetFormat(FORMAT_VideoInfo2, vih);
        return mt;
    };
    TMediaType other = videoInfo(333333);
    other.formattype = FORMAT_WaveFormatEx;

    struct TCase {
        const char* name;
        std::optional<TMediaType> type;
        std::string text;
        std::string debugLine;
    };
    const TCase cases[] = {
        {"VIDEOINFOHEADER", videoInfo(333333), "Resolution: 640 x 480, Frames per second: 30.00",
         ""},
        {"VIDEOINFOHEADER2", videoInfo2(400000), "Resolution: 1280 x 720, Frames per second: 25.00",
         ""},
        {"other format block", other, "", ""},
        {"no frame interval", videoInfo(0), "",
         "Error in TCameraManagerSetupForm.MediaTypeToStringLocalized call..."},
        {"missing media type", std::nullopt, "",
         "Error in TCameraManagerSetupForm.MediaTypeToStringLocalized - PMT is nil."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        std::string text = "stale";
        TCameraManagerSetupForm::MediaTypeToStringLocalized(c.type ? &*c.type : nullptr, text);
        EXPECT_EQ(text, c.text);
        if (c.debugLine.empty()) {
            EXPECT_TRUE(log.Lines().empty());
        } else {
            EXPECT_EQ(log.Lines(), std::vector<std::string>{c.debugLine});
        }
    }
}

}  // namespace
