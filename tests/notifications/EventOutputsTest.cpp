#include <gtest/gtest.h>

#include <string>

#include "notifications/EventOutputs.h"
#include "notifications/EventStream.h"
#include "support/MosquittoBroker.h"
#include "support/RecordingHttpServer.h"

// The "Send Test Event" button: every receiver of the values at once, each failure in plain
// words, success as the empty text.
TEST(SendTestEvent, EveryReceiverIsAskedAndOnlyTheFailuresAreTold) {
    MosquittoBroker broker({"porch", "right"});
    RecordingHttpServer taker;
    RecordingHttpServer failing({}, RecordingHttpServer::TAnswer{404});
    TNotificationSettings settings;
    settings.Mqtt.Enabled = true;
    settings.Mqtt.Host = "127.0.0.1";
    settings.Mqtt.Port = broker.Port();
    settings.Mqtt.User = "porch";
    settings.Mqtt.Password = "right";
    settings.Webhooks.push_back({taker.Url("/hook"), {}, {}, false});
    EXPECT_EQ(SendTestEvent(settings, "hall", 10000), "");
    ASSERT_EQ(taker.Requests().size(), 1u);
    EXPECT_NE(taker.Requests()[0].Body.find("\"event\":\"test\""), std::string::npos);
    EXPECT_NE(taker.Requests()[0].Body.find("\"instance\":\"hall\""), std::string::npos);

    settings.Mqtt.Password = "wrong";
    settings.Webhooks.push_back({failing.Url("/hook"), {}, {}, false});
    const std::string report = SendTestEvent(settings, "hall", 10000);
    EXPECT_NE(report.find("MQTT: the broker refused the user name or password"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("webhook http://127.0.0.1:" + std::to_string(failing.Port())),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("wrong"), std::string::npos);
    EXPECT_EQ(taker.Requests().size(), 2u);
}

// Values that cannot work leave that receiver out, said in the log; the others are made.
TEST(AddNotificationOutputs, MakesAReceiverForEachUsableValue) {
    TEventStream stream;
    TNotificationSettings settings;
    settings.Webhooks.push_back({"http://127.0.0.1:9/a", {}, {}, false});
    settings.Webhooks.push_back({"gopher://example.org/", {}, {}, false});
    settings.Commands.push_back({"motion_start", "true", {}});
    AddNotificationOutputs(stream, settings, {});
    EXPECT_EQ(stream.OutputCount(), 2u);
    settings.Mqtt.Enabled = true;
    settings.Mqtt.Host = "127.0.0.1";
    settings.Mqtt.Port = 9;
    AddNotificationOutputs(stream, settings, {});
    EXPECT_EQ(stream.OutputCount(), 5u);
    stream.RemoveOutputs(100);
}
