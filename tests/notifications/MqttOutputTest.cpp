#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "localisation/TempFolder.h"
#include "notifications/EventStream.h"
#include "notifications/HomeAssistantDiscovery.h"
#include "notifications/MqttOutput.h"
#include "notifications/MqttTopics.h"
#include "notifications/SnapshotFile.h"
#include "platform/DateTime.h"
#include "support/JsonReader.h"
#include "support/LogCapture.h"
#include "support/LoopbackListener.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"
#include "support/TcpProxy.h"

namespace {

using TMessages = std::vector<MqttSubscriber::TMessage>;
using TClock = std::chrono::steady_clock;

const std::string kPrefix = "tandrel/garden";

TNotificationEvent Event(std::string Name) {
    return TNotificationEvent(std::move(Name), Now());
}

TMqttSettings Settings(int Port) {
    TMqttSettings settings;
    settings.Enabled = true;
    settings.Host = "127.0.0.1";
    settings.Port = Port;
    return settings;
}

size_t CountLines(const LogCapture& Log, const std::string& Text) {
    size_t count = 0;
    for (const std::string& line : Log.Lines()) {
        count += line.find(Text) != std::string::npos ? 1 : 0;
    }
    return count;
}

// Waits until Done holds; tests that wait on another program's log or thread use it.
template <typename Predicate>
bool WaitUntil(Predicate Done, uint32_t TimeoutMs = 5000) {
    const auto deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!Done()) {
        if (TClock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The retained messages a subscriber that comes now gets, once Topics have all arrived.
std::map<std::string, std::string> Retained(int Port, const std::vector<std::string>& Topics,
                                            MqttSubscriberOptions Options = {}) {
    MqttSubscriber late(Port, Options);
    late.WaitFor([&](const TMessages& Messages) {
        std::set<std::string> seen;
        for (const auto& message : Messages) {
            seen.insert(message.Topic);
        }
        for (const std::string& topic : Topics) {
            if (seen.count(topic) == 0) {
                return false;
            }
        }
        return true;
    });
    std::map<std::string, std::string> retained;
    for (const auto& message : late.Messages()) {
        if (message.Retained) {
            retained[message.Topic] = message.Payload;
        }
    }
    return retained;
}

TEST(MqttTopicsTest, PrefixFromTheSettingsOrTheInstance) {
    struct Case {
        const char* Prefix;
        const char* Instance;
        const char* Expected;
    };
    const Case cases[] = {
        {"", "garden", "tandrel/garden"},
        {"", "", "tandrel/default"},
        {"", "Front door/1+#", "tandrel/Front_door_1__"},
        {"",
         "K\xc3\xbc"
         "che-2",
         "tandrel/K__che-2"},
        {"home/cams/", "garden", "home/cams"},
        {"home/cams", "garden", "home/cams"},
    };
    for (const Case& c : cases) {
        const TMqttTopics topics(c.Prefix, c.Instance);
        EXPECT_EQ(topics.Prefix(), c.Expected) << c.Prefix << " / " << c.Instance;
        EXPECT_EQ(topics.ZoneMotion(4), std::string(c.Expected) + "/zone/4/motion");
    }
}

TEST(HomeAssistantDiscoveryTest, ConfigsAreJsonOfOneDeviceWithTheOutputsTopics) {
    const std::string instance = "Front \"door\"";
    const TMqttTopics topics("", instance);
    const THomeAssistantDiscovery discovery(topics, "homeassistant", instance);
    const std::vector<TMqttMessage> configs = discovery.Configs(2);

    const std::string node = "tandrel_Front__door_";
    std::map<std::string, JsonValue> byTopic;
    std::set<std::string> uniqueIds;
    for (const TMqttMessage& config : configs) {
        const std::optional<JsonValue> json = JsonReader::Parse(config.Payload);
        ASSERT_TRUE(json) << config.Topic << ": " << config.Payload;
        EXPECT_TRUE(uniqueIds.insert(json->Text("unique_id")).second) << config.Payload;
        EXPECT_EQ(json->Text("unique_id").rfind(node + "_", 0), 0u) << config.Payload;
        EXPECT_EQ(json->Text("availability_topic"), "tandrel/Front__door_/availability");
        const JsonValue* device = json->Find("device");
        ASSERT_NE(device, nullptr);
        const JsonValue* identifiers = device->Find("identifiers");
        ASSERT_TRUE(identifiers != nullptr && identifiers->Items.size() == 1);
        EXPECT_EQ(identifiers->Items[0].String, node);
        EXPECT_EQ(device->Text("name"), "Tandrel Front \"door\"");
        EXPECT_EQ(device->Text("manufacturer"), "Vantrelle Media Solutions");
        EXPECT_EQ(device->Text("model"), "Tandrel");
        byTopic[config.Topic] = *json;
    }
    ASSERT_EQ(byTopic.size(), 4u);
    const JsonValue& detection = byTopic["homeassistant/switch/" + node + "/detection/config"];
    EXPECT_EQ(detection.Text("command_topic"), topics.SetDetection());
    EXPECT_EQ(detection.Text("state_topic"), topics.Detection());
    const JsonValue& snapshot = byTopic["homeassistant/image/" + node + "/snapshot/config"];
    EXPECT_EQ(snapshot.Text("image_topic"), topics.Snapshot());
    EXPECT_EQ(snapshot.Text("content_type"), "image/jpeg");
    for (int zone = 1; zone <= 2; ++zone) {
        const std::string topic = discovery.ZoneConfigTopic(zone);
        EXPECT_EQ(topic, "homeassistant/binary_sensor/" + node + "/zone" + std::to_string(zone) +
                             "/config");
        const JsonValue& sensor = byTopic[topic];
        EXPECT_EQ(sensor.Text("device_class"), "motion");
        EXPECT_EQ(sensor.Text("state_topic"), topics.ZoneMotion(zone));
        EXPECT_EQ(sensor.Text("payload_on"), "ON");
        EXPECT_EQ(sensor.Text("payload_off"), "OFF");
    }
}

// A broker, the event stream of instance "garden" and a subscriber to everything under the
// prefix; outputs retry quickly.
class MqttOutputTest : public ::testing::Test {
protected:
    MqttOutputTest() {
        FStream.SetCamera("Front door");
        FStream.SetInstance("garden");
    }

    TEventOutputQueue& AddOutput(TMqttSettings Settings,
                                 std::function<void(bool)> Handler = nullptr) {
        auto output = std::make_unique<TMqttOutput>(std::move(Settings), "garden");
        output->SetReconnectPauses(20, 200);
        output->SetDetectionHandler(std::move(Handler));
        return FStream.AddOutput(std::move(output));
    }
    // Adds an output for the broker and waits until it says it is online.
    TEventOutputQueue& AddOnlineOutput(std::function<void(bool)> Handler = nullptr) {
        TEventOutputQueue& queue = AddOutput(Settings(FBroker.Port()), std::move(Handler));
        EXPECT_TRUE(FWatcher.WaitForLast(kPrefix + "/availability", "online"));
        return queue;
    }

    // Declared first so that it outlasts the outputs' threads.
    LogCapture FLog;
    MosquittoBroker FBroker;
    MqttSubscriber FWatcher{FBroker.Port(), {.Filter = kPrefix + "/#"}};
    TEventStream FStream;
};

TEST_F(MqttOutputTest, EventsArriveInOrderAsJson) {
    // Published at once: the first events wait for the first connection.
    AddOutput(Settings(FBroker.Port()));
    constexpr int kEvents = 60;
    for (int i = 0; i < kEvents; ++i) {
        FStream.Publish(Event("test").Add("n", int64_t{i}).Add("text", "caf\xc3\xa9 \"quoted\""));
    }
    ASSERT_TRUE(FWatcher.WaitFor([](const TMessages& Messages) {
        size_t events = 0;
        for (const auto& message : Messages) {
            events += message.Topic == kPrefix + "/events" ? 1 : 0;
        }
        return events >= kEvents;
    }));
    const TMessages events = FWatcher.On(kPrefix + "/events");
    ASSERT_EQ(events.size(), static_cast<size_t>(kEvents));
    for (int i = 0; i < kEvents; ++i) {
        const std::optional<JsonValue> json = JsonReader::Parse(events[i].Payload);
        ASSERT_TRUE(json) << events[i].Payload;
        EXPECT_FALSE(events[i].Retained);
        EXPECT_EQ(json->Text("event"), "test");
        EXPECT_EQ(json->Text("camera"), "Front door");
        EXPECT_EQ(json->Text("instance"), "garden");
        EXPECT_EQ(json->Text("text"), "caf\xc3\xa9 \"quoted\"");
        ASSERT_NE(json->Find("n"), nullptr);
        EXPECT_EQ(json->Find("n")->Number, i);
    }
}

TEST_F(MqttOutputTest, StatesAreRetainedForLaterSubscribers) {
    TempFolder folder;
    const std::string jpeg("\xff\xd8\xff\xe0 picture \0 with a zero byte \xff\xd9", 36);
    auto snapshot = std::make_shared<TSnapshotFile>(folder.Write("motion.jpg", jpeg));
    snapshot->Finish(true);
    AddOnlineOutput();

    TNotificationEvent start = Event("motion_start");
    start.Add("zone", int64_t{1}).Add("snapshot", snapshot->Path());
    start.SetSnapshot(snapshot);
    FStream.Publish(Event("detection_on").Add("zones", int64_t{2}));
    FStream.Publish(std::move(start));
    FStream.Publish(Event("motion_start").Add("zone", int64_t{2}));
    FStream.Publish(Event("motion_end").Add("zone", int64_t{2}));
    FStream.Publish(Event("recording_started").Add("kind", "motion"));
    // Continuous recordings are not what the recording state shows.
    FStream.Publish(Event("recording_started").Add("kind", "continuous"));
    FStream.Publish(Event("recording_finished").Add("kind", "continuous"));
    FStream.Publish(Event("test"));
    // Once the last event is through, every state before it is retained.
    ASSERT_TRUE(FWatcher.WaitFor([](const TMessages& Messages) {
        return !Messages.empty() && Messages.back().Payload.find("\"test\"") != std::string::npos;
    }));
    const std::map<std::string, std::string> expected = {
        {kPrefix + "/availability", "online"}, {kPrefix + "/detection", "ON"},
        {kPrefix + "/zone/1/motion", "ON"},    {kPrefix + "/zone/2/motion", "OFF"},
        {kPrefix + "/recording", "ON"},        {kPrefix + "/snapshot", jpeg},
    };
    std::vector<std::string> topics;
    for (const auto& [topic, payload] : expected) {
        topics.push_back(topic);
    }
    std::map<std::string, std::string> retained = Retained(FBroker.Port(), topics);
    for (const auto& [topic, payload] : expected) {
        EXPECT_EQ(retained[topic], payload) << topic;
    }
    EXPECT_EQ(retained.count(kPrefix + "/events"), 0u);

    // A motion recording ends and the detection is switched off: no zone keeps its motion.
    FStream.Publish(Event("recording_finished").Add("kind", "motion"));
    FStream.Publish(Event("detection_off").Add("zones", int64_t{2}));
    ASSERT_TRUE(FWatcher.WaitForLast(kPrefix + "/detection", "OFF"));
    retained = Retained(FBroker.Port(), topics);
    EXPECT_EQ(retained[kPrefix + "/recording"], "OFF");
    EXPECT_EQ(retained[kPrefix + "/detection"], "OFF");
    EXPECT_EQ(retained[kPrefix + "/zone/1/motion"], "OFF");
    EXPECT_EQ(retained[kPrefix + "/snapshot"], jpeg);
}

TEST_F(MqttOutputTest, AnUnreadableSnapshotIsLoggedAndTheEventStillGoes) {
    AddOnlineOutput();
    auto snapshot = std::make_shared<TSnapshotFile>("/nonexistent/tandrel-snapshot.jpg");
    snapshot->Finish(true);
    TNotificationEvent start = Event("motion_start");
    start.Add("zone", int64_t{1});
    start.SetSnapshot(snapshot);
    FStream.Publish(std::move(start));
    ASSERT_TRUE(FWatcher.WaitFor([](const TMessages& Messages) {
        return !Messages.empty() && Messages.back().Topic == kPrefix + "/events";
    }));
    EXPECT_EQ(FWatcher.Last(kPrefix + "/zone/1/motion")->Payload, "ON");
    EXPECT_TRUE(FWatcher.On(kPrefix + "/snapshot").empty());
    EXPECT_EQ(CountLines(FLog, "/nonexistent/tandrel-snapshot.jpg cannot be read"), 1u);
}

TEST_F(MqttOutputTest, DiscoveryFollowsTheZoneCount) {
    MqttSubscriber discovery(FBroker.Port(), {.Filter = "homeassistant/#"});
    AddOnlineOutput();
    const std::string node = "homeassistant/binary_sensor/tandrel_garden/";
    const std::string switchTopic = "homeassistant/switch/tandrel_garden/detection/config";
    const std::string imageTopic = "homeassistant/image/tandrel_garden/snapshot/config";
    // Before the detection says how many zones there are: the switch and the image only.
    ASSERT_TRUE(discovery.WaitFor([&](const TMessages& Messages) { return Messages.size() >= 2; }));
    std::set<std::string> first;
    for (const auto& message : discovery.Messages()) {
        first.insert(message.Topic);
    }
    EXPECT_EQ(first, (std::set<std::string>{switchTopic, imageTopic}));

    FStream.Publish(Event("detection_on").Add("zones", int64_t{3}));
    ASSERT_TRUE(discovery.WaitFor([&](const TMessages& Messages) {
        return !Messages.empty() && Messages.back().Topic == node + "zone3/config";
    }));
    FStream.Publish(Event("detection_on").Add("zones", int64_t{1}));
    ASSERT_TRUE(discovery.WaitForLast(node + "zone3/config", ""));
    EXPECT_EQ(discovery.Last(node + "zone2/config")->Payload, "");

    const std::map<std::string, std::string> retained =
        Retained(FBroker.Port(), {switchTopic, imageTopic, node + "zone1/config"},
                 {.Filter = "homeassistant/#"});
    ASSERT_EQ(retained.size(), 3u);
    std::set<std::string> uniqueIds;
    for (const auto& [topic, payload] : retained) {
        const std::optional<JsonValue> json = JsonReader::Parse(payload);
        ASSERT_TRUE(json) << payload;
        uniqueIds.insert(json->Text("unique_id"));
    }
    EXPECT_EQ(uniqueIds,
              (std::set<std::string>{"tandrel_garden_detection", "tandrel_garden_snapshot",
                                     "tandrel_garden_zone1"}));
    EXPECT_EQ(JsonReader::Parse(retained.at(node + "zone1/config"))->Text("state_topic"),
              kPrefix + "/zone/1/motion");
}

TEST_F(MqttOutputTest, DetectionCommandsCallTheHandler) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> calls;
    // A retained command from before would switch the detection at every connection.
    FWatcher.Publish(kPrefix + "/set/detection", "OFF", true);
    AddOnlineOutput([&](bool On) {
        std::lock_guard lock(mutex);
        calls.push_back(On);
        changed.notify_all();
    });
    for (const char* command : {"OFF", " on \n", "maybe", "On"}) {
        FWatcher.Publish(kPrefix + "/set/detection", command);
    }
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(5), [&] { return calls.size() >= 3; }));
    EXPECT_EQ(calls, (std::vector<bool>{false, true, true}));
    lock.unlock();
    EXPECT_EQ(CountLines(FLog, "the command \"maybe\" on " + kPrefix +
                                   "/set/detection is neither ON nor OFF"),
              1u);
    EXPECT_EQ(CountLines(FLog, "retained command \"OFF\""), 1u);
}

