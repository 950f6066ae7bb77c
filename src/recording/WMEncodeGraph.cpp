#include "recording/WMEncodeGraph.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "platform/Diagnostics.h"
#include "platform/SafeFiles.h"
#include "recording/AVSourceFilter.h"
#include "recording/MP4Writer.h"
#include "recording/WMVWriter.h"

namespace {

constexpr double kUnitsPerSecond = 10000000.0;

void Failure(const std::string& what) {
    LogMessage("Error in TWMEncodeGraph.SetDestinationFile - " + what);
}

// A file nobody may write (no write permission bit) counts as read-only, whoever runs us; a
// name that is not a regular file (a link, a pipe, a folder) is never replaced either.
bool IsReadOnlyOrNotAFile(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 &&
           (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0);
}

}  // namespace

TWMEncodeGraph::TWMEncodeGraph() : TGraph(TGraphClock::System) {
    try {
        FWindowsMediaConfigurator = std::make_unique<TWindowsMediaConfigurator>();
        TWMVWriter::Register();
        TMP4Writer::Register();
        if (MediaEvent() != nullptr) {
            gst_bus_set_sync_handler(MediaEvent(), &TWMEncodeGraph::OnBusMessage, this, nullptr);
        }
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.Create call...");
    }
}

TWMEncodeGraph::~TWMEncodeGraph() {
    try {
        DestroyGraph();
        if (MediaEvent() != nullptr) {
            gst_bus_set_sync_handler(MediaEvent(), nullptr, nullptr, nullptr);
        }
        FWindowsMediaConfigurator.reset();
        FVideoStreams.clear();
        FAudioStreams.clear();
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.Destroy call...");
    }
}

GstBusSyncReply TWMEncodeGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if (type != GST_MESSAGE_ERROR && type != GST_MESSAGE_EOS) {
        return GST_BUS_PASS;
    }
    auto* graph = static_cast<TWMEncodeGraph*>(self);
    {
        std::lock_guard lock(graph->FEndLock);
        graph->FEnded = true;
    }
    graph->FEndWake.notify_all();
    if (type == GST_MESSAGE_EOS) {
        return GST_BUS_PASS;
    }
    if (!graph->FFailed.exchange(true)) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        LogMessage(std::string("Error in TWMEncodeGraph.Play - the file cannot be written: ") +
                   (error != nullptr ? error->message : "unknown error") + ".");
        if (error != nullptr) {
            g_error_free(error);
        }
        std::lock_guard lock(graph->FFailureLock);
        if (graph->FFailureHandler) {
            graph->FFailureHandler();
        }
    }
    return GST_BUS_PASS;
}

void TWMEncodeGraph::SetFailureHandler(TFailureHandler Handler) {
    std::lock_guard lock(FFailureLock);
    FFailureHandler = std::move(Handler);
}

std::shared_ptr<IAVSourceControl> TWMEncodeGraph::AVSourceControl() const {
    std::lock_guard lock(FControlLock);
    return FAVSourceControl;
}

HRESULT TWMEncodeGraph::AddVideoStream(const TVideoStreamSettings& VideoStreamSettings) {
    try {
        if (FFileSet) {
            LogMessage(
                "Error in TWMEncodeGraph.AddVideoStream - cannot call after SetDestinationFile.");
            return E_FAIL;
        }
        if (FWindowsMediaConfigurator->CheckValidVideoCodec(VideoStreamSettings.CodecIndex) !=
            S_OK) {
            return E_INVALIDARG;
        }
        FVideoStreams.push_back(VideoStreamSettings);
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.AddVideoStream call...");
        return E_FAIL;
    }
}

HRESULT TWMEncodeGraph::AddAudioStream(const TAudioStreamSettings& AudioStreamSettings) {
    try {
        if (FFileSet) {
            LogMessage(
                "Error in TWMEncodeGraph.SetAudioParameters - cannot call after "
                "SetDestinationFile.");
            return E_FAIL;
        }
        if (FWindowsMediaConfigurator->CheckValidAudioCodec(
                AudioStreamSettings.CodecIndex, AudioStreamSettings.FormatIndex) != S_OK) {
            return E_INVALIDARG;
        }
        FAudioStreams.push_back(AudioStreamSettings);
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.AddAudioStream call...");
        return E_FAIL;
    }
}

HRESULT TWMEncodeGraph::ClearVideoStreamsList() {
    try {
        FVideoStreams.clear();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.ClearVideoStreamsList call...");
        return E_FAIL;
    }
}

HRESULT TWMEncodeGraph::ClearAudioStreamsList() {
    try {
        FAudioStreams.clear();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.ClearAudioStreamsList call...");
        return E_FAIL;
    }
}

