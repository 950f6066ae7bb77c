#pragma once

#include <cstdint>
#include <string>

class TPlaybackVideoWindow;

// What one video window shows: the compressed format's name and the decoded picture.
struct TVideoInfo {
    std::string Stream;
    int32_t Width = 0;
    int32_t Height = 0;
    int64_t AvgTimePerFrame = 0;  // 100-ns units
};

// Fills Info from the window's renderer: the picture size and frame time from its input's
// decoded format, and the stream name from the first compressed format met walking upstream
// through the converters and the decoder. False (logged) when the walk cannot start or is
// broken; a window whose input carries no picture size keeps the old size with a warning.
bool DescribeVideoWindow(TPlaybackVideoWindow& Window, TVideoInfo& Info);
