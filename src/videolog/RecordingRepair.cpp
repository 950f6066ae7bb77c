#include "videolog/RecordingRepair.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <functional>
#include <unordered_set>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Diagnostics.h"
#include "platform/Paths.h"
#include "platform/SafeFiles.h"
#include "recording/RecordingLength.h"
#include "recording/RetentionPlanner.h"
#include "videolog/VideoLogInfo.h"

namespace {

int Digits(const std::string& Text, size_t From, size_t Count) {
    int value = 0;
    for (size_t i = From; i < From + Count; ++i) {
        value = value * 10 + (Text[i] - '0');
    }
    return value;
}

// Whether a writer holds the file: its lock is taken for as long as the file is written and
// goes with the writer's descriptor, so a killed program holds none.
bool BeingWritten(const std::string& FileName) {
    TUniqueFd fd = OpenRegularFile(FileName);
    if (!fd) {
        return true;  // not a regular file: nothing to repair
    }
    return ::flock(fd.Get(), LOCK_SH | LOCK_NB) != 0;
}

// Calls Visit for every entry of Folder; nothing when it cannot be listed.
void ForEachFolderEntry(const std::string& Folder,
                        const std::function<void(const dirent& Entry)>& Visit) {
    DIR* folder = ::opendir(Folder.c_str());
    if (folder == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        Visit(*entry);
    }
    ::closedir(folder);
}

// A regular file itself, not a link to one.
bool IsRegularFile(const std::string& Path) {
    struct stat status {};
    return ::lstat(Path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

bool StartTimeFromRecordingName(const std::string& Name, double& StartTime) {
    if (!IsRecordingFileName(Name)) {
        return false;
    }
    TDateTimeParts parts;
    parts.Year = Digits(Name, 4, 4);
    parts.Month = Digits(Name, 8, 2);
    parts.Day = Digits(Name, 10, 2);
    parts.Hour = Digits(Name, 13, 2);
    parts.Minute = Digits(Name, 15, 2);
    parts.Second = Digits(Name, 17, 2);
    if (parts.Year < 1900 || parts.Month < 1 || parts.Month > 12 || parts.Day < 1 ||
        parts.Day > 31 || parts.Hour > 23 || parts.Minute > 59 || parts.Second > 59) {
        return false;
    }
    StartTime = EncodeDateTime(parts);
    // A day that the month does not have (31 April) comes back as another date.
    const TDateTimeParts back = DecodeDateTime(StartTime);
    return back.Year == parts.Year && back.Month == parts.Month && back.Day == parts.Day;
}

int RepairRecordingInfo(const std::string& Folder) {
    int made = 0;
    try {
        const std::string folder = IncludeTrailingPathDelimiter(Folder);
        // Each folder is listed once: a long history costs two listings, not a look per
        // recording.
        std::vector<std::string> names;
        ForEachFolderEntry(folder, [&](const dirent& entry) {
            if (IsRecordingFileName(entry.d_name) &&
                (entry.d_type == DT_REG ||
                 (entry.d_type == DT_UNKNOWN && IsRegularFile(folder + entry.d_name)))) {
                names.emplace_back(entry.d_name);
            }
        });
        std::unordered_set<std::string> infoNames;
        ForEachFolderEntry(folder + "LogInfo/",
                           [&](const dirent& entry) { infoNames.emplace(entry.d_name); });
        for (const std::string& name : names) {
            const std::string video = folder + name;
            // The name holds one dot, before its format's extension.
            const std::string infoName = name.substr(0, name.rfind('.')) + ".vli";
            const std::string info = folder + "LogInfo/" + infoName;
            TVideoLogInfo record;
            if (infoNames.count(infoName) != 0 || NameTaken(info) || !StartTimeFromRecordingName(name, record.StartTime) ||
                BeingWritten(video)) {
                continue;
            }
            if (!ReadRecordingLength(video, record.Duration)) {
                LogMessage("Recording " + video +
                           " has no information file and holds no picture that can be read; "
                           "it is left as it is.");
                continue;
            }
            record.FileName = video;
            if (SaveVideoLogInfo(folder, record, true)) {
                ++made;
                LogMessage("Recording " + video + " had no information file; one was made (" +
                           FormatVideoLogNumber(record.Duration) + " s).");
            } else {
                LogMessage("Error in RepairRecordingInfo - cannot write the information file of " +
                           video + ".");
            }
        }
    } catch (...) {
        LogMessage("Error in RepairRecordingInfo call...");
    }
    return made;
}
