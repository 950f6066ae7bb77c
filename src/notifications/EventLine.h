#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/DateTime.h"

// One event of a headless run as a line of JSON: {"event":"...","time":"...",...}. Values are
// added in order; texts are escaped as JSON requires.
class TEventLine {
public:
    // The event's name and the local time it happened.
    TEventLine(std::string_view Event, TDateTime Time);

    TEventLine& Add(std::string_view Key, int64_t Value);
    TEventLine& Add(std::string_view Key, double Value);
    TEventLine& Add(std::string_view Key, std::string_view Value);

    // The finished object, without a line end.
    std::string Text() const { return FText + "}"; }

    // Writes the line and its line end to standard output in one piece, so lines from several
    // threads never mix, and unbuffered, so a reader sees each event at once.
    void Write() const;

private:
    void AddKey(std::string_view Key);
    std::string FText;
};

// A number as JSON writes it ("null" for infinity and NaN), with a point whatever the locale.
std::string JsonNumber(double Value);

// Writes Json and a line end to standard output in one piece and unbuffered. Once standard
// output is gone (its reader closed the pipe) nothing more is written, said once in the log;
// false then.
bool WriteJsonLine(std::string_view Json);

// "2026-12-10T14:03:07.250": local time, ISO 8601, with milliseconds.
std::string IsoLocalTime(TDateTime Time);

// Text as a JSON string literal, quotes included. UTF-8 text is kept as it is; every byte that
// is not part of a well-formed UTF-8 sequence is read as Latin-1 and written as "\u00XX", so the
// literal is always valid JSON.
std::string JsonString(std::string_view Text);
