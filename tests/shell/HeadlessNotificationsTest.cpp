// A headless run's events reach the receivers given on its command line.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QList>

#include <algorithm>
#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "shell/HeadlessRunFixture.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"
#include "support/RecordingHttpServer.h"

namespace {

TEST_F(HeadlessRunTest, WebhooksGetTheEventsOfStandardOutputInTheSameOrder) {
    RecordingHttpServer taker;
    // A receiver that always fails delays neither the run nor the other receiver.
    RecordingHttpServer failing({}, RecordingHttpServer::TAnswer{500});
    const int status = RunToEnd({"--headless", "--seconds", "6", "--mode", "1", "--sensitivity",
                                 "95", "--zone", "0,80,320,160", "--webhook",
                                 QString::fromStdString(taker.Url("/hook?token=secret")),
                                 "--webhook", QString::fromStdString(failing.Url("/down"))});
    EXPECT_EQ(status, 0) << FErr.constData();
    std::vector<std::string> printed;
    for (const QByteArray& line : FOut.split('\n')) {
        if (!line.isEmpty()) {
            printed.push_back(line.toStdString());
        }
    }
    ASSERT_GE(printed.size(), 3u) << FOut.constData();
    std::vector<std::string> posted;
    for (const RecordingHttpServer::TRequest& request : taker.Requests()) {
        EXPECT_EQ(request.Line, "POST /hook?token=secret HTTP/1.1");
        EXPECT_EQ(request.Header("content-type"), "application/json");
        posted.push_back(request.Body);
    }
    EXPECT_EQ(posted, printed);
    // The failing one was tried (three times an event) and said so without its address's path.
    EXPECT_GE(failing.Requests().size(), 3u);
    EXPECT_TRUE(FErr.contains("did not take the event camera_started")) << FErr.constData();
    EXPECT_FALSE(FErr.contains("token=secret"));
    EXPECT_FALSE(FErr.contains("/down"));
}

TEST_F(HeadlessRunTest, NotificationValuesThatCannotWorkAreABadCommandLine) {
    struct Case {
        QStringList Arguments;
        QByteArray Said;
    };
    const Case cases[] = {
        {{"--mqtt", "mqtt://broker:99999"}, "port"},
        {{"--mqtt", "http://broker"}, "mqtt"},
        {{"--webhook", "ftp://example.org/x"}, "http"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunToEnd(QStringList{"--headless", "--seconds", "1"} + c.Arguments), 64)
            << c.Arguments.join(' ').toStdString();
        EXPECT_TRUE(FErr.contains(c.Said)) << FErr.constData();
    }
}

}  // namespace

namespace {

// The events published on the broker, in order.
std::vector<std::string> Payloads(const std::vector<MqttSubscriber::TMessage>& Messages,
                                  const std::string& Topic) {
    std::vector<std::string> payloads;
    for (const MqttSubscriber::TMessage& message : Messages) {
        if (message.Topic == Topic) {
            payloads.push_back(message.Payload);
        }
    }
    return payloads;
}

TEST_F(HeadlessRunTest, ABrokerGetsTheEventsStatesAndDiscoveryAndSwitchesDetection) {
    MosquittoBroker broker({"porch", "s3cret pass"});
    std::optional<MqttSubscriber> watcher;
    watcher.emplace(broker.Port(), MqttSubscriberOptions{"#", "porch", "s3cret pass"});
    QProcess process;
    QProcessEnvironment environment = FEnvironment;
    // The password stays out of the process list.
    environment.insert("TANDREL_MQTT_PASSWORD", "s3cret pass");
    process.setProcessEnvironment(environment);
    process.start(TANDREL_EXECUTABLE,
                  {"--headless", "--mode", "1", "--sensitivity", "95", "--zone", "0,80,320,160",
                   "--instance", "porch", "--mqtt",
                   QString("mqtt://porch@127.0.0.1:%1/home/porch").arg(broker.Port())});
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(process, output, "\"motion_start\"")) << output.constData();
    ASSERT_TRUE(watcher->WaitForLast("home/porch/detection", "ON", 20000));
    ASSERT_TRUE(watcher->WaitForLast("home/porch/zone/1/motion", "ON", 20000));
    EXPECT_TRUE(watcher->WaitForLast("home/porch/availability", "online", 5000));

    // Switched off and on again from the broker, as the button would.
    watcher->Publish("home/porch/set/detection", "OFF");
    EXPECT_TRUE(watcher->WaitForLast("home/porch/detection", "OFF", 20000));
    EXPECT_TRUE(WaitForOutput(process, output, "\"detection_off\""));
    watcher->Publish("home/porch/set/detection", "on");
    EXPECT_TRUE(watcher->WaitForLast("home/porch/detection", "ON", 20000));

    // Home Assistant finds one device with a switch, a picture and the zone's motion sensor.
    const std::vector<MqttSubscriber::TMessage> before = watcher->Messages();
    std::set<QString> ids;
    for (const MqttSubscriber::TMessage& message : before) {
        if (message.Topic.rfind("homeassistant/", 0) != 0 || message.Payload.empty()) {
            continue;
        }
        const QJsonDocument config = QJsonDocument::fromJson(QByteArray::fromStdString(message.Payload));
        ASSERT_TRUE(config.isObject()) << message.Payload;
        ids.insert(config.object()["unique_id"].toString());
        EXPECT_EQ(config.object()["device"].toObject()["identifiers"].toArray().first().toString(),
                  "tandrel_porch");
    }
    EXPECT_EQ(ids.size(), 3u);  // detection, snapshot, zone 1

    // The broker goes away and comes back: the run goes on, connects again and publishes its
    // states again.
    watcher.reset();
    broker.Kill();
    QTest::qWait(1500);
    broker.Restart();
    watcher.emplace(broker.Port(), MqttSubscriberOptions{"#", "porch", "s3cret pass"});
    EXPECT_TRUE(watcher->WaitForLast("home/porch/availability", "online", 30000));
    EXPECT_TRUE(watcher->WaitForLast("home/porch/detection", "ON", 30000));
    // The picture of the motion recording's start, as a JPEG, published again with the states.
    EXPECT_TRUE(watcher->WaitFor(
        [](const std::vector<MqttSubscriber::TMessage>& Messages) {
            return std::any_of(Messages.begin(), Messages.end(), [](const auto& message) {
                return message.Topic == "home/porch/snapshot" &&
                       message.Payload.rfind("\xff\xd8\xff", 0) == 0;
            });
        },
        30000));
    EXPECT_TRUE(WaitForOutput(process, output, "\"recording_started\""));

    process.terminate();
    ASSERT_TRUE(process.waitForFinished(20000));
    output += process.readAllStandardOutput();
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(watcher->WaitForLast("home/porch/availability", "offline", 10000));
    const QByteArray errors = process.readAllStandardError();
    EXPECT_FALSE(errors.contains("s3cret")) << errors.constData();

    // Every event the broker took before it went is one of standard output's, in the same order,
    // from the first on (the run waits for its broker before the first event).
    std::vector<std::string> printed;
    for (const QByteArray& line : output.split('\n')) {
        if (!line.isEmpty()) {
            printed.push_back(line.toStdString());
        }
    }
    const std::vector<std::string> published = Payloads(before, "home/porch/events");
    ASSERT_FALSE(published.empty());
    ASSERT_LE(published.size(), printed.size());
    EXPECT_TRUE(std::equal(published.begin(), published.end(), printed.begin()));
}

}  // namespace
