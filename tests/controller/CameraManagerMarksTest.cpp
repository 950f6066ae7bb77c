// The recording marks over the live picture of the camera controller, with real recorders on
// the Test Pattern camera.

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <vector>

#include "capture/FrameGrabCaptureGraph.h"
#include "controller/CameraManagerTestSupport.h"
#include "controller/CameraPicture.h"
#include "controller/RecordingMarksOverlay.h"
#include "localisation/UiText.h"
#include "platform/DateTime.h"
#include "zones/SelectorObject.h"
#include "zones/SelectorObjectManager.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// The camera is started for real, then its graph is stopped: the test feeds the frames, on a
// clock of its own, so the running time the marks show is known.
class CameraManagerMarksTest : public CameraManagerFixture {
protected:
    void SetUp() override {
        CameraManagerFixture::SetUp();
        FPreviousClock = SetDateTimeClock([this] { return FNow; });
    }
    void TearDown() override {
        FManager.reset();
        SetDateTimeClock(FPreviousClock);
        CameraManagerFixture::TearDown();
    }

    // Two zones side by side over the left and the right half, Simple Mode at the highest
    // sensitivity. The right zone's caption runs along the top of the picture's right half,
    // where the marks would go if nothing were there. No hold after the motion: the motion
    // recording ends at the first frame without motion after its five seconds.
    void StartWithTwoZones(bool constantLogger) {
        Store({{"FormatIndex", 0},
               {"MotionDetectionMode", 1},
               {"MotionDetectionSensitivity", 100},
               {"PostEventSeconds", 0},
               {"UseMotionDetectionVideoLogging", 1},
               {"UseContinuallyRunningVideoLogging", constantLogger ? 1 : 0}});
        FManager = std::make_unique<TCameraManager>(FWindow.get(), 100);
        ASSERT_TRUE(FManager->InitializeCamera());
        FManager->FrameGrabCaptureGraph()->Stop();
        Step(false);
        const QRect picture = FManager->FramePreviewImage()->geometry();
        const int half = picture.width() / 2;
        FManager->OnAddZoneClick();
        FManager->OnAddZoneClick();
        TSelectorObjectManager& zones = *FManager->SelectorObjectManager();
        zones.SetRectangle(0, TRect{picture.left() + 4, picture.top() + 4,
                                    picture.left() + half - 4, picture.bottom() - 4});
        zones.SetRectangle(1, TRect{picture.left() + half + 4, picture.top() + 4,
                                    picture.right() - 4, picture.bottom() - 4});
        FManager->OnActivateClick();
        ASSERT_TRUE(FManager->Activated());
        Step(false);
        FMarks = FManager->FrameScrollBox()->findChild<TRecordingMarksOverlay*>();
        ASSERT_NE(FMarks, nullptr);
    }

    // One frame 0.1 s after the last; with motion the left half changes its grey level.
    bool Step(bool motion) {
        FNow = FStart + (++FFrames) * 0.1 * kSecond;
        if (motion) {
            FPhase = (FPhase + 1) % 3;
        }
        std::vector<uint8_t> frame = Frame(320, 240, 20);
        const uint8_t level = static_cast<uint8_t>(20 + 100 * FPhase);
        for (int row = 0; row < 240; ++row) {
            std::fill_n(frame.begin() + row * 320 * 4, 160 * 4, level);
        }
        return Feed(frame);
    }
    void Run(double seconds, bool motion) {
        for (int i = 0; i < static_cast<int>(std::lround(seconds * 10)); ++i) {
            Step(motion);
        }
    }
    // No motion until the motion recording has stopped (its shortest length has passed).
    void RunUntilTheMotionRecordingStops() {
        for (int i = 0; i < 300 && FManager->MotionRecording(); ++i) {
            Step(false);
        }
        ASSERT_FALSE(FManager->MotionRecording());
    }
    // The marks' own timer brings them up to date.
    bool MarksShow(const QStringList& texts) {
        return QTest::qWaitFor([&] { return FMarks->Texts() == texts; }, 3000);
    }
    static QString Mark(TTextIndex label, int seconds) {
        return UiText(label) + " " + QString::fromStdString(FormatRecordingTime(seconds));
    }

