#include "notifications/MqttOutput.h"

#include <fcntl.h>
#include <mosquitto.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "notifications/SnapshotFile.h"
#include "platform/Diagnostics.h"

namespace {

// A command's payload without the white space around it.
std::string Trimmed(const char* Payload, int Length) {
    std::string word(Payload != nullptr ? Payload : "", Payload != nullptr ? Length : 0);
    const char* space = " \t\r\n";
    word.erase(0, std::min(word.size(), word.find_first_not_of(space)));
    word.erase(word.find_last_not_of(space) + 1);
    return word;
}

bool SameLetters(const std::string& Text, std::string_view Upper) {
    return Text.size() == Upper.size() &&
           std::equal(Text.begin(), Text.end(), Upper.begin(), [](char A, char B) {
               return (A >= 'a' && A <= 'z' ? static_cast<char>(A - 'a' + 'A') : A) == B;
           });
}

// A payload as a log line may show it: short, printable.
std::string Printable(std::string Text) {
    if (Text.size() > 32) {
        Text = Text.substr(0, 32) + "...";
    }
    for (char& c : Text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
            c = '?';
        }
    }
    return Text;
}

const char* OnOff(bool On) {
    return On ? "ON" : "OFF";
}

}  // namespace

TMqttOutput::TMqttOutput(TMqttSettings Settings, std::string Instance)
    : FSettings(std::move(Settings)),
      FInstance(std::move(Instance)),
      FName("MQTT broker " + MqttBrokerAddress(FSettings)),
      FTopics(FSettings.TopicPrefix, FInstance),
      FDiscovery(FTopics, FSettings.DiscoveryPrefix, FInstance) {}

TMqttOutput::~TMqttOutput() {
    Close();
}

void TMqttOutput::SetDetectionHandler(std::function<void(bool On)> Handler) {
    FDetectionHandler = std::move(Handler);
}

void TMqttOutput::SetReconnectPauses(uint32_t FirstMs, uint32_t LongestMs) {
    FFirstPauseMs = std::max<uint32_t>(FirstMs, 1);
    FLongestPauseMs = std::max(LongestMs, FFirstPauseMs);
}

std::string TMqttOutput::Name() const {
    return FName;
}

void TMqttOutput::Open() {
    InitMosquittoLibrary();
    for (const std::string& topic : {FTopics.Events(), FTopics.SetDetection()}) {
        if (mosquitto_pub_topic_check(topic.c_str()) != MOSQ_ERR_SUCCESS) {
            FIdleReason = "the topic " + topic + " is not valid";
        }
    }
    if (FIdleReason.empty()) {
        FClient = mosquitto_new(nullptr, true, this);
        FIdleReason = FClient != nullptr ? PrepareMqttClient(FClient, FSettings)
                                         : "the MQTT client cannot be created";
    }
    if (!FIdleReason.empty()) {
        LogMessageFmt("%s: %s; no MQTT messages are sent.", FName.c_str(), FIdleReason.c_str());
        if (FClient != nullptr) {
            mosquitto_destroy(FClient);
            FClient = nullptr;
        }
        return;
    }
    // Publishing from the output's thread only queues; the MQTT thread writes.
    mosquitto_threaded_set(FClient, true);
    const std::string availability = FTopics.Availability();
    mosquitto_will_set(FClient, availability.c_str(), 7, "offline", 1, true);
    mosquitto_connect_callback_set(FClient, &TMqttOutput::OnConnect);
    mosquitto_disconnect_callback_set(FClient, &TMqttOutput::OnDisconnect);
    mosquitto_message_callback_set(FClient, &TMqttOutput::OnMessage);
    mosquitto_log_callback_set(FClient, &TMqttOutput::OnLog);
    FThread.Start("MqttClient", [this] { Run(); });
}

