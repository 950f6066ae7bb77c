#include "localisation/LanguageFile.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "localisation/TandrelTexts.h"
#include "localisation/TextFileLines.h"
#include "platform/Diagnostics.h"
#include "platform/FileUtils.h"

namespace {

const char* const HeaderLine = "##LanguageName";

// Drops the first two characters (not bytes) of a UTF-8 key line, whatever they are.
std::string KeyOf(const std::string& KeyLine) {
    size_t pos = 0;
    for (int dropped = 0; dropped < 2 && pos < KeyLine.size(); ++dropped) {
        ++pos;
        while (pos < KeyLine.size() && (static_cast<unsigned char>(KeyLine[pos]) & 0xC0) == 0x80) {
            ++pos;
        }
    }
    return KeyLine.substr(pos);
}

// The index of the first English text equal to Key, or -1.
int FindDefaultText(const std::string& Key) {
    for (int i = 0; i < TandrelTextCount; ++i) {
        if (DefaultTexts.Texts[static_cast<size_t>(i)] == Key) {
            return i;
        }
    }
    return -1;
}

bool FileExists(const std::string& FileName) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(FileName, error);
    return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

std::vector<std::string> ReadLinesOrThrow(const std::string& FileName) {
    std::vector<std::string> lines;
    if (!ReadTextFileLines(FileName, lines)) {
        throw std::runtime_error("cannot read " + FileName);
    }
    return lines;
}

}  // namespace

bool LoadLanguageFile(const std::string& FileName) {
    try {
        if (FileName.empty()) {
            CurrentTexts = DefaultTexts;
            return true;
        }
        if (!FileExists(FileName)) {
            return false;
        }
        const std::vector<std::string> lines = ReadLinesOrThrow(FileName);
        if (lines.size() < 3) {
            throw std::out_of_range("header incomplete");
        }
        if (lines[0] != HeaderLine || !lines[2].empty()) {
            return false;
        }

        // Entries the file does not translate keep their English text.
        CurrentTexts = DefaultTexts;
        CurrentTexts.Texts[txtLanguageName] = lines[1];

        size_t keyLine = 3;
        while (keyLine < lines.size()) {
            size_t next = keyLine + 1;
            std::string value;
            for (; next < lines.size() && !lines[next].empty(); ++next) {
                if (next > keyLine + 1) {
                    value += "\r\n";
                }
                value += lines[next];
            }
            const std::string key = KeyOf(lines[keyLine]);
            const int index = FindDefaultText(key);
            if (index >= 0 && !value.empty()) {
                CurrentTexts.Texts[static_cast<size_t>(index)] = value;
            } else {
                LogMessageFmt("Can't find default \"%s\" language string.", key.c_str());
            }
            // Skip the empty line that ended the block.
            keyLine = next + 1;
        }
        return true;
    } catch (...) {
        LogMessage("Error in Tandrel::LoadLanguageFile call...");
        return false;
    }
}

bool GenerateLanguageFileList(const std::string& Folder, TLanguageList* LanguageList) {
    try {
        if (LanguageList == nullptr) {
            return false;
        }
        LanguageList->Clear();
        std::vector<std::string> files;
        if (!GetFilesFromFolder(Folder, "*.lng", &files)) {
            return false;
        }
        // A file that cannot be read or is too short to hold a language name is left out, so
        // one bad file neither hides the others nor moves them to other indexes than their own.
        for (const std::string& file : files) {
            std::vector<std::string> lines;
            if (!ReadTextFileLines(file, lines)) {
                LogMessageFmt(
                    "Error in Tandrel::GenerateLanguageFileList - cannot read language file %s.",
                    file.c_str());
                continue;
            }
            if (lines.size() < 2) {
                LogMessageFmt(
                    "Error in Tandrel::GenerateLanguageFileList - language file %s has fewer than "
                    "two lines.",
                    file.c_str());
                continue;
            }
            // A file without a language name is not offered.
            if (!lines[1].empty()) {
                LanguageList->Add(lines[1], file);
            }
        }
        return true;
    } catch (...) {
        LogMessage("Error in Tandrel::GenerateLanguageFileList call...");
        return false;
    }
}
