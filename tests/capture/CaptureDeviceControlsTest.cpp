#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "capture/CaptureDeviceControls.h"
#include "capture/CaptureDeviceTypes.h"
#include "capture/CaptureTestFiles.h"
#include "capture/FrameGrabCaptureGraph.h"
#include "capture/PropertyPages.h"
#include "graph/GraphFunctions.h"
#include "support/LogCapture.h"

#ifdef __linux__
#include <linux/videodev2.h>
#endif

using namespace CaptureDeviceControls;

namespace {

// A crossbar with a fixed pin layout; records every route it makes.
class TFakeCrossbar : public TCrossbar {
public:
    TFakeCrossbar(std::vector<int32_t> outputs, std::vector<int32_t> inputs)
        : FOutputs(std::move(outputs)), FInputs(std::move(inputs)) {}

    // All outputs reach all inputs unless restricted.
    std::map<std::pair<int32_t, int32_t>, bool> Blocked;
    std::map<int32_t, int32_t> RoutedTo;
    std::vector<std::pair<int32_t, int32_t>> Routes;

    HRESULT PinCounts(int32_t& outputs, int32_t& inputs) override {
        outputs = static_cast<int32_t>(FOutputs.size());
        inputs = static_cast<int32_t>(FInputs.size());
        return S_OK;
    }
    HRESULT PinType(bool input, int32_t index, int32_t& type) override {
        const auto& pins = input ? FInputs : FOutputs;
        if (index < 0 || index >= static_cast<int32_t>(pins.size())) {
            return E_INVALIDARG;
        }
        type = pins[static_cast<size_t>(index)];
        return S_OK;
    }
    HRESULT CanRoute(int32_t output, int32_t input) override {
        return Blocked.count({output, input}) != 0 ? S_FALSE : S_OK;
    }
    HRESULT Route(int32_t output, int32_t input) override {
        Routes.emplace_back(output, input);
        RoutedTo[output] = input;
        return S_OK;
    }
    HRESULT IsRoutedTo(int32_t output, int32_t& input) override {
        auto it = RoutedTo.find(output);
        if (it == RoutedTo.end()) {
            return E_FAIL;
        }
        input = it->second;
        return S_OK;
    }

private:
    std::vector<int32_t> FOutputs;
    std::vector<int32_t> FInputs;
};

class TFakeTuner : public TTVTuner {
public:
    std::vector<std::string>* Calls = nullptr;
    HRESULT Logon() override { return Record("Logon"); }
    HRESULT PutMode(int32_t mode) override { return Record("Mode " + std::to_string(mode)); }
    HRESULT PutInputType(int32_t index, int32_t type) override {
        return Record("InputType " + std::to_string(index) + " " + std::to_string(type));
    }
    HRESULT PutTuningSpace(int32_t space) override {
        return Record("TuningSpace " + std::to_string(space));
    }

private:
    HRESULT Record(std::string call) {
        Calls->push_back(std::move(call));
        return S_OK;
    }
};

class TFakeDecoder : public TAnalogVideoDecoder {
public:
    std::vector<std::string>* Calls = nullptr;
    HRESULT PutTVFormat(int32_t format) override {
        Calls->push_back("TVFormat " + std::to_string(format));
        return S_OK;
    }
};

// A capture graph whose front end is put in place by the test, as an activation of an
// analog card would.
class TFrontEndGraph : public TFrameGrabCaptureGraph {
public:
    TFrontEndGraph() : TFrameGrabCaptureGraph(std::vector<std::string>{}) {}
    void Pretend(int32_t deviceType, std::shared_ptr<TCrossbar> crossbar) {
        FMainGraphActive = true;
        FDeviceType = deviceType;
        FAMCrossbar = std::move(crossbar);
    }
    void Forget() {
        FMainGraphActive = false;
        FAMCrossbar.reset();
        FAMTVTuner.reset();
        FAMAnalogVideoDecoder.reset();
    }
    using TFrameGrabCaptureGraph::EnumAnalogCardInputs;
    using TFrameGrabCaptureGraph::FAMAnalogVideoDecoder;
    using TFrameGrabCaptureGraph::FAMTVTuner;
    using TFrameGrabCaptureGraph::FAnalogCardInputs;
    using TFrameGrabCaptureGraph::SetCrossBar;
    using TFrameGrabCaptureGraph::SetupAnalogFrontEnd;
};

class CaptureDeviceControlsFrontEndTest : public ::testing::Test {
protected:
    void TearDown() override { FGraph.Forget(); }
    TFrontEndGraph FGraph;
};

TEST_F(CaptureDeviceControlsFrontEndTest, ListsEveryRoutableInputInPinOrder) {
    auto crossbar = std::make_shared<TFakeCrossbar>(
        std::vector<int32_t>{PhysConn_Video_VideoDecoder},
        std::vector<int32_t>{PhysConn_Video_Tuner, PhysConn_Video_Composite,
                             PhysConn_Video_SVideo});
    FGraph.Pretend(CaptureDeviceType_Analog, crossbar);
    ASSERT_EQ(FGraph.EnumAnalogCardInputs(), S_OK);

    int32_t count = -1;
    ASSERT_EQ(FGraph.AnalogCardGetInputsCount(count), S_OK);
    ASSERT_EQ(count, 3);
    const char* names[] = {"Tuner", "Composite", "SVideo"};
    for (int32_t i = 0; i < 3; ++i) {
        std::string name;
        EXPECT_EQ(FGraph.AnalogCardGetInputName(i, name), S_OK);
        EXPECT_EQ(name, names[i]);
        EXPECT_EQ(FGraph.FAnalogCardInputs[static_cast<size_t>(i)].InputPinIndex, i);
    }
    std::string name = "stale";
    EXPECT_EQ(FGraph.AnalogCardGetInputName(3, name), E_FAIL);
    EXPECT_TRUE(name.empty());
}

TEST_F(CaptureDeviceControlsFrontEndTest, InputListKeepsCrossbarPinIndexes) {
    // An audio output first, an input the video output cannot reach: the entries carry the
    // crossbar's input pin index, not their list position.
    auto crossbar = std::make_shared<TFakeCrossbar>(
        std::vector<int32_t>{PhysConn_Audio_AudioDecoder, PhysConn_Video_VideoDecoder},
        std::vector<int32_t>{PhysConn_Audio_Tuner, PhysConn_Video_Tuner, PhysConn_Video_Composite});
    crossbar->Blocked[{1, 0}] = true;
    FGraph.Pretend(CaptureDeviceType_AnalogHW, crossbar);
    ASSERT_EQ(FGraph.EnumAnalogCardInputs(), S_OK);
    ASSERT_EQ(FGraph.FAnalogCardInputs.size(), 2u);
    EXPECT_EQ(FGraph.FAnalogCardInputs[0].Name, "Tuner");
    EXPECT_EQ(FGraph.FAnalogCardInputs[0].InputPinIndex, 1);
    EXPECT_EQ(FGraph.FAnalogCardInputs[1].Name, "Composite");
    EXPECT_EQ(FGraph.FAnalogCardInputs[1].InputPinIndex, 2);

    // Select and get work on the first video output (pin 1) with pin indexes.
    EXPECT_EQ(FGraph.AnalogCardSelectInput(2), S_OK);
    ASSERT_EQ(crossbar->Routes.size(), 1u);
    EXPECT_EQ(crossbar->Routes[0], std::make_pair(1, 2));
    int32_t selected = -1;
    EXPECT_EQ(FGraph.AnalogCardGetSelectedInput(selected), S_OK);
    EXPECT_EQ(selected, 2);
}

TEST_F(CaptureDeviceControlsFrontEndTest, SelectInputRejectsIndexesOutsideTheInputPins) {
    auto crossbar = std::make_shared<TFakeCrossbar>(
        std::vector<int32_t>{PhysConn_Video_VideoDecoder},
        std::vector<int32_t>{PhysConn_Video_Tuner, PhysConn_Video_Composite});
    FGraph.Pretend(CaptureDeviceType_Analog, crossbar);
    for (int32_t index : {2, -1}) {
        LogCapture log;
        EXPECT_EQ(FGraph.AnalogCardSelectInput(index), E_FAIL) << index;
        EXPECT_TRUE(log.Contains(
            "Error in TFrameGrabCaptureGraph.AnalogCardSelectInput - invalid input index."));
    }
    EXPECT_TRUE(crossbar->Routes.empty());
}

TEST_F(CaptureDeviceControlsFrontEndTest, CrossbarWithoutVideoOutputAnswersEFail) {
    auto crossbar =
        std::make_shared<TFakeCrossbar>(std::vector<int32_t>{PhysConn_Audio_AudioDecoder},
                                        std::vector<int32_t>{PhysConn_Audio_Tuner});
    FGraph.Pretend(CaptureDeviceType_Analog, crossbar);
    int32_t index = -1;
    EXPECT_EQ(FGraph.AnalogCardSelectInput(0), E_FAIL);
    EXPECT_EQ(FGraph.AnalogCardGetSelectedInput(index), E_FAIL);
    EXPECT_TRUE(crossbar->Routes.empty());
}

TEST_F(CaptureDeviceControlsFrontEndTest, AnalogCardOperationsNeedAnActiveAnalogCard) {
    auto crossbar =
        std::make_shared<TFakeCrossbar>(std::vector<int32_t>{PhysConn_Video_VideoDecoder},
                                        std::vector<int32_t>{PhysConn_Video_Tuner});
    const int32_t types[] = {CaptureDeviceType_DV, CaptureDeviceType_HDV, CaptureDeviceType_BMD,
                             CaptureDeviceType_DVVideo};
    for (int32_t type : types) {
        FGraph.Pretend(type, crossbar);
        FGraph.FAnalogCardInputs = {{"Tuner", 0}};
        int32_t value = 0;
        std::string name;
        EXPECT_EQ(FGraph.AnalogCardGetInputsCount(value), E_FAIL) << type;
        EXPECT_EQ(FGraph.AnalogCardGetInputName(0, name), E_FAIL) << type;
        EXPECT_EQ(FGraph.AnalogCardSelectInput(0), E_FAIL) << type;
        EXPECT_EQ(FGraph.AnalogCardGetSelectedInput(value), E_FAIL) << type;
    }
    FGraph.Pretend(CaptureDeviceType_Analog, crossbar);
    FGraph.Forget();
    int32_t value = 0;
    EXPECT_EQ(FGraph.AnalogCardGetInputsCount(value), E_FAIL);
    EXPECT_EQ(FGraph.AnalogCardSelectInput(0), E_FAIL);
    EXPECT_TRUE(crossbar->Routes.empty());
}

TEST_F(CaptureDeviceControlsFrontEndTest, SetCrossBarRoutesVideoAndAudioToTheTuner) {
    auto crossbar = std::make_shared<TFakeCrossbar>(
        std::vector<int32_t>{PhysConn_Video_VideoDecoder, PhysConn_Audio_AudioDecoder,
                             PhysConn_Video_Composite},
        std::vector<int32_t>{PhysConn_Video_Composite, PhysConn_Audio_Tuner, PhysConn_Video_Tuner,
                             PhysConn_Video_Tuner});
    crossbar->Blocked[{0, 2}] = true;  // the first tuner input cannot reach output 0
    EXPECT_EQ(FGraph.SetCrossBar(crossbar), S_OK);
    // Video output 0 -> second tuner input; audio output 1 -> audio tuner; output 2 untouched.
    const std::vector<std::pair<int32_t, int32_t>> expected = {{0, 3}, {1, 1}};
    EXPECT_EQ(crossbar->Routes, expected);
}

TEST_F(CaptureDeviceControlsFrontEndTest, SetCrossBarWithoutTunerKeepsTheRouting) {
    auto crossbar = std::make_shared<TFakeCrossbar>(
        std::vector<int32_t>{PhysConn_Video_VideoDecoder},
        std::vector<int32_t>{PhysConn_Video_Composite, PhysConn_Video_SVideo});
    crossbar->RoutedTo[0] = 1;
    EXPECT_EQ(FGraph.SetCrossBar(crossbar), S_OK);
    EXPECT_TRUE(crossbar->Routes.empty());
    EXPECT_EQ(crossbar->RoutedTo[0], 1);
    EXPECT_EQ(FGraph.SetCrossBar(nullptr), E_FAIL);
}

TEST_F(CaptureDeviceControlsFrontEndTest, FrontEndSetUpRunsInOrder) {
    std::vector<std::string> calls;
    auto tuner = std::make_shared<TFakeTuner>();
    tuner->Calls = &calls;
    auto decoder = std::make_shared<TFakeDecoder>();
    decoder->Calls = &calls;
    auto crossbar = std::make_shared<TFakeCrossbar>(
        std::vector<int32_t>{PhysConn_Video_VideoDecoder},
        std::vector<int32_t>{PhysConn_Video_Composite, PhysConn_Video_Tuner});
    FGraph.Pretend(CaptureDeviceType_Analog, crossbar);
    FGraph.FAMTVTuner = tuner;
    FGraph.FAMAnalogVideoDecoder = decoder;
    FGraph.SetupAnalogFrontEnd();
    const std::vector<std::string> expected = {"Logon", "Mode 1", "InputType 0 0", "TuningSpace 0",
                                               "TVFormat 16"};
    EXPECT_EQ(calls, expected);
    const std::vector<std::pair<int32_t, int32_t>> routes = {{0, 1}};
    EXPECT_EQ(crossbar->Routes, routes);
    EXPECT_EQ(FGraph.FAnalogCardInputs.size(), 2u);
}

TEST_F(CaptureDeviceControlsFrontEndTest, GettersHandOutTheFieldsAndCrossbarHasNoPage) {
    auto crossbar =
        std::make_shared<TFakeCrossbar>(std::vector<int32_t>{PhysConn_Video_VideoDecoder},
                                        std::vector<int32_t>{PhysConn_Video_Tuner});
    FGraph.Pretend(CaptureDeviceType_Analog, crossbar);
    TDeviceControlPtr out;
    EXPECT_EQ(FGraph.GetAMCrossBarInterface(out), S_OK);
    EXPECT_EQ(out.get(), crossbar.get());
    EXPECT_EQ(FGraph.GetAMTVTunerInterface(out), E_FAIL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(FGraph.GetDeckLinkIOControlInterface(out), E_FAIL);

    bool shown = false;
    auto previous = SetPropertyPageHandler([&](GstElement*, void*, const std::string&) {
        shown = true;
        return S_OK;
    });
    LogCapture log;
    EXPECT_FALSE(FGraph.IsCrossBarFilterPropertyPageAvailable());
    EXPECT_TRUE(log.Contains("Property Pages not supported."));
    EXPECT_EQ(FGraph.ShowCrossBarFilterPropertyPage(), S_OK);
    EXPECT_FALSE(shown);
    SetPropertyPageHandler(previous);
}

TEST(CaptureDeviceControlsTest, ConnectorOfV4l2Input) {
    struct TCase {
        uint32_t Type;
        const char* Name;
        const char* Connector;
    };
    const TCase cases[] = {
        {TV4l2Device::kInputTypeTuner, "Television", "Tuner"},
        {TV4l2Device::kInputTypeTuner, "S-Video", "Tuner"},
        {TV4l2Device::kInputTypeCamera, "Composite1", "Composite"},
        {TV4l2Device::kInputTypeCamera, "S-Video", "SVideo"},
        {TV4l2Device::kInputTypeCamera, "SVIDEO 2", "SVideo"},
        {TV4l2Device::kInputTypeCamera, "Component (YPbPr)", "YRYBY"},
        {TV4l2Device::kInputTypeCamera, "VGA", "RGB"},
        {TV4l2Device::kInputTypeCamera, "SDI In", "SerialDigital"},
        {TV4l2Device::kInputTypeCamera, "Camera 1", "Composite"},
    };
    for (const auto& c : cases) {
        TV4l2Input input;
        input.Type = c.Type;
        input.Name = c.Name;
        EXPECT_EQ(GetPhysicalConnectorName(ConnectorTypeOfInput(input)), c.Connector) << c.Name;
    }
}

#ifdef __linux__
TEST(CaptureDeviceControlsTest, AnalogStandardsMapToV4l2Standards) {
    EXPECT_EQ(V4l2StandardOfAnalogVideoStandard(AnalogVideo_PAL_B), V4L2_STD_PAL_B);
    EXPECT_EQ(V4l2StandardOfAnalogVideoStandard(0x1), V4L2_STD_NTSC_M);
    EXPECT_EQ(V4l2StandardOfAnalogVideoStandard(0x100), V4L2_STD_PAL_I);
    EXPECT_EQ(V4l2StandardOfAnalogVideoStandard(0x20), V4L2_STD_PAL_D);
    EXPECT_EQ(V4l2StandardOfAnalogVideoStandard(0x1000), V4L2_STD_SECAM_B);
    EXPECT_EQ(V4l2StandardOfAnalogVideoStandard(0x100000), V4L2_STD_PAL_Nc);
    EXPECT_EQ(V4l2StandardOfAnalogVideoStandard(0x8), 0u);
}
#endif

// The Test Pattern has no front end: the "not supported" answers with their log lines.
class CaptureDeviceControlsTestPatternTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("TANDREL_TEST_PATTERN");
        FGraph = std::make_unique<TFrameGrabCaptureGraph>(std::vector<std::string>{});
        FPrevious = SetPropertyPageHandler([this](GstElement*, void*, const std::string&) {
            ++FShown;
            return S_OK;
        });
    }
    void TearDown() override {
        FGraph->DeactivateMainGraph();
        SetPropertyPageHandler(FPrevious);
    }
    int32_t TestPattern() {
        int32_t count = 0;
        FGraph->GetSupportedDevicesCount(count);
        for (int32_t i = 0; i < count; ++i) {
            const std::string* name = nullptr;
            if (FGraph->GetSupportedDeviceFriendlyName(i, name) == S_OK &&
                *name == "Test Pattern") {
                return i;
            }
        }
        return -1;
    }
    std::unique_ptr<TFrameGrabCaptureGraph> FGraph;
    TPropertyPageHandler FPrevious;
    int FShown = 0;
};