void TMqttOutput::Close() {
    if (FClient == nullptr) {
        return;
    }
    bool connected = false;
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FClosing = true;
        connected = FConnected;
    }
    if (connected) {
        // Written before the DISCONNECT, which tells the broker to drop the last will.
        std::lock_guard<std::mutex> publishing(FPublishMutex);
        Publish({FTopics.Availability(), "offline"}, true);
    }
    // Also wakes the MQTT thread from mosquitto_loop.
    mosquitto_disconnect(FClient);
    if (connected) {
        FDisconnected.WaitFor(kCloseWaitMs);
    }
    FStop.SetEvent();
    FThread.Join();
    mosquitto_destroy(FClient);
    FClient = nullptr;
}

bool TMqttOutput::Connected() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FConnected;
}

bool TMqttOutput::Publish(const TMqttMessage& Message, bool Retain) {
    return mosquitto_publish(FClient, nullptr, Message.Topic.c_str(),
                             static_cast<int>(Message.Payload.size()), Message.Payload.data(), 1,
                             Retain) == MOSQ_ERR_SUCCESS;
}

std::string TMqttOutput::Deliver(const TNotificationEvent& Event, TEvent& Stopping) {
    if (!FIdleReason.empty()) {
        return FIdleReason;
    }
    // The queue has waited for the picture; one that was not written is left out.
    std::shared_ptr<const std::string> picture;
    if (Event.Snapshot() && Event.Snapshot()->WaitWritten(0)) {
        picture = ReadSnapshot(Event.Snapshot()->Path());
    }
    if (!Connected()) {
        // The program's first events come while the first connection is being made.
        WaitForMultipleObjects({&FFirstAttempt, &Stopping}, kFirstAttemptWaitMs);
    }
    std::lock_guard<std::mutex> publishing(FPublishMutex);
    const std::vector<TMqttMessage> changes = TakeEvent(Event, std::move(picture));
    if (!Connected()) {
        return "not connected to the " + FName;
    }
    for (const TMqttMessage& change : changes) {
        Publish(change, true);
    }
    const std::string json = Event.Json();
    const int result = mosquitto_publish(FClient, nullptr, FTopics.Events().c_str(),
                                         static_cast<int>(json.size()), json.data(), 1, false);
    if (result != MOSQ_ERR_SUCCESS) {
        return "the event was not sent to the " + FName + " (" + mosquitto_strerror(result) + ")";
    }
    return {};
}

std::vector<TMqttMessage> TMqttOutput::TakeEvent(const TNotificationEvent& Event,
                                                 std::shared_ptr<const std::string> Picture) {
    std::vector<TMqttMessage> changes;
    if (Picture) {
        FSnapshot = std::move(Picture);
        changes.push_back({FTopics.Snapshot(), *FSnapshot});
    }
    const std::string& name = Event.Name();
    if (name == "motion_start" || name == "motion_end") {
        const std::optional<int64_t> zone = Event.Integer("zone");
        if (zone && *zone >= 1) {
            const bool on = name == "motion_start";
            FZoneMotion[*zone] = on;
            changes.push_back({FTopics.ZoneMotion(*zone), OnOff(on)});
        }
    } else if ((name == "recording_started" || name == "recording_finished") &&
               Event.Text("kind") == "motion") {
        FRecording = name == "recording_started";
        changes.push_back({FTopics.Recording(), OnOff(*FRecording)});
    } else if (name == "detection_on") {
        FDetection = true;
        changes.push_back({FTopics.Detection(), "ON"});
        const std::optional<int64_t> zones = Event.Integer("zones");
        if (zones && *zones >= 0 && *zones != FZoneCount) {
            FZoneCount = *zones;
            for (TMqttMessage& config : ZoneConfigs()) {
                changes.push_back(std::move(config));
            }
            if (Connected()) {
                FZonesAnnounced = FZoneCount;
            }
            // The zones that went are forgotten with their retained messages.
            FZoneMotion.erase(FZoneMotion.upper_bound(FZoneCount), FZoneMotion.end());
        }
    } else if (name == "detection_off") {
        FDetection = false;
        changes.push_back({FTopics.Detection(), "OFF"});
        // Without detection no zone sees motion.
        for (auto& [zone, on] : FZoneMotion) {
            if (on) {
                on = false;
                changes.push_back({FTopics.ZoneMotion(zone), "OFF"});
            }
        }
    }
    return changes;
}

