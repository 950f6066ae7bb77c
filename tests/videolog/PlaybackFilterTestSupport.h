#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "localisation/TempFolder.h"
#include "support/PlaybackTestFiles.h"
#include "videolog/PlaybackFilter.h"

namespace PlaybackTest {

constexpr int64_t kSecond = 10000000;

// Polls `condition` every 5 ms for at most `bound`.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds bound = std::chrono::milliseconds(20000)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The test files, each made the first time a test asks for it and kept for the process.
enum class TFile { OwnRecording, OwnMp4Recording, ToneVideo, TwoPrograms, ToneWave };

inline const std::string& FileOf(TFile file) {
    static TempFolder folder;
    static std::map<TFile, std::string> made;
    static std::mutex lock;
    std::lock_guard guard(lock);
    auto found = made.find(file);
    if (found != made.end()) {
        return found->second;
    }
    std::string path;
    bool ok = false;
    switch (file) {
        case TFile::OwnRecording:
            path = folder.Path() + "/recording.wmv";
            ok = PlaybackTestFiles::MakeOwnRecording(path, 2.0);
            break;
        case TFile::OwnMp4Recording:
            path = folder.Path() + "/recording.mp4";
            ok = PlaybackTestFiles::MakeOwnRecording(path, 2.0, TRecordingFormat::Mp4);
            break;
        case TFile::ToneVideo:
            path = folder.Path() + "/tone.mkv";
            ok = PlaybackTestFiles::MakeToneVideo(path, 3.0);
            break;
        case TFile::ToneWave:
            path = folder.Path() + "/tone.wav";
            ok = PlaybackTestFiles::MakeToneWave(path, 2.0, 1);
            break;
        case TFile::TwoPrograms:
            path = folder.Path() + "/programs.ts";
            ok = PlaybackTestFiles::MakeTwoProgramTransportStream(path, 2.0);
            break;
    }
    EXPECT_TRUE(ok) << "cannot make " << path;
    return made.emplace(file, ok ? path : std::string()).first->second;
}

// A copy of a test file in a folder of the caller's, for tests that damage or delete it.
inline std::string CopyOf(TFile file, const TempFolder& folder, const std::string& name) {
    const std::string target = folder.Path() + "/" + name;
    std::filesystem::copy_file(FileOf(file), target,
                               std::filesystem::copy_options::overwrite_existing);
    return target;
}

// Collects the frames a window hands out (from streaming threads).
class TFrameLog {
public:
    TPlaybackFrameCallback Callback() {
        return [this](std::shared_ptr<const TPlaybackFrame> frame) {
            std::lock_guard lock(FLock);
            FFrames.push_back(std::move(frame));
        };
    }
    size_t Count() const {
        std::lock_guard lock(FLock);
        return FFrames.size();
    }
    std::shared_ptr<const TPlaybackFrame> Last() const {
        std::lock_guard lock(FLock);
        return FFrames.empty() ? nullptr : FFrames.back();
    }
    // Waits until a frame after the first `seen` ones has come in; that frame, or null.
    std::shared_ptr<const TPlaybackFrame> WaitForNew(size_t seen) const {
        if (!WaitUntil([&] { return Count() > seen; })) {
            return nullptr;
        }
        return Last();
    }

private:
    mutable std::mutex FLock;
    std::vector<std::shared_ptr<const TPlaybackFrame>> FFrames;
};

inline int64_t Position(TPlaybackFilter& filter) {
    int64_t position = -1;
    EXPECT_EQ(filter.GetPosition(position), S_OK);
    return position;
}

inline int64_t Duration(TPlaybackFilter& filter) {
    int64_t duration = -1;
    EXPECT_EQ(filter.GetDuration(duration), S_OK);
    return duration;
}

inline TPlaybackVideoWindow* Window(TPlaybackFilter& filter, uint32_t index,
                                    uint32_t* program = nullptr, uint32_t* pid = nullptr) {
    TPlaybackVideoWindow* window = nullptr;
    uint32_t p = 0;
    uint32_t v = 0;
    EXPECT_EQ(filter.GetVideoWindow(index, window, p, v), S_OK);
    if (program != nullptr) {
        *program = p;
    }
    if (pid != nullptr) {
        *pid = v;
    }
    return window;
}

inline double Seconds(int64_t units) { return static_cast<double>(units) / kSecond; }

}  // namespace PlaybackTest
