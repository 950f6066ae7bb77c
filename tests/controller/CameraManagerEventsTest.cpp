// The controller's events as the outputs receive them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "controller/CameraManagerTestSupport.h"
#include "notifications/CommandOutput.h"
#include "notifications/EventStream.h"
#include "notifications/WebhookOutput.h"
#include "support/MessageRecorder.h"
#include "support/RecordingHttpServer.h"

namespace {

// Keeps the JSON of every event it is given.
class TCollectingOutput : public TEventOutput {
public:
    explicit TCollectingOutput(std::shared_ptr<std::vector<std::string>> Seen)
        : FSeen(std::move(Seen)) {}
    std::string Name() const override { return "collector"; }
    std::string Deliver(const TNotificationEvent& Event, TEvent& Stopping) override {
        FSeen->push_back(Event.Json());
        return {};
    }

private:
    std::shared_ptr<std::vector<std::string>> FSeen;
};

class CameraManagerEventsTest : public CameraManagerFixture {
protected:
    void StartWithStream() {
        ASSERT_TRUE(Start());
        FStream = std::make_shared<TEventStream>();
        FStream->SetInstance("hall");
        FStream->AddOutput(std::make_unique<TCollectingOutput>(FSeen));
        FManager->SetEventStream(FStream);
    }
    // The events delivered since the last call, each as "name zones".
    std::vector<std::string> Taken() {
        EXPECT_TRUE(FStream->WaitIdle(10000));
        std::vector<std::string> names;
        for (const std::string& json : *FSeen) {
            const size_t name = json.find("\"event\":\"") + 9;
            std::string text = json.substr(name, json.find('"', name) - name);
            const size_t zones = json.find("\"zones\":");
            if (zones != std::string::npos) {
                text += " " + json.substr(zones + 8, json.find_first_of(",}", zones) - zones - 8);
            }
            names.push_back(text);
        }
        FSeen->clear();
        return names;
    }

    std::shared_ptr<std::vector<std::string>> FSeen = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<TEventStream> FStream;
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(CameraManagerEventsTest, DetectionSwitchedFromOutsideKeepsTheButtonsChecksAndIsAnswered) {
    StartWithStream();
    MessageRecorder messages;
    // No zone: refused as the button refuses, and the state it stays in is the answer.
    FManager->SetDetection(true);
    EXPECT_FALSE(FManager->Activated());
    EXPECT_EQ(messages.Texts, QStringList{"You need to add at least one zone!"});
    EXPECT_EQ(Taken(), Names{"detection_off 0"});

    FManager->OnAddZoneClick();
    FManager->OnAddZoneClick();
    FManager->SetDetection(true);
    EXPECT_TRUE(FManager->Activated());
    FManager->SetDetection(true);  // already on: said again
    // Reset Alarms restarts detection without it ever being off to the outside.
    FManager->OnResetAlarmsClick();
    EXPECT_EQ(Taken(), (Names{"detection_on 2", "detection_on 2"}));

    // A dialog of the program is open: nothing is switched under it.
    {
        QDialog dialog(FWindow.get());
        dialog.setModal(true);
        dialog.show();
        ASSERT_NE(QApplication::activeModalWidget(), nullptr);
        FManager->SetDetection(false);
        EXPECT_TRUE(FManager->Activated());
    }
    FManager->SetDetection(false);
    EXPECT_FALSE(FManager->Activated());
    // The button is heard as well.
    FManager->OnActivateClick();
    EXPECT_EQ(Taken(), (Names{"detection_on 2", "detection_off 2", "detection_on 2"}));
}

// Receivers that hang (a webhook whose server never answers, a command that never ends) cost
// the frame path nothing: each frame is handed on as before while they wait. The bound is far
// below the receivers' own waits (5 s a try, 100 s a command), not a speed target.
TEST_F(CameraManagerEventsTest, ReceiversThatHangDelayNoFrame) {
    BlockDataFolder();
    Store({{"FormatIndex", 0}, {"MotionDetectionMode", 1}});
    ASSERT_TRUE(StartWithFramesFromTheTest());
    RecordingHttpServer server({}, RecordingHttpServer::TAnswer{200, true});
    auto stream = std::make_shared<TEventStream>();
    TWebhookSettings webhook;
    webhook.Url = server.Url("/hook");
    stream->AddOutput(std::make_unique<TWebhookOutput>(webhook));
    stream->AddOutput(std::make_unique<TCommandOutput>(
        std::vector<TCommandSettings>{{"motion_start", "sleep", {"100"}}}, 100));
    FManager->SetEventStream(stream);
    FManager->OnAddZoneClick();
    FManager->OnActivateClick();
    ASSERT_TRUE(FManager->Activated());

    auto white = Frame(320, 240, 255);
    auto black = Frame(320, 240, 0);
    std::chrono::steady_clock::duration longest{};
    for (int i = 0; i < 60; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(Feed(i % 2 == 0 ? white : black));
        longest = std::max(longest, std::chrono::steady_clock::now() - start);
    }
    EXPECT_TRUE(server.WaitRequests(1, std::chrono::seconds(10)));
    EXPECT_LT(longest, std::chrono::milliseconds(1000));
    // The end breaks the receivers off instead of waiting for them.
    const auto end = std::chrono::steady_clock::now();
    FManager.reset();
    stream->RemoveOutputs(500);
    EXPECT_LT(std::chrono::steady_clock::now() - end, std::chrono::seconds(8));
}
