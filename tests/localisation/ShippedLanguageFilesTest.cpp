#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "localisation/LanguageFile.h"
#include "localisation/LanguageTestSupport.h"
#include "localisation/TandrelTexts.h"
#include "localisation/TextFileLines.h"
#include "support/LogCapture.h"

namespace {

const std::string LanguageDir = TANDREL_LANGUAGE_DIR;

struct ShippedLanguage {
    const char* File;
    const char* Name;
    // Entries whose translation is the English word itself.
    std::set<int> SameAsEnglish;
};

const ShippedLanguage Shipped[] = {
    {"German.lng",
     "Deutsch",
     {txtFormat, txtZone, txtVersion, txtCopyright, txtOK, txtProductName, txtPort, txtWebhooks}},
    {"French.lng",
     "Français",
     {txtFormat, txtZones, txtZone, txtVersion, txtCopyright, txtOK, txtProductName,
      txtNotifications, txtPort, txtWebhooks}},
};

std::string ReadBytes(const std::string& File) {
    std::ifstream in(File, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(LanguageShippedFiles, AreUtf8WithBomAndCrLfLineEnds) {
    for (const ShippedLanguage& language : Shipped) {
        const std::string bytes = ReadBytes(LanguageDir + "/" + language.File);
        ASSERT_FALSE(bytes.empty()) << language.File;
        EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF")) << language.File;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\r') {
                ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n')
                    << language.File << " @" << i;
            } else if (bytes[i] == '\n') {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << language.File << " @" << i;
            }
        }
    }
}

// Every entry has exactly one block whose key is its English text, and the translation is loaded.
TEST(LanguageShippedFiles, TranslateEveryEntry) {
    for (const ShippedLanguage& language : Shipped) {
        CurrentTextsRestorer restorer;
        const std::string file = LanguageDir + "/" + language.File;

        std::vector<std::string> lines;
        ASSERT_TRUE(ReadTextFileLines(file, lines)) << file;
        std::map<std::string, int> keys;
        for (size_t i = 3; i < lines.size(); ++i) {
            if (i == 3 || lines[i - 1].empty()) {
                ++keys[lines[i]];
            }
        }
        for (const std::string& english : DefaultTexts.Texts) {
            EXPECT_EQ(keys["##" + english], 1) << language.File << ": " << english;
        }
        EXPECT_EQ(keys.size(), static_cast<size_t>(TandrelTextCount)) << language.File;

        LogCapture log;
        ASSERT_TRUE(LoadLanguageFile(file)) << file;
        EXPECT_TRUE(log.Lines().empty()) << language.File << ": " << log.Lines().front();
        EXPECT_EQ(CurrentText(txtLanguageName), language.Name);
        for (int i = 0; i < TandrelTextCount; ++i) {
            const std::string& text = CurrentTexts.Texts[i];
            EXPECT_FALSE(text.empty()) << language.File << " entry " << i;
            EXPECT_EQ(text.find("\r\n"), std::string::npos) << language.File << " entry " << i;
            EXPECT_EQ(text == DefaultTexts.Texts[i], language.SameAsEnglish.contains(i))
                << language.File << " entry " << i << ": " << text;
        }
    }
}

TEST(LanguageShippedFiles, AreListedByName) {
    TLanguageList list;
    ASSERT_TRUE(GenerateLanguageFileList(LanguageDir, &list));
    std::map<std::string, std::string> listed;
    for (int i = 0; i < list.Count(); ++i) {
        listed[list.Items(i)->LanguageName] = list.Items(i)->LanguageFileName;
    }
    for (const ShippedLanguage& language : Shipped) {
        EXPECT_EQ(listed[language.Name], LanguageDir + "/" + language.File);
    }
}

}  // namespace
