#include "videolog/VideoLogInfo.h"

#include <algorithm>

#include <clocale>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/Diagnostics.h"
#include "platform/Paths.h"
#include "platform/SafeFiles.h"

namespace {

namespace fs = std::filesystem;

const char* const kNamingFailure = "Error in VideoLoggerFrm::GenerateAutoRecFileName call...";
// Lengths beyond this are not a recording of this program (the longest file is a few hours).
constexpr double kMaxDurationSeconds = 30.0 * 86400.0;
// Date-times from 1 January 1900 to 31 December 9999.
constexpr double kMinStartTime = 2.0;
constexpr double kMaxStartTime = 2958465.0;
// More names than this within one second are not recordings but a folder full of planted ones.
constexpr int kMaxSameSecondNames = 10000;

std::string WithExtension(const std::string& path, const std::string& extension) {
    return fs::path(path).replace_extension(extension).string();
}

// The lines of a text, split at CR LF, LF or CR.
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

bool ReadVideoLogInfoFile(const std::string& fileName, TVideoLogInfo& info) {
    // Only a regular file is read: a pipe or a link planted in the folder yields nothing (and
    // never blocks).
    std::string text;
    return ReadRegularFileStart(fileName, kVideoLogInfoMaxBytes, text) &&
           ParseVideoLogInfo(text, info);
}

bool ParseVideoLogInfo(const std::string& Text, TVideoLogInfo& info) {
    const std::vector<std::string> lines = LinesOf(Text);
    if (lines.size() < 2) {
        return false;
    }
    double start = 0;
    double duration = 0;
    if (!ParseVideoLogNumber(lines[0], start) || !ParseVideoLogNumber(lines[1], duration)) {
        return false;
    }
    if (start < kMinStartTime || start > kMaxStartTime || duration < 0 ||
        duration > kMaxDurationSeconds) {
        return false;
    }
    info.StartTime = start;
    info.Duration = duration;
    return true;
}

std::string FormatVideoLogNumber(double Value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", Value);
    return text;
}

bool ParseVideoLogNumber(const std::string& Text, double& Value) {
    // Trim blanks; then either separator becomes the locale's, which strtod expects.
    const size_t first = Text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return false;
    }
    const size_t last = Text.find_last_not_of(" \t");
    std::string number = Text.substr(first, last - first + 1);
    const std::lconv* conventions = std::localeconv();
    const char separator = conventions != nullptr && conventions->decimal_point != nullptr &&
                                   conventions->decimal_point[0] != '\0'
                               ? conventions->decimal_point[0]
                               : '.';
    for (char& c : number) {
        if (c == '.' || c == ',') {
            c = separator;
        }
    }
    char* end = nullptr;
    const double parsed = std::strtod(number.c_str(), &end);
    if (end == number.c_str() || *end != '\0' || !std::isfinite(parsed)) {
        return false;
    }
    Value = parsed;
    return true;
}

std::string MakeRecFileName(const std::string& Folder, TDateTime StartTime,
                            TRecordingFormat Format) {
    try {
        std::error_code error;
        if (!Folder.empty() && !fs::exists(Folder, error)) {
            // One level only; a failure shows where the file is created.
            fs::create_directory(Folder, error);
        }
        const std::string folder = IncludeTrailingPathDelimiter(Folder);
        const std::string base = "Rec_" + FormatDateTime("yyyymmdd_hhnnss", StartTime);
        // A second recording started within the same second must not replace the first, and a
        // name taken in any other form (a link, a pipe) is not used either. The information
        // file pairs by base name, so a video of the other format takes the name too.
        const auto taken = [&folder](const std::string& stem) {
            return NameTaken(folder + stem + RecordingExtension(TRecordingFormat::Wmv)) ||
                   NameTaken(folder + stem + RecordingExtension(TRecordingFormat::Mp4)) ||
                   NameTaken(folder + "LogInfo/" + stem + ".vli");
        };
        std::string stem = base;
        for (int n = 2; n < kMaxSameSecondNames && taken(stem); ++n) {
            stem = base + "_" + std::to_string(n);
        }
        return folder + stem + RecordingExtension(Format);
    } catch (...) {
        LogMessage(kNamingFailure);
        return std::string();
    }
}

