#pragma once

#include <initializer_list>
#include <string>

#include "localisation/TandrelTexts.h"

// Language tests share the process-wide table: each one puts the English texts back at the end.
class CurrentTextsRestorer {
public:
    CurrentTextsRestorer() = default;
    ~CurrentTextsRestorer() { CurrentTexts = DefaultTexts; }
    CurrentTextsRestorer(const CurrentTextsRestorer&) = delete;
    CurrentTextsRestorer& operator=(const CurrentTextsRestorer&) = delete;
};

// The lines joined with CR LF, each one ended, as a Windows editor saves them.
inline std::string CrLfText(std::initializer_list<std::string> Lines) {
    std::string text;
    for (const std::string& line : Lines) {
        text += line + "\r\n";
    }
    return text;
}
