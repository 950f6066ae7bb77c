#include "controller/CameraManager.h"
#include "platform/Diagnostics.h"
#include "recording/WMEncodeGraphThread.h"

TRecordingMarks TCameraManager::RecordingMarks() {
    try {
        // Only the two recorder pointers need the lock; the time is read once for both.
        TDateTime motionStart = 0;
        TDateTime constantStart = 0;
        TRecordingMarks marks;
        {
            std::lock_guard<std::mutex> guard(FLock);
            if (FMotionVideoLoggerThread != nullptr) {
                marks.Motion = true;
                motionStart = FMotionVideoLoggerThread->StartDateTime();
            }
            if (FConstantVideoLoggerThread != nullptr) {
                marks.Constant = true;
                constantStart = FConstantVideoLoggerThread->StartDateTime();
            }
        }
        const TDateTime now = Now();
        marks.MotionSeconds = RecordingSeconds(motionStart, now);
        marks.ConstantSeconds = RecordingSeconds(constantStart, now);
        return marks;
    } catch (...) {
        LogMessage("Error in TCameraManager.RecordingMarks call...");
        return {};
    }
}
