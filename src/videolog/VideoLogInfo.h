#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/UniqueFd.h"
#include "recording/RecordingFormat.h"

// Recording names and recording-info files. Every recording is a pair of files in a recording
// folder F: F/Rec_<yyyymmdd_hhnnss>.wmv (or .mp4, by the recording's format) and its
// information file F/LogInfo/Rec_<yyyymmdd_hhnnss>.vli, two CR LF ended lines holding the start
// time (a date-time number) and the length in seconds. The two are paired by base name, so a
// base name is used by one video only, whatever its format.

// One recording: start time, length in seconds and the full path of its video file.
struct TVideoLogInfo {
    TDateTime StartTime = 0;
    double Duration = 0;
    std::string FileName;
};
using PVideoLogInfo = TVideoLogInfo*;
// The records of one folder; the list owns them.
using TVideoLogInfoList = std::vector<std::unique_ptr<TVideoLogInfo>>;

// Names a new recording as GenerateAutoRecFileName does and creates it at once as a new, empty
// file (never through a link planted under the name; a name taken meanwhile is passed over).
// False, with errno set and FileName empty, when the file cannot be made (a missing or
// read-only folder, a full disk).
bool CreateAutoRecFile(const std::string& Folder, TDateTime& StartTime, std::string& FileName,
                       TUniqueFd& File, TRecordingFormat Format = TRecordingFormat::Wmv);

// StartTime := now; FileName := MakeRecFileName(Folder, StartTime, Format). Logs "Error in
// VideoLoggerFrm::GenerateAutoRecFileName call..." and leaves FileName empty on failure.
bool GenerateAutoRecFileName(const std::string& Folder, TDateTime& StartTime,
                             std::string& FileName,
                             TRecordingFormat Format = TRecordingFormat::Wmv);

// Folder (created, one level, when missing) + "Rec_" + StartTime as "yyyymmdd_hhnnss" + the
// format's extension (".wmv", ".mp4"). A recording never replaces another: when that base name
// is already taken by a video of either format or by an information file, "_2", "_3", ... is
// added to it. Empty on failure (logged).
std::string MakeRecFileName(const std::string& Folder, TDateTime StartTime,
                            TRecordingFormat Format = TRecordingFormat::Wmv);

// The video an information file of Folder (with its trailing "/") stands for: Folder + BaseName
// + the extension of the format whose file is there (a regular file is preferred over anything
// else by that name); the WMV name when there is none.
std::string RecordingVideoOf(const std::string& Folder, const std::string& BaseName);

// Writes the information file of Info, in Folder + "LogInfo/" when UseLogInfoFolder (created
// when missing). Its base name is that of Info.FileName when one is given (so a renamed
// recording keeps its pair), else the one MakeRecFileName gives for Info.StartTime. Numbers are
// written with at most 15 significant digits and the locale's decimal separator. False on any
// failure; nothing is logged.
bool SaveVideoLogInfo(const std::string& Folder, const TVideoLogInfo& Info,
                      bool UseLogInfoFolder);

// Rebuilds List from Folder's information files (Folder + "LogInfo/*.vli"), in name order
// (the order the recordings were made in).
// A record is listed when its video file (RecordingVideoOf) is a regular file; an information
// file whose video is gone is deleted. A file that cannot be read as a recording (empty, cut
// short, not numbers, a negative or absurd length) yields no record and is left alone. False
// when List is null or no information file exists.
bool LoadVideoLogInfoList(const std::string& Folder, TVideoLogInfoList* List);

// Reads the start time and length an information file holds into Info (its FileName is left
// alone); false, Info untouched, when the file cannot be read as a recording (as above).
bool ReadVideoLogInfoFile(const std::string& FileName, TVideoLogInfo& Info);
// The same from the text read from the start of such a file.
bool ParseVideoLogInfo(const std::string& Text, TVideoLogInfo& Info);
// An information file is two short lines; reading stops well after them, so a large or binary
// file costs nothing.
constexpr size_t kVideoLogInfoMaxBytes = 4096;

// Disposes every record, last to first, and empties the list; a null list is left alone.
void ClearVideoLogInfoList(TVideoLogInfoList* List);

// The number as an information file holds it ("60.1"; the decimal separator of the locale).
std::string FormatVideoLogNumber(double Value);
// Reads such a number with either decimal separator ('.' or ','), so a change of locale never
// hides recordings; false unless the whole text is one finite number.
bool ParseVideoLogNumber(const std::string& Text, double& Value);
