#include "recording/VideoPin.h"

#include <cstring>
#include <stdexcept>

#include "platform/Diagnostics.h"
#include "recording/AVSourceFilter.h"
#include "recording/I420Conversion.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;

}  // namespace

TVideoPin::TVideoPin(TAVSourceFilter* AVSource, uint32_t PinIndex, std::shared_ptr<void> Owner,
                     std::mutex& StateLock)
    : TBCSourceStream("Video " + std::to_string(PinIndex), std::move(Owner), StateLock),
      FAVSource(AVSource),
      FPinIndex(PinIndex) {}

TVideoPin::~TVideoPin() = default;

HRESULT TVideoPin::SetVideoParameters(int32_t Width, int32_t Height, const TGUID* ColorSpace,
                                      int64_t TimePerFrame) {
    try {
        if (ColorSpace == nullptr) {
            return E_POINTER;
        }
        // I420 is planar (12 bits per pixel); the packed colour spaces have whole bytes.
        const bool planar = *ColorSpace == MEDIASUBTYPE_I420;
        if (planar) {
            FBytesPerPixel = 0;
        } else if (FAILED(ColorSpaceToBytesPerPixel(ColorSpace, FBytesPerPixel))) {
            return E_FAIL;
        }
        // A stream needs a picture and a frame time: without them there is no sample size,
        // no bit rate and no end.
        const int64_t frameBytes = Width <= 0 || Height <= 0 ? 0
                                   : planar ? static_cast<int64_t>(I420FrameBytes(Width, Height))
                                            : int64_t{Width} * Height * FBytesPerPixel;
        if (frameBytes <= 0 || TimePerFrame <= 0 || frameBytes > INT32_MAX) {
            LogMessage("Error in TVideoPin.SetVideoParameters - invalid frame size or length.");
            return E_INVALIDARG;
        }
        FFrameBytes = frameBytes;
        FVideoWidth = Width;
        FVideoHeight = Height;
        FFrameLength = TimePerFrame;
        FColorSpace = *ColorSpace;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TVideoPin.SetVideoParameters call...");
        return E_FAIL;
    }
}

void TVideoPin::SetFrameFunctions(TGetNextFrameFunction Next, TReleaseFrameFunction Release,
                                  bool SkipEmptyFrames) {
    FGetNextVideoFrm = std::move(Next);
    FReleaseFrameFunction = std::move(Release);
    FSkipEmptyFrames = SkipEmptyFrames;
}

HRESULT TVideoPin::Notify() {
    return E_FAIL;
}

HRESULT TVideoPin::GetMediaType(int32_t Position, TMediaType* pmt) {
    try {
        if (pmt == nullptr) {
            return E_POINTER;
        }
        if (Position < 0) {
            return E_INVALIDARG;
        }
        if (Position > 0) {
            return VFW_S_NO_MORE_ITEMS;
        }
        std::lock_guard lock(FStateLock);
        const auto imageSize = static_cast<uint32_t>(FFrameBytes);
        *pmt = TMediaType{};
        pmt->majortype = MEDIATYPE_Video;
        pmt->subtype = FColorSpace;
        pmt->bFixedSizeSamples = true;
        pmt->bTemporalCompression = false;
        pmt->lSampleSize = imageSize;
        TVideoInfoHeader vih{};
        vih.rcSource = {0, 0, FVideoWidth, FVideoHeight};
        vih.rcTarget = vih.rcSource;
        vih.dwBitRate = static_cast<uint32_t>(static_cast<double>(FFrameBytes * 8) *
                                              kUnitsPerSecond / FFrameLength);
        vih.dwBitErrorRate = 0;
        vih.AvgTimePerFrame = FFrameLength;
        vih.bmiHeader.biSize = sizeof(TBitmapInfoHeader);
        vih.bmiHeader.biWidth = FVideoWidth;
        vih.bmiHeader.biHeight = FVideoHeight;
        vih.bmiHeader.biPlanes = 1;
        const bool planar = FColorSpace == MEDIASUBTYPE_I420;
        vih.bmiHeader.biBitCount = static_cast<uint16_t>(planar ? 12 : FBytesPerPixel * 8);
        vih.bmiHeader.biCompression = FColorSpace == MEDIASUBTYPE_YUY2
                                          ? MakeFourCC('Y', 'U', 'Y', '2')
                                      : planar ? MakeFourCC('I', '4', '2', '0')
                                               : BI_RGB;
        vih.bmiHeader.biSizeImage = imageSize;
        pmt->SetFormat(FORMAT_VideoInfo, vih);
        return S_OK;
    } catch (...) {
        LogMessage("TVideoPin.GetMediaType call...");
        return E_FAIL;
    }
}

HRESULT TVideoPin::CheckMediaType(const TMediaType* pmt) {
    try {
        if (pmt == nullptr || pmt->majortype != MEDIATYPE_Video || !pmt->bFixedSizeSamples ||
            pmt->subtype != FColorSpace) {
            return E_INVALIDARG;
        }
        const TBitmapInfoHeader* bmi = pmt->BitmapHeader();
        if (bmi == nullptr || bmi->biWidth != FVideoWidth ||
            std::abs(bmi->biHeight) != FVideoHeight) {
            return E_INVALIDARG;
        }
        return S_OK;
    } catch (...) {
        LogMessage("TVideoPin.CheckMediaType call...");
        return E_FAIL;
    }
}

