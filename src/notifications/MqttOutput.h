#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "notifications/EventOutput.h"
#include "notifications/HomeAssistantDiscovery.h"
#include "notifications/MqttClient.h"
#include "notifications/MqttTopics.h"
#include "notifications/NotificationSettings.h"
#include "platform/NamedThread.h"
#include "platform/Sync.h"

struct mosquitto;
struct mosquitto_message;

// Sends the program's events to an MQTT broker through libmosquitto: every event's JSON on
// "<prefix>/events" (QoS 1), the states a home automation system follows as retained "ON"/"OFF"
// messages (each zone's motion, the motion recording, the detection), the last snapshot's JPEG,
// the availability ("online", and "offline" as the last will and at the end), Home Assistant
// discovery, and "<prefix>/set/detection" commands that switch the detection.
//
// The connection runs on a thread of its own ("MqttClient") that drives mosquitto_loop and
// reconnects itself, with pauses growing from 1 s to 30 s, instead of mosquitto_loop_start:
// the library's own loop gives up for good after a TLS failure or an unknown host name, and its
// thread has no name. Deliver does not wait for the broker (only the program's first events
// wait up to 3 s for the first connection attempt): while the connection is down an event is
// dropped at once and its error says so, but the retained states are kept and sent again on
// every new connection. A failed connection is logged once until the kind of failure changes,
// and once more when the broker is back.
//
// Threads: Open, Deliver and Close run on the output's thread (the queue's); Run, the
// libmosquitto callbacks (but for the log callback, which runs where libmosquitto logs) and the
// detection handler on the MQTT thread.
// FPublishMutex guards the retained states (FZoneMotion ... FZonesAnnounced) and keeps the
// retained messages in the order their states changed (Deliver and Republish). It is held over
// mosquitto_publish and mosquitto_subscribe, which in threaded mode only queue the packet for
// the MQTT thread; the only callback they may call is OnLog, which takes FMutex alone.
// FMutex guards FConnected, FClosing and FLastError; it is taken last and never held over a
// libmosquitto call.
// The MQTT thread alone uses FConnack, FDisconnectResult, FJustConnected, FCommands, FReported.
class TMqttOutput : public TEventOutput {
public:
    TMqttOutput(TMqttSettings Settings, std::string Instance);
    ~TMqttOutput() override;
    TMqttOutput(const TMqttOutput&) = delete;
    TMqttOutput& operator=(const TMqttOutput&) = delete;

    // Called for each "ON" (true) or "OFF" (false) on "<prefix>/set/detection". Set before the
    // output is added; it runs on the MQTT thread, so it hands the change to its own thread.
    void SetDetectionHandler(std::function<void(bool On)> Handler);
    // The pause before the first new connection attempt, doubled after each failure up to
    // LongestMs. Set before the output is added (tests make them short).
    void SetReconnectPauses(uint32_t FirstMs, uint32_t LongestMs);

    // "MQTT broker HOST:PORT".
    std::string Name() const override;
    void Open() override;
    std::string Deliver(const TNotificationEvent& Event, TEvent& Stopping) override;
    // Says "offline", disconnects and ends the MQTT thread, within about a second.
    void Close() override;

    // The settings dialog's "Send test event": connects (waiting), publishes Event's JSON on
    // "<prefix>/events" with QoS 1, waits for the broker's acknowledgement and disconnects, all
    // within about TimeoutMs (a host name lookup excepted). Returns the empty text, or what went
    // wrong in plain words ("the broker refused the user name or password").
    static std::string SendTestEvent(const TMqttSettings& Settings, const std::string& Instance,
                                     const TNotificationEvent& Event, uint32_t TimeoutMs);

private:
    static constexpr int kKeepAliveSeconds = 30;
    // The longest the MQTT thread waits in mosquitto_loop; publishing wakes it sooner.
    static constexpr int kLoopWaitMs = 1000;
    static constexpr uint32_t kCloseWaitMs = 1000;
    // How long an event waits for the first connection attempt to end.
    static constexpr uint32_t kFirstAttemptWaitMs = 3000;
    // A bigger snapshot is not sent.
    static constexpr int64_t kMaxSnapshotBytes = 16 * 1024 * 1024;

    void Run();
    // Acts on what the callbacks of one mosquitto_loop call noted (a new connection, commands);
    // true when the broker has just accepted a connection.
    bool AfterLoop();
    void ReportFailure(const TMqttFailure& Failure);
    // Subscribes and sends the availability, the discovery configs and every retained state.
    void Republish();
    bool Connected() const;
    bool Publish(const TMqttMessage& Message, bool Retain);

    // Under FPublishMutex: takes the event into the retained states and returns the retained
    // messages that changed.
    std::vector<TMqttMessage> TakeEvent(const TNotificationEvent& Event,
                                        std::shared_ptr<const std::string> Picture);
    // Under FPublishMutex: the discovery configs and the removal of zones that went.
    std::vector<TMqttMessage> ZoneConfigs() const;
    std::shared_ptr<const std::string> ReadSnapshot(const std::string& Path) const;

    static void OnConnect(mosquitto* Client, void* Object, int Code);
    static void OnDisconnect(mosquitto* Client, void* Object, int Result);
    static void OnMessage(mosquitto* Client, void* Object, const mosquitto_message* Message);
    static void OnLog(mosquitto* Client, void* Object, int Level, const char* Text);

    const TMqttSettings FSettings;
    const std::string FInstance;
    const std::string FName;
    const TMqttTopics FTopics;
    const THomeAssistantDiscovery FDiscovery;
    std::function<void(bool On)> FDetectionHandler;
    uint32_t FFirstPauseMs = 1000;
    uint32_t FLongestPauseMs = 30000;

    // Output thread: the client (made in Open, destroyed in Close after the MQTT thread ended)
    // and why the output does nothing when it could not be set up.
    mosquitto* FClient = nullptr;
    std::string FIdleReason;

    mutable std::mutex FMutex;
    bool FConnected = false;  // the broker accepted the connection and it is not lost
    bool FClosing = false;    // Close has begun: no new connection attempts
    std::string FLastError;   // the last error line libmosquitto logged (OpenSSL's reasons)

    std::mutex FPublishMutex;
    std::map<int64_t, bool> FZoneMotion;
    std::optional<bool> FRecording;
    std::optional<bool> FDetection;
    std::shared_ptr<const std::string> FSnapshot;
    int64_t FZoneCount = 0;       // from the last detection_on
    int64_t FZonesAnnounced = 0;  // zones whose retained messages the broker may hold

    int FConnack = -1;
    int FDisconnectResult = 0;
    bool FJustConnected = false;
    std::vector<bool> FCommands;
    std::optional<TMqttFailure::TKind> FReported;  // the failure logged in this outage

    TEvent FStop{true, false};          // the MQTT thread ends
    TEvent FDisconnected{true, false};  // the connection ended (set by the MQTT thread)
    TEvent FFirstAttempt{true, false};  // the first connection attempt succeeded or failed
    TNamedThread FThread;
};
