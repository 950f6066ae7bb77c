#pragma once

#include <string>

// The play length of a recording file in seconds, read from the file itself: the duration its
// header states when it was closed normally, else the end of its last frame (a file cut off by
// a crash or a power cut is read through to its end, without decoding). False when the file is
// not a regular file or holds no frame at all.
bool ReadRecordingLength(const std::string& FileName, double& Seconds);