HRESULT TVideoPin::SetMediaType(const TMediaType* pmt) {
    try {
        return TBCSourceStream::SetMediaType(pmt);
    } catch (...) {
        LogMessage("TVideoPin.SetMediaType call...");
        return E_FAIL;
    }
}

HRESULT TVideoPin::CompleteConnect() {
    try {
        return TBCSourceStream::CompleteConnect();
    } catch (...) {
        LogMessage("Error in TVideoPin.CompleteConnect call...");
        return E_FAIL;
    }
}

HRESULT TVideoPin::DecideBufferSize(GstBufferPool* Allocator, TAllocatorProperties* Properties) {
    try {
        if (Allocator == nullptr || Properties == nullptr) {
            return E_POINTER;
        }
        GstCaps* caps = nullptr;
        {
            std::lock_guard lock(FStateLock);
            const TBitmapInfoHeader* bmi = ConnectionMediaType().BitmapHeader();
            Properties->cBuffers = 1;
            Properties->cbBuffer = bmi != nullptr ? static_cast<int32_t>(bmi->biSizeImage) : 0;
        }
        if (Properties->cbBuffer == 0) {
            throw std::logic_error("no image size");
        }
        TAllocatorProperties actual;
        const HRESULT hr = SetProperties(Allocator, caps, *Properties, actual);
        if (FAILED(hr)) {
            return hr;
        }
        if (actual.cbBuffer < Properties->cbBuffer) {
            return E_FAIL;
        }
        if (actual.cBuffers != 1) {
            LogMessage("TVideoPin.DecideBufferSize call...");
            return hr;
        }
        return S_OK;
    } catch (...) {
        LogMessage("TVideoPin.DecideBufferSize call...");
        return E_FAIL;
    }
}

HRESULT TVideoPin::OnThreadCreate() {
    try {
        FFrameNumber = 0;
        FDeliveredTime = 0;
        const HRESULT hr = TBCSourceStream::OnThreadCreate();
        MarkStreamStart(FLeadTime);
        return hr;
    } catch (...) {
        LogMessage("Error in TVideoPin.OnThreadCreate call...");
        return E_FAIL;
    }
}

void TVideoPin::FillBlack(uint8_t* data) const {
    const auto size = static_cast<size_t>(FFrameBytes);
    if (FColorSpace == MEDIASUBTYPE_I420) {
        // Black luma, then both chroma planes neutral.
        const size_t luma = static_cast<size_t>(FVideoWidth) * FVideoHeight;
        std::memset(data, 16, luma);
        std::memset(data + luma, 128, size - luma);
    } else if (FColorSpace == MEDIASUBTYPE_YUY2) {
        // Y U Y V of black.
        for (size_t i = 0; i + 3 < size; i += 4) {
            data[i] = 16;
            data[i + 1] = 128;
            data[i + 2] = 16;
            data[i + 3] = 128;
        }
    } else {
        std::memset(data, 0, size);
    }
}

HRESULT TVideoPin::FillBuffer(TMediaSample* Sample) {
    try {
        if (Sample == nullptr) {
            return E_POINTER;
        }
        const int64_t start = static_cast<int64_t>(FFrameNumber) * FFrameLength;
        if (start >= FAVSource->Duration()) {
            FEOSDelivered = true;
            return S_FALSE;
        }
        const size_t rowBytes = static_cast<size_t>(FVideoWidth) * FBytesPerPixel;
        const auto imageSize = static_cast<size_t>(FFrameBytes);
        if (FGetNextVideoFrm) {
            uint8_t* data = nullptr;
            int32_t size = 0;
            if (FGetNextVideoFrm(data, size) && data != nullptr) {
                if (static_cast<size_t>(size) == imageSize) {
                    uint8_t* out = Sample->NewData();
                    if (FColorSpace == MEDIASUBTYPE_RGB32) {
                        // Bottom-up rows in, top-down rows out: the one copy does both.
                        for (int32_t y = 0; y < FVideoHeight; ++y) {
                            std::memcpy(out + static_cast<size_t>(y) * rowBytes,
                                        data + static_cast<size_t>(FVideoHeight - 1 - y) * rowBytes,
                                        rowBytes);
                        }
                    } else {
                        std::memcpy(out, data, imageSize);
                    }
                } else {
                    TraceMessage("Frame of the wrong size skipped");
                }
                if (FReleaseFrameFunction) {
                    FReleaseFrameFunction();
                }
            } else if (size == kEndOfFrames) {
                // The recording was stopped and every frame it was handed is in the file.
                FEOSDelivered = true;
                return S_FALSE;
            } else {
                // No frame ready: the sample keeps the previous picture (with skipping off as
                // well, since there is nothing to copy).
                TraceMessage("Frame skipped");
            }
            if (!Sample->HasNewData() && !Sample->HasPrevious()) {
                FillBlack(Sample->NewData());
            }
        } else {
            FillBlack(Sample->NewData());
        }
        Sample->SetActualDataLength(static_cast<int32_t>(imageSize));
        Sample->SetTime(start, start + FFrameLength);
        ++FFrameNumber;
        Sample->SetSyncPoint(true);
        FDeliveredTime = start + FFrameLength;
        if (!WaitUntilStreamTime(start)) {
            return VFW_E_WRONG_STATE;
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TVideoPin.FillBuffer call...");
        return E_FAIL;
    }
}