    // The marks lie on the picture, above the zones but clear of every zone's caption line,
    // and a click on them reaches what lies below.
    void ExpectOnTopAndClearOfEveryCaption() {
        TCameraPicture* picture = FManager->FramePreviewImage();
        const QRect marks(FMarks->mapTo(FWindow.get(), QPoint(0, 0)), FMarks->size());
        EXPECT_TRUE(
            QRect(picture->mapTo(FWindow.get(), QPoint(0, 0)), picture->size()).contains(marks));
        const QObjectList& stack = FMarks->parentWidget()->children();
        TSelectorObjectManager& zones = *FManager->SelectorObjectManager();
        for (int i = 0; i < zones.Count(); ++i) {
            TSelectorObject* zone = zones.GetSelectorObject(i);
            const QRect caption = zone->CaptionRect();
            const QRect shown(zone->mapTo(FWindow.get(), caption.topLeft()), caption.size());
            EXPECT_FALSE(shown.intersects(marks)) << "zone " << i;
            EXPECT_GT(stack.indexOf(FMarks), stack.indexOf(zone)) << "zone " << i;
        }
        EXPECT_NE(FWindow->childAt(marks.center()), FMarks);
    }
    // Pixels of the marks close to a colour.
    int PixelsOf(const QColor& color) {
        const QImage image = FMarks->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                const int distance = std::abs(pixel.red() - color.red()) +
                                     std::abs(pixel.green() - color.green()) +
                                     std::abs(pixel.blue() - color.blue());
                count += distance < 12 ? 1 : 0;
            }
        }
        return count;
    }

    const TDateTime FStart = EncodeDateTime({2026, 12, 10, 9, 0, 0, 0});
    TDateTime FNow = FStart;
    int64_t FFrames = 0;
    TDateTimeClock FPreviousClock;
    int FPhase = 0;
    TRecordingMarksOverlay* FMarks = nullptr;
};

TEST_F(CameraManagerMarksTest, MotionMarkShowsTheRunningTimeAndGoesWhenTheRecordingEnds) {
    StartWithTwoZones(false);
    FMarks->Refresh();
    EXPECT_TRUE(FMarks->Texts().isEmpty());
    EXPECT_FALSE(FMarks->isVisible());

    Step(true);
    ASSERT_TRUE(FManager->MotionRecording());
    Run(3.0, true);
    const TRecordingMarks marks = FManager->RecordingMarks();
    EXPECT_TRUE(marks.Motion);
    EXPECT_FALSE(marks.Constant);
    EXPECT_NEAR(marks.MotionSeconds, 3, 1);
    ASSERT_TRUE(MarksShow({Mark(txtMotionRecordingMark, static_cast<int>(marks.MotionSeconds))}))
        << FMarks->Texts().join(" | ").toStdString();
    EXPECT_TRUE(FMarks->isVisible());
    EXPECT_GT(PixelsOf(TRecordingMarksOverlay::MotionColor()), 100);
    ExpectOnTopAndClearOfEveryCaption();

    // The time runs on with the recording.
    Run(2.0, true);
    EXPECT_TRUE(
        MarksShow({Mark(txtMotionRecordingMark, static_cast<int>(marks.MotionSeconds) + 2)}));

    RunUntilTheMotionRecordingStops();
    EXPECT_TRUE(MarksShow({}));
    EXPECT_FALSE(FMarks->isVisible());
}

// Both marks at once, each in its own colour, with labels from the string table in use; the
// continuous one stays when the motion recording ends.
TEST_F(CameraManagerMarksTest, BothMarksShowAtOnceInTheLanguageInUse) {
    CurrentTexts.Texts[txtMotionRecordingMark] = "AUFN";
    CurrentTexts.Texts[txtConstantRecordingMark] = "DAUER";
    StartWithTwoZones(true);
    ASSERT_TRUE(FManager->ConstantRecording());
    Run(1.0, false);
    Step(true);
    ASSERT_TRUE(FManager->MotionRecording());
    Run(2.0, true);
    const TRecordingMarks marks = FManager->RecordingMarks();
    ASSERT_TRUE(marks.Motion && marks.Constant);
    ASSERT_TRUE(
        MarksShow({"AUFN " + QString::fromStdString(FormatRecordingTime(marks.MotionSeconds)),
                   "DAUER " + QString::fromStdString(FormatRecordingTime(marks.ConstantSeconds))}))
        << FMarks->Texts().join(" | ").toStdString();
    EXPECT_GT(PixelsOf(TRecordingMarksOverlay::MotionColor()), 100);
    EXPECT_GT(PixelsOf(TRecordingMarksOverlay::ConstantColor()), 100);
    ExpectOnTopAndClearOfEveryCaption();

    RunUntilTheMotionRecordingStops();
    ASSERT_TRUE(FManager->ConstantRecording());
    const double constant = FManager->RecordingMarks().ConstantSeconds;
    EXPECT_TRUE(MarksShow({"DAUER " + QString::fromStdString(FormatRecordingTime(constant))}))
        << FMarks->Texts().join(" | ").toStdString();
    ExpectOnTopAndClearOfEveryCaption();
}

}  // namespace
