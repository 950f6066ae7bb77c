#pragma once

#include <string>

#include "notifications/NotificationSettings.h"

struct mosquitto;

// What the MQTT output and the "Send test event" check share about a libmosquitto client:
// starting the library, the options taken from the settings, and what a failed connection
// means in plain words.

// mosquitto_lib_init, once per process whichever thread comes first.
void InitMosquittoLibrary();

// "HOST:PORT" ("[::1]:1883" for an IPv6 address), as log lines and messages name the broker.
std::string MqttBrokerAddress(const TMqttSettings& Settings);

// Sets the user name and password and, with TLS, the certificate authorities and a verified
// broker certificate. Returns the empty text, or why the client cannot be used (no host, a CA
// file that cannot be read); never holds the password.
std::string PrepareMqttClient(mosquitto* Client, const TMqttSettings& Settings);

// Why a connection attempt failed or a connection ended.
struct TMqttFailure {
    enum class TKind {
        Unreachable,  // nothing answers, the host name is unknown, the connection was lost
        Credentials,  // the broker refused the user name or password
        Certificate,  // the broker's certificate is not trusted
        Other,        // another TLS failure, a refusal for another reason
    };
    TKind Kind = TKind::Other;
    // Plain words: "the broker refused the user name or password", ...; for Unreachable the
    // cause alone ("connection refused"), said after "not reachable".
    std::string Text;
};

// Result is what libmosquitto returned (connect, loop), Errno the errno right after it,
// Connack the broker's CONNACK code (-1 when none came), TlsError the last error line
// libmosquitto logged (OpenSSL's text), HaveUser whether a user name was sent.
TMqttFailure DescribeMqttFailure(int Result, int Errno, int Connack, const std::string& TlsError,
                                 bool HaveUser);