std::vector<TMqttMessage> TMqttOutput::ZoneConfigs() const {
    std::vector<TMqttMessage> messages;
    if (FSettings.Discovery) {
        messages = FDiscovery.Configs(FZoneCount);
    }
    // An empty retained message removes a zone's sensor and its last state.
    for (int64_t zone = FZoneCount + 1; zone <= FZonesAnnounced; ++zone) {
        if (FSettings.Discovery) {
            messages.push_back({FDiscovery.ZoneConfigTopic(zone), ""});
        }
        messages.push_back({FTopics.ZoneMotion(zone), ""});
    }
    return messages;
}

std::shared_ptr<const std::string> TMqttOutput::ReadSnapshot(const std::string& Path) const {
    const int file = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (file < 0 || ::fstat(file, &status) != 0) {
        LogMessageFmt("%s: the snapshot %s cannot be read (%s).", FName.c_str(), Path.c_str(),
                      std::strerror(errno));
        if (file >= 0) {
            ::close(file);
        }
        return nullptr;
    }
    if (status.st_size > kMaxSnapshotBytes) {
        LogMessageFmt("%s: the snapshot %s is larger than %lld MB; it is not sent.", FName.c_str(),
                      Path.c_str(), static_cast<long long>(kMaxSnapshotBytes >> 20));
        ::close(file);
        return nullptr;
    }
    auto bytes = std::make_shared<std::string>(static_cast<size_t>(status.st_size), '\0');
    size_t done = 0;
    while (done < bytes->size()) {
        const ssize_t got = ::read(file, bytes->data() + done, bytes->size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            LogMessageFmt("%s: the snapshot %s cannot be read (%s).", FName.c_str(), Path.c_str(),
                          got < 0 ? std::strerror(errno) : "it is shorter than it was");
            ::close(file);
            return nullptr;
        }
        done += static_cast<size_t>(got);
    }
    ::close(file);
    return bytes;
}

void TMqttOutput::Run() {
    uint32_t pauseMs = FFirstPauseMs;
    bool session = false;  // a connection is open or being opened
    while (FStop.WaitFor(0) != WAIT_OBJECT_0) {
        int result = MOSQ_ERR_SUCCESS;
        if (!session) {
            FConnack = -1;
            FDisconnectResult = MOSQ_ERR_SUCCESS;
            {
                std::lock_guard<std::mutex> guard(FMutex);
                FLastError.clear();
            }
            errno = 0;
            result = mosquitto_connect_async(FClient, FSettings.Host.c_str(), FSettings.Port,
                                             kKeepAliveSeconds);
            session = result == MOSQ_ERR_SUCCESS;
        }
        if (session) {
            errno = 0;
            result = mosquitto_loop(FClient, kLoopWaitMs, 1);
        }
        const int error = errno;
        if (AfterLoop()) {
            pauseMs = FFirstPauseMs;
            FFirstAttempt.SetEvent();
        }
        if (result == MOSQ_ERR_SUCCESS) {
            continue;
        }
        session = false;
        std::string lastError;
        bool closing = false;
        {
            std::lock_guard<std::mutex> guard(FMutex);
            FConnected = false;
            closing = FClosing;
            lastError = FLastError;
        }
        FDisconnected.SetEvent();
        if (closing) {
            FStop.WaitFor(INFINITE);
            break;
        }
        // A connection the keep-alive ended shows up as "not connected" on the next call.
        if (result == MOSQ_ERR_NO_CONN && FDisconnectResult != MOSQ_ERR_SUCCESS) {
            result = FDisconnectResult;
        }
        ReportFailure(
            DescribeMqttFailure(result, error, FConnack, lastError, !FSettings.User.empty()));
        FFirstAttempt.SetEvent();
        if (FStop.WaitFor(pauseMs) == WAIT_OBJECT_0) {
            break;
        }
        pauseMs = std::min(pauseMs * 2, FLongestPauseMs);
    }
}

