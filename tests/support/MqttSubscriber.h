#pragma once

#include <mosquitto.h>
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct MqttSubscriberOptions {
    std::string Filter = "#";
    std::string User = {};  // with its password, when the broker wants one
    std::string Password = {};
    std::string CaFile = {};  // not empty: TLS, the broker's certificate signed by this authority
};

// A test's own MQTT client on a broker at 127.0.0.1: it subscribes to a topic filter ("#" for
// everything) and collects every message with its topic, payload and retain flag. Connected
// and subscribed when the constructor returns, so retained messages arrive first of all.
class MqttSubscriber {
public:
    struct TMessage {
        std::string Topic;
        std::string Payload;
        bool Retained = false;
    };

    explicit MqttSubscriber(int Port, MqttSubscriberOptions Options = {})
        : FFilter(Options.Filter) {
        mosquitto_lib_init();
        FClient = mosquitto_new(nullptr, true, this);
        if (!Options.User.empty()) {
            mosquitto_username_pw_set(FClient, Options.User.c_str(), Options.Password.c_str());
        }
        if (!Options.CaFile.empty()) {
            mosquitto_tls_set(FClient, Options.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        }
        mosquitto_connect_callback_set(FClient, [](mosquitto* Client, void* Object, int Code) {
            // Names libmosquitto's thread, which runs the callbacks.
            pthread_setname_np(pthread_self(), "MqttSubscriber");
            auto* self = static_cast<MqttSubscriber*>(Object);
            if (Code == 0) {
                mosquitto_subscribe(Client, nullptr, self->FFilter.c_str(), 1);
            }
        });
        mosquitto_subscribe_callback_set(FClient,
                                         [](mosquitto*, void* Object, int, int, const int*) {
                                             auto* self = static_cast<MqttSubscriber*>(Object);
                                             std::lock_guard lock(self->FMutex);
                                             self->FSubscribed = true;
                                             self->FChanged.notify_all();
                                         });
        mosquitto_message_callback_set(
            FClient, [](mosquitto*, void* Object, const mosquitto_message* Message) {
                auto* self = static_cast<MqttSubscriber*>(Object);
                std::lock_guard lock(self->FMutex);
                self->FMessages.push_back({Message->topic,
                                           std::string(static_cast<const char*>(Message->payload),
                                                       static_cast<size_t>(Message->payloadlen)),
                                           Message->retain});
                self->FChanged.notify_all();
            });
        if (mosquitto_connect(FClient, "127.0.0.1", Port, 30) != MOSQ_ERR_SUCCESS ||
            mosquitto_loop_start(FClient) != MOSQ_ERR_SUCCESS) {
            mosquitto_destroy(FClient);
            throw std::runtime_error("the test subscriber cannot connect");
        }
        std::unique_lock lock(FMutex);
        if (!FChanged.wait_for(lock, std::chrono::seconds(5), [this] { return FSubscribed; })) {
            lock.unlock();
            Stop();
            throw std::runtime_error("the test subscriber is not subscribed");
        }
    }
    ~MqttSubscriber() { Stop(); }
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    std::vector<TMessage> Messages() const {
        std::lock_guard lock(FMutex);
        return FMessages;
    }
    std::vector<TMessage> On(const std::string& Topic) const {
        std::vector<TMessage> found;
        for (const TMessage& message : Messages()) {
            if (message.Topic == Topic) {
                found.push_back(message);
            }
        }
        return found;
    }
    // The last message on Topic.
    std::optional<TMessage> Last(const std::string& Topic) const {
        const std::vector<TMessage> found = On(Topic);
        return found.empty() ? std::nullopt : std::optional<TMessage>(found.back());
    }
    // Waits until Done says yes to the messages so far; false after TimeoutMs.
    bool WaitFor(const std::function<bool(const std::vector<TMessage>&)>& Done,
                 uint32_t TimeoutMs = 5000) const {
        std::unique_lock lock(FMutex);
        return FChanged.wait_for(lock, std::chrono::milliseconds(TimeoutMs),
                                 [&] { return Done(FMessages); });
    }
    // Waits until the last message on Topic is Payload.
    bool WaitForLast(const std::string& Topic, const std::string& Payload,
                     uint32_t TimeoutMs = 5000) const {
        return WaitFor(
            [&](const std::vector<TMessage>& Messages) {
                for (auto it = Messages.rbegin(); it != Messages.rend(); ++it) {
                    if (it->Topic == Topic) {
                        return it->Payload == Payload;
                    }
                }
                return false;
            },
            TimeoutMs);
    }
    void Clear() {
        std::lock_guard lock(FMutex);
        FMessages.clear();
    }
    // Publishes with QoS 1.
    void Publish(const std::string& Topic, const std::string& Payload, bool Retain = false) {
        mosquitto_publish(FClient, nullptr, Topic.c_str(), static_cast<int>(Payload.size()),
                          Payload.data(), 1, Retain);
    }

private:
    void Stop() {
        if (FClient != nullptr) {
            mosquitto_disconnect(FClient);
            mosquitto_loop_stop(FClient, true);
            mosquitto_destroy(FClient);
            FClient = nullptr;
        }
    }

    mosquitto* FClient = nullptr;
    std::string FFilter;
    mutable std::mutex FMutex;
    mutable std::condition_variable FChanged;
    bool FSubscribed = false;
    std::vector<TMessage> FMessages;
};
