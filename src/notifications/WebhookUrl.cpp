#include "notifications/WebhookUrl.h"

namespace {

bool StartsWithNoCase(std::string_view Text, std::string_view Start) {
    if (Text.size() < Start.size()) {
        return false;
    }
    for (size_t i = 0; i < Start.size(); ++i) {
        char c = Text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != Start[i]) {
            return false;
        }
    }
    return true;
}

bool IsDigit(char C) {
    return C >= '0' && C <= '9';
}

}  // namespace

bool CheckWebhookUrl(std::string_view Url, std::string& Error) {
    if (Url.size() > kMaxWebhookUrlLength) {
        Error = "the webhook address is longer than " + std::to_string(kMaxWebhookUrlLength) +
                " characters";
        return false;
    }
    std::string_view rest;
    if (StartsWithNoCase(Url, "https://")) {
        rest = Url.substr(8);
    } else if (StartsWithNoCase(Url, "http://")) {
        rest = Url.substr(7);
    } else {
        Error = "the webhook address must start with http:// or https://";
        return false;
    }
    for (char c : rest) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) {
            Error = "the webhook address may not hold blanks or control characters (write a "
                    "blank as %20)";
            return false;
        }
    }
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    bool hasPort = false;
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos || close == 1) {
            Error = "the webhook address has no valid IPv6 address between \"[\" and \"]\"";
            return false;
        }
        host = authority.substr(1, close - 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after.front() != ':') {
            Error = "the webhook address has something other than \":PORT\" after its host";
            return false;
        }
        hasPort = !after.empty();
        port = hasPort ? after.substr(1) : after;
    } else if (const size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        hasPort = true;
        port = authority.substr(colon + 1);
    }
    if (host.empty()) {
        Error = "the webhook address names no host";
        return false;
    }
    if (hasPort) {
        int value = 0;
        bool valid = !port.empty() && port.size() <= 5;
        for (char c : port) {
            valid = valid && IsDigit(c);
            if (valid) {
                value = value * 10 + (c - '0');
            }
        }
        if (!valid || value < 1 || value > 65535) {
            Error = "the port in the webhook address must be a number from 1 to 65535";
            return false;
        }
    }
    return true;
}