bool TMqttOutput::AfterLoop() {
    const bool connected = std::exchange(FJustConnected, false);
    if (connected) {
        if (FReported) {
            LogMessageFmt("%s is connected again.", FName.c_str());
            FReported.reset();
        }
        Republish();
    }
    std::vector<bool> commands;
    commands.swap(FCommands);
    for (const bool on : commands) {
        if (FDetectionHandler) {
            FDetectionHandler(on);
        }
    }
    return connected;
}

void TMqttOutput::ReportFailure(const TMqttFailure& Failure) {
    if (FReported == Failure.Kind) {
        return;
    }
    FReported = Failure.Kind;
    if (Failure.Kind == TMqttFailure::TKind::Unreachable) {
        LogMessageFmt("%s is not reachable (%s); retrying.", FName.c_str(), Failure.Text.c_str());
    } else {
        LogMessageFmt("%s: %s; retrying.", FName.c_str(), Failure.Text.c_str());
    }
}

void TMqttOutput::Republish() {
    std::lock_guard<std::mutex> publishing(FPublishMutex);
    mosquitto_subscribe(FClient, nullptr, FTopics.SetDetection().c_str(), 1);
    Publish({FTopics.Availability(), "online"}, true);
    for (const TMqttMessage& config : ZoneConfigs()) {
        Publish(config, true);
    }
    FZonesAnnounced = FZoneCount;
    if (FDetection) {
        Publish({FTopics.Detection(), OnOff(*FDetection)}, true);
    }
    if (FRecording) {
        Publish({FTopics.Recording(), OnOff(*FRecording)}, true);
    }
    for (const auto& [zone, on] : FZoneMotion) {
        Publish({FTopics.ZoneMotion(zone), OnOff(on)}, true);
    }
    if (FSnapshot) {
        Publish({FTopics.Snapshot(), *FSnapshot}, true);
    }
}

void TMqttOutput::OnConnect(mosquitto* Client, void* Object, int Code) {
    auto* self = static_cast<TMqttOutput*>(Object);
    self->FConnack = Code;
    if (Code != 0) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(self->FMutex);
        self->FConnected = true;
    }
    self->FDisconnected.ResetEvent();
    self->FJustConnected = true;
}

void TMqttOutput::OnDisconnect(mosquitto* Client, void* Object, int Result) {
    auto* self = static_cast<TMqttOutput*>(Object);
    self->FDisconnectResult = Result;
    {
        std::lock_guard<std::mutex> guard(self->FMutex);
        self->FConnected = false;
    }
    self->FDisconnected.SetEvent();
}

void TMqttOutput::OnMessage(mosquitto* Client, void* Object, const mosquitto_message* Message) {
    auto* self = static_cast<TMqttOutput*>(Object);
    if (Message->topic == nullptr || Message->topic != self->FTopics.SetDetection()) {
        return;
    }
    const std::string word =
        Trimmed(static_cast<const char*>(Message->payload), Message->payloadlen);
    if (Message->retain) {
        // A retained command would switch the detection again at every new connection.
        LogMessageFmt("%s: the retained command \"%s\" on %s is ignored.", self->FName.c_str(),
                      Printable(word).c_str(), Message->topic);
    } else if (SameLetters(word, "ON") || SameLetters(word, "OFF")) {
        self->FCommands.push_back(SameLetters(word, "ON"));
    } else {
        LogMessageFmt("%s: the command \"%s\" on %s is neither ON nor OFF; ignored.",
                      self->FName.c_str(), Printable(word).c_str(), Message->topic);
    }
}

void TMqttOutput::OnLog(mosquitto* Client, void* Object, int Level, const char* Text) {
    if ((Level & MOSQ_LOG_ERR) == 0 || Text == nullptr) {
        return;
    }
    auto* self = static_cast<TMqttOutput*>(Object);
    std::lock_guard<std::mutex> guard(self->FMutex);
    self->FLastError = Text;
}
