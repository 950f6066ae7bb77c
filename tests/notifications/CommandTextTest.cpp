#include "notifications/CommandText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using TWords = std::vector<std::string>;

TEST(CommandText, SplitsLikeAShellWithoutExpanding) {
    struct Case {
        std::string text;
        TWords words;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {" \t\r\n ", {}},
        {"/usr/bin/notify-send", {"/usr/bin/notify-send"}},
        {"  notify-send   Motion\tnow  ", {"notify-send", "Motion", "now"}},
        {"say 'zone 1 moved'", {"say", "zone 1 moved"}},
        {"say \"zone 1 moved\"", {"say", "zone 1 moved"}},
        {"say zone\\ 1", {"say", "zone 1"}},
        // Touching parts make one word; empty quotes make an empty word.
        {"a'b c'\"d e\"f", {"ab cd ef"}},
        {"x '' \"\"", {"x", "", ""}},
        // Single quotes keep everything, backslashes included.
        {R"(echo 'a\b "c" $HOME')", {"echo", R"(a\b "c" $HOME)"}},
        // Inside double quotes a backslash escapes only " \ $ and `.
        {R"(echo "a\"b\\c\$d\`e\nf")", {"echo", R"(a"b\c$d`e\nf)"}},
        // Outside quotes it escapes any character.
        {R"(echo \'\"\\\a)", {"echo", R"('"\a)"}},
        {"echo 'it'\\''s'", {"echo", "it's"}},
        // Nothing is expanded.
        {"rm -rf $HOME/* ~ `x` ;|&", {"rm", "-rf", "$HOME/*", "~", "`x`", ";|&"}},
        {"caf\xc3\xa9 \xff", {"caf\xc3\xa9", "\xff"}},
        {"'a\nb'", {"a\nb"}},
    };
    for (const Case& c : cases) {
        TWords words{"left over"};
        std::string error;
        ASSERT_TRUE(SplitCommandText(c.text, words, error)) << c.text << ": " << error;
        EXPECT_EQ(words, c.words) << c.text;
    }
}

TEST(CommandText, UnbalancedQuotesAndALoneBackslashAreRefused) {
    const std::vector<std::string> bad = {
        "say 'hello", "say \"hello", "say \"it's", "say 'a\"b", "say \\", "say \"a\\\"",
        "'",          "\"",          "a'b'c'",      std::string("say\0x", 6)};
    for (const std::string& text : bad) {
        TWords words{"left over"};
        std::string error;
        EXPECT_FALSE(SplitCommandText(text, words, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_TRUE(words.empty()) << text;
    }
}

TEST(CommandText, JoinQuotesWhereNeeded) {
    EXPECT_EQ(JoinCommandText({}), "");
    EXPECT_EQ(JoinCommandText({"/usr/bin/curl", "-X", "POST", "https://h:8/x?a=1,b%20"}),
              "/usr/bin/curl -X POST 'https://h:8/x?a=1,b%20'");
    EXPECT_EQ(JoinCommandText({"say", "zone 1", "", "it's"}), R"(say 'zone 1' '' 'it'\''s')");
    EXPECT_EQ(JoinCommandText({"caf\xc3\xa9"}), "caf\xc3\xa9");
}

// Whatever the words, the joined text reads back as the same words; whatever the text, the split
// ends with words or a reason.
TEST(CommandText, JoinedWordsReadBackAndAnyTextGivesAnAnswer) {
    std::mt19937 random(20261211);
    const std::string alphabet = std::string("ab Z9_-/.'\"\\$`*?~;|&\t\n\r%=:,@+#!(){}") +
                                 "\x01\x7f\x80\xc3\xa9\xff";
    auto randomText = [&](size_t maxLength) {
        std::string text(random() % (maxLength + 1), ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        return text;
    };
    for (int i = 0; i < 3000; ++i) {
        TWords words(random() % 5);
        for (std::string& word : words) {
            word = randomText(8);
        }
        const std::string joined = JoinCommandText(words);
        TWords read;
        std::string error;
        ASSERT_TRUE(SplitCommandText(joined, read, error)) << joined << ": " << error;
        ASSERT_EQ(read, words) << joined;

        const std::string text = randomText(24);
        read.clear();
        error.clear();
        if (SplitCommandText(text, read, error)) {
            EXPECT_TRUE(error.empty()) << text;
            // A text's words, joined and split again, are the same words.
            TWords again;
            ASSERT_TRUE(SplitCommandText(JoinCommandText(read), again, error)) << text;
            EXPECT_EQ(again, read) << text;
        } else {
            EXPECT_FALSE(error.empty()) << text;
            EXPECT_TRUE(read.empty()) << text;
        }
    }
}

}  // namespace