TEST_F(MqttOutputTest, ReconnectsAfterTheBrokerRestartsAndSendsTheStatesAgain) {
    TEventOutputQueue& queue = AddOnlineOutput();
    FStream.Publish(Event("detection_on").Add("zones", int64_t{1}));
    FStream.Publish(Event("motion_start").Add("zone", int64_t{1}));
    ASSERT_TRUE(FWatcher.WaitForLast(kPrefix + "/zone/1/motion", "ON"));

    FBroker.Kill();
    const std::string name = "MQTT broker 127.0.0.1:" + std::to_string(FBroker.Port());
    ASSERT_TRUE(WaitUntil([&] { return CountLines(FLog, name + " is not reachable") > 0; }));
    // While the broker is away events are dropped, and states are kept.
    FStream.Publish(Event("motion_end").Add("zone", int64_t{1}));
    ASSERT_TRUE(FStream.WaitIdle(5000));
    EXPECT_EQ(queue.Failed(), 1u);
    // A few more attempts fail meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    FBroker.Restart();
    // The restarted broker has no retained messages of its own: these are sent again.
    const std::vector<std::string> topics = {
        kPrefix + "/availability", kPrefix + "/detection", kPrefix + "/zone/1/motion",
        "homeassistant/binary_sensor/tandrel_garden/zone1/config"};
    MqttSubscriber back(FBroker.Port());
    ASSERT_TRUE(back.WaitFor([&](const TMessages& Messages) {
        return std::all_of(topics.begin(), topics.end(), [&](const std::string& Topic) {
            return std::any_of(Messages.begin(), Messages.end(),
                               [&](const auto& Message) { return Message.Topic == Topic; });
        });
    }));
    const std::map<std::string, std::string> retained = Retained(FBroker.Port(), topics);
    EXPECT_EQ(retained.at(kPrefix + "/availability"), "online");
    EXPECT_EQ(retained.at(kPrefix + "/detection"), "ON");
    EXPECT_EQ(retained.at(kPrefix + "/zone/1/motion"), "OFF");
    ASSERT_TRUE(WaitUntil([&] { return CountLines(FLog, name + " is connected again.") > 0; }));
    EXPECT_EQ(CountLines(FLog, name + " is not reachable (the connection was lost); retrying."),
              1u);
    EXPECT_EQ(CountLines(FLog, name), 2u);

    MqttSubscriber watcher(FBroker.Port(), {.Filter = kPrefix + "/events"});
    FStream.Publish(Event("test"));
    EXPECT_TRUE(watcher.WaitFor([](const TMessages& Messages) { return !Messages.empty(); }));
}