bool CreateAutoRecFile(const std::string& Folder, TDateTime& StartTime, std::string& FileName,
                       TUniqueFd& File, TRecordingFormat Format) {
    File.Reset();
    // A name found free can be taken before the file is made; the next free one is tried then.
    constexpr int kAttempts = 8;
    int error = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!GenerateAutoRecFileName(Folder, StartTime, FileName, Format)) {
            return false;
        }
        File = CreateNewFile(FileName);
        if (File) {
            return true;
        }
        error = errno;
        if (error != EEXIST) {
            break;
        }
    }
    FileName.clear();
    errno = error;
    return false;
}

bool GenerateAutoRecFileName(const std::string& Folder, TDateTime& StartTime,
                             std::string& FileName, TRecordingFormat Format) {
    try {
        StartTime = Now();
        FileName = MakeRecFileName(Folder, StartTime, Format);
        return !FileName.empty();
    } catch (...) {
        LogMessage(kNamingFailure);
        FileName.clear();
        return false;
    }
}

bool SaveVideoLogInfo(const std::string& Folder, const TVideoLogInfo& Info,
                      bool UseLogInfoFolder) {
    try {
        std::string directory = Folder;
        if (UseLogInfoFolder) {
            directory = IncludeTrailingPathDelimiter(Folder) + "LogInfo/";
        }
        std::string name;
        if (!Info.FileName.empty()) {
            std::error_code error;
            if (!fs::exists(directory, error)) {
                fs::create_directory(directory, error);
            }
            name = IncludeTrailingPathDelimiter(directory) +
                   fs::path(Info.FileName).stem().string() + ".vli";
        } else {
            name = MakeRecFileName(directory, Info.StartTime);
            if (name.empty()) {
                return false;
            }
            name = WithExtension(name, ".vli");
        }
        // Whole or not at all: a full disk leaves no empty or half-written information file.
        return WriteFileWhole(name, FormatVideoLogNumber(Info.StartTime) + "\r\n" +
                                        FormatVideoLogNumber(Info.Duration) + "\r\n");
    } catch (...) {
        return false;
    }
}

std::string RecordingVideoOf(const std::string& Folder, const std::string& BaseName) {
    const std::string base = Folder + BaseName;
    std::string found;
    for (TRecordingFormat format : {TRecordingFormat::Wmv, TRecordingFormat::Mp4}) {
        std::string name = base + RecordingExtension(format);
        std::error_code error;
        const fs::file_status status = fs::symlink_status(name, error);
        if (fs::is_regular_file(status)) {
            return name;
        }
        if (found.empty() && fs::exists(status)) {
            found = std::move(name);
        }
    }
    return found.empty() ? base + RecordingExtension(TRecordingFormat::Wmv) : found;
}

void ClearVideoLogInfoList(TVideoLogInfoList* List) {
    if (List == nullptr) {
        return;
    }
    while (!List->empty()) {
        List->pop_back();
    }
}

bool LoadVideoLogInfoList(const std::string& Folder, TVideoLogInfoList* List) {
    try {
        if (List == nullptr) {
            return false;
        }
        ClearVideoLogInfoList(List);
        const std::string infoFolder = Folder + "LogInfo/";
        std::error_code error;
        std::vector<std::string> files;
        for (fs::directory_iterator it(infoFolder, error), end; !error && it != end;
             it.increment(error)) {
            // Regular files only: a pipe is never opened, a folder never read.
            if (it->path().extension() == ".vli" && it->is_regular_file(error) &&
                !it->is_symlink(error)) {
                files.push_back(it->path().string());
            }
        }
        if (files.empty()) {
            return false;
        }
        // Names hold the start time, so name order is the order the recordings were made in
        // (the directory's own order is arbitrary).
        std::sort(files.begin(), files.end());
        for (const std::string& file : files) {
            auto info = std::make_unique<TVideoLogInfo>();
            if (!ReadVideoLogInfoFile(file, *info)) {
                continue;
            }
            info->FileName = RecordingVideoOf(Folder, fs::path(file).stem().string());
            // Only a regular file is listed (and ever played); an information file whose video
            // is gone goes too, one beside something else (a pipe, a link) is left alone.
            const fs::file_status video = fs::symlink_status(info->FileName, error);
            if (fs::is_regular_file(video)) {
                List->push_back(std::move(info));
            } else if (!fs::exists(video)) {
                fs::remove(file, error);
            }
        }
        return true;
    } catch (...) {
        return false;
    }
}
