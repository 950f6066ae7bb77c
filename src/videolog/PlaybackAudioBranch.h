#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/GstHandle.h"
#include "platform/HResult.h"
#include "videolog/PlaybackFilter.h"

// One audio stream of the playback filter and its volume object: the decoded stream runs
// through queue ! audioconvert ! level ! volume ! audioconvert ! audioresample into the audio
// sink. The level element reports peak and RMS per channel every 50 ms; the filter's bus
// handler hands those reports to TakeLevelMessage.
//
// Threads: the volume-object calls come from the filter's caller; level reports arrive on
// whichever streaming thread posted them. FLock guards FPeak, FRms and FMetering.
class TPlaybackAudioBranch final : public TPCMVolumeControl {
public:
    static constexpr double kSilence = -120.0;
    static constexpr double kLoudest = 20.0;

    TPlaybackAudioBranch(const GstCaps* StreamCaps, uint32_t ProgramID, uint32_t AudioPID);
    ~TPlaybackAudioBranch() override = default;
    TPlaybackAudioBranch(const TPlaybackAudioBranch&) = delete;
    TPlaybackAudioBranch& operator=(const TPlaybackAudioBranch&) = delete;

    // Adds the elements to `Pipeline` ending in `AudioSink`, links `DecodedPad` into them and
    // brings them to the pipeline's state. False (elements removed again) when that fails.
    bool Attach(GstBin* Pipeline, GstPad* DecodedPad, TGstElementHandle AudioSink);

    HRESULT GetChannelsCount(uint32_t& Count) override;
    HRESULT SetVolume(double Gain) override;
    HRESULT GetChannelLevel(uint32_t Channel, double& Level, double& Second) override;
    HRESULT GetProgramID(uint32_t& ProgramID) override;

    uint32_t AudioPID() const { return FAudioPID; }
    // Whether `Source` is this branch's level element (the sender of a level report).
    bool OwnsLevel(const GstObject* Source) const;
    // Stores a "level" report while metering is on; ignored otherwise.
    void TakeLevelMessage(const GstStructure* Report);
    // Metering on (playing) or off (paused, stopped, seeking); switching off also resets the
    // levels to silence when `Reset` is set.
    void SetMetering(bool On, bool Reset);

private:
    const uint32_t FProgramID;
    const uint32_t FAudioPID;
    uint32_t FChannels = 0;

    TGstElementHandle FLevel;
    TGstElementHandle FVolume;

    mutable std::mutex FLock;
    bool FMetering = false;
    std::vector<double> FPeak;
    std::vector<double> FRms;
};
