#include "notifications/CommandText.h"

namespace {

bool IsBlank(char C) {
    return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\v' || C == '\f';
}

// Characters that need no quotes in a word.
bool IsPlain(char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') ||
           static_cast<unsigned char>(C) >= 0x80 || C == '_' || C == '@' || C == '%' ||
           C == '+' || C == '=' || C == ':' || C == ',' || C == '.' || C == '/' || C == '-';
}

}  // namespace

bool SplitCommandText(std::string_view Text, std::vector<std::string>& Words, std::string& Error) {
    Words.clear();
    if (Text.find('\0') != std::string_view::npos) {
        Error = "the command holds a NUL character";
        return false;
    }
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;  // also true for a word that is only "" or ''
    size_t i = 0;
    while (i < Text.size()) {
        const char c = Text[i];
        if (IsBlank(c)) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            ++i;
        } else if (c == '\'') {
            const size_t close = Text.find('\'', i + 1);
            if (close == std::string_view::npos) {
                Error = "the command has a single quote (') that is not closed";
                return false;
            }
            word.append(Text.substr(i + 1, close - i - 1));
            inWord = true;
            i = close + 1;
        } else if (c == '"') {
            inWord = true;
            ++i;
            bool closed = false;
            while (i < Text.size()) {
                const char d = Text[i];
                if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < Text.size() &&
                    (Text[i + 1] == '"' || Text[i + 1] == '\\' || Text[i + 1] == '$' ||
                     Text[i + 1] == '`')) {
                    word += Text[i + 1];
                    i += 2;
                } else {
                    word += d;
                    ++i;
                }
            }
            if (!closed) {
                Error = "the command has a double quote (\") that is not closed";
                return false;
            }
        } else if (c == '\\') {
            if (i + 1 == Text.size()) {
                Error = "the command ends with a backslash (\\) that stands for nothing";
                return false;
            }
            word += Text[i + 1];
            inWord = true;
            i += 2;
        } else {
            word += c;
            inWord = true;
            ++i;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    Words = std::move(words);
    return true;
}

std::string JoinCommandText(const std::vector<std::string>& Words) {
    std::string text;
    for (const std::string& word : Words) {
        if (!text.empty()) {
            text += ' ';
        }
        bool plain = !word.empty();
        for (char c : word) {
            plain = plain && IsPlain(c);
        }
        if (plain) {
            text += word;
            continue;
        }
        text += '\'';
        for (char c : word) {
            if (c == '\'') {
                text += "'\\''";
            } else if (c != '\0') {
                text += c;
            }
        }
        text += '\'';
    }
    return text;
}
