#include "alarms/ZoneAlarmSettings.h"

void TZoneAlarmSettings::Assign(const TZoneAlarmSettings& Source) noexcept {
    try {
        if (&Source == this) {
            return;
        }
        ZoneName = Source.ZoneName;
        SoundVideoAlarmEnabled = Source.SoundVideoAlarmEnabled;
        SoundVideoAlarmFileName = Source.SoundVideoAlarmFileName;
        CaptureStillImagesEnabled = Source.CaptureStillImagesEnabled;
        CaptureStillImagesFolder = Source.CaptureStillImagesFolder;
        CaptureVideoEnabled = Source.CaptureVideoEnabled;
        CaptureVideoFolder = Source.CaptureVideoFolder;
    } catch (...) {
        // A failed copy (out of memory) leaves the entry as far as it got.
    }
}