HRESULT TWMEncodeGraph::SetDuration(int64_t Duration) {
    try {
        if (FFileSet) {
            LogMessage(
                "Error in TWMEncodeGraph.SetDuration - cannot call after SetDestinationFile.");
            return E_FAIL;
        }
        FDuration = Duration;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.SetDuration call...");
        return E_FAIL;
    }
}

HRESULT TWMEncodeGraph::SetRecordingFormat(TRecordingFormat Format) {
    if (FFileSet) {
        LogMessage(
            "Error in TWMEncodeGraph.SetRecordingFormat - cannot call after SetDestinationFile.");
        return E_FAIL;
    }
    FRecordingFormat = Format;
    return S_OK;
}

HRESULT TWMEncodeGraph::SetDestinationFile(const std::string& FileName, TUniqueFd File) {
    try {
        if (FFileSet) {
            Failure("cannot call SetDestinationFile twice.");
            return E_FAIL;
        }
        if (FVideoStreams.empty() && FAudioStreams.empty()) {
            Failure("there are no streams to encode.");
            return E_FAIL;
        }
        std::error_code ec;
        if (!File && NameTaken(FileName)) {
            if (IsReadOnlyOrNotAFile(FileName) || !std::filesystem::remove(FileName, ec)) {
                Failure("cannot delete file.");
                return E_FAIL;
            }
        }
        FFileName = FileName;

        HRESULT hr = E_FAIL;
        std::shared_ptr<TAVSourceFilter> source = TAVSourceFilter::Create("Source", hr);
        if (source) {
            FAVSourceFilterClass = source.get();
            FAVSourceFilter = TGstElementHandle::Adopt(source->Element());
            gst_object_set_name(GST_OBJECT(FAVSourceFilter.Get()), "AVSourceFilter");
            hr = GraphBuilder() != nullptr &&
                         gst_bin_add(GST_BIN(GraphBuilder()), FAVSourceFilter.Get())
                     ? S_OK
                     : E_FAIL;
        }
        if (FAILED(hr)) {
            Failure("cannot add AVSourceFilter.");
            Reset();
            return hr;
        }
        {
            std::lock_guard lock(FControlLock);
            FAVSourceControl = source;
        }

        for (const TVideoStreamSettings& s : FVideoStreams) {
            hr = source->AddVideoStream(static_cast<int32_t>(s.InputWidth),
                                        static_cast<int32_t>(s.InputHeight), &s.ColorSpace,
                                        s.InputTimePerFrame, s.NextFrameFunction,
                                        s.ReleaseFrameFunction, s.SkipEmptyFrames, s.LeadTime);
            if (FAILED(hr)) {
                Failure("cannot add video stream.");
                Reset();
                return hr;
            }
            TWMVideoStreamSettings wm;
            wm.VideoWidth = s.OutputWidth;
            wm.VideoHeight = s.OutputHeight;
            wm.VideoCodecIndex = s.CodecIndex;
            wm.VideoBitrate = s.VideoBitrate;
            wm.TimePerFrame = s.OutputTimePerFrame;
            wm.VideoQuality = s.VideoQuality;
            wm.KeyFrameInterval = s.KeyFrameInterval;
            hr = FWindowsMediaConfigurator->AddVideoStream(wm);
            if (hr != S_OK) {
                Failure("cannot add WM video stream.");
                return hr;
            }
        }
        for (const TAudioStreamSettings& s : FAudioStreams) {
            hr = source->AddAudioStream(&s.WaveFormat, s.NextFrameFunction, s.ReleaseFrameFunction);
            if (FAILED(hr)) {
                Failure("cannot add audio stream.");
                Reset();
                return hr;
            }
            TWMAudioStreamSettings wm;
            wm.AudioCodecIndex = s.CodecIndex;
            wm.AudioFormatIndex = s.FormatIndex;
            hr = FWindowsMediaConfigurator->AddAudioStream(wm);
            if (hr != S_OK) {
                Failure("cannot add WM audio stream.");
                return hr;
            }
        }

        hr = source->SetDuration(FDuration);
        if (FAILED(hr)) {
            Failure("cannot set clip duration.");
            Reset();
            return hr;
        }
        if (FRecordingFormat == TRecordingFormat::Mp4) {
            hr = AddMP4Writer(std::move(File));
            if (hr != S_OK) {
                return hr;
            }
        } else {
            hr = AddFilter(TWMVWriter::kFactoryName, FWMVWriter, "WMV Writer");
            if (hr != S_OK) {
                Failure("cannot create WMV Writer filter.");
                return hr;
            }
            if (FAILED(TWMVWriter::SetFileName(FWMVWriter.Get(), FFileName, std::move(File)))) {
                Failure("cannot access File Writer filter.");
                return E_FAIL;
            }
            hr = FWindowsMediaConfigurator->ConfigureWMVFilter(FWMVWriter.Get());
            if (hr != S_OK) {
                Failure("cannot set WMV settings.");
                return hr;
            }
        }
        for (size_t i = 0; i < FVideoStreams.size(); ++i) {
            hr = ConnectPinsIntelligent(FAVSourceFilter.Get(), "Video " + std::to_string(i),
                                        FWMVWriter.Get(), "Video Input 0" + std::to_string(i + 1));
            if (hr != S_OK) {
                Failure("cannot connect AVSource filter and " + WriterName() + " filter.");
                return hr;
            }
        }
        for (size_t i = 0; i < FAudioStreams.size(); ++i) {
            hr = ConnectPinsIntelligent(FAVSourceFilter.Get(), "Audio " + std::to_string(i),
                                        FWMVWriter.Get(), "Audio Input 0" + std::to_string(i + 1));
            if (hr != S_OK) {
                Failure("cannot connect AVSource filter and " + WriterName() + " filter.");
                return hr;
            }
        }
        if (!AllPinsConnected(FWMVWriter.Get())) {
            Failure("there are unconnected pins on " + WriterName() + " filter.");
            return E_FAIL;
        }
        {
            std::lock_guard lock(FEndLock);
            FEnded = false;
        }
        FFileSet = true;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.SetDestinationFile call...");
        return E_FAIL;
    }
}

