#include "zones/ObjectIDFormat.h"

#include <cctype>
#include <cstdio>
#include <utility>

namespace {

bool ReadNumber(const std::string& s, size_t& i, int& value) {
    const size_t start = i;
    value = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        value = value * 10 + (s[i] - '0');
        if (value > 100000) {
            return false;
        }
        ++i;
    }
    return i > start;
}

}  // namespace

bool FormatObjectID(const std::string& Pattern, int32_t Value, std::string& Result) {
    std::string out;
    int nextArgument = 0;
    size_t i = 0;
    while (i < Pattern.size()) {
        const char c = Pattern[i++];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i < Pattern.size() && Pattern[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // Optional argument index "n:".
        int number = 0;
        size_t mark = i;
        if (ReadNumber(Pattern, i, number) && i < Pattern.size() && Pattern[i] == ':') {
            nextArgument = number;
            ++i;
        } else {
            i = mark;
        }
        bool leftAlign = false;
        if (i < Pattern.size() && Pattern[i] == '-') {
            leftAlign = true;
            ++i;
        }
        int width = 0;
        ReadNumber(Pattern, i, width);
        int precision = -1;
        if (i < Pattern.size() && Pattern[i] == '.') {
            ++i;
            if (!ReadNumber(Pattern, i, precision)) {
                return false;
            }
        }
        if (i >= Pattern.size()) {
            return false;
        }
        const char type = static_cast<char>(std::tolower(static_cast<unsigned char>(Pattern[i++])));
        if (nextArgument != 0) {
            return false;  // only one argument exists
        }
        ++nextArgument;

        std::string digits;
        char buffer[32];
        switch (type) {
            case 'd':
                std::snprintf(
                    buffer, sizeof buffer, "%lld",
                    Value < 0 ? -static_cast<long long>(Value) : static_cast<long long>(Value));
                break;
            case 'u':
                std::snprintf(buffer, sizeof buffer, "%u", static_cast<uint32_t>(Value));
                break;
            case 'x':
                std::snprintf(buffer, sizeof buffer, "%X", static_cast<uint32_t>(Value));
                break;
            default:
                return false;
        }
        digits = buffer;
        // The precision is a minimum number of digits.
        if (precision > 0 && static_cast<int>(digits.size()) < precision) {
            digits.insert(0, precision - digits.size(), '0');
        }
        if (type == 'd' && Value < 0) {
            digits.insert(0, 1, '-');
        }
        if (static_cast<int>(digits.size()) < width) {
            const std::string pad(width - digits.size(), ' ');
            digits = leftAlign ? digits + pad : pad + digits;
        }
        out += digits;
    }
    Result = std::move(out);
    return true;
}
