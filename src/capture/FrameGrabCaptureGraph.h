#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/CaptureDeviceControls.h"
#include "capture/CaptureDeviceDescription.h"
#include "capture/CaptureStreamConfig.h"
#include "capture/NextFrameDataFunction.h"
#include "capture/VirtualDevices.h"
#include "graph/DirectShowGraph.h"
#include "graph/FilterClassIds.h"
#include "platform/GstHandle.h"
#include "platform/HResult.h"
#include "platform/MediaType.h"

class IVideoFrameGrabFilterControl;
class TVideoFrameGrabFilter;

// {860BB310-5D01-11D0-BD3B-00A0C911CE86}
constexpr TGUID CLSID_VideoInputDeviceCategory = {
    0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// The capture graph: a listed capture device (real, or one of the virtual devices) turned into
// a running graph that ends in the frame grab filter, which hands RGB32 frames to the stored
// frame callback. Built in two steps: ActivateMainGraph creates the device part according to
// the device type; RenderOutput adds the output part (DV splitter and decoder, MPEG-2
// demultiplexer and decoder, or converters) and the frame grab filter. The output format is
// chosen between the two steps.
//
// Every operation runs on the thread that created the graph; frames leave on a streaming
// thread. The pipeline's bus is drained by the graph itself (errors are logged).
class TFrameGrabCaptureGraph : public TDirectShowGraph {
public:
    // `FileCameras` are the video files listed as file cameras after the Test Pattern (the
    // settings' list plus TANDREL_FILE_CAMERAS; the environment's alone by default); the
    // network cameras are those of TANDREL_NETWORK_CAMERAS.
    explicit TFrameGrabCaptureGraph(
        std::vector<std::string> FileCameras = VirtualDevices::FileCamerasFromEnvironment());
    // File cameras and network cameras (listed after the file cameras) as given. The network
    // cameras are looked at on threads of their own, all at once; the list and the activation
    // of a network camera wait for that look at most `NetworkProbeWaitMs`. The window's graphs
    // wait not at all: a network camera whose look has not answered yet is listed as a webcam
    // and fails to activate, and NetworkProbePending tells why.
    static constexpr int kWaitForNetworkProbes = 10000;
    explicit TFrameGrabCaptureGraph(VirtualDevices::TCameraSources Sources,
                                    int NetworkProbeWaitMs = kWaitForNetworkProbes);
    ~TFrameGrabCaptureGraph() override;

    // Device list. Text pointers stay valid while the graph lives.
    HRESULT GetSupportedDevicesCount(int32_t& Count);
    HRESULT GetSupportedDeviceFriendlyName(int32_t DeviceIndex, const std::string*& FriendlyName);
    HRESULT GetSupportedDeviceDisplayName(int32_t DeviceIndex, const std::string*& DisplayName);
    HRESULT GetSupportedDeviceDevicePath(int32_t DeviceIndex, const std::string*& DevicePath);
    HRESULT GetSupportedDeviceType(int32_t DeviceIndex, int32_t& DeviceType);
    // Whether the device is a network camera whose look at its stream has not answered yet.
    bool NetworkProbePending(int32_t DeviceIndex);
    // A network camera is looked at again (it was selected, or is tried again); false for
    // other devices.
    bool ProbeDeviceAgain(int32_t DeviceIndex);
    // How many looks at network cameras have ended: a change means a result came.
    static uint64_t NetworkProbesFinished();

    // Called on the thread that posts it when the running graph's stream ends or fails (an
    // unplugged camera, a device that stops, a file that cannot be read): true for a failure.
    // Must not call back into the graph. An empty handler removes it.
    using TStreamEndHandler = std::function<void(bool Failed)>;
    void SetStreamEndHandler(TStreamEndHandler Handler);

    // Graph construction.
    HRESULT ActivateMainGraph(int32_t DeviceIndex);
    HRESULT RenderOutput();
    HRESULT ResetMainGraph();
    HRESULT DeactivateMainGraph();

    // Frame callback and frame time, kept for every frame grab filter of this graph.
    HRESULT SetNextFrameDataFunction(TNextFrameDataFunction Func);
    HRESULT SetFrameTime(int64_t FrameTime);
    // The frame time to the capture filter's sources that draw only the pictures it takes.
    void HandFrameTimeToSources();
    HRESULT GetFrameTime(int64_t& FrameTime);
    HRESULT SetVideoDecoder(const TGUID* Guid);
    HRESULT SetDemultiplexer(const TGUID* Guid);

    int32_t DeviceIndex() const { return FDeviceIndex; }
    // What the virtual devices of the list were made from.
    const VirtualDevices::TCameraSources& Sources() const { return FSources; }
    int32_t OutputMediaTypeIndex() const { return FOutputMediaTypeIndex; }

    // Output formats of the activated device. A handed-out media type belongs to the graph
    // and stays valid until the next query or the deactivation.
    HRESULT GetOutputTypesCount(int32_t& Count);
    HRESULT GetOutputType(int32_t Index, const TMediaType*& OutputType, int32_t& MinWidth,
                          int32_t& MinHeight, int32_t& MaxWidth, int32_t& MaxHeight,
                          int32_t& GranularityWidth, int32_t& GranularityHeight,
                          int64_t& MinFrameInterval, int64_t& MaxFrameInterval);
    HRESULT GetOutputType(int32_t Index, int32_t& Width, int32_t& Height, int64_t& FrameInterval);
    HRESULT SelectOutputType(int32_t Index, int32_t NewWidth, int32_t NewHeight,
                             int64_t NewFrameInterval);
    HRESULT GetSelectedOutputType(int32_t& Index, int32_t& Width, int32_t& Height,
                                  int64_t& FrameInterval);
    HRESULT GetSelectedOutputType(int32_t& Index);
    HRESULT GetCurrentOutputType(const TMediaType*& OutputType);

    // Finds a device of `category` again: the first one whose friendly name, display name and
    // device path equal the given non-empty ones, else a real device of the same friendly name
    // (a camera plugged in again under another path); its capture filter comes back in
    // `Filter` and, if asked, its entry as found now in `Found`.
    HRESULT CreateDevice(TGstElementHandle& Filter, const TGUID& Category,
                         const std::string& FriendlyName, const std::string& DevicePath,
                         const std::string& DisplayName,
                         TCaptureDeviceDescription* Found = nullptr);

    // The type a capture filter's output pins stand for (device-type rules, DeckLink first).
    static HRESULT GetCaptureDeviceType(GstElement* CaptureFilter, const std::string& FriendlyName,
                                        int32_t& DeviceType);

    // Analog card inputs. The index the select and get operations take and give is the
    // crossbar's input pin index (TAnalogCardInput::InputPinIndex), not a list position.
    HRESULT AnalogCardGetInputsCount(int32_t& Count);
    HRESULT AnalogCardGetInputName(int32_t Index, std::string& InputName);
    HRESULT AnalogCardSelectInput(int32_t Index);
    HRESULT AnalogCardGetSelectedInput(int32_t& Index);

    // Device control interfaces; usable until the graph is deactivated.
    HRESULT GetAMCrossBarInterface(CaptureDeviceControls::TDeviceControlPtr& AMCrossbar);
    HRESULT GetAMTVTunerInterface(CaptureDeviceControls::TDeviceControlPtr& AMTVTuner);
    HRESULT GetAMTVAudioInterface(CaptureDeviceControls::TDeviceControlPtr& AMTVAudio);
    HRESULT GetVideoCaptureAMAnalogVideoDecoderInterface(
        CaptureDeviceControls::TDeviceControlPtr& AMAnalogVideoDecoder);
    HRESULT GetVideoCaptureAMStreamConfigInterface(TCaptureStreamConfigPtr& AMStreamConfig);
    HRESULT GetVideoPreviewAMStreamConfigInterface(TCaptureStreamConfigPtr& AMStreamConfig);
    // DeckLink cards only; no GStreamer DeckLink source offers the driver's IO control, so an
    // active DeckLink graph answers E_NOINTERFACE.
    HRESULT GetDeckLinkIOControlInterface(
        CaptureDeviceControls::TDeviceControlPtr& DecklinkIOControl);

    // Property pages, shown modally with the caption "Settings". The capture filter's page is
    // the dialog of its V4L2 device's controls; pins and front-end controls have none.
    HRESULT ShowVideoCaptureFilterPropertyPage();
    bool IsVideoCaptureFilterPropertyPageAvailable();
    HRESULT ShowVideoCaptureFilterCapturePinPropertyPage();
    bool IsVideoCaptureFilterCapturePinPropertyPageAvailable();
    HRESULT ShowVideoCaptureFilterPreviewPinPropertyPage();
    bool IsVideoCaptureFilterPreviewPinPropertyPageAvailable();
    HRESULT ShowCrossBarFilterPropertyPage();
    bool IsCrossBarFilterPropertyPageAvailable();
    HRESULT ShowTVAudioFilterPropertyPage();
    bool IsTVAudioFilterPropertyPageAvailable();
    HRESULT ShowTVTunerFilterPropertyPage();
    bool IsTVTunerFilterPropertyPageAvailable();
    HRESULT ShowVideoDecoderPropertyPage();
    bool IsVideoDecoderPropertyPageAvailable();
    HRESULT ShowDemultiplexerPropertyPage();
    bool IsDemultiplexerPropertyPageAvailable();

    // What is built right now (for callers that look into the graph, e.g. tests).
    bool MainGraphActive() const { return FMainGraphActive; }
    GstElement* VideoCaptureFilter() const { return FVideoCapture.Get(); }
    GstElement* VideoFrameGrabFilter() const { return FVideoFrameGrabFilter.Get(); }

protected:
    // The device controls (crossbar inputs, tuner, property pages) build on these.
    TCaptureDeviceDescriptionList FCaptureDeviceDescriptionList;
    bool FMainGraphActive = false;
    TVideoFrameGrabFilter* FVideoFrameGrabFilterClass = nullptr;  // not owned
    TGstElementHandle FVideoFrameGrabFilter;
    IVideoFrameGrabFilterControl* FVideoFrameGrabFilterControl = nullptr;  // lives with the element
    TGstElementHandle FVideoCapture;
    TGstElementHandle FDemultiplexer;
    TGstElementHandle FVideoDecoder;
    TGstElementHandle FFrameSizeFilter;  // before the frame grab filter of MPEG devices
    TCaptureStreamConfigPtr FAMStreamConfig;
    TCaptureStreamConfigPtr FPreviewAMStreamConfig;
    CaptureDeviceControls::TDeviceControlPtr FAMCrossbar;
    CaptureDeviceControls::TDeviceControlPtr FAMCrossbar2;
    CaptureDeviceControls::TDeviceControlPtr FAMTVTuner;
    CaptureDeviceControls::TDeviceControlPtr FAMTVAudio;
    CaptureDeviceControls::TDeviceControlPtr FAMAnalogVideoDecoder;
    TGUID FVideoDecoderGUID = GUID_NULL;
    TGUID FDemultiplexerGUID = CLSID_MPEG2Demultiplexer;
    TGstPadHandle FVCFMPEGPin;
    TGstPadHandle FVCFDVPin;
    TGstPadHandle FVCFVideoCapturePin;
    TGstPadHandle FVCFVideoPreviewPin;
    int32_t FDeviceIndex = -1;
    int32_t FDeviceType = CaptureDeviceType_Unrecognised;
    int32_t FOutputMediaTypeIndex = -1;
    int32_t FOutputVideoWidth = -1;
    int32_t FOutputVideoHeight = -1;
    int64_t FOutputFrameInterval = -1;
    std::unique_ptr<TMediaType> FPAMMediaType;
    TNextFrameDataFunction FNextFrameDataFunction;
    int64_t FFrameTime = 0;
    std::vector<CaptureDeviceControls::TAnalogCardInput> FAnalogCardInputs;

    // Front end of an analog card (end of BuildMainGraph_Analog and _AnalogHW): tuner to TV,
    // both crossbars to the tuner, the input list, the decoder to PAL B.
    void SetupAnalogFrontEnd();
    HRESULT SetCrossBar(const CaptureDeviceControls::TDeviceControlPtr& Crossbar);
    HRESULT EnumAnalogCardInputs();

private:
    void EnumSupportedDevices();
    // The network camera behind a listed device, or null.
    const NetworkCamera::TNetworkCamera* NetworkCameraOf(int32_t DeviceIndex) const;
    static GstBusSyncReply OnBusMessage(GstBus* Bus, GstMessage* Message, gpointer Self);

    std::mutex FStreamEndLock;
    TStreamEndHandler FStreamEndHandler;

    // Device part, one builder per device type.
    HRESULT BuildMainGraph_Analog();
    HRESULT BuildMainGraph_AnalogHW();
    HRESULT BuildMainGraph_BMD();
    HRESULT BuildMainGraph_DV();
    HRESULT BuildMainGraph_DVVideo();
    HRESULT BuildMainGraph_HDV();
    // Shared start of every builder: index check and the capture filter; false after logging
    // "Error in TFrameGrabCaptureGraph.<builder> - ..." lines.
    bool CreateCaptureFilter(const char* builder);
    HRESULT AddCaptureFilter();
    // BuildMainGraph_DV, _DVVideo and _HDV: one stream pin and the capture filter.
    HRESULT BuildStreamDevice(const char* builder, const TGUID& majorType, bool anyCategory,
                              TGstPadHandle& pin, const char* missingLine, const char* foundLine);
    void LookUpAnalogPins(bool logOutcome);
    void LookUpAnalogInterfaces(bool logRetries);
    void ProposeFixedAnalogFormat();

    // Graph active and an Analog or AnalogHW device.
    bool AnalogCardActive() const;
    // FAMCrossbar as a crossbar; throws when there is none.
    CaptureDeviceControls::TCrossbar& AnalogCardCrossbar() const;
    HRESULT ShowPropertyPage(const char* method, bool present, GstElement* object);
    bool IsPageAvailable(const char* method, bool present, GstElement* object);
    // The element behind a capture filter pin (its capsfilter); empty when unknown.
    static TGstElementHandle PinObject(GstPad* pin);

    // Output part, one variant per device type.
    HRESULT RenderOutput_Analog();
    HRESULT RenderOutput_AnalogHW();
    HRESULT RenderOutput_BMD();
    HRESULT RenderOutput_DV();
    HRESULT RenderOutput_DVVideo();
    HRESULT RenderOutput_HDV();
    HRESULT RenderCapturePin(const char* variant);
    HRESULT RenderMpegPin(const char* variant, bool programStream);
    // A size filter in front of the frame grab filter, so that every picture arrives scaled
    // to the reported size; the graph then renders into it.
    HRESULT AddFrameSizeFilter(int32_t Width, int32_t Height);
    HRESULT RenderDVDecoder(const char* variant);
    HRESULT AddFrameGrabFilter();
    // Adds an element we made ourselves (device, splitter, demultiplexer) under `name`.
    HRESULT AddOwnFilter(TGstElementHandle& filter, const std::string& name);
    // Render as the graph builder does: into the frame grab filter when a chain of decoders
    // and converters gets there, else into the default renderers.
    HRESULT RenderToFrameGrabFilter(GstPad* pin);
    bool FrameGrabFilterConnected();
    // The input that rendering ends in: the size filter's where there is one, else the frame
    // grab filter's.
    TGstPadHandle FrameGrabFilterInputPin();
    // Removes every element but the capture filter.
    void RemoveOutputPart();

    HRESULT CreateDemultiplexerPSOutputVideoPin();
    HRESULT CreateDemultiplexerTSOutputVideoPin();

    // Format probes of DV, DVVideo and HDV devices: a fresh FPAMMediaType and its picture size.
    HRESULT GetOutputType_DV(int32_t& Width, int64_t& FrameInterval, int32_t& Height);
    HRESULT GetOutputType_DVVideo(int32_t& Width, int64_t& FrameInterval, int32_t& Height);
    HRESULT GetOutputType_HDV(int32_t& Width, int64_t& FrameInterval, int32_t& Height);
    HRESULT GetOutputType_AnalogHW(int32_t& Width, int64_t& FrameInterval, int32_t& Height);
    // The picture an MPEG stream pin carries: the size (and rate) its caps name, else
    // `fallback`. HDV and program-stream devices report it and deliver exactly it.
    struct TStreamPicture {
        int32_t Width = 0;
        int32_t Height = 0;
        int64_t FrameInterval = 0;
    };
    static constexpr TStreamPicture kHdvPicture{1440, 1080, 0};
    static constexpr TStreamPicture kProgramStreamPicture{720, 480, 333667};
    TStreamPicture StreamPicture(const TStreamPicture& fallback) const;
    HRESULT ProbeFirstMediaType(GstPad* pin, const char* probe, int32_t& Width,
                                int64_t& FrameInterval, int32_t& Height);
    // The media type of the activated device's format query into FPAMMediaType.
    HRESULT QueryOutputType(int32_t Index, const char* method, TVideoStreamConfigCaps* configCaps,
                            int32_t& Width, int32_t& Height, int64_t& FrameInterval);

    VirtualDevices::TCameraSources FSources;
    int FNetworkProbeWaitMs = kWaitForNetworkProbes;
};
