#include "localisation/LanguageFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "localisation/LanguageTestSupport.h"
#include "localisation/TandrelTexts.h"
#include "localisation/TempFolder.h"
#include "localisation/TextFileLines.h"
#include "support/LogCapture.h"

namespace {

using namespace std::string_literals;
using Entries = std::map<int, std::string>;

const std::string Header = CrLfText({"##LanguageName", "Deutsch", ""});

// What differs from the English texts.
Entries ChangedEntries(const TTandrelTexts& Texts) {
    Entries changed;
    for (int i = 0; i < TandrelTextCount; ++i) {
        if (Texts.Texts[i] != DefaultTexts.Texts[i]) {
            changed[i] = Texts.Texts[i];
        }
    }
    return changed;
}

std::string NotFound(const std::string& Key) {
    return "Can't find default \"" + Key + "\" language string.";
}

const char* const LoadError = "Error in Tandrel::LoadLanguageFile call...";

class LanguageFile : public ::testing::Test {
protected:
    CurrentTextsRestorer FRestorer;
    TempFolder FFolder;
};

struct LoadCase {
    const char* Name;
    std::string Content;
    Entries Changed;
    std::vector<std::string> Log;
};

TEST_F(LanguageFile, LoadsBlocksIntoTheEnglishTable) {
    const LoadCase cases[] = {
        {"one block changes only its entry",
         Header + CrLfText({"##Activate", "Aktivieren"}),
         {{txtLanguageName, "Deutsch"}, {txtActivate, "Aktivieren"}},
         {}},
        {"header only", Header, {{txtLanguageName, "Deutsch"}}, {}},
        {"last line without line end",
         Header + "##Exit\r\nBeenden",
         {{txtLanguageName, "Deutsch"}, {txtExit, "Beenden"}},
         {}},
        {"LF line ends",
         "##LanguageName\nDeutsch\n\n##Exit\nBeenden\n",
         {{txtLanguageName, "Deutsch"}, {txtExit, "Beenden"}},
         {}},
        {"two value lines are joined with CR LF",
         Header +
             CrLfText({"##Maximum 10 zones can be added!", "Höchstens 10 Zonen", "sind möglich!"}),
         {{txtLanguageName, "Deutsch"}, {txtMaximumZones, "Höchstens 10 Zonen\r\nsind möglich!"}},
         {}},
        {"two empty lines make an empty key",
         Header + CrLfText({"##Activate", "Aktivieren", "", "", "##Deactivate", "Deaktivieren"}),
         {{txtLanguageName, "Deutsch"}, {txtActivate, "Aktivieren"}},
         {NotFound("")}},
        {"empty translation keeps the English text",
         Header + CrLfText({"##File", "", "##Exit", "Beenden"}),
         {{txtLanguageName, "Deutsch"}, {txtExit, "Beenden"}},
         {NotFound("File")}},
        {"key line at the end of the file",
         Header + CrLfText({"##Exit", "Beenden", "", "##File"}),
         {{txtLanguageName, "Deutsch"}, {txtExit, "Beenden"}},
         {NotFound("File")}},
        {"keys are case sensitive",
         Header + CrLfText({"##file", "Datei", "", "##Exit", "Beenden"}),
         {{txtLanguageName, "Deutsch"}, {txtExit, "Beenden"}},
         {NotFound("file")}},
        {"blanks in a key matter",
         Header + CrLfText({"##Exit ", "Beenden"}),
         {{txtLanguageName, "Deutsch"}},
         {NotFound("Exit ")}},
        {"English block renames the language",
         Header + CrLfText({"##English", "Schweizerdeutsch"}),
         {{txtLanguageName, "Schweizerdeutsch"}},
         {}},
        {"a line of blanks belongs to the block",
         Header + CrLfText({"##Activate", "Aktivieren", "   ", "##Exit", "Beenden"}),
         {{txtLanguageName, "Deutsch"}, {txtActivate, "Aktivieren\r\n   \r\n##Exit\r\nBeenden"}},
         {}},
        {"a value of blanks is a translation",
         Header + CrLfText({"##Activate", " "}),
         {{txtLanguageName, "Deutsch"}, {txtActivate, " "}},
         {}},
        {"any two leading characters are dropped",
         Header +
             CrLfText({"xxActivate", "Aktivieren", "", "ÄÖExit", "Beenden", "", "#Help", "Hilfe"}),
         {{txtLanguageName, "Deutsch"}, {txtActivate, "Aktivieren"}, {txtExit, "Beenden"}},
         {NotFound("elp")}},
        {"Windows-1252 file",
         "##LanguageName\r\nFran\xE7"
         "ais\r\n\r\n##Exit\r\nQuitter \x80\r\n",
         {{txtLanguageName, "Français"}, {txtExit, "Quitter €"}},
         {}},
        {"UTF-16 LE file",
         "\xFF\xFE"
         "#\0#\0L\0a\0n\0g\0u\0a\0g\0e\0N\0a\0m\0e\0\r\0\n\0"
         "D\0e\0u\0t\0s\0c\0h\0\r\0\n\0\r\0\n\0"
         "#\0#\0E\0x\0i\0t\0\r\0\n\0"
         "B\0e\0e\0n\0d\0e\0n\0"s,
         {{txtLanguageName, "Deutsch"}, {txtExit, "Beenden"}},
         {}},
        {"later block for the same key wins",
         Header + CrLfText({"##Exit", "Ende", "", "##Exit", "Beenden"}),
         {{txtLanguageName, "Deutsch"}, {txtExit, "Beenden"}},
         {}},
    };
    for (const LoadCase& c : cases) {
        CurrentTexts = DefaultTexts;
        CurrentTexts.Texts[txtHelp] = "previous language";
        const std::string file = FFolder.Write("case.lng", c.Content);
        LogCapture log;
        EXPECT_TRUE(LoadLanguageFile(file)) << c.Name;
        EXPECT_EQ(ChangedEntries(CurrentTexts), c.Changed) << c.Name;
        EXPECT_EQ(log.Lines(), c.Log) << c.Name;
    }
}

TEST_F(LanguageFile, RefusedFileLeavesThePreviousLanguage) {
    struct RefusedCase {
        const char* Name;
        std::string Content;
        std::vector<std::string> Log;
    };
    const RefusedCase cases[] = {
        {"wrong first line", CrLfText({"##Languagename", "Deutsch", "", "##Exit", "Beenden"}), {}},
        {"line 2 not empty", CrLfText({"##LanguageName", "Deutsch", "x", "##Exit", "Beenden"}), {}},
        {"UTF-16 without BOM", "#\0#\0L\0\r\0\n\0D\0\r\0\n\0\r\0\n\0"s, {}},
        {"two lines", CrLfText({"##LanguageName", "Deutsch"}), {LoadError}},
        {"empty file", "", {LoadError}},
        {"too big", Header + std::string(MaxTextFileSize, 'x'), {LoadError}},
    };
    const std::string previous = FFolder.Write(
        "previous.lng", Header + CrLfText({"##Exit", "Beenden", "", "##File", "Datei"}));
    for (const RefusedCase& c : cases) {
        ASSERT_TRUE(LoadLanguageFile(previous));
        const TTandrelTexts before = CurrentTexts;
        const std::string file = FFolder.Write("refused.lng", c.Content);
        LogCapture log;
        EXPECT_FALSE(LoadLanguageFile(file)) << c.Name;
        EXPECT_EQ(CurrentTexts.Texts, before.Texts) << c.Name;
        EXPECT_EQ(log.Lines(), c.Log) << c.Name;
    }

    LogCapture log;
    const TTandrelTexts before = CurrentTexts;
    EXPECT_FALSE(LoadLanguageFile(FFolder.Path() + "/missing.lng"));
    EXPECT_FALSE(LoadLanguageFile(FFolder.MakeFolder("folder.lng")));
    EXPECT_EQ(CurrentTexts.Texts, before.Texts);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(LanguageFile, EmptyFileNameRestoresEnglish) {
    CurrentTexts.Clear();
    LogCapture log;
    EXPECT_TRUE(LoadLanguageFile(""));
    EXPECT_EQ(CurrentTexts.Texts, DefaultTexts.Texts);
    EXPECT_TRUE(log.Lines().empty());
}

// Random bytes behind a valid header, and bare random bytes, must neither crash nor write
// anything but the routine's own lines.
TEST_F(LanguageFile, BinaryGarbageDoesNotCrash) {
    std::mt19937 random(4711);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 60; ++round) {
        std::string garbage = round % 2 == 0 ? Header : std::string();
        const int length = 1 + round * 131;
        for (int i = 0; i < length; ++i) {
            garbage += static_cast<char>(byte(random));
        }
        const std::string file = FFolder.Write("garbage.lng", garbage);
        LogCapture log;
        LoadLanguageFile(file);
        for (const std::string& line : log.Lines()) {
            EXPECT_TRUE(line == LoadError || line.starts_with("Can't find default \"")) << line;
        }
        TLanguageList list;
        GenerateLanguageFileList(FFolder.Path(), &list);
        EXPECT_LE(list.Count(), 1);
    }
}

class LanguageFileList : public ::testing::Test {
protected:
    CurrentTextsRestorer FRestorer;
    TempFolder FFolder;

