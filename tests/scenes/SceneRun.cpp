#include "scenes/SceneRun.h"

#include <cstdio>

#include "alarms/AlarmSettings.h"
#include "detection/MotionDetectionListManager.h"

TSceneRun RunScene(const TScene& Scene, const TSceneFrames& Frames, int32_t Mode,
                   int32_t Sensitivity) {
    const TSceneDescription& d = Scene.Description;
    const int32_t zones = static_cast<int32_t>(Scene.Zones.size());
    TAlarmSettings alarms;
    for (int32_t z = 0; z < zones; ++z) {
        alarms.AddZone();
    }
    TSceneRun run;
    std::vector<bool> motion(zones, false);
    TMotionDetectionListManager detection(1000 / d.FramesPerSecond);
    detection.AddMotionDetectionCallback([&](int32_t zone) {
        motion[zone] = true;
        return true;
    });
    detection.AddNoMotionDetectionCallback([&](int32_t zone) {
        motion[zone] = false;
        return true;
    });
    detection.SetAlarmSettings(alarms);
    detection.SetMotionDetectionSensitivity(Sensitivity);
    detection.SetMotionDetectionMode(Mode);
    for (const TSceneZone& zone : Scene.Zones) {
        detection.AddMotionDetector(d.Width, d.Height, zone.Rect);
    }
    for (size_t f = 0; f < Frames.size(); ++f) {
        if (f > 0) {
            detection.MotionDetection_CountDifferentPixelsBlock_RGB32(Frames[f].data(),
                                                                      Frames[f - 1].data());
        }
        run.Motion.push_back(f > 0 ? motion : std::vector<bool>(zones, false));
        std::vector<bool> ready;
        for (int32_t z = 0; z < zones; ++z) {
            ready.push_back(detection.IsReadyToProcess(z));
        }
        run.Ready.push_back(ready);
    }
    return run;
}

std::vector<TZoneOutcome> JudgeScene(const TScene& Scene, const TSceneRun& Run) {
    const TSceneDescription& d = Scene.Description;
    const int32_t fps = d.FramesPerSecond;
    const int32_t settle = 2 * fps;
    const int32_t lightFrame =
        d.LightOnSeconds >= 0 ? static_cast<int32_t>(d.LightOnSeconds * fps + 0.5) : -1;
    const int32_t frames = static_cast<int32_t>(Run.Motion.size());
    std::vector<TZoneOutcome> outcomes(Scene.Zones.size());
    for (size_t z = 0; z < Scene.Zones.size(); ++z) {
        TZoneOutcome& o = outcomes[z];
        for (int32_t f = frames - 1; f >= 0 && Run.Ready[f][z]; --f) {
            o.ReadyFrame = f;
        }
        int32_t runStart = -1;
        bool runDetected = false;
        for (int32_t f = settle; f < frames; ++f) {
            const double coverage = Scene.Coverage[f][z];
            const bool motion = Run.Motion[f][z];
            const bool afterLight = lightFrame >= 0 && f >= lightFrame && f < lightFrame + fps;
            if (coverage >= 2.0) {
                ++o.CoveredFrames;
                o.DetectedFrames += motion ? 1 : 0;
                if (runStart < 0) {
                    runStart = f;
                    runDetected = false;
                }
                if (motion && !runDetected) {
                    runDetected = true;
                    if (o.WorstLatencyFrames >= 0) {
                        o.WorstLatencyFrames = std::max(o.WorstLatencyFrames, f - runStart);
                    }
                }
            } else {
                if (runStart >= 0 && !runDetected) {
                    o.WorstLatencyFrames = -1;
                }
                runStart = -1;
                if (afterLight) {
                    o.LightFrames += motion ? 1 : 0;
                } else if (coverage == 0.0) {
                    o.FalseFrames += motion ? 1 : 0;
                }
            }
        }
        if (runStart >= 0 && !runDetected) {
            o.WorstLatencyFrames = -1;
        }
    }
    return outcomes;
}

std::string DescribeOutcome(const TZoneOutcome& o, int32_t FramesPerSecond) {
    char text[160];
    int n = std::snprintf(text, sizeof text, "false %d", o.FalseFrames);
    if (o.LightFrames > 0) {
        n += std::snprintf(text + n, sizeof text - n, ", light %.1f s",
                           static_cast<double>(o.LightFrames) / FramesPerSecond);
    }
    if (o.CoveredFrames > 0) {
        n += std::snprintf(text + n, sizeof text - n, ", found %d/%d", o.DetectedFrames,
                           o.CoveredFrames);
        if (o.WorstLatencyFrames >= 0) {
            std::snprintf(text + n, sizeof text - n, " in %.1f s",
                          static_cast<double>(o.WorstLatencyFrames) / FramesPerSecond);
        } else {
            std::snprintf(text + n, sizeof text - n, ", one missed");
        }
    }
    return text;
}
