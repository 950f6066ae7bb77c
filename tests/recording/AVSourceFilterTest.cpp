#include "recording/AVSourceFilter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "recording/RecordingTestSupport.h"
#include "support/LogCapture.h"

namespace {

constexpr int64_t kTenMs = 100000;  // 100-ns units

// A filter whose bin is held by the test.
struct TFilterFixture {
    std::shared_ptr<TAVSourceFilter> Filter;
    TGstElementHandle Bin;

    TFilterFixture() {
        HRESULT hr = E_FAIL;
        Filter = TAVSourceFilter::Create("Source", hr);
        if (Filter) {
            Bin = TGstElementHandle::Adopt(Filter->Element());
        }
    }
};

// Bottom-up RGB32 frame whose row y (in memory) is filled with the byte `base + y`.
std::vector<uint8_t> RowFrame(int width, int height, uint8_t base) {
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        std::memset(frame.data() + static_cast<size_t>(y) * width * 4, base + y,
                    static_cast<size_t>(width) * 4);
    }
    return frame;
}

}  // namespace

TEST(AVSourceFilter, VideoMediaTypeFiguresAndPositions) {
    TFilterFixture f;
    ASSERT_EQ(f.Filter->AddVideoStream(720, 576, &MEDIASUBTYPE_RGB32, 1000000, {}, {}, true), S_OK);
    TVideoPin* pin = f.Filter->VideoPin(0);
    TMediaType mt;
    ASSERT_EQ(pin->GetMediaType(0, &mt), S_OK);
    EXPECT_EQ(mt.majortype, MEDIATYPE_Video);
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_RGB32);
    EXPECT_TRUE(mt.bFixedSizeSamples);
    EXPECT_FALSE(mt.bTemporalCompression);
    EXPECT_EQ(mt.lSampleSize, 1658880u);
    ASSERT_EQ(mt.cbFormat(), 88u);
    const TVideoInfoHeader* vih = mt.VideoInfo();
    ASSERT_NE(vih, nullptr);
    EXPECT_EQ(vih->bmiHeader.biSizeImage, 1658880u);
    EXPECT_EQ(vih->dwBitRate, 132710400u);
    EXPECT_EQ(vih->AvgTimePerFrame, 1000000);
    EXPECT_EQ(vih->bmiHeader.biBitCount, 32);
    EXPECT_EQ(vih->bmiHeader.biCompression, BI_RGB);
    EXPECT_EQ(vih->rcTarget.right, 720);
    EXPECT_EQ(vih->rcTarget.bottom, 576);
    EXPECT_EQ(pin->CheckMediaType(&mt), S_OK) << "the offered type is accepted";

    EXPECT_EQ(pin->GetMediaType(1, &mt), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(pin->GetMediaType(-1, &mt), E_INVALIDARG);
    EXPECT_EQ(pin->GetMediaType(0, nullptr), E_POINTER);

    TMediaType other;
    ASSERT_EQ(pin->GetMediaType(0, &other), S_OK);
    other.VideoInfo()->bmiHeader.biWidth = 640;
    EXPECT_EQ(pin->CheckMediaType(&other), E_INVALIDARG) << "other width";
    ASSERT_EQ(pin->GetMediaType(0, &other), S_OK);
    other.subtype = MEDIASUBTYPE_YUY2;
    EXPECT_EQ(pin->CheckMediaType(&other), E_INVALIDARG) << "other colour space";

    ASSERT_EQ(f.Filter->AddVideoStream(320, 240, &MEDIASUBTYPE_YUY2, 400000, {}, {}, true), S_OK);
    ASSERT_EQ(f.Filter->VideoPin(1)->GetMediaType(0, &mt), S_OK);
    EXPECT_EQ(mt.lSampleSize, 320u * 240 * 2);
    EXPECT_EQ(mt.VideoInfo()->bmiHeader.biCompression, MakeFourCC('Y', 'U', 'Y', '2'));
    EXPECT_EQ(mt.VideoInfo()->bmiHeader.biBitCount, 16);

    // Planar I420 of an odd size: the chroma planes round up.
    ASSERT_EQ(f.Filter->AddVideoStream(321, 241, &MEDIASUBTYPE_I420, 1000000, {}, {}, true), S_OK);
    ASSERT_EQ(f.Filter->VideoPin(2)->GetMediaType(0, &mt), S_OK);
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_I420);
    EXPECT_EQ(mt.lSampleSize, 321u * 241 + 2u * 161 * 121);
    EXPECT_EQ(mt.VideoInfo()->bmiHeader.biSizeImage, 321u * 241 + 2u * 161 * 121);
    EXPECT_EQ(mt.VideoInfo()->bmiHeader.biCompression, MakeFourCC('I', '4', '2', '0'));
    EXPECT_EQ(mt.VideoInfo()->bmiHeader.biBitCount, 12);
    EXPECT_EQ(f.Filter->VideoPin(2)->CheckMediaType(&mt), S_OK);
}

