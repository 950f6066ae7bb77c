#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "notifications/EventStream.h"
#include "notifications/NotificationEvent.h"
#include "notifications/SnapshotFile.h"
#include "support/LogCapture.h"

namespace {

// An output that records what it is given; it can be held at a gate to play a receiver that
// does not answer, or hang until the program ends.
class TRecordingOutput : public TEventOutput {
public:
    struct TState {
        std::mutex Mutex;
        std::condition_variable Changed;
        std::vector<std::string> Json;
        std::vector<bool> SnapshotWritten;
        bool Held = false;
        int Entered = 0;  // Deliver calls begun
        bool HangUntilStopping = false;
        bool SawStopping = false;
        bool Closed = false;
        std::string OnlyEvent;  // empty: every event
    };

    explicit TRecordingOutput(std::shared_ptr<TState> State) : FState(std::move(State)) {}
    std::string Name() const override { return "test output"; }
    bool Wants(const TNotificationEvent& Event) const override {
        std::lock_guard<std::mutex> guard(FState->Mutex);
        return FState->OnlyEvent.empty() || Event.Name() == FState->OnlyEvent;
    }
    std::string Deliver(const TNotificationEvent& Event, TEvent& Stopping) override {
        bool hang = false;
        {
            std::unique_lock<std::mutex> lock(FState->Mutex);
            ++FState->Entered;
            FState->Changed.notify_all();
            FState->Changed.wait(lock, [&] { return !FState->Held; });
            hang = FState->HangUntilStopping;
        }
        if (hang) {
            const bool stopped = Stopping.WaitFor(60000) == WAIT_OBJECT_0;
            std::lock_guard<std::mutex> guard(FState->Mutex);
            FState->SawStopping = stopped;
            return "broken off";
        }
        std::lock_guard<std::mutex> guard(FState->Mutex);
        FState->Json.push_back(Event.Json());
        FState->SnapshotWritten.push_back(Event.Snapshot() && Event.Snapshot()->WaitWritten(0));
        FState->Changed.notify_all();
        return {};
    }
    void Close() override {
        std::lock_guard<std::mutex> guard(FState->Mutex);
        FState->Closed = true;
    }

private:
    std::shared_ptr<TState> FState;
};

void Release(TRecordingOutput::TState& State) {
    std::lock_guard<std::mutex> guard(State.Mutex);
    State.Held = false;
    State.Changed.notify_all();
}

std::vector<std::string> JsonOf(TRecordingOutput::TState& State) {
    std::lock_guard<std::mutex> guard(State.Mutex);
    return State.Json;
}

TNotificationEvent Numbered(int64_t N) {
    return TNotificationEvent("motion_start", 46000.5).Add("zone", N);
}

std::string NumberedJson(int64_t N) {
    return "{\"event\":\"motion_start\",\"time\":\"2025-12-09T12:00:00.000\",\"camera\":\"Test "
           "Pattern\",\"instance\":\"hall\",\"zone\":" +
           std::to_string(N) + "}";
}

}  // namespace

TEST(NotificationEvent, JsonHasTheValuesInOrderAndReplacedValuesInPlace) {
    TNotificationEvent event("recording_finished", 46000.5);
    event.Add("file", "/rec/K\xfc" "che \"1\".wmv").Add("duration", 12.5).Add("zone", int64_t{3});
    event.Set("duration", 7.25);
    EXPECT_EQ(event.Json(),
              "{\"event\":\"recording_finished\",\"time\":\"2025-12-09T12:00:00.000\","
              "\"file\":\"/rec/K\\u00fcche \\\"1\\\".wmv\",\"duration\":7.25,\"zone\":3}");
    EXPECT_EQ(event.Text("duration"), "7.25");
    EXPECT_EQ(event.Text("zone"), "3");
    EXPECT_EQ(event.Integer("zone"), 3);
    EXPECT_FALSE(event.Integer("file"));
    EXPECT_EQ(event.Text("missing"), "");
}

TEST(EventStream, EveryOutputGetsEveryEventInOrderWithCameraAndInstance) {
    TEventStream stream;
    stream.SetCamera("Test Pattern");
    stream.SetInstance("hall");
    auto first = std::make_shared<TRecordingOutput::TState>();
    auto second = std::make_shared<TRecordingOutput::TState>();
    auto filtered = std::make_shared<TRecordingOutput::TState>();
    filtered->OnlyEvent = "alarm_on";
    stream.AddOutput(std::make_unique<TRecordingOutput>(first));
    stream.AddOutput(std::make_unique<TRecordingOutput>(second));
    stream.AddOutput(std::make_unique<TRecordingOutput>(filtered));
    std::vector<std::string> expected;
    for (int64_t n = 1; n <= 200; ++n) {
        stream.Publish(Numbered(n));
        expected.push_back(NumberedJson(n));
    }
    stream.Publish(TNotificationEvent("alarm_on", 46000.5).Add("zone", int64_t{1}));
    ASSERT_TRUE(stream.WaitIdle(10000));
    EXPECT_EQ(JsonOf(*second).size(), 201u);
    std::vector<std::string> got = JsonOf(*first);
    ASSERT_EQ(got.size(), 201u);
    got.pop_back();
    EXPECT_EQ(got, expected);
    ASSERT_EQ(JsonOf(*filtered).size(), 1u);
    EXPECT_NE(JsonOf(*filtered)[0].find("\"alarm_on\""), std::string::npos);
}

