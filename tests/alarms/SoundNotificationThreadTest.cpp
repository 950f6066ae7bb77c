#include "alarms/SoundNotificationThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "alarms/AlarmTestSupport.h"
#include "graph/Graph.h"
#include "support/LogCapture.h"

namespace {

using namespace AlarmTest;
using std::chrono::milliseconds;
using std::chrono::seconds;
using TClock = std::chrono::steady_clock;
using TCall = TRecordingPresenter::TCall;

class SoundNotificationThreadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gMedia = std::make_unique<TMediaFolder>("alarm-thread"); }
    static void TearDownTestSuite() { gMedia.reset(); }

    static std::string ShortWav() { return gMedia->Wav("short.wav", 2); }
    static std::string OneSecondWav() { return gMedia->Wav("second.wav", 10); }
    static std::string Video() { return gMedia->Video("alarm.avi", 20); }

    // A thread polling like a zone's (50 ms) with `file` as its alarm, its graph opened.
    static std::unique_ptr<TSoundNotificationThread> OpenedThread(const std::string& file) {
        auto thread = std::make_unique<TSoundNotificationThread>();
        thread->SetRepeatTimeMS(50);
        EXPECT_TRUE(thread->SetInstantAlarmSound(file)) << file;
        EXPECT_TRUE(WaitUntil([&] { return IsStopped(*thread); })) << "graph not opened";
        return thread;
    }

    static std::unique_ptr<TMediaFolder> gMedia;
};
std::unique_ptr<TMediaFolder> SoundNotificationThreadTest::gMedia;

TEST_F(SoundNotificationThreadTest, StartsWithItsDefaultsAndCountsTheAlarm) {
    TSoundNotificationThread thread;
    EXPECT_EQ(thread.SoundNotificationName(), ".Default");
    EXPECT_EQ(thread.AlarmOn(), 0);
    EXPECT_FALSE(thread.InstantAlarm());
    EXPECT_EQ(thread.RepeatTimeMS(), 500);
    EXPECT_TRUE(thread.DoNotInterruptGraph());

    // The counter never goes below 0, so motion after a long quiet spell counts from 0.
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(thread.SetAlarmOn());
    }
    EXPECT_EQ(thread.AlarmOn(), 3);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(thread.SetAlarmOff());
    }
    EXPECT_EQ(thread.AlarmOn(), 0);
    thread.SetAlarmOn();
    EXPECT_EQ(thread.AlarmOn(), 1);
    EXPECT_TRUE(thread.ResetAlarm());
    EXPECT_EQ(thread.AlarmOn(), 0);

    EXPECT_TRUE(thread.SetInstantAlarm(true));
    EXPECT_TRUE(thread.InstantAlarm());
    EXPECT_TRUE(thread.SetInstantAlarm(false));
    EXPECT_FALSE(thread.InstantAlarm());
}

TEST_F(SoundNotificationThreadTest, MissingFileIsRefusedAndTheZoneNeverSounds) {
    LogCapture log;
    TRecordingPresenter presenter;
    {
        TSoundNotificationThread thread;
        thread.SetRepeatTimeMS(10);
        for (const std::string& file :
             {gMedia->File("deleted.wav"), gMedia->File(""), std::string()}) {
            EXPECT_FALSE(thread.SetInstantAlarmSound(file)) << file;
        }
        thread.SetInstantAlarm(true);
        // Nothing to wait for: give the thread a good number of cycles to do the wrong thing.
        std::this_thread::sleep_for(milliseconds(300));
        EXPECT_FALSE(thread.PlaybackPipeline());
        EXPECT_EQ(thread.AlarmStartCount(), 0);
        EXPECT_FALSE(thread.Finished());
    }
    EXPECT_TRUE(presenter.Calls().empty());
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(SoundNotificationThreadTest, RefusedFileKeepsThePreviousOneAndAnOpenGraphStays) {
    auto thread = OpenedThread(ShortWav());
    TGstElementHandle opened = thread->PlaybackPipeline();
    EXPECT_FALSE(thread->SetInstantAlarmSound(gMedia->File("deleted.wav")));
    EXPECT_TRUE(thread->SetInstantAlarmSound(OneSecondWav()));  // stored, but not opened
    thread->SetInstantAlarm(true);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(*thread); }));
    EXPECT_EQ(thread->PlaybackPipeline(), opened);
    EXPECT_EQ(thread->AlarmStartCount(), 1);
}

TEST_F(SoundNotificationThreadTest, FileThatDoesNotRenderEndsTheThreadSilently) {
    const std::string text = gMedia->File("notes.wav");
    std::ofstream(text) << "This is not a sound.\n";
    LogCapture log;
    TSoundNotificationThread thread;
    thread.SetRepeatTimeMS(10);
    thread.SetInstantAlarm(true);
    EXPECT_TRUE(thread.SetInstantAlarmSound(text));  // it exists; rendering is the thread's
    ASSERT_TRUE(WaitUntil([&] { return thread.Finished(); }));
    EXPECT_FALSE(thread.PlaybackPipeline());
    EXPECT_EQ(thread.AlarmStartCount(), 0);
    EXPECT_TRUE(log.Lines().empty());
}

