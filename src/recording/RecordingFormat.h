#pragma once

#include <string>
#include <string_view>

// The file format of the recordings: WMV (ASF with WMV2 video, the default; existing users and
// their tools rely on it) or MP4 (H.264 video, plays in browsers and on phones).
enum class TRecordingFormat { Wmv, Mp4 };

// ".wmv" or ".mp4".
const char* RecordingExtension(TRecordingFormat Format);
// "wmv" or "mp4", as the settings file and the command line write it.
const char* RecordingFormatName(TRecordingFormat Format);
// "wmv" or "mp4" in any case; false (Format untouched) for anything else.
bool ParseRecordingFormat(std::string_view Text, TRecordingFormat& Format);
// Whether Name ends in the extension of one of the formats (any case).
bool HasRecordingExtension(std::string_view Name);
