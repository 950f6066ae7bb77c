#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Text files as lists of lines, the way language files are read.
//
// Decoding: a byte-order mark selects UTF-8 (EF BB BF), UTF-16 LE (FF FE) or UTF-16 BE (FE FF);
// without one the bytes are taken as UTF-8 when they are valid UTF-8, else as Windows-1252.
// Anything that cannot be decoded (bad UTF-8 in a marked file, an unpaired surrogate, an odd
// trailing byte, a byte that Windows-1252 leaves undefined) becomes U+FFFD. The lines are UTF-8.
//
// Lines end at CR LF, LF or CR; a line end at the very end of the text does not start another
// (empty) line, so "a\r\n" is one line and an empty text has none.

// Largest file that is read; bigger files are refused.
constexpr std::uintmax_t MaxTextFileSize = 4u * 1024u * 1024u;

// Decodes a whole file's bytes and splits them into lines.
std::vector<std::string> DecodeTextLines(std::string_view Bytes);

// Reads FileName as a list of lines. Returns false, with Lines empty, when the file does not
// exist, is not a regular file, cannot be read or is bigger than MaxTextFileSize. Writes no log
// line: each caller reports the failure in its own words.
bool ReadTextFileLines(const std::string& FileName, std::vector<std::string>& Lines);
