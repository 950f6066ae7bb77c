#pragma once

#include <cstddef>
#include <string>

#include "recording/RecordingFormat.h"

// Media files for playback tests, written into a given path. Each returns false when the file
// could not be made (a missing encoder, a failing pipeline). They are short so tests stay fast.
namespace PlaybackTestFiles {

// The frame size and rate of MakeOwnRecording.
constexpr int kRecordingWidth = 320;
constexpr int kRecordingHeight = 240;
constexpr double kRecordingFps = 10.0;

// A recording made by the program's own recorder: a bar moving over a gradient, recorded in
// real time, so it takes about `Seconds` to make.
bool MakeOwnRecording(const std::string& Path, double Seconds = 2.0,
                      TRecordingFormat Format = TRecordingFormat::Wmv);

// The frame size and rate of MakeToneVideo.
constexpr int kToneVideoWidth = 320;
constexpr int kToneVideoHeight = 240;
constexpr int kToneVideoFps = 25;

// A Matroska file: a moving ball (H.264) and a 440 Hz sine tone in two channels, the left one
// about 12 dB louder than the right (so a meter that mixes up channels shows it).
bool MakeToneVideo(const std::string& Path, double Seconds = 3.0);

// A sound-only WAV file: a 440 Hz sine tone in `Channels` channels.
bool MakeToneWave(const std::string& Path, double Seconds = 2.0, int Channels = 1);

// The layout of MakeTwoProgramTransportStream.
constexpr int kTransportProgramA = 1;
constexpr int kTransportProgramB = 2;
constexpr int kTransportVideoPidA = 0x100;
constexpr int kTransportVideoPidB = 0x200;
constexpr int kTransportAudioPidB = 0x201;
constexpr int kTransportWidth = 160;
constexpr int kTransportHeight = 120;

// An MPEG-2 transport stream with two programs: program 1 has one MPEG-2 video, program 2 one
// MPEG-2 video and one MPEG audio stream (stereo tone), 25 frames per second.
bool MakeTwoProgramTransportStream(const std::string& Path, double Seconds = 2.0);

// Cuts the file to half its length (a recording that was never finished).
bool CutInHalf(const std::string& Path);

// Overwrites the first `Bytes` of the file with a fixed pseudo-random pattern.
bool OverwriteHeader(const std::string& Path, std::size_t Bytes = 4096);

}  // namespace PlaybackTestFiles
