#include "notifications/MqttClient.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// OpenSSL's SSL_VERIFY_PEER, as mosquitto_tls_opts_set takes it (the only OpenSSL value used
// here, so its headers are not needed).
constexpr int kVerifyPeer = 1;

}  // namespace

void InitMosquittoLibrary() {
    static std::once_flag once;
    // Never cleaned up: outputs come and go while the program runs.
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string MqttBrokerAddress(const TMqttSettings& Settings) {
    const bool ipv6 = Settings.Host.find(':') != std::string::npos;
    return (ipv6 ? "[" + Settings.Host + "]" : Settings.Host) + ":" + std::to_string(Settings.Port);
}

std::string PrepareMqttClient(mosquitto* Client, const TMqttSettings& Settings) {
    if (Settings.Host.empty()) {
        return "no broker host is set";
    }
    if (Settings.Port <= 0 || Settings.Port > 65535) {
        return "the port " + std::to_string(Settings.Port) + " is not valid";
    }
    if (!Settings.User.empty() &&
        mosquitto_username_pw_set(
            Client, Settings.User.c_str(),
            Settings.Password.empty() ? nullptr : Settings.Password.c_str()) != MOSQ_ERR_SUCCESS) {
        return "the user name cannot be used";
    }
    if (!Settings.Tls) {
        return {};
    }
    // libmosquitto only says "invalid" for a CA file it cannot open: the cause is found here.
    if (!Settings.CaFile.empty()) {
        FILE* file = std::fopen(Settings.CaFile.c_str(), "r");
        if (file == nullptr) {
            return "the CA file " + Settings.CaFile + " cannot be read (" + std::strerror(errno) +
                   ")";
        }
        std::fclose(file);
    }
    const char* caFile = Settings.CaFile.empty() ? nullptr : Settings.CaFile.c_str();
    const char* caPath = Settings.CaFile.empty() ? "/etc/ssl/certs" : nullptr;
    if (mosquitto_tls_set(Client, caFile, caPath, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS ||
        mosquitto_tls_opts_set(Client, kVerifyPeer, nullptr, nullptr) != MOSQ_ERR_SUCCESS ||
        mosquitto_tls_insecure_set(Client, false) != MOSQ_ERR_SUCCESS) {
        return Settings.CaFile.empty() ? std::string("TLS cannot be set up")
                                       : "the CA file " + Settings.CaFile + " cannot be used";
    }
    return {};
}

namespace {

std::string LowerFirst(std::string Text) {
    if (!Text.empty() && Text[0] >= 'A' && Text[0] <= 'Z') {
        Text[0] = static_cast<char>(Text[0] - 'A' + 'a');
    }
    return Text;
}

// OpenSSL's reason from libmosquitto's line "OpenSSL Error[0]: error:0A000086:SSL
// routines::certificate verify failed".
std::string OpenSslReason(const std::string& Line) {
    const size_t colon = Line.rfind(':');
    return colon == std::string::npos ? Line : Line.substr(colon + 1);
}

}  // namespace

TMqttFailure DescribeMqttFailure(int Result, int Errno, int Connack, const std::string& TlsError,
                                 bool HaveUser) {
    using TKind = TMqttFailure::TKind;
    if (Connack > 0) {
        switch (Connack) {
            case 4:  // bad user name or password
                return {TKind::Credentials, "the broker refused the user name or password"};
            case 5:  // not authorised
                return {TKind::Credentials, HaveUser
                                                ? "the broker refused the user name or password"
                                                : "the broker wants a user name and password"};
            default:
                return {TKind::Other, "the broker refused the connection (" +
                                          LowerFirst(mosquitto_connack_string(Connack)) + ")"};
        }
    }
    switch (Result) {
        case MOSQ_ERR_TLS:
        case MOSQ_ERR_TLS_HANDSHAKE:
            if (TlsError.find("certificate verify failed") != std::string::npos) {
                return {TKind::Certificate, "the broker's certificate is not trusted"};
            }
            return {TKind::Other, TlsError.empty() ? std::string("the TLS connection failed")
                                                   : "the TLS connection failed (" +
                                                         OpenSslReason(TlsError) + ")"};
        case MOSQ_ERR_EAI:
        case MOSQ_ERR_LOOKUP:
            return {TKind::Unreachable, "the host name is not known"};
        case MOSQ_ERR_ERRNO:
            return {TKind::Unreachable, LowerFirst(std::strerror(Errno != 0 ? Errno : EIO))};
        case MOSQ_ERR_CONN_LOST:
        case MOSQ_ERR_NO_CONN:
            return {TKind::Unreachable, "the connection was lost"};
        case MOSQ_ERR_KEEPALIVE:
        case MOSQ_ERR_TIMEOUT:
            return {TKind::Unreachable, "no answer in time"};
        case MOSQ_ERR_CONN_REFUSED:
            return {TKind::Other, "the broker refused the connection"};
        default:
            return {TKind::Other, LowerFirst(mosquitto_strerror(Result))};
    }
}