std::string TWMEncodeGraph::WriterName() const {
    return FRecordingFormat == TRecordingFormat::Mp4 ? "MP4 Writer" : "WMV Writer";
}

HRESULT TWMEncodeGraph::AddMP4Writer(TUniqueFd File) {
    HRESULT hr = AddFilter(TMP4Writer::kFactoryName, FWMVWriter, "MP4 Writer");
    if (hr != S_OK) {
        Failure("cannot create MP4 Writer filter.");
        return hr;
    }
    if (FAILED(TMP4Writer::SetFileName(FWMVWriter.Get(), FFileName, std::move(File)))) {
        Failure("cannot access File Writer filter.");
        return E_FAIL;
    }
    // The same profile as a WMV file's (size, rate, bit rate, key-frame spacing), applied by
    // the MP4 writer.
    TWMProfile profile;
    hr = FWindowsMediaConfigurator->ConfigureWMVFilter(nullptr, &profile);
    if (hr == S_OK) {
        hr = TMP4Writer::ConfigureFilterUsingProfile(FWMVWriter.Get(), profile);
    }
    if (hr != S_OK) {
        Failure("cannot set MP4 settings.");
        return FAILED(hr) ? hr : E_FAIL;
    }
    return S_OK;
}

HRESULT TWMEncodeGraph::Stop() {
    try {
        GstElement* pipeline = MediaControl();
        if (pipeline != nullptr && FWMVWriter && !FFailed) {
            GstState state = GST_STATE_NULL;
            gst_element_get_state(pipeline, &state, nullptr, 0);
            if (state >= GST_STATE_PAUSED || GST_STATE_TARGET(pipeline) >= GST_STATE_PAUSED) {
                // End the streams (unless they have ended at the duration) and let the writer
                // complete the file before the graph stops.
                // The source ends its streams after the sample in hand, so that nothing
                // delivered is lost; the end then travels through the writer to the bus.
                if (FAVSourceFilterClass != nullptr) {
                    FAVSourceFilterClass->SetDuration(0);
                }
                std::unique_lock lock(FEndLock);
                FEndWake.wait_for(lock, std::chrono::milliseconds(kFinishTimeoutMs),
                                  [this] { return FEnded; });
            }
        }
        return TGraph::Stop();
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.Stop call...");
        return E_FAIL;
    }
}

void TWMEncodeGraph::DisconnectSourcePins() {
    for (size_t i = 0; i < FVideoStreams.size(); ++i) {
        DisconnectPins(FAVSourceFilter.Get(), "Video " + std::to_string(i), PINDIR_OUTPUT);
    }
    for (size_t i = 0; i < FAudioStreams.size(); ++i) {
        DisconnectPins(FAVSourceFilter.Get(), "Audio " + std::to_string(i), PINDIR_OUTPUT);
    }
}

void TWMEncodeGraph::RemoveEmptyFile() {
    // A file that never received a byte is no recording: nothing is left behind.
    std::error_code ec;
    if (!FFileName.empty() && std::filesystem::is_regular_file(FFileName, ec) &&
        std::filesystem::file_size(FFileName, ec) == 0 && !ec) {
        std::filesystem::remove(FFileName, ec);
    }
}

