// The settings dialog's "Send test event" for the MQTT output: one connection, one event, one
// acknowledgement, on the caller's thread and within a time-out.

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>

#include "notifications/MqttOutput.h"

namespace {

using TClock = std::chrono::steady_clock;

// What the callbacks of the one connection noted (all on the caller's thread).
struct TTestConnection {
    int Connack = -1;
    int Mid = -1;
    bool Acknowledged = false;
    bool Disconnected = false;
    std::string LastError;
};

void OnTestConnect(mosquitto* Client, void* Object, int Code) {
    static_cast<TTestConnection*>(Object)->Connack = Code;
}

void OnTestPublish(mosquitto* Client, void* Object, int Mid) {
    auto* connection = static_cast<TTestConnection*>(Object);
    if (Mid == connection->Mid) {
        connection->Acknowledged = true;
    }
}

void OnTestDisconnect(mosquitto* Client, void* Object, int Result) {
    static_cast<TTestConnection*>(Object)->Disconnected = true;
}

void OnTestLog(mosquitto* Client, void* Object, int Level, const char* Text) {
    if ((Level & MOSQ_LOG_ERR) != 0 && Text != nullptr) {
        static_cast<TTestConnection*>(Object)->LastError = Text;
    }
}

int RemainingMs(TClock::time_point Deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now()).count();
    return static_cast<int>(std::clamp<int64_t>(left, 0, 250));
}

// Runs the client until Done says so, the connection fails or the deadline passes; returns
// libmosquitto's last result and the errno that came with it.
template <typename Predicate>
int LoopUntil(mosquitto* Client, TClock::time_point Deadline, Predicate Done, int& Errno) {
    int result = MOSQ_ERR_SUCCESS;
    while (result == MOSQ_ERR_SUCCESS && !Done() && TClock::now() < Deadline) {
        errno = 0;
        result = mosquitto_loop(Client, std::max(RemainingMs(Deadline), 1), 1);
        Errno = errno;
    }
    return result;
}

}  // namespace

std::string TMqttOutput::SendTestEvent(const TMqttSettings& Settings, const std::string& Instance,
                                       const TNotificationEvent& Event, uint32_t TimeoutMs) {
    InitMosquittoLibrary();
    const auto deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
    const std::string address = MqttBrokerAddress(Settings);
    TTestConnection connection;
    std::unique_ptr<mosquitto, void (*)(mosquitto*)> client(
        mosquitto_new(nullptr, true, &connection), &mosquitto_destroy);
    if (!client) {
        return "the MQTT client cannot be created";
    }
    const std::string unusable = PrepareMqttClient(client.get(), Settings);
    if (!unusable.empty()) {
        return unusable;
    }
    mosquitto_connect_callback_set(client.get(), &OnTestConnect);
    mosquitto_publish_callback_set(client.get(), &OnTestPublish);
    mosquitto_disconnect_callback_set(client.get(), &OnTestDisconnect);
    mosquitto_log_callback_set(client.get(), &OnTestLog);

    const auto failure = [&](int Result, int Errno) {
        const TMqttFailure described = DescribeMqttFailure(
            Result, Errno, connection.Connack, connection.LastError, !Settings.User.empty());
        return described.Kind == TMqttFailure::TKind::Unreachable
                   ? "no broker answers at " + address + " (" + described.Text + ")"
                   : described.Text;
    };
    errno = 0;
    int result = mosquitto_connect_async(client.get(), Settings.Host.c_str(), Settings.Port,
                                         std::max<int>(5, static_cast<int>(TimeoutMs / 1000) + 1));
    int error = errno;
    if (result == MOSQ_ERR_SUCCESS) {
        result = LoopUntil(
            client.get(), deadline, [&] { return connection.Connack >= 0; }, error);
    }
    if (connection.Connack != 0) {
        if (result == MOSQ_ERR_SUCCESS && connection.Connack < 0) {
            return "no broker answers at " + address + " within " +
                   std::to_string((TimeoutMs + 999) / 1000) + " s";
        }
        return failure(result, error);
    }

    const std::string json = Event.Json();
    const TMqttTopics topics(Settings.TopicPrefix, Instance);
    result = mosquitto_publish(client.get(), &connection.Mid, topics.Events().c_str(),
                               static_cast<int>(json.size()), json.data(), 1, false);
    if (result == MOSQ_ERR_SUCCESS) {
        result = LoopUntil(
            client.get(), deadline, [&] { return connection.Acknowledged; }, error);
    }
    std::string outcome;
    if (!connection.Acknowledged) {
        outcome = result != MOSQ_ERR_SUCCESS ? failure(result, error)
                                             : "the broker did not confirm the event in time";
    }
    // A short while for the DISCONNECT to go out; the broker copes without it.
    if (mosquitto_disconnect(client.get()) == MOSQ_ERR_SUCCESS) {
        const auto bye = std::min(deadline, TClock::now() + std::chrono::milliseconds(200));
        LoopUntil(
            client.get(), bye, [&] { return connection.Disconnected; }, error);
    }
    return outcome;
}