// The alarm starts on the first cycle that sees the flag, keeps going for 3 s after the flag
// was last seen and then stops; the same graph starts again on the next motion.
TEST_F(SoundNotificationThreadTest, OneMotionStartsTheAlarmAndItStopsAboutThreeSecondsLater) {
    LogCapture log;
    auto thread = OpenedThread(ShortWav());
    TGstElementHandle pipeline = thread->PlaybackPipeline();

    const auto motion = TClock::now();
    thread->SetInstantAlarm(true);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(*thread); }));
    EXPECT_EQ(thread->AlarmStartCount(), 1);
    thread->SetInstantAlarm(false);
    const auto quiet = TClock::now();

    ASSERT_TRUE(WaitUntil([&] { return IsStopped(*thread); }, seconds(8)));
    const auto stopped = TClock::now();
    // Counted from the start of the cycle that last saw the flag, at most one cycle before.
    EXPECT_GE(stopped - motion, milliseconds(2900));
    EXPECT_LT(stopped - quiet, milliseconds(5000));

    // The next motion plays the same graph again, really reaching the running state.
    thread->SetInstantAlarm(true);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(*thread); }));
    EXPECT_EQ(thread->AlarmStartCount(), 2);
    EXPECT_EQ(thread->PlaybackPipeline(), pipeline);
    EXPECT_TRUE(log.Lines().empty());
}

// An idle thread sleeps until it has work, whatever its cycle length: a file stored, the flag
// and the flag rising are taken up long before a one-minute cycle would end.
TEST_F(SoundNotificationThreadTest, IdleThreadWakesForTheFileAndTheAlarm) {
    LogCapture log;
    auto thread = std::make_unique<TSoundNotificationThread>();
    thread->SetRepeatTimeMS(60000);
    ASSERT_TRUE(thread->SetInstantAlarmSound(ShortWav()));
    ASSERT_TRUE(WaitUntil([&] { return IsStopped(*thread); }, seconds(20))) << "graph not opened";
    thread->SetInstantAlarm(true);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(*thread); }, seconds(20)));
    EXPECT_EQ(thread->AlarmStartCount(), 1);
    thread.reset();  // would otherwise sit out the minute-long pause
    EXPECT_TRUE(log.Lines().empty());
}

// Under continuous motion a 1 s file is rewound at its end instead of being restarted, and
// the graph keeps running throughout.
TEST_F(SoundNotificationThreadTest, ContinuousMotionLoopsAOneSecondFileBackToBack) {
    auto thread = OpenedThread(OneSecondWav());
    SyncSinksToClock(thread->PlaybackPipeline().Get());
    thread->SetInstantAlarm(true);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(*thread); }));

    const auto until = TClock::now() + milliseconds(2200);
    bool alwaysRunning = true;
    while (TClock::now() < until) {
        // While it prerolls again after a rewind, the graph is still on its way to running.
        TGstElementHandle pipeline = thread->PlaybackPipeline();
        GstState current = GST_STATE_VOID_PENDING;
        gst_element_get_state(pipeline.Get(), &current, nullptr, 0);
        alwaysRunning = alwaysRunning && (current == GST_STATE_PLAYING ||
                                          TargetState(pipeline.Get()) == GST_STATE_PLAYING);
        std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_TRUE(alwaysRunning);
    EXPECT_TRUE(WaitUntil([&] { return IsPlaying(*thread); }));
    EXPECT_GE(thread->LoopCount(), 1);
    EXPECT_EQ(thread->AlarmStartCount(), 1);  // rewound, never restarted
}

TEST_F(SoundNotificationThreadTest, SoundFileNeverAsksForTheVideoWindow) {
    TRecordingPresenter presenter;
    auto thread = OpenedThread(ShortWav());
    thread->SetInstantAlarm(true);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(*thread); }));
    thread.reset();
    EXPECT_TRUE(presenter.Calls().empty());
}

TEST_F(SoundNotificationThreadTest, VideoFileGoesFullScreenOnMotionAndHidesAfterTheTail) {
    TRecordingPresenter presenter;
    auto thread = OpenedThread(Video());
    const uintptr_t owner = OwnerOf(*thread);
    EXPECT_TRUE(presenter.Calls().empty());

    thread->SetInstantAlarm(true);
    ASSERT_TRUE(WaitUntil([&] { return !presenter.Calls().empty(); }));
    EXPECT_TRUE(WaitUntil([&] { return IsPlaying(*thread); }));
    const auto shown = TClock::now();
    thread->SetInstantAlarm(false);
    ASSERT_TRUE(WaitUntil([&] { return presenter.Calls().size() >= 2; }, seconds(8)));
    EXPECT_GE(TClock::now() - shown, milliseconds(2800));
    EXPECT_TRUE(IsStopped(*thread));
    const std::vector<std::pair<TCall, uintptr_t>> expected = {{TCall::Show, owner},
                                                               {TCall::Hide, owner}};
    EXPECT_EQ(presenter.Calls(), expected);
}

