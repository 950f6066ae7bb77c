#include "alarms/AlarmVideoWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

// A picture of one colour (BGRx).
TAlarmVideoFramePtr SolidFrame(int width, int height, uint8_t blue, uint8_t green, uint8_t red) {
    auto frame = std::make_shared<TAlarmVideoFrame>();
    frame->Width = width;
    frame->Height = height;
    frame->Stride = width * 4;
    frame->Pixels.resize(static_cast<size_t>(frame->Stride) * height);
    for (size_t i = 0; i < frame->Pixels.size(); i += 4) {
        frame->Pixels[i] = blue;
        frame->Pixels[i + 1] = green;
        frame->Pixels[i + 2] = red;
        frame->Pixels[i + 3] = 0xFF;
    }
    return frame;
}

// Runs the GUI thread's events until `done` holds; false after the time-out.
bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    return QTest::qWaitFor(done, timeoutMs);
}

class AlarmVideoWindowTest : public ::testing::Test {
protected:
    // Runs `work` on another thread, as the alarm and streaming threads call the window.
    static void FromWorker(const std::function<void()>& work) { std::thread(work).join(); }

    TAlarmVideoWindow FWindow;
};

TEST_F(AlarmVideoWindowTest, CallsFromAnotherThreadShowPaintAndHideTheWindow) {
    constexpr uintptr_t kZone = 1;
    // A wide picture (4:1) on a full screen: black bars above and below it.
    FromWorker([&] {
        FWindow.ShowFullScreen(kZone);
        FWindow.PresentFrame(kZone, SolidFrame(40, 10, 0, 0, 255));
    });
    EXPECT_FALSE(FWindow.isVisible());  // queued: nothing happens on the worker thread
    ASSERT_TRUE(ProcessEventsUntil([&] { return FWindow.PaintedFrameCount() > 0; }));
    EXPECT_TRUE(FWindow.isVisible());
    EXPECT_TRUE(FWindow.isFullScreen());

    const QImage shot = FWindow.grab().toImage();
    ASSERT_LT(shot.width(), 4 * shot.height());
    const QPoint middle = shot.rect().center();
    EXPECT_EQ(QColor(shot.pixel(middle)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(middle.x(), 1)), QColor(Qt::black));
    EXPECT_EQ(QColor(shot.pixel(middle.x(), shot.height() - 2)), QColor(Qt::black));

    FromWorker([&] { FWindow.Hide(kZone); });
    ASSERT_TRUE(ProcessEventsUntil([&] { return !FWindow.isVisible(); }));
    EXPECT_FALSE(FWindow.CurrentFrame());
}

// The zone that asked last is shown; the window stays up until every zone has hidden.
TEST_F(AlarmVideoWindowTest, LatestZoneWinsAndTheWindowStaysWhileAnyZoneShows) {
    FromWorker([&] {
        FWindow.ShowFullScreen(1);
        FWindow.ShowFullScreen(2);
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return FWindow.isVisible(); }));

    const TAlarmVideoFramePtr first = SolidFrame(8, 8, 255, 0, 0);
    FromWorker([&] { FWindow.PresentFrame(1, first); });
    QApplication::processEvents();
    EXPECT_FALSE(FWindow.CurrentFrame());  // zone 1's pictures wait behind zone 2's

    const TAlarmVideoFramePtr second = SolidFrame(8, 8, 0, 255, 0);
    FromWorker([&] { FWindow.PresentFrame(2, second); });
    ASSERT_TRUE(ProcessEventsUntil([&] { return FWindow.CurrentFrame() == second; }));

    FromWorker([&] {
        FWindow.Hide(2);
        FWindow.PresentFrame(1, first);
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return FWindow.CurrentFrame() == first; }));
    EXPECT_TRUE(FWindow.isVisible());

    FromWorker([&] { FWindow.Hide(1); });
    ASSERT_TRUE(ProcessEventsUntil([&] { return !FWindow.isVisible(); }));
}

// Pictures arriving faster than the GUI thread takes them replace each other: the window
// holds on to the newest only, however many arrive meanwhile.
TEST_F(AlarmVideoWindowTest, PicturesWaitingForTheGuiThreadAreReplacedByNewerOnes) {
    FromWorker([&] { FWindow.ShowFullScreen(7); });
    ASSERT_TRUE(ProcessEventsUntil([&] { return FWindow.isVisible(); }));
    std::vector<TAlarmVideoFramePtr> sent;
    FromWorker([&] {
        for (int i = 0; i < 50; ++i) {
            sent.push_back(SolidFrame(4, 4, uint8_t(i), 0, 0));
            FWindow.PresentFrame(7, sent.back());
        }
    });
    for (size_t i = 0; i + 1 < sent.size(); ++i) {
        EXPECT_EQ(sent[i].use_count(), 1) << i;
    }
    QApplication::processEvents();
    EXPECT_EQ(FWindow.CurrentFrame(), sent.back());
    FromWorker([&] { FWindow.Hide(7); });
    ASSERT_TRUE(ProcessEventsUntil([&] { return !FWindow.isVisible(); }));
}

}  // namespace
