#pragma once

#include <cstdint>
#include <string>

// Formats a zone identifier pattern with its one integer argument, the way the program's
// format routine does: "%%" is a percent sign; a directive is "%" [index ":"] ["-"] [width]
// ["." precision] type, and only the integer types d, u and x fit the argument. Returns false,
// leaving Result alone, when the pattern asks for anything else (a second argument, another
// type, an unfinished directive).
bool FormatObjectID(const std::string& Pattern, int32_t Value, std::string& Result);