    static std::vector<std::pair<std::string, std::string>> Entries(const TLanguageList& List) {
        std::vector<std::pair<std::string, std::string>> entries;
        for (int i = 0; i < List.Count(); ++i) {
            entries.emplace_back(List.Items(i)->LanguageName, List.Items(i)->LanguageFileName);
        }
        return entries;
    }
};

TEST_F(LanguageFileList, ListsNamedFilesInNameOrderWithoutCheckingHeaders) {
    const std::string dir = FFolder.Path();
    FFolder.Write("b.lng", Header);
    FFolder.Write("A.LNG",
                  "##LanguageName\r\nFran\xE7"
                  "ais\r\n\r\n");
    FFolder.Write("c.lng", CrLfText({"##LanguageName", "", ""}));
    FFolder.Write("d.lng", CrLfText({"Klingon header", "tlhIngan Hol"}));
    FFolder.Write("e.txt", Header);
    FFolder.MakeFolder("f.lng");
    TLanguageList list;
    list.Add("stale", "stale.lng");
    LogCapture log;

    EXPECT_TRUE(GenerateLanguageFileList(dir, &list));
    const std::vector<std::pair<std::string, std::string>> expected{
        {"Français", dir + "/A.LNG"},
        {"Deutsch", dir + "/b.lng"},
        {"tlhIngan Hol", dir + "/d.lng"}};
    ASSERT_EQ(Entries(list), expected);
    EXPECT_TRUE(log.Lines().empty());

    // Listed, but refused when chosen.
    EXPECT_FALSE(LoadLanguageFile(list.Items(2)->LanguageFileName));
}

// A file that cannot give a language name is left out with a line naming it; the files after
// it are still listed, so a stored language index keeps meaning the same file.
TEST_F(LanguageFileList, UnusableFileIsSkippedAndTheRestListed) {
    const std::string dir = FFolder.Path();
    const std::string bad = dir + "/b.lng";
    const std::string shortLine = "Error in Tandrel::GenerateLanguageFileList - language file " +
                                  bad + " has fewer than two lines.";
    const std::string unreadableLine =
        "Error in Tandrel::GenerateLanguageFileList - cannot read language file " + bad + ".";
    struct Case {
        const char* Name;
        std::function<void()> Make;
        std::string Line;
    };
    const Case cases[] = {
        {"header line only", [&] { FFolder.Write("b.lng", "##LanguageName\r\n"); }, shortLine},
        {"empty file", [&] { FFolder.Write("b.lng", ""); }, shortLine},
        {"too big to read",
         [&] { FFolder.Write("b.lng", Header + std::string(MaxTextFileSize, 'x')); },
         unreadableLine},
        {"named pipe", [&] { ASSERT_EQ(mkfifo(bad.c_str(), 0600), 0); }, unreadableLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::remove(bad);
        FFolder.Write("a.lng", Header);
        c.Make();
        FFolder.Write("c.lng", CrLfText({"##LanguageName", "Fran\u00E7ais", ""}));
        TLanguageList list;
        LogCapture log;

        EXPECT_TRUE(GenerateLanguageFileList(dir, &list));
        EXPECT_EQ(Entries(list), (std::vector<std::pair<std::string, std::string>>{
                                     {"Deutsch", dir + "/a.lng"}, {"Français", dir + "/c.lng"}}));
        EXPECT_EQ(log.Lines(), std::vector<std::string>{c.Line});
    }
}

// Language files that are all unusable still count as language files: the list is empty, and
// the menu then offers English alone.
TEST_F(LanguageFileList, OnlyUnusableFilesGiveAnEmptyList) {
    FFolder.Write("a.lng", "");
    FFolder.Write("b.lng", "##LanguageName");
    TLanguageList list;
    list.Add("stale", "stale.lng");
    LogCapture log;

    EXPECT_TRUE(GenerateLanguageFileList(FFolder.Path(), &list));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(log.Lines().size(), 2u);
}

TEST_F(LanguageFileList, NoLanguageFilesIsFalseWithAnEmptyList) {
    FFolder.Write("readme.txt", Header);
    TLanguageList list;
    list.Add("stale", "stale.lng");
    LogCapture log;

    EXPECT_FALSE(GenerateLanguageFileList(FFolder.Path(), &list));
    EXPECT_EQ(list.Count(), 0);
    list.Add("stale", "stale.lng");
    EXPECT_FALSE(GenerateLanguageFileList(FFolder.Path() + "/missing", &list));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(GenerateLanguageFileList(FFolder.Path(), nullptr));
    EXPECT_TRUE(log.Lines().empty());
}

}  // namespace
