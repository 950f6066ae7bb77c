#include "notifications/MqttUrl.h"

#include <cstdint>

namespace {

constexpr int32_t kMqttPort = 1883;
constexpr int32_t kMqttsPort = 8883;
constexpr size_t kMaxHostLength = 253;
// The longest IPv6 address text ("ffff:...:255.255.255.255").
constexpr size_t kMaxIpv6Length = 45;

char Lower(char C) {
    return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
}

bool StartsWithNoCase(std::string_view Text, std::string_view Start) {
    if (Text.size() < Start.size()) {
        return false;
    }
    for (size_t i = 0; i < Start.size(); ++i) {
        if (Lower(Text[i]) != Start[i]) {
            return false;
        }
    }
    return true;
}

int HexValue(char C) {
    if (C >= '0' && C <= '9') {
        return C - '0';
    }
    if (C >= 'a' && C <= 'f') {
        return C - 'a' + 10;
    }
    if (C >= 'A' && C <= 'F') {
        return C - 'A' + 10;
    }
    return -1;
}

bool IsDigit(char C) {
    return C >= '0' && C <= '9';
}

// "%XY" becomes the byte 0xXY; a "%" not followed by two hex digits, or a NUL byte, is refused.
bool PercentDecode(std::string_view Text, std::string& Decoded, const char* What,
                   std::string& Error) {
    for (char c : Text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            Error = std::string("the ") + What +
                    " in the MQTT address holds a control character; write it as %XX";
            return false;
        }
    }
    Decoded.clear();
    Decoded.reserve(Text.size());
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] != '%') {
            Decoded += Text[i];
            continue;
        }
        const int high = i + 1 < Text.size() ? HexValue(Text[i + 1]) : -1;
        const int low = i + 2 < Text.size() ? HexValue(Text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            Error = std::string("the ") + What +
                    " in the MQTT address has a \"%\" that is not followed by two hex digits";
            return false;
        }
        const char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0') {
            Error = std::string("the ") + What + " in the MQTT address may not hold %00";
            return false;
        }
        Decoded += byte;
        i += 2;
    }
    return true;
}

bool IsHostNameCharacter(char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || IsDigit(C) || C == '-' ||
           C == '.' || C == '_';
}

bool IsIpv6Character(char C) {
    return IsDigit(C) || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F') || C == ':' || C == '.';
}

// 1 to 65535, decimal digits only.
bool ParsePort(std::string_view Text, int32_t& Port, std::string& Error) {
    if (Text.empty() || Text.size() > 5) {
        Error = "the port in the MQTT address must be a number from 1 to 65535";
        return false;
    }
    int32_t value = 0;
    for (char c : Text) {
        if (!IsDigit(c)) {
            Error = "the port in the MQTT address must be a number from 1 to 65535";
            return false;
        }
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) {
        Error = "the port in the MQTT address must be a number from 1 to 65535";
        return false;
    }
    Port = value;
    return true;
}

// HOST[:PORT] or [IPV6][:PORT].
bool ParseHostAndPort(std::string_view Text, std::string& Host, int32_t& Port,
                      std::string& Error) {
    std::string_view host;
    std::string_view rest;
    if (!Text.empty() && Text.front() == '[') {
        const size_t close = Text.find(']');
        if (close == std::string_view::npos) {
            Error = "the IPv6 address in the MQTT address has no closing \"]\"";
            return false;
        }
        host = Text.substr(1, close - 1);
        rest = Text.substr(close + 1);
        if (host.empty() || host.size() > kMaxIpv6Length ||
            host.find(':') == std::string_view::npos) {
            Error = "the MQTT address has no valid IPv6 address between \"[\" and \"]\"";
            return false;
        }
        for (char c : host) {
            if (!IsIpv6Character(c)) {
                Error = "the MQTT address has no valid IPv6 address between \"[\" and \"]\"";
                return false;
            }
        }
        if (!rest.empty() && rest.front() != ':') {
            Error = "the MQTT address has something other than \":PORT\" after its IPv6 address";
            return false;
        }
    } else {
        const size_t colon = Text.find(':');
        host = Text.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : Text.substr(colon);
        if (host.empty()) {
            Error = "the MQTT address names no host";
            return false;
        }
        if (host.size() > kMaxHostLength) {
            Error = "the host name in the MQTT address is longer than 253 characters";
            return false;
        }
        for (char c : host) {
            if (!IsHostNameCharacter(c)) {
                Error = "the host in the MQTT address may hold only letters, digits, \"-\", \"_\" "
                        "and \".\" (an IPv6 address goes in brackets: [::1])";
                return false;
            }
        }
    }
    if (!rest.empty() && !ParsePort(rest.substr(1), Port, Error)) {
        return false;
    }
    Host = std::string(host);
    return true;
}

}  // namespace

bool ParseMqttUrl(std::string_view Url, TMqttSettings& Settings, std::string& Error) {
    if (Url.size() > kMaxMqttUrlLength) {
        Error = "the MQTT address is longer than " + std::to_string(kMaxMqttUrlLength) +
                " characters";
        return false;
    }
    TMqttSettings parsed = Settings;
    std::string_view rest;
    if (StartsWithNoCase(Url, "mqtts://")) {
        parsed.Tls = true;
        parsed.Port = kMqttsPort;
        rest = Url.substr(8);
    } else if (StartsWithNoCase(Url, "mqtt://")) {
        parsed.Tls = false;
        parsed.Port = kMqttPort;
        rest = Url.substr(7);
    } else {
        Error = "the MQTT address must start with mqtt:// or mqtts://";
        return false;
    }

    const size_t slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    std::string_view path = slash == std::string_view::npos ? std::string_view()
                                                            : rest.substr(slash + 1);

    // The user information ends at the last "@": a password may hold a bare "@".
    parsed.User.clear();
    parsed.Password.clear();
    std::string_view hostPort = authority;
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        hostPort = authority.substr(at + 1);
        const size_t colon = userInfo.find(':');
        if (!PercentDecode(userInfo.substr(0, colon), parsed.User, "user name", Error)) {
            return false;
        }
        if (colon != std::string_view::npos &&
            !PercentDecode(userInfo.substr(colon + 1), parsed.Password, "password", Error)) {
            return false;
        }
        if (parsed.User.empty() && !parsed.Password.empty()) {
            Error = "the MQTT address has a password but no user name";
            return false;
        }
    }
    if (!ParseHostAndPort(hostPort, parsed.Host, parsed.Port, Error)) {
        return false;
    }

    while (!path.empty() && path.front() == '/') {
        path.remove_prefix(1);
    }
    while (!path.empty() && path.back() == '/') {
        path.remove_suffix(1);
    }
    for (char c : path) {
        if (c == '+' || c == '#') {
            Error = "the topic prefix in the MQTT address may not hold \"+\" or \"#\"";
            return false;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            Error = "the topic prefix in the MQTT address holds a control character";
            return false;
        }
    }
    parsed.TopicPrefix = std::string(path);
    parsed.Enabled = true;
    Settings = std::move(parsed);
    return true;
}
