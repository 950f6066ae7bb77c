#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "graph/Graph.h"
#include "platform/UniqueFd.h"
#include "recording/AVSourceControl.h"
#include "recording/RecordingFormat.h"
#include "recording/RecordingTypes.h"
#include "recording/WindowsMediaConfigurator.h"

class TAVSourceFilter;

// The graph that writes one recording file: the source element ("AVSourceFilter"), whose
// pins pull the recorder's frames, into the writer of the recording format, the WMV writer
// ("WMV Writer", the default) or the MP4 writer ("MP4 Writer"), configured with a profile of
// the recording's streams. Add the streams and the duration, choose the format, set the
// destination file (which builds and connects the graph), play, stop, eject.
//
// Stop finishes the file before the graph stops: the streams end, the writer writes what it
// holds and completes the file's header and index. A write failure while playing (a full
// disk, a vanished folder) is logged once and reported to the failure handler.
class TWMEncodeGraph : public TGraph {
public:
    TWMEncodeGraph();
    ~TWMEncodeGraph() override;

    HRESULT AddVideoStream(const TVideoStreamSettings& VideoStreamSettings);
    HRESULT AddAudioStream(const TAudioStreamSettings& AudioStreamSettings);
    HRESULT ClearVideoStreamsList();
    HRESULT ClearAudioStreamsList();
    HRESULT SetDuration(int64_t Duration);
    // The file format written; WMV unless said otherwise. Only before SetDestinationFile
    // (E_FAIL after it); Reset keeps it.
    HRESULT SetRecordingFormat(TRecordingFormat Format);
    TRecordingFormat RecordingFormat() const { return FRecordingFormat; }
    // File is FileName already created as a new file (see CreateNewFile). Without one, an
    // existing regular file of that name is deleted and the name created anew; a name taken by
    // anything else (a link, a pipe) is refused.
    HRESULT SetDestinationFile(const std::string& FileName, TUniqueFd File = TUniqueFd());

    HRESULT Stop() override;
    virtual HRESULT EjectFile();
    virtual HRESULT Reset();

    HRESULT GetProgress(double& Progress);
    HRESULT GetFileDuration(double& Duration);

    HRESULT GetVideoCodecsCount(uint32_t& Count);
    HRESULT GetVideoCodecName(uint32_t CodecIndex, std::string& Name);
    HRESULT GetVideoCodecFormatDescription(uint32_t CodecIndex, std::string& Description);
    HRESULT GetAudioCodecsCount(uint32_t& Count);
    HRESULT GetAudioCodecName(uint32_t CodecIndex, std::string& Name);
    HRESULT GetAudioCodecFormatsCount(uint32_t CodecIndex, uint32_t& Count);
    HRESULT GetAudioCodecFormatDescription(uint32_t CodecIndex, uint32_t FormatIndex,
                                           std::string& Description);

    bool IsFileNameSet() const { return !FFileName.empty(); }
    const std::string& FileName() const { return FFileName; }
    // The source element's control interface; set by SetDestinationFile, released only when
    // the graph is torn down (Reset, destruction).
    std::shared_ptr<IAVSourceControl> AVSourceControl() const;
    double LastDuration() const { return FLastDuration; }
    // The writer element, WMV or MP4 after the recording format.
    GstElement* WMVWriter() const { return FWMVWriter.Get(); }

    // Called (on a streaming thread) when writing fails while the graph plays.
    using TFailureHandler = std::function<void()>;
    void SetFailureHandler(TFailureHandler Handler);
    bool Failed() const { return FFailed; }

    // How long Stop waits for the writer to finish the file.
    static constexpr int32_t kFinishTimeoutMs = 10000;

private:
    HRESULT DestroyGraph();
    // Adds the MP4 writer for FFileName (File: see SetDestinationFile) and applies the
    // profile of the streams to it (SetDestinationFile's part for MP4).
    HRESULT AddMP4Writer(TUniqueFd File);
    std::string WriterName() const;
    void DisconnectSourcePins();
    void RemoveEmptyFile();
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);

    TAVSourceFilter* FAVSourceFilterClass = nullptr;
    TGstElementHandle FAVSourceFilter;
    TGstElementHandle FWMVWriter;  // the writer of FRecordingFormat
    TRecordingFormat FRecordingFormat = TRecordingFormat::Wmv;
    std::string FFileName;
    int64_t FDuration = 0;
    std::shared_ptr<IAVSourceControl> FAVSourceControl;
    mutable std::mutex FControlLock;  // FAVSourceControl is also read by the frame thread
    bool FFileSet = false;
    std::unique_ptr<TWindowsMediaConfigurator> FWindowsMediaConfigurator;
    std::vector<TVideoStreamSettings> FVideoStreams;
    std::vector<TAudioStreamSettings> FAudioStreams;
    double FLastDuration = 0;
    std::atomic<bool> FFailed{false};
    // The file's end (end-of-stream or a failure) has reached the bus.
    std::mutex FEndLock;
    std::condition_variable FEndWake;
    bool FEnded = false;
    std::mutex FFailureLock;
    TFailureHandler FFailureHandler;
};