TEST(EventStream, AStuckOutputDelaysNobodyAndLosesItsOldestEventsCountedOncePerBurst) {
    LogCapture log;
    TEventStream stream;
    stream.SetCamera("Test Pattern");
    stream.SetInstance("hall");
    auto stuck = std::make_shared<TRecordingOutput::TState>();
    stuck->Held = true;
    auto healthy = std::make_shared<TRecordingOutput::TState>();
    TEventOutputQueue& stuckQueue = stream.AddOutput(std::make_unique<TRecordingOutput>(stuck), 8);
    stream.AddOutput(std::make_unique<TRecordingOutput>(healthy));

    // Publishing never waits for the stuck output, and the healthy one keeps up meanwhile.
    const auto start = std::chrono::steady_clock::now();
    stream.Publish(Numbered(1));
    {
        std::unique_lock<std::mutex> lock(stuck->Mutex);
        ASSERT_TRUE(stuck->Changed.wait_for(lock, std::chrono::seconds(10),
                                            [&] { return stuck->Entered == 1; }));
    }
    for (int64_t n = 2; n <= 100; ++n) {
        stream.Publish(Numbered(n));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    {
        std::unique_lock<std::mutex> lock(healthy->Mutex);
        ASSERT_TRUE(healthy->Changed.wait_for(lock, std::chrono::seconds(10),
                                              [&] { return healthy->Json.size() == 100; }));
    }
    // The stuck output is held at its first event; of the 99 after it the newest 8 are kept.
    Release(*stuck);
    ASSERT_TRUE(stuckQueue.WaitIdle(10000));
    const std::vector<std::string> got = JsonOf(*stuck);
    ASSERT_EQ(got.size(), 9u);
    EXPECT_EQ(got.front(), NumberedJson(1));
    for (int64_t n = 93; n <= 100; ++n) {
        EXPECT_EQ(got[static_cast<size_t>(n - 92)], NumberedJson(n));
    }
    EXPECT_EQ(stuckQueue.Dropped(), 91u);
    const std::vector<std::string> lines = log.Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("test output") != std::string::npos &&
                                       line.find("91 were dropped") != std::string::npos;
                            }),
              1);
}

TEST(EventStream, TheEndDeliversWhatIsQueuedAndBreaksOffAnOutputThatHangs) {
    auto slow = std::make_shared<TRecordingOutput::TState>();
    slow->Held = true;
    auto hanging = std::make_shared<TRecordingOutput::TState>();
    hanging->HangUntilStopping = true;
    LogCapture log;
    {
        TEventStream stream;
        stream.AddOutput(std::make_unique<TRecordingOutput>(slow));
        stream.AddOutput(std::make_unique<TRecordingOutput>(hanging));
        for (int64_t n = 1; n <= 5; ++n) {
            stream.Publish(Numbered(n));
        }
        Release(*slow);
        const auto start = std::chrono::steady_clock::now();
        stream.RemoveOutputs(500);
        // Both drained at once: the hanging one's half second, not a minute.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    }
    EXPECT_EQ(JsonOf(*slow).size(), 5u);
    EXPECT_TRUE(slow->Closed);
    EXPECT_TRUE(hanging->SawStopping);
    EXPECT_TRUE(hanging->Closed);
    const std::vector<std::string> lines = log.Lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("4 events for test output were not delivered") != std::string::npos;
    }));
}

TEST(EventStream, AnEventWithASnapshotWaitsForThePictureOnTheOutputsThread) {
    TEventStream stream;
    auto state = std::make_shared<TRecordingOutput::TState>();
    stream.AddOutput(std::make_unique<TRecordingOutput>(state));
    auto snapshot = std::make_shared<TSnapshotFile>("/tmp/Snapshots/Rec_1.jpg");
    TNotificationEvent event("recording_started", 46000.5);
    event.Add("snapshot", snapshot->Path());
    event.SetSnapshot(snapshot);
    stream.Publish(std::move(event));
    stream.Publish(Numbered(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(JsonOf(*state).empty());  // held for the picture, the next one behind it
    snapshot->Finish(true);
    ASSERT_TRUE(stream.WaitIdle(10000));
    ASSERT_EQ(JsonOf(*state).size(), 2u);
    std::lock_guard<std::mutex> guard(state->Mutex);
    EXPECT_TRUE(state->SnapshotWritten[0]);
}