TEST_F(MqttOutputTest, TheLastWillSaysOfflineWhenTheConnectionBreaks) {
    TcpProxy proxy(FBroker.Port());
    AddOutput(Settings(proxy.Port()));
    ASSERT_TRUE(FWatcher.WaitForLast(kPrefix + "/availability", "online"));
    FWatcher.Clear();
    proxy.Cut();
    // The broker says the will, then the output is back through the proxy.
    ASSERT_TRUE(FWatcher.WaitFor([](const TMessages& Messages) {
        std::vector<std::string> availability;
        for (const auto& message : Messages) {
            if (message.Topic == kPrefix + "/availability") {
                availability.push_back(message.Payload);
            }
        }
        return availability == std::vector<std::string>{"offline", "online"};
    }));
}

TEST_F(MqttOutputTest, CloseSaysOfflinePromptly) {
    AddOnlineOutput();
    const auto start = TClock::now();
    FStream.RemoveOutputs();
    EXPECT_LT(TClock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(FWatcher.WaitForLast(kPrefix + "/availability", "offline"));
    EXPECT_EQ(Retained(FBroker.Port(), {kPrefix + "/availability"})[kPrefix + "/availability"],
              "offline");
}

TEST_F(MqttOutputTest, CloseIsPromptWhenTheBrokerIsGone) {
    AddOnlineOutput();
    FBroker.Kill();
    const auto start = TClock::now();
    FStream.RemoveOutputs();
    EXPECT_LT(TClock::now() - start, std::chrono::seconds(3));
}

TEST_F(MqttOutputTest, AnUnreadableCaFileLeavesTheOutputIdle) {
    TMqttSettings settings = Settings(FBroker.Port());
    settings.Tls = true;
    settings.CaFile = "/nonexistent/ca.crt";
    TEventOutputQueue& queue = AddOutput(settings);
    FStream.Publish(Event("test"));
    FStream.Publish(Event("test"));
    ASSERT_TRUE(FStream.WaitIdle(5000));
    EXPECT_EQ(queue.Failed(), 2u);
    EXPECT_EQ(CountLines(FLog, "the CA file /nonexistent/ca.crt cannot be read"), 1u);
    EXPECT_EQ(FLog.Lines().size(), 1u);
}

// A broker that wants a user name and password.
class MqttPasswordTest : public ::testing::Test {
protected:
    LogCapture FLog;
    MosquittoBroker FBroker{{.User = "alice", .Password = "s3cret pass"}};
    TEventStream FStream;
};

TEST_F(MqttPasswordTest, AWrongPasswordIsLoggedOnceAndTheRightOneWorks) {
    TMqttSettings wrong = Settings(FBroker.Port());
    wrong.User = "alice";
    wrong.Password = "not the password";
    auto output = std::make_unique<TMqttOutput>(wrong, "garden");
    output->SetReconnectPauses(20, 100);
    TEventOutputQueue& queue = FStream.AddOutput(std::move(output));
    // Several attempts, one line.
    ASSERT_TRUE(WaitUntil([&] { return FBroker.LogCount("not authorised") >= 4; }));
    FStream.Publish(Event("test"));
    ASSERT_TRUE(FStream.WaitIdle(5000));
    EXPECT_EQ(queue.Failed(), 1u);
    FStream.RemoveOutputs();
    const std::string name = "MQTT broker 127.0.0.1:" + std::to_string(FBroker.Port());
    ASSERT_EQ(FLog.Lines().size(), 1u);
    EXPECT_EQ(FLog.Lines()[0], name + ": the broker refused the user name or password; retrying.");

    TMqttSettings right = wrong;
    right.Password = "s3cret pass";
    MqttSubscriber watcher(
        FBroker.Port(),
        {.Filter = kPrefix + "/events", .User = "alice", .Password = "s3cret pass"});
    FStream.AddOutput(std::make_unique<TMqttOutput>(right, "garden"));
    FStream.Publish(Event("test"));
    EXPECT_TRUE(watcher.WaitFor([](const TMessages& Messages) { return !Messages.empty(); }));
    for (const std::string& line : FLog.Lines()) {
        EXPECT_EQ(line.find("not the password"), std::string::npos) << line;
        EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
    }
}

TEST_F(MqttPasswordTest, SendTestEventSaysWhatWentWrong) {
    LoopbackListener silent;  // takes connections and never answers
    const int closedPort = [] {
        LoopbackListener gone;
        return gone.Port();
    }();
    struct Case {
        const char* Name;
        int Port;
        const char* User;
        const char* Password;
        uint32_t TimeoutMs;
        std::string Expected;
    };
    const std::vector<Case> cases = {
        {"right password", FBroker.Port(), "alice", "s3cret pass", 5000, ""},
        {"wrong password", FBroker.Port(), "alice", "wrong", 5000,
         "the broker refused the user name or password"},
        {"no user", FBroker.Port(), "", "", 5000, "the broker wants a user name and password"},
        {"nothing listening", closedPort, "", "", 5000,
         "no broker answers at 127.0.0.1:" + std::to_string(closedPort) + " (connection refused)"},
        {"no answer", silent.Port(), "", "", 1000,
         "no broker answers at 127.0.0.1:" + std::to_string(silent.Port()) + " within 1 s"},
    };
    MqttSubscriber watcher(
        FBroker.Port(),
        {.Filter = kPrefix + "/events", .User = "alice", .Password = "s3cret pass"});
    for (const Case& c : cases) {
        TMqttSettings settings = Settings(c.Port);
        settings.User = c.User;
        settings.Password = c.Password;
        const auto start = TClock::now();
        const std::string result = TMqttOutput::SendTestEvent(
            settings, "garden", Event("test").Add("case", c.Name), c.TimeoutMs);
        EXPECT_EQ(result, c.Expected) << c.Name;
        EXPECT_LT(TClock::now() - start, std::chrono::milliseconds(c.TimeoutMs + 1500)) << c.Name;
    }
    const TMessages events = watcher.Messages();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(JsonReader::Parse(events[0].Payload)->Text("case"), "right password");
}

// A broker that speaks TLS only, its certificate signed by the test's own authority.
class MqttTlsTest : public ::testing::Test {
protected:
    TMqttSettings TlsSettings(const std::string& CaFile) const {
        TMqttSettings settings = Settings(FBroker.Port());
        settings.Tls = true;
        settings.CaFile = CaFile;
        return settings;
    }

    LogCapture FLog;
    MosquittoBroker FBroker{{.Tls = true}};
    TEventStream FStream;
};

TEST_F(MqttTlsTest, TheBrokerSignedByTheCaFileIsTrusted) {
    MqttSubscriber watcher(FBroker.Port(), {.Filter = kPrefix + "/#", .CaFile = FBroker.CaFile()});
    FStream.AddOutput(std::make_unique<TMqttOutput>(TlsSettings(FBroker.CaFile()), "garden"));
    ASSERT_TRUE(watcher.WaitForLast(kPrefix + "/availability", "online"));
    FStream.Publish(Event("test"));
    EXPECT_TRUE(watcher.WaitFor([](const TMessages& Messages) {
        return !Messages.empty() && Messages.back().Topic == kPrefix + "/events";
    }));
    EXPECT_EQ(
        TMqttOutput::SendTestEvent(TlsSettings(FBroker.CaFile()), "garden", Event("test"), 5000),
        "");
}

TEST_F(MqttTlsTest, AnUntrustedCertificateIsLoggedOnce) {
    auto output = std::make_unique<TMqttOutput>(TlsSettings(FBroker.OtherCaFile()), "garden");
    output->SetReconnectPauses(20, 100);
    FStream.AddOutput(std::move(output));
    ASSERT_TRUE(WaitUntil([&] { return FBroker.LogCount("OpenSSL Error") >= 4; }));
    FStream.RemoveOutputs();
    ASSERT_EQ(FLog.Lines().size(), 1u);
    EXPECT_EQ(FLog.Lines()[0], "MQTT broker 127.0.0.1:" + std::to_string(FBroker.Port()) +
                                   ": the broker's certificate is not trusted; retrying.");
    EXPECT_EQ(TMqttOutput::SendTestEvent(TlsSettings(FBroker.OtherCaFile()), "garden",
                                         Event("test"), 5000),
              "the broker's certificate is not trusted");
}

}  // namespace
