#include "recording/AudioPin.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/Diagnostics.h"
#include "recording/AVSourceFilter.h"

TAudioPin::TAudioPin(TAVSourceFilter* AVSource, uint32_t PinIndex, std::shared_ptr<void> Owner,
                     std::mutex& StateLock)
    : TBCSourceStream("Audio " + std::to_string(PinIndex), std::move(Owner), StateLock),
      FAVSource(AVSource),
      FPinIndex(PinIndex) {}

TAudioPin::~TAudioPin() = default;

HRESULT TAudioPin::SetAudioParameters(const TWaveFormatEx* WaveFormat) {
    if (WaveFormat == nullptr) {
        return E_POINTER;
    }
    FWaveFormat.wFormatTag = WaveFormat->wFormatTag;
    FWaveFormat.nChannels = WaveFormat->nChannels;
    FWaveFormat.nSamplesPerSec = WaveFormat->nSamplesPerSec;
    FWaveFormat.nAvgBytesPerSec = WaveFormat->nAvgBytesPerSec;
    FWaveFormat.nBlockAlign = WaveFormat->nBlockAlign;
    FWaveFormat.wBitsPerSample = WaveFormat->wBitsPerSample;
    FWaveFormat.cbSize = WaveFormat->cbSize;
    FBufferSize = static_cast<int32_t>(FWaveFormat.nAvgBytesPerSec / 25);
    return S_OK;
}

void TAudioPin::SetFrameFunctions(TGetNextFrameFunction Next, TReleaseFrameFunction Release) {
    FGetNextAudioFrm = std::move(Next);
    FReleaseFrameFunction = std::move(Release);
}

HRESULT TAudioPin::Notify() { return E_FAIL; }

HRESULT TAudioPin::GetMediaType(int32_t Position, TMediaType* pmt) {
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
        *pmt = TMediaType{};
        pmt->majortype = MEDIATYPE_Audio;
        pmt->subtype = MEDIASUBTYPE_PCM;
        pmt->bFixedSizeSamples = true;
        pmt->bTemporalCompression = false;
        pmt->lSampleSize = kSampleSize;
        pmt->SetFormat(FORMAT_WaveFormatEx, FWaveFormat);
        return S_OK;
    } catch (...) {
        LogMessage("Error in TAudioPin.GetMediaType call...");
        return E_FAIL;
    }
}

HRESULT TAudioPin::CheckMediaType(const TMediaType* pmt) {
    try {
        if (pmt == nullptr) {
            return E_FAIL;
        }
        const TWaveFormatEx* wfx = pmt->WaveFormat();
        if (pmt->majortype != MEDIATYPE_Audio || pmt->subtype != MEDIASUBTYPE_PCM ||
            wfx == nullptr || pmt->cbFormat() < sizeof(TWaveFormatEx)) {
            return E_FAIL;
        }
        if (wfx->wFormatTag != FWaveFormat.wFormatTag ||
            wfx->nChannels != FWaveFormat.nChannels ||
            wfx->nSamplesPerSec != FWaveFormat.nSamplesPerSec ||
            wfx->wBitsPerSample != FWaveFormat.wBitsPerSample) {
            return E_FAIL;
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TAudioPin.CheckMediaType call...");
        return E_FAIL;
    }
}

HRESULT TAudioPin::SetMediaType(const TMediaType* pmt) {
    try {
        return TBCSourceStream::SetMediaType(pmt);
    } catch (...) {
        LogMessage("Error in TAudioPin.SetMediaType call...");
        return E_FAIL;
    }
}

HRESULT TAudioPin::CompleteConnect() { return TBCSourceStream::CompleteConnect(); }

HRESULT TAudioPin::DecideBufferSize(GstBufferPool* Allocator, TAllocatorProperties* Properties) {
    try {
        if (Allocator == nullptr || Properties == nullptr) {
            return E_POINTER;
        }
        {
            std::lock_guard lock(FStateLock);
            Properties->cBuffers = 4;
            Properties->cbBuffer = static_cast<int32_t>(FWaveFormat.nAvgBytesPerSec / 25);
        }
        if (Properties->cbBuffer == 0) {
            throw std::logic_error("no block size");
        }
        TAllocatorProperties actual;
        const HRESULT hr = SetProperties(Allocator, nullptr, *Properties, actual);
        if (FAILED(hr)) {
            return hr;
        }
        if (actual.cbBuffer < Properties->cbBuffer) {
            return E_FAIL;
        }
        if (actual.cBuffers != 4) {
            LogMessage("Error in TAudioPin.DecideBufferSize call...");
            return hr;
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TAudioPin.DecideBufferSize call...");
        return E_FAIL;
    }
}

HRESULT TAudioPin::OnThreadCreate() {
    try {
        FFrameNumber = 0;
        FDeliveredTime = 0;
        return TBCSourceStream::OnThreadCreate();
    } catch (...) {
        LogMessage("Error in TAudioPin.OnThreadCreate call...");
        return E_FAIL;
    }
}

HRESULT TAudioPin::FillBuffer(TMediaSample* Sample) {
    try {
        if (Sample == nullptr) {
            return E_POINTER;
        }
        const int64_t start = static_cast<int64_t>(FFrameNumber) * FFrameLength;
        if (start >= FAVSource->Duration()) {
            FEOSDelivered = true;
            return S_FALSE;
        }
        uint8_t* out = Sample->NewData();
        const int32_t capacity = std::min(Sample->GetSize(), FBufferSize);
        uint8_t* data = nullptr;
        int32_t size = 0;
        // A block that is not handed out is silence, never a copy from unset pointers.
        if (FGetNextAudioFrm && FGetNextAudioFrm(data, size) && data != nullptr && size > 0) {
            const int32_t n = std::min(size, capacity);
            std::memcpy(out, data, static_cast<size_t>(n));
            std::memset(out + n, 0, static_cast<size_t>(capacity - n));
            if (FReleaseFrameFunction) {
                FReleaseFrameFunction();
            }
        } else {
            std::memset(out, 0, static_cast<size_t>(capacity));
        }
        Sample->SetActualDataLength(capacity);
        Sample->SetTime(start, start + FFrameLength);
        ++FFrameNumber;
        Sample->SetSyncPoint(true);
        FDeliveredTime = start + FFrameLength;
        if (!WaitUntilStreamTime(start)) {
            return VFW_E_WRONG_STATE;
        }
        return S_OK;
    } catch (...) {
        LogMessage("Error in TAudioPin.FillBuffer call...");
        return E_FAIL;
    }
}
