#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scenes/SceneGenerator.h"

using TSceneFrames = std::vector<std::vector<uint8_t>>;

// What the multi-zone detection said for every frame and zone.
struct TSceneRun {
    std::vector<std::vector<bool>> Motion;  // [frame][zone]
    std::vector<std::vector<bool>> Ready;   // [frame][zone]
};

// Runs Frames (the scene's frames or their compressed copies) through the multi-zone detection
// as the camera controller drives it: all of the scene's zones, alarms off, the time per frame
// of the scene, the first frame only kept as the previous one, then each frame against the one
// before it.
TSceneRun RunScene(const TScene& Scene, const TSceneFrames& Frames, int32_t Mode,
                   int32_t Sensitivity);

// Judged against the truth, from 2 s on (the time a zone may take to get ready).
struct TZoneOutcome {
    // Frames with motion where no walker touches the zone, outside the second after the light.
    int32_t FalseFrames = 0;
    // Frames with motion in the second after the light was switched on.
    int32_t LightFrames = 0;
    // Frames in which walkers cover at least 2 % of the zone, and those of them with motion.
    int32_t CoveredFrames = 0;
    int32_t DetectedFrames = 0;
    // The longest wait, in frames, from the start of a run of covered frames to its first
    // motion; -1 when a run had none.
    int32_t WorstLatencyFrames = 0;
    // The first frame from which the zone stayed ready; -1 when it never got ready.
    int32_t ReadyFrame = -1;
};

std::vector<TZoneOutcome> JudgeScene(const TScene& Scene, const TSceneRun& Run);

// "12/40 (95 %) 0.1 s" style summary of one zone for the measurement tables.
std::string DescribeOutcome(const TZoneOutcome& Outcome, int32_t FramesPerSecond);