TEST(AVSourceFilter, RefusesColourSpacesAndFrameTimesItCannotStream) {
    TFilterFixture f;
    LogCapture log;
    EXPECT_EQ(f.Filter->AddVideoStream(320, 240, &MEDIASUBTYPE_RGB24, kTenMs, {}, {}, true),
              E_FAIL);
    EXPECT_TRUE(log.Contains(
        "Error in AVSourceFilterMain::ColorSpaceToBytesPerPixel - unsupported colorspace."));
    for (const int64_t frameLength : {int64_t{0}, int64_t{-1}}) {
        EXPECT_EQ(
            f.Filter->AddVideoStream(320, 240, &MEDIASUBTYPE_RGB32, frameLength, {}, {}, true),
            E_INVALIDARG)
            << frameLength;
    }
    EXPECT_EQ(f.Filter->AddVideoStream(0, 240, &MEDIASUBTYPE_RGB32, kTenMs, {}, {}, true),
              E_INVALIDARG);
}

// Ten frame lengths of duration: samples 0, L, ..., 9L with the frames handed out, turned
// top-down, then end-of-stream, EOSDelivered, and no sample ahead of real time.
TEST(AVSourceFilter, DeliversOneSamplePerFrameLengthUntilTheDuration) {
    TFilterFixture f;
    constexpr int W = 4;
    constexpr int H = 3;
    int handedOut = 0;
    int released = 0;
    std::vector<uint8_t> frame;
    auto next = [&](uint8_t*& data, int32_t& size) {
        frame = RowFrame(W, H, static_cast<uint8_t>(10 * handedOut));
        ++handedOut;
        data = frame.data();
        size = static_cast<int32_t>(frame.size());
        return true;
    };
    ASSERT_EQ(f.Filter->AddVideoStream(
                  W, H, &MEDIASUBTYPE_RGB32, kTenMs, next, [&] { return ++released > 0; }, true),
              S_OK);
    ASSERT_EQ(f.Filter->SetDuration(10 * kTenMs), S_OK);
    EXPECT_EQ(f.Filter->IsEOSDelivered(), S_FALSE);

    TPullResult r = PullAll(f.Bin.Get(), "Video 0");
    ASSERT_TRUE(r.Ended);
    ASSERT_EQ(r.Samples.size(), 10u);
    for (size_t n = 0; n < r.Samples.size(); ++n) {
        const auto& s = r.Samples[n];
        EXPECT_EQ(s.Start, static_cast<int64_t>(n) * kTenMs);
        EXPECT_EQ(s.Duration, kTenMs);
        ASSERT_EQ(s.Bytes.size(), static_cast<size_t>(W * H * 4));
        // The bottom row in memory (value base + 0) is the picture's last line.
        EXPECT_EQ(s.Bytes.front(), 10 * n + (H - 1)) << "first line of sample " << n;
        EXPECT_EQ(s.Bytes.back(), 10 * n) << "last line of sample " << n;
    }
    EXPECT_EQ(released, 10);
    EXPECT_TRUE(f.Filter->VideoPin(0)->EOSDelivered());
    EXPECT_EQ(f.Filter->IsEOSDelivered(), S_OK);
    EXPECT_GE(r.Elapsed, std::chrono::milliseconds(90)) << "the tenth sample starts at 90 ms";
}