HRESULT TWMEncodeGraph::EjectFile() {
    try {
        double duration = 0;
        FLastDuration = SUCCEEDED(GetFileDuration(duration)) ? duration : 0;
        Stop();
        if (SUCCEEDED(GetFileDuration(duration))) {
            // Samples delivered while the file was being finished belong to it as well.
            FLastDuration = std::max(FLastDuration, duration);
        }
        DisconnectSourcePins();
        RemoveFilter(FWMVWriter);
        RemoveEmptyFile();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.EjectFile call...");
        return E_FAIL;
    }
}

HRESULT TWMEncodeGraph::DestroyGraph() {
    try {
        Stop();
        {
            std::lock_guard lock(FControlLock);
            FAVSourceControl.reset();
        }
        DisconnectSourcePins();
        RemoveFilter(FWMVWriter);
        RemoveFilter(FAVSourceFilter);
        FAVSourceFilterClass = nullptr;
        DisassembleGraph();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.DestroyGraph call...");
        return E_FAIL;
    }
}

HRESULT TWMEncodeGraph::Reset() {
    try {
        DestroyGraph();
        FFileName.clear();
        FFileSet = false;
        FFailed = false;
        FWindowsMediaConfigurator->ClearVideoStreamsList();
        FWindowsMediaConfigurator->ClearAudioStreamsList();
        ClearVideoStreamsList();
        ClearAudioStreamsList();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.Reset call...");
        return E_FAIL;
    }
}

HRESULT TWMEncodeGraph::GetFileDuration(double& Duration) {
    try {
        // The position reached is the stream time the source has handed to the writer.
        if (FAVSourceFilterClass == nullptr) {
            return E_FAIL;
        }
        Duration = static_cast<double>(FAVSourceFilterClass->DeliveredTime()) / kUnitsPerSecond;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.GetFileDuration call...");
        return E_FAIL;
    }
}

HRESULT TWMEncodeGraph::GetProgress(double& Progress) {
    try {
        if (FDuration <= 0) {
            return E_FAIL;
        }
        double position = 0;
        const HRESULT hr = GetFileDuration(position);
        if (FAILED(hr)) {
            return hr;
        }
        Progress = position * 100.0 / (static_cast<double>(FDuration) / kUnitsPerSecond);
        return S_OK;
    } catch (...) {
        LogMessage("Error in TWMEncodeGraph.GetProgress call...");
        return E_FAIL;
    }
}

#define TANDREL_FORWARD(Method, Call)                              \
    try {                                                          \
        return FWindowsMediaConfigurator->Call;                    \
    } catch (...) {                                                \
        LogMessage("Error in TWMEncodeGraph." #Method " call..."); \
        return E_FAIL;                                             \
    }

HRESULT TWMEncodeGraph::GetVideoCodecsCount(uint32_t& Count){
    TANDREL_FORWARD(GetVideoCodecsCount, GetVideoCodecsCount(Count))}

HRESULT TWMEncodeGraph::GetVideoCodecName(uint32_t CodecIndex, std::string& Name){
    TANDREL_FORWARD(GetVideoCodecName, GetVideoCodecName(CodecIndex, Name))}

HRESULT TWMEncodeGraph::GetVideoCodecFormatDescription(uint32_t CodecIndex,
                                                       std::string& Description){
    TANDREL_FORWARD(GetVideoCodecFormatDescription,
                    GetVideoCodecFormatDescription(CodecIndex, Description))}

HRESULT TWMEncodeGraph::GetAudioCodecsCount(uint32_t& Count){
    TANDREL_FORWARD(GetAudioCodecsCount, GetAudioCodecsCount(Count))}

HRESULT TWMEncodeGraph::GetAudioCodecName(uint32_t CodecIndex, std::string& Name){
    TANDREL_FORWARD(GetAudioCodecName, GetAudioCodecName(CodecIndex, Name))}

HRESULT TWMEncodeGraph::GetAudioCodecFormatsCount(uint32_t CodecIndex, uint32_t& Count){
    TANDREL_FORWARD(GetAudioCodecFormatsCount, GetAudioCodecFormatsCount(CodecIndex, Count))}

HRESULT TWMEncodeGraph::GetAudioCodecFormatDescription(uint32_t CodecIndex, uint32_t FormatIndex,
                                                       std::string& Description) {
    TANDREL_FORWARD(GetAudioCodecFormatDescription,
                    GetAudioCodecFormatDescription(CodecIndex, FormatIndex, Description))
}

#undef TANDREL_FORWARD
