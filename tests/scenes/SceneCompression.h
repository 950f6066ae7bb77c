#pragma once

#include <cstdint>

#include "scenes/SceneRun.h"

// Encodes RGB32 frames with a real codec (MPEG-4 part 2) at a low bit rate with a key frame
// every KeyFrameInterval frames, and decodes them again: the blocks, ringing and key-frame
// jumps of a cheap camera's stream. False (with a message) when the graph fails or the frame
// count changes.
bool CompressScene(const TSceneFrames& Frames, int32_t Width, int32_t Height,
                   int32_t FramesPerSecond, int32_t BitsPerSecond, int32_t KeyFrameInterval,
                   TSceneFrames& Compressed, std::string& Message);

// Writes the frames as an MPEG-4 part 2 stream in an AVI file (for the file cameras).
bool WriteSceneVideo(const TSceneFrames& Frames, int32_t Width, int32_t Height,
                     int32_t FramesPerSecond, int32_t BitsPerSecond, int32_t KeyFrameInterval,
                     const std::string& FileName, std::string& Message);
