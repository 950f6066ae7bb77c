#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Rect.h"

// Street scenes with known truth for the detectors: a textured background with the 1/f
// spectrum of real photographs (a sunny facade with windows, a pavement, a tree against the
// sky), sensor noise, auto-exposure drift, a light switched on, swaying leaves and people-sized
// objects walking through. Frames are RGB32 (blue, green, red, 0), rows top-down and packed.
// The same description always gives the same frames.

// An object that walks in a straight line at constant speed from EnterSeconds on.
struct TSceneWalker {
    double EnterSeconds = 0;
    double StartX = 0;  // left edge at EnterSeconds
    double Top = 0;
    double SpeedX = 0;  // pixels per second; negative walks to the left
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t Blue = 0, Green = 0, Red = 0;
};

struct TSceneZone {
    std::string Name;
    TRect Rect;
};

struct TSceneDescription {
    std::string Name;
    int32_t Width = 320;
    int32_t Height = 240;
    int32_t FramesPerSecond = 10;
    double Seconds = 10;
    uint32_t Seed = 1;
    // Standard deviation of the per-channel Gaussian sensor noise, in levels.
    double NoiseLevels = 2.5;
    // Auto-exposure: brightness scaled so that mid-grey moves by up to +-DriftLevels, a sine of
    // DriftPeriodSeconds (the default rises by DriftLevels in the first 10 s).
    double DriftLevels = 0;
    double DriftPeriodSeconds = 40;
    // From this time on a lamp lights the scene (brighter by a quarter, plus its glow); < 0: never.
    double LightOnSeconds = -1;
    // The tree's leaves sway (a few pixels, about once a second).
    bool SwayingLeaves = false;
    std::vector<TSceneWalker> Walkers;
    // Compressed by a real codec before detection (done by the media-side helper).
    bool Compressed = true;
};

struct TScene {
    TSceneDescription Description;
    std::vector<TSceneZone> Zones;
    // Frames[i]: Width * Height * 4 bytes.
    std::vector<std::vector<uint8_t>> Frames;
    // Coverage[i][z]: percent of zone z covered by walkers in frame i (the truth).
    std::vector<std::vector<double>> Coverage;
};

// The zones of every scene: "wall" (the sunny facade, nothing walks there), "walkway" (the
// pavement where people walk) and "tree" (the crown and the sky behind it).
std::vector<TSceneZone> SceneZones(int32_t Width, int32_t Height);

TScene GenerateScene(const TSceneDescription& Description);

// The scenes the detectors are measured on, each with what happens in it.
std::vector<TSceneDescription> StandardScenes();