TEST_F(CaptureDeviceControlsTestPatternTest, InactiveGraphAnswersEFail) {
    int32_t value = 0;
    std::string name = "stale";
    EXPECT_EQ(FGraph->AnalogCardGetInputsCount(value), E_FAIL);
    EXPECT_EQ(FGraph->AnalogCardGetInputName(0, name), E_FAIL);
    EXPECT_TRUE(name.empty());
    EXPECT_EQ(FGraph->AnalogCardSelectInput(0), E_FAIL);
    EXPECT_EQ(FGraph->AnalogCardGetSelectedInput(value), E_FAIL);
    EXPECT_EQ(FGraph->ShowVideoCaptureFilterPropertyPage(), E_FAIL);
    EXPECT_FALSE(FGraph->IsVideoCaptureFilterPropertyPageAvailable());
    EXPECT_EQ(FShown, 0);
}

TEST_F(CaptureDeviceControlsTestPatternTest, ActiveTestPatternHasNoFrontEnd) {
    const int32_t index = TestPattern();
    ASSERT_GE(index, 0);
    int32_t type = -1;
    ASSERT_EQ(FGraph->GetSupportedDeviceType(index, type), S_OK);
    ASSERT_EQ(FGraph->ActivateMainGraph(index), S_OK);

    LogCapture log;
    int32_t value = -1;
    std::string name = "stale";
    if (type == CaptureDeviceType_Analog || type == CaptureDeviceType_AnalogHW) {
        EXPECT_EQ(FGraph->AnalogCardGetInputsCount(value), S_OK);
        EXPECT_EQ(value, 0);
        EXPECT_EQ(FGraph->AnalogCardSelectInput(0), E_FAIL);
        EXPECT_TRUE(log.Contains("Error in TFrameGrabCaptureGraph.AnalogCardSelectInput call..."));
        EXPECT_EQ(FGraph->AnalogCardGetSelectedInput(value), E_FAIL);
        EXPECT_TRUE(
            log.Contains("Error in TFrameGrabCaptureGraph.AnalogCardGetSelectedInput call..."));
    } else {
        EXPECT_EQ(FGraph->AnalogCardGetInputsCount(value), E_FAIL);
        EXPECT_EQ(FGraph->AnalogCardSelectInput(0), E_FAIL);
        EXPECT_EQ(FGraph->AnalogCardGetSelectedInput(value), E_FAIL);
    }
    EXPECT_EQ(FGraph->AnalogCardGetInputName(0, name), E_FAIL);
    EXPECT_TRUE(name.empty());

    // Front-end interfaces are missing; the out argument is cleared.
    using TGetter = HRESULT (TFrameGrabCaptureGraph::*)(TDeviceControlPtr&);
    const TGetter getters[] = {
        &TFrameGrabCaptureGraph::GetAMCrossBarInterface,
        &TFrameGrabCaptureGraph::GetAMTVTunerInterface,
        &TFrameGrabCaptureGraph::GetAMTVAudioInterface,
        &TFrameGrabCaptureGraph::GetVideoCaptureAMAnalogVideoDecoderInterface,
        &TFrameGrabCaptureGraph::GetDeckLinkIOControlInterface,
    };
    for (TGetter getter : getters) {
        TDeviceControlPtr out = std::make_shared<TTVAudio>();
        EXPECT_EQ((FGraph.get()->*getter)(out), E_FAIL);
        EXPECT_EQ(out, nullptr);
    }
    TCaptureStreamConfigPtr config;
    EXPECT_EQ(FGraph->GetVideoCaptureAMStreamConfigInterface(config), S_OK);
    EXPECT_NE(config, nullptr);

    // Pages: the front end's are missing (E_FAIL, nothing shown); the capture filter is not a
    // V4L2 device, so it has none to show.
    using TShow = HRESULT (TFrameGrabCaptureGraph::*)();
    const TShow missing[] = {
        &TFrameGrabCaptureGraph::ShowCrossBarFilterPropertyPage,
        &TFrameGrabCaptureGraph::ShowTVAudioFilterPropertyPage,
        &TFrameGrabCaptureGraph::ShowTVTunerFilterPropertyPage,
        &TFrameGrabCaptureGraph::ShowVideoDecoderPropertyPage,
        &TFrameGrabCaptureGraph::ShowDemultiplexerPropertyPage,
    };
    for (TShow show : missing) {
        EXPECT_EQ((FGraph.get()->*show)(), E_FAIL);
    }
    EXPECT_FALSE(FGraph->IsCrossBarFilterPropertyPageAvailable());
    EXPECT_FALSE(FGraph->IsTVTunerFilterPropertyPageAvailable());
    EXPECT_FALSE(log.Contains("Property Pages not supported."));
    EXPECT_FALSE(FGraph->IsVideoCaptureFilterPropertyPageAvailable());
    EXPECT_TRUE(log.Contains("Property Pages not supported."));
    EXPECT_EQ(FGraph->ShowVideoCaptureFilterPropertyPage(), S_OK);
    EXPECT_FALSE(FGraph->IsVideoCaptureFilterCapturePinPropertyPageAvailable());
    EXPECT_EQ(FGraph->ShowVideoCaptureFilterCapturePinPropertyPage(), S_OK);
    EXPECT_EQ(FShown, 0);
}

TEST_F(CaptureDeviceControlsTestPatternTest, DeactivationForgetsTheInputs) {
    ASSERT_EQ(FGraph->ActivateMainGraph(TestPattern()), S_OK);
    ASSERT_EQ(FGraph->DeactivateMainGraph(), S_OK);
    int32_t count = 0;
    TCaptureStreamConfigPtr config;
    EXPECT_EQ(FGraph->AnalogCardGetInputsCount(count), E_FAIL);
    EXPECT_EQ(FGraph->GetVideoCaptureAMStreamConfigInterface(config), E_FAIL);
}

}  // namespace
