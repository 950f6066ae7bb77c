#pragma once

#include <string>

#include "platform/DateTime.h"

// Which recordings run at this moment and how long each file has been running, for the marks
// drawn over the live picture.
struct TRecordingMarks {
    bool Motion = false;
    double MotionSeconds = 0;
    bool Constant = false;
    double ConstantSeconds = 0;

    friend bool operator==(const TRecordingMarks&, const TRecordingMarks&) = default;
};

// Whole seconds a file that started at Start has been running at Now; 0 while its start is not
// known yet (Start 0) and when the clock stands before it.
double RecordingSeconds(TDateTime Start, TDateTime Now);

// The running time as a mark shows it: "mm:ss", and "h:mm:ss" from the first hour on.
std::string FormatRecordingTime(double Seconds);