// Without a sink named in the environment, the pictures go to the presenter as BGRx frames.
TEST_F(SoundNotificationThreadTest, VideoPicturesReachThePresenter) {
    const std::string file = Video();
    TScopedEnvironment noSink("TANDREL_VIDEO_SINK", nullptr);
    TRecordingPresenter presenter;
    auto thread = OpenedThread(file);
    thread->SetInstantAlarm(true);
    ASSERT_TRUE(WaitUntil([&] { return presenter.FrameCount() >= 2; }));
    uintptr_t owner = 0;
    TAlarmVideoFramePtr frame = presenter.LastFrame(&owner);
    ASSERT_TRUE(frame);
    EXPECT_EQ(owner, OwnerOf(*thread));
    EXPECT_EQ(frame->Width, 160);
    EXPECT_EQ(frame->Height, 120);
    EXPECT_EQ(frame->Stride, 640);
    ASSERT_EQ(frame->Pixels.size(), 640u * 120u);
    // A red picture: blue and green low, red high (JPEG leaves a little noise).
    const uint8_t* middle = frame->Pixels.data() + 60 * 640 + 80 * 4;
    EXPECT_LT(middle[0], 40);
    EXPECT_LT(middle[1], 40);
    EXPECT_GT(middle[2], 200);
}

TEST_F(SoundNotificationThreadTest, DestroyingWhilePlayingStopsPlaybackBeforeFreeingTheGraph) {
    LogCapture log;
    TRecordingPresenter presenter;
    auto thread = OpenedThread(Video());
    const uintptr_t owner = OwnerOf(*thread);
    TGstElementHandle pipeline = thread->PlaybackPipeline();
    thread->SetInstantAlarm(true);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(*thread); }));

    thread.reset();
    // Only this test's reference is left, on a stopped and emptied pipeline.
    GstState current = GST_STATE_VOID_PENDING;
    gst_element_get_state(pipeline.Get(), &current, nullptr, 0);
    EXPECT_EQ(current, GST_STATE_NULL);
    EXPECT_EQ(GST_BIN_NUMCHILDREN(GST_BIN(pipeline.Get())), 0);
    EXPECT_EQ(GST_OBJECT_REFCOUNT_VALUE(pipeline.Get()), 1);
    ASSERT_FALSE(presenter.Calls().empty());
    EXPECT_EQ(presenter.Calls().back(), std::make_pair(TCall::Hide, owner));
    EXPECT_TRUE(log.Lines().empty());
}

// The graph operations the alarm thread drives, on a graph of its own.
using SoundNotificationThreadGraphTest = SoundNotificationThreadTest;

GstState SettledGraphState(TGraph& graph) {
    GstState current = GST_STATE_VOID_PENDING;
    gst_element_get_state(graph.MediaControl(), &current, nullptr, 5 * GST_SECOND);
    return current;
}

TEST_F(SoundNotificationThreadGraphTest, ReplayGraphPlaysAgainAfterEveryStop) {
    TGraph graph;
    int made = 0;
    ASSERT_EQ(graph.RenderFile(Video(),
                               [&made] {
                                   ++made;
                                   return TGstElementHandle::Adopt(
                                       gst_element_factory_make("fakesink", nullptr));
                               }),
              S_OK);
    EXPECT_EQ(graph.SetPositionToStart(), S_FALSE);  // stopped: a start begins there anyway
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(graph.Play(), S_OK);
        EXPECT_EQ(SettledGraphState(graph), GST_STATE_PLAYING);
        EXPECT_TRUE(graph.RetrieveVideoWindow());
        int32_t evCode = -1;
        EXPECT_EQ(graph.WaitForCompletion(5000, evCode), S_OK);  // fakesink runs through
        EXPECT_EQ(evCode, TGraph::EC_COMPLETE);
        EXPECT_EQ(graph.SetPositionToStart(), S_OK);
        EXPECT_EQ(graph.WaitForCompletion(5000, evCode), S_OK);  // played once more
        TFilterState state = State_Stopped;
        EXPECT_EQ(graph.GetState(1, state), S_OK);
        EXPECT_EQ(state, State_Running);
        EXPECT_EQ(graph.Stop(), S_OK);
    }
    EXPECT_EQ(made, 1);  // one video chain, taken again on every start
    int32_t evCode = -1;
    EXPECT_EQ(graph.WaitForCompletion(1, evCode), VFW_E_TIMEOUT);
    EXPECT_EQ(evCode, 0);
}

TEST_F(SoundNotificationThreadGraphTest, ReplayRenderRefusesMissingFiles) {
    TGraph graph;
    EXPECT_EQ(graph.RenderFile(gMedia->File("deleted.wav")), VFW_E_NOT_FOUND);
    EXPECT_EQ(graph.RenderFile(""), VFW_E_NOT_FOUND);
    EXPECT_EQ(GST_BIN_NUMCHILDREN(GST_BIN(graph.MediaControl())), 0);
}

}  // namespace
