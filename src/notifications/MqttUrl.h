#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "notifications/NotificationSettings.h"

// The longest MQTT address taken (bytes); a longer one is refused before it is looked at.
constexpr size_t kMaxMqttUrlLength = 4096;

// Reads a broker address, mqtt[s]://[USER[:PASSWORD]@]HOST[:PORT][/PREFIX], into Settings:
// Enabled (true), Host, Port, Tls, User, Password and TopicPrefix; CaFile, Discovery and
// DiscoveryPrefix stay as they are.
//
// - The scheme is mqtt or mqtts (any case); mqtts means TLS and port 8883 by default, mqtt
//   port 1883.
// - User and password are percent-decoded ("%40" is "@"); a password needs a user, and neither
//   may decode to a NUL byte.
// - HOST is a name or IPv4 address of letters, digits, "-", "_" and ".", or an IPv6 address in
//   brackets ("[::1]", kept without them). PORT is 1 to 65535.
// - PREFIX is the topic prefix, taken as typed (not decoded) without the slashes at its ends;
//   it may not hold the MQTT wildcards "+" and "#" nor control characters.
//
// Returns false with the reason in plain words in Error (which never repeats the password)
// and Settings untouched. Total: any input gives one of the two, in time and memory linear in
// its length.
bool ParseMqttUrl(std::string_view Url, TMqttSettings& Settings, std::string& Error);
