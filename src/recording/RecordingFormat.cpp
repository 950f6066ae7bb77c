#include "recording/RecordingFormat.h"

#include <cctype>

namespace {

bool EqualsIgnoringCase(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) {
        return false;
    }
    for (size_t i = 0; i < A.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(A[i])) !=
            std::tolower(static_cast<unsigned char>(B[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

const char* RecordingExtension(TRecordingFormat Format) {
    return Format == TRecordingFormat::Mp4 ? ".mp4" : ".wmv";
}

const char* RecordingFormatName(TRecordingFormat Format) {
    return Format == TRecordingFormat::Mp4 ? "mp4" : "wmv";
}

bool ParseRecordingFormat(std::string_view Text, TRecordingFormat& Format) {
    for (TRecordingFormat candidate : {TRecordingFormat::Wmv, TRecordingFormat::Mp4}) {
        if (EqualsIgnoringCase(Text, RecordingFormatName(candidate))) {
            Format = candidate;
            return true;
        }
    }
    return false;
}

bool HasRecordingExtension(std::string_view Name) {
    for (TRecordingFormat format : {TRecordingFormat::Wmv, TRecordingFormat::Mp4}) {
        const std::string_view extension = RecordingExtension(format);
        if (Name.size() > extension.size() &&
            EqualsIgnoringCase(Name.substr(Name.size() - extension.size()), extension)) {
            return true;
        }
    }
    return false;
}
