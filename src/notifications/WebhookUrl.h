#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest webhook address taken (bytes).
constexpr size_t kMaxWebhookUrlLength = 4096;

// Whether Url can be a webhook's address: http:// or https:// (any case), a host (a name or an
// IPv6 address in brackets), an optional port from 1 to 65535, then a path and query of
// printable characters without blanks. False with the reason in plain words in Error, which
// never repeats the address (it may carry a secret). Total, linear in the length.
bool CheckWebhookUrl(std::string_view Url, std::string& Error);
