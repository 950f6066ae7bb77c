#include "localisation/TextFileLines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "localisation/TempFolder.h"

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

std::string Bytes(std::initializer_list<unsigned char> Values) {
    return std::string(Values.begin(), Values.end());
}

// Independent check that a string is well-formed UTF-8 (no overlongs, surrogates or values
// above U+10FFFF).
bool IsWellFormedUtf8(const std::string& Text) {
    size_t i = 0;
    while (i < Text.size()) {
        const auto b = static_cast<unsigned char>(Text[i]);
        size_t n;
        char32_t cp;
        if (b < 0x80) {
            n = 0;
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            n = 1;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            n = 2;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            n = 3;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (i + n >= Text.size()) {
            return false;
        }
        for (size_t k = 1; k <= n; ++k) {
            const auto c = static_cast<unsigned char>(Text[i + k]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += n + 1;
    }
    return true;
}

struct DecodeCase {
    const char* Name;
    std::string Input;
    Lines Expected;
};

const std::string Repl = "\xEF\xBF\xBD";  // U+FFFD

TEST(TextFileLines, DecodesEachEncodingAndSplitsEveryLineEnd) {
    const DecodeCase cases[] = {
        // Byte-order marks.
        {"UTF-8 with BOM",
         "\xEF\xBB\xBF##LanguageName\r\nFran\xC3\xA7"
         "ais\r\n",
         {"##LanguageName",
          "Fran\xC3\xA7"
          "ais"}},
        {"UTF-8 BOM only", "\xEF\xBB\xBF", {}},
        {"UTF-8 BOM, bad bytes replaced",
         "\xEF\xBB\xBF"
         "a\xFF"
         "b\xC3",
         {"a" + Repl + "b" + Repl}},
        {"UTF-8 BOM, truncated sequence is one replacement", "\xEF\xBB\xBF\xE2\x82x", {Repl + "x"}},
        {"UTF-8 BOM, overlong start replaced byte by byte",
         "\xEF\xBB\xBF\xE0\x80"
         "A",
         {Repl + Repl + "A"}},
        {"UTF-16 LE",
         Bytes({0xFF, 0xFE, 'H', 0, 0xE9, 0, '\r', 0, '\n', 0, 0x3D, 0xD8, 0x00, 0xDE, 0xAC, 0x20}),
         {"H\xC3\xA9", "\xF0\x9F\x98\x80\xE2\x82\xAC"}},
        {"UTF-16 BE",
         Bytes({0xFE, 0xFF, 0, 'H', 0, 0xE9, 0, '\n', 0x20, 0xAC, 0, '\r', 0, 'x'}),
         {"H\xC3\xA9", "\xE2\x82\xAC", "x"}},
        {"UTF-16 LE odd trailing byte", Bytes({0xFF, 0xFE, 'A', 0, 'B'}), {"A" + Repl}},
        {"UTF-16 LE unpaired high surrogate",
         Bytes({0xFF, 0xFE, 0x3D, 0xD8, 'A', 0}),
         {Repl + "A"}},
        {"UTF-16 LE high surrogate at the end",
         Bytes({0xFF, 0xFE, 'A', 0, 0x3D, 0xD8}),
         {"A" + Repl}},
        {"UTF-16 BE lone low surrogate", Bytes({0xFE, 0xFF, 0xDE, 0x00, 0, 'z'}), {Repl + "z"}},
        // No mark: UTF-8 when valid, else Windows-1252.
        {"UTF-8 without BOM",
         "Fran\xC3\xA7"
         "ais\n\xE2\x82\xAC 5",
         {"Fran\xC3\xA7"
          "ais",
          "\xE2\x82\xAC 5"}},
        {"Windows-1252",
         "Fran\xE7"
         "ais\r\n\x80 5",
         {"Fran\xC3\xA7"
          "ais",
          "\xE2\x82\xAC 5"}},
        {"Windows-1252 upper half",
         "\x8A\x9C\x9F\xA0\xFF",
         {"\xC5\xA0\xC5\x93\xC5\xB8\xC2\xA0\xC3\xBF"}},
        {"Windows-1252 undefined bytes",
         "\x81\x8D\x8F\x90\x9D",
         {Repl + Repl + Repl + Repl + Repl}},
        {"overlong UTF-8 is not UTF-8", "\xC0\xAF", {"\xC3\x80\xC2\xAF"}},
        {"encoded surrogate is not UTF-8", "\xED\xA0\x80", {"\xC3\xAD\xC2\xA0\xE2\x82\xAC"}},
        // Line ends.
        {"mixed line ends", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"CR CR is two line ends", "a\r\rb", {"a", "", "b"}},
        {"LF CR is two line ends", "\n\r", {"", ""}},
        {"final line end adds no line", "a\r\n", {"a"}},
        {"final empty line kept", "a\r\n\r\n", {"a", ""}},
        {"no final line end", "a", {"a"}},
        {"only a line end", "\r\n", {""}},
        {"empty text", "", {}},
        {"blanks are a line", "  \r\n\t", {"  ", "\t"}},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(DecodeTextLines(c.Input), c.Expected) << c.Name;
    }
}

TEST(TextFileLines, AnyBytesDecodeToWellFormedLinesWithoutLineEnds) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::string marks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    for (int round = 0; round < 400; ++round) {
        std::string input = marks[round % 4];
        const int length = round % 97;
        for (int i = 0; i < length; ++i) {
            input += static_cast<char>(byte(random));
        }
        for (const std::string& line : DecodeTextLines(input)) {
            ASSERT_TRUE(IsWellFormedUtf8(line)) << "round " << round;
            ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos) << "round " << round;
        }
    }
}

TEST(TextFileLines, ReadsRegularFilesUpToTheSizeCap) {
    TempFolder folder;
    Lines lines{"stale"};

    EXPECT_FALSE(ReadTextFileLines(folder.Path() + "/missing.lng", lines));
    EXPECT_TRUE(lines.empty());

    lines = {"stale"};
    EXPECT_FALSE(ReadTextFileLines(folder.MakeFolder("sub.lng"), lines));
    EXPECT_TRUE(lines.empty());

    EXPECT_TRUE(ReadTextFileLines(folder.Write("empty.lng", ""), lines));
    EXPECT_TRUE(lines.empty());

    EXPECT_TRUE(ReadTextFileLines(folder.Write("two.lng", "\xFF\xFEx\0\n\0y\0"s), lines));
    EXPECT_EQ(lines, (Lines{"x", "y"}));

    std::string big(MaxTextFileSize, 'a');
    big[1] = '\n';
    EXPECT_TRUE(ReadTextFileLines(folder.Write("cap.lng", big), lines));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].size(), MaxTextFileSize - 2);

    big += 'a';
    lines = {"stale"};
    EXPECT_FALSE(ReadTextFileLines(folder.Write("over.lng", big), lines));
    EXPECT_TRUE(lines.empty());
}

}  // namespace