TEST(AVSourceFilter, DurationZeroEndsBeforeTheFirstSample) {
    TFilterFixture f;
    ASSERT_EQ(f.Filter->AddVideoStream(8, 8, &MEDIASUBTYPE_RGB32, kTenMs, {}, {}, true), S_OK);
    ASSERT_EQ(f.Filter->SetDuration(0), S_OK);
    TPullResult r = PullAll(f.Bin.Get(), "Video 0");
    EXPECT_TRUE(r.Ended);
    EXPECT_TRUE(r.Samples.empty());
    EXPECT_EQ(f.Filter->IsEOSDelivered(), S_OK);
}

// No frame ever ready: one sample per frame length all the same, the initial (black) picture;
// after a frame, empty turns repeat that frame. Both with skipping on and off.
TEST(AVSourceFilter, EmptyTurnsRepeatThePreviousPicture) {
    for (const bool skip : {true, false}) {
        TFilterFixture f;
        std::vector<uint8_t> frame(4 * 2 * 4, 0x77);
        int calls = 0;
        auto next = [&](uint8_t*& data, int32_t& size) {
            if (++calls != 3) {
                return false;  // only the third turn has a frame
            }
            data = frame.data();
            size = static_cast<int32_t>(frame.size());
            return true;
        };
        ASSERT_EQ(f.Filter->AddVideoStream(4, 2, &MEDIASUBTYPE_RGB32, kTenMs, next, {}, skip),
                  S_OK);
        ASSERT_EQ(f.Filter->SetDuration(5 * kTenMs), S_OK);
        TPullResult r = PullAll(f.Bin.Get(), "Video 0");
        ASSERT_EQ(r.Samples.size(), 5u) << "skip " << skip;
        const std::vector<uint8_t> black(frame.size(), 0);
        EXPECT_EQ(r.Samples[0].Bytes, black);
        EXPECT_EQ(r.Samples[1].Bytes, black);
        EXPECT_EQ(r.Samples[2].Bytes, frame);
        EXPECT_EQ(r.Samples[3].Bytes, frame);
        EXPECT_EQ(r.Samples[4].Bytes, frame);
        for (size_t n = 0; n < r.Samples.size(); ++n) {
            EXPECT_EQ(r.Samples[n].Start, static_cast<int64_t>(n) * kTenMs);
        }
    }
}

TEST(AVSourceFilter, AudioPinOffersPcmAndFillsSilenceWithoutBlocks) {
    TFilterFixture f;
    TWaveFormatEx wfx{WAVE_FORMAT_PCM, 2, 48000, 192000, 4, 16, 0};
    int calls = 0;
    auto noBlock = [&](uint8_t*&, int32_t&) {
        ++calls;
        return false;
    };
    ASSERT_EQ(f.Filter->AddAudioStream(&wfx, noBlock, {}), S_OK);
    TAudioPin* pin = f.Filter->AudioPin(0);
    TMediaType mt;
    ASSERT_EQ(pin->GetMediaType(0, &mt), S_OK);
    EXPECT_EQ(mt.majortype, MEDIATYPE_Audio);
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_PCM);
    EXPECT_EQ(mt.lSampleSize, 7680u);
    EXPECT_EQ(mt.cbFormat(), 18u);
    EXPECT_EQ(pin->CheckMediaType(&mt), S_OK);
    mt.WaveFormat()->nSamplesPerSec = 44100;
    EXPECT_EQ(pin->CheckMediaType(&mt), E_FAIL);
    EXPECT_EQ(pin->CheckMediaType(nullptr), E_FAIL);

    ASSERT_EQ(f.Filter->SetDuration(3 * 400000), S_OK);
    TPullResult r = PullAll(f.Bin.Get(), "Audio 0");
    ASSERT_TRUE(r.Ended);
    ASSERT_EQ(r.Samples.size(), 3u);
    for (const auto& s : r.Samples) {
        EXPECT_EQ(s.Bytes, std::vector<uint8_t>(7680, 0));
    }
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(f.Filter->IsEOSDelivered(), S_OK);
}

TEST(AVSourceFilter, NoPinsMeansEveryStreamHasEnded) {
    TFilterFixture f;
    EXPECT_EQ(f.Filter->IsEOSDelivered(), S_OK);
}
