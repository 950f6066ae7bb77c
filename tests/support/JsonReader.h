#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A strict reader of JSON text for tests that check what the program writes: anything that is
// not exactly one well-formed JSON value (trailing commas, bad escapes, text after the value)
// is refused.
struct JsonValue {
    enum class TKind { Null, Bool, Number, String, Array, Object };
    TKind Kind = TKind::Null;
    bool Bool = false;
    double Number = 0;
    std::string String;
    std::vector<JsonValue> Items;
    std::vector<std::pair<std::string, JsonValue>> Members;  // in order, as written

    const JsonValue* Find(std::string_view Key) const {
        for (const auto& [key, value] : Members) {
            if (key == Key) {
                return &value;
            }
        }
        return nullptr;
    }
    // The string member Key, or "" when it is missing or not a string.
    std::string Text(std::string_view Key) const {
        const JsonValue* value = Find(Key);
        return value != nullptr && value->Kind == TKind::String ? value->String : std::string();
    }
};

class JsonReader {
public:
    // The value Text holds, or nothing when it is not valid JSON.
    static std::optional<JsonValue> Parse(std::string_view Text) {
        JsonReader reader(Text);
        JsonValue value;
        if (!reader.Value(value, 0)) {
            return std::nullopt;
        }
        reader.Space();
        if (reader.FAt != Text.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    explicit JsonReader(std::string_view Text) : FText(Text) {}

    void Space() {
        while (FAt < FText.size() && (FText[FAt] == ' ' || FText[FAt] == '\t' ||
                                      FText[FAt] == '\n' || FText[FAt] == '\r')) {
            ++FAt;
        }
    }
    bool Take(char C) {
        Space();
        if (FAt < FText.size() && FText[FAt] == C) {
            ++FAt;
            return true;
        }
        return false;
    }
    bool Word(std::string_view W) {
        if (FText.substr(FAt, W.size()) == W) {
            FAt += W.size();
            return true;
        }
        return false;
    }

    bool Value(JsonValue& Out, int Depth) {
        if (Depth > 64) {
            return false;
        }
        Space();
        if (FAt >= FText.size()) {
            return false;
        }
        const char c = FText[FAt];
        if (c == '{') {
            ++FAt;
            Out.Kind = JsonValue::TKind::Object;
            if (Take('}')) {
                return true;
            }
            do {
                std::string key;
                JsonValue member;
                Space();
                if (!String(key) || !Take(':') || !Value(member, Depth + 1)) {
                    return false;
                }
                Out.Members.emplace_back(std::move(key), std::move(member));
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            ++FAt;
            Out.Kind = JsonValue::TKind::Array;
            if (Take(']')) {
                return true;
            }
            do {
                JsonValue item;
                if (!Value(item, Depth + 1)) {
                    return false;
                }
                Out.Items.push_back(std::move(item));
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            Out.Kind = JsonValue::TKind::String;
            return String(Out.String);
        }
        if (Word("true") || Word("false")) {
            Out.Kind = JsonValue::TKind::Bool;
            Out.Bool = FText[FAt - 4] == 't';
            return true;
        }
        if (Word("null")) {
            return true;
        }
        return Number(Out);
    }

    bool Number(JsonValue& Out) {
        const size_t start = FAt;
        auto digits = [&] {
            const size_t from = FAt;
            while (FAt < FText.size() && FText[FAt] >= '0' && FText[FAt] <= '9') {
                ++FAt;
            }
            return FAt > from;
        };
        if (FAt < FText.size() && FText[FAt] == '-') {
            ++FAt;
        }
        if (FAt < FText.size() && FText[FAt] == '0') {
            ++FAt;
        } else if (!digits()) {
            return false;
        }
        if (FAt < FText.size() && FText[FAt] == '.') {
            ++FAt;
            if (!digits()) {
                return false;
            }
        }
        if (FAt < FText.size() && (FText[FAt] == 'e' || FText[FAt] == 'E')) {
            ++FAt;
            if (FAt < FText.size() && (FText[FAt] == '+' || FText[FAt] == '-')) {
                ++FAt;
            }
            if (!digits()) {
                return false;
            }
        }
        Out.Kind = JsonValue::TKind::Number;
        Out.Number = std::strtod(std::string(FText.substr(start, FAt - start)).c_str(), nullptr);
        return true;
    }

    bool Hex4(uint32_t& Code) {
        if (FAt + 4 > FText.size()) {
            return false;
        }
        Code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = FText[FAt++];
            Code <<= 4;
            if (h >= '0' && h <= '9') {
                Code |= static_cast<uint32_t>(h - '0');
            } else if (h >= 'a' && h <= 'f') {
                Code |= static_cast<uint32_t>(h - 'a' + 10);
            } else if (h >= 'A' && h <= 'F') {
                Code |= static_cast<uint32_t>(h - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    static void AppendUtf8(std::string& Out, uint32_t Code) {
        if (Code < 0x80) {
            Out += static_cast<char>(Code);
        } else if (Code < 0x800) {
            Out += static_cast<char>(0xC0 | (Code >> 6));
            Out += static_cast<char>(0x80 | (Code & 0x3F));
        } else if (Code < 0x10000) {
            Out += static_cast<char>(0xE0 | (Code >> 12));
            Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
            Out += static_cast<char>(0x80 | (Code & 0x3F));
        } else {
            Out += static_cast<char>(0xF0 | (Code >> 18));
            Out += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
            Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
            Out += static_cast<char>(0x80 | (Code & 0x3F));
        }
    }

    bool String(std::string& Out) {
        if (FAt >= FText.size() || FText[FAt] != '"') {
            return false;
        }
        ++FAt;
        while (FAt < FText.size()) {
            const char c = FText[FAt++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return false;
            }
            if (c != '\\') {
                Out += c;
                continue;
            }
            if (FAt >= FText.size()) {
                return false;
            }
            const char e = FText[FAt++];
            switch (e) {
                case '"':
                    Out += '"';
                    break;
                case '\\':
                    Out += '\\';
                    break;
                case '/':
                    Out += '/';
                    break;
                case 'b':
                    Out += '\b';
                    break;
                case 'f':
                    Out += '\f';
                    break;
                case 'n':
                    Out += '\n';
                    break;
                case 'r':
                    Out += '\r';
                    break;
                case 't':
                    Out += '\t';
                    break;
                case 'u': {
                    uint32_t code = 0;
                    if (!Hex4(code)) {
                        return false;
                    }
                    if (code >= 0xD800 && code < 0xDC00) {
                        uint32_t low = 0;
                        if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low >= 0xE000) {
                            return false;
                        }
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    }
                    AppendUtf8(Out, code);
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    }

    std::string_view FText;
    size_t FAt = 0;
};
