#include "recording/AVSourceFilter.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Diagnostics.h"
#include "platform/GstHandle.h"

namespace {

const GQuark kFilterQuark = g_quark_from_static_string("tandrel-av-source-filter");

void DeleteOwner(gpointer owner) {
    delete static_cast<std::shared_ptr<TAVSourceFilter>*>(owner);
}

}  // namespace

HRESULT ColorSpaceToBytesPerPixel(const TGUID* ColorSpace, int32_t& BytesPerPixel) {
    try {
        BytesPerPixel = 0;
        if (ColorSpace == nullptr) {
            throw std::invalid_argument("no colour space");
        }
        if (*ColorSpace == MEDIASUBTYPE_RGB32) {
            BytesPerPixel = 4;
            return S_OK;
        }
        if (*ColorSpace == MEDIASUBTYPE_YUY2) {
            BytesPerPixel = 2;
            return S_OK;
        }
        LogMessage(
            "Error in AVSourceFilterMain::ColorSpaceToBytesPerPixel - unsupported colorspace.");
        return E_NOTIMPL;
    } catch (...) {
        LogMessage("Error in AVSourceFilterMain::ColorSpaceToBytesPerPixel call...");
        return E_FAIL;
    }
}

std::shared_ptr<TAVSourceFilter> TAVSourceFilter::Create(const std::string& ObjectName,
                                                         HRESULT& hr) {
    try {
        std::shared_ptr<TAVSourceFilter> filter(new TAVSourceFilter());
        filter->FElement = gst_bin_new(ObjectName.c_str());
        if (filter->FElement == nullptr) {
            throw std::runtime_error("bin not created");
        }
        // The bin keeps the filter alive; whoever adds the bin to a graph sinks its reference.
        g_object_set_qdata_full(G_OBJECT(filter->FElement), kFilterQuark,
                                new std::shared_ptr<TAVSourceFilter>(filter), DeleteOwner);
        hr = S_OK;
        return filter;
    } catch (...) {
        LogMessage("Error in TAVSourceFilter.Create call...");
        hr = E_FAIL;
        return nullptr;
    }
}

std::shared_ptr<TAVSourceFilter> TAVSourceFilter::CreateFromFactory(HRESULT& hr) {
    try {
        return Create(kFilterName, hr);
    } catch (...) {
        LogMessage("Error in TAVSourceFilter.CreateFromFactory call...");
        hr = E_FAIL;
        return nullptr;
    }
}

TAVSourceFilter::~TAVSourceFilter() {
    try {
        FreePins();
    } catch (...) {
        LogMessage("Error in TAVSourceFilter.Destroy call...");
    }
}

HRESULT TAVSourceFilter::FreePins() {
    try {
        FVideoPins.clear();
        FAudioPins.clear();
        return S_OK;
    } catch (...) {
        LogMessage("Error in TAVSourceFilter.FreePins call...");
        return E_FAIL;
    }
}

HRESULT TAVSourceFilter::AddPin(TBCSourceStream& pin, const std::string& name) {
    if (FElement == nullptr) {
        return E_FAIL;
    }
    GstElement* element = pin.Element();
    if (!gst_bin_add(GST_BIN(FElement), element)) {
        return E_FAIL;
    }
    TGstPadHandle src = TGstPadHandle::Adopt(gst_element_get_static_pad(element, "src"));
    GstPad* ghost = gst_ghost_pad_new(name.c_str(), src.Get());
    if (ghost == nullptr || !gst_element_add_pad(FElement, ghost)) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT TAVSourceFilter::AddVideoStream(int32_t Width, int32_t Height, const TGUID* ColorSpace,
                                        int64_t TimePerFrame, TGetNextFrameFunction NextFrmFunc,
                                        TReleaseFrameFunction ReleaseFrameFunction,
                                        bool SkipEmptyFrames, int64_t LeadTime) {
    try {
        const auto index = static_cast<uint32_t>(FVideoPins.size());
        std::unique_ptr<TVideoPin> pin;
        try {
            pin = std::make_unique<TVideoPin>(this, index, shared_from_this(), FStateLock);
        } catch (...) {
            LogMessage("Error in TVideoPin.Create call...");
            return E_OUTOFMEMORY;
        }
        TVideoPin* added = pin.get();
        FVideoPins.push_back(std::move(pin));
        if (FAILED(AddPin(*added, "Video " + std::to_string(index)))) {
            throw std::runtime_error("pin not added");
        }
        const HRESULT hr = added->SetVideoParameters(Width, Height, ColorSpace, TimePerFrame);
        if (FAILED(hr)) {
            return hr;
        }
        added->SetFrameFunctions(std::move(NextFrmFunc), std::move(ReleaseFrameFunction),
                                 SkipEmptyFrames);
        added->SetLeadTime(LeadTime);
        return S_OK;
    } catch (...) {
        LogMessage("Error in TAVSourceFilter.AddVideoStream call...");
        return E_FAIL;
    }
}

HRESULT TAVSourceFilter::AddAudioStream(const TWaveFormatEx* WaveFormat,
                                        TGetNextFrameFunction NextFrmFunc,
                                        TReleaseFrameFunction ReleaseFrameFunction) {
    try {
        const auto index = static_cast<uint32_t>(FAudioPins.size());
        std::unique_ptr<TAudioPin> pin;
        try {
            pin = std::make_unique<TAudioPin>(this, index, shared_from_this(), FStateLock);
        } catch (...) {
            LogMessage("Error in TAudioPin.Create call...");
            return E_OUTOFMEMORY;
        }
        TAudioPin* added = pin.get();
        FAudioPins.push_back(std::move(pin));
        if (FAILED(AddPin(*added, "Audio " + std::to_string(index)))) {
            throw std::runtime_error("pin not added");
        }
        const HRESULT hr = added->SetAudioParameters(WaveFormat);
        if (FAILED(hr)) {
            return hr;
        }
        added->SetFrameFunctions(std::move(NextFrmFunc), std::move(ReleaseFrameFunction));
        return S_OK;
    } catch (...) {
        LogMessage("Error in TAVSourceFilter.AddAudioStream call...");
        return E_FAIL;
    }
}

HRESULT TAVSourceFilter::SetDuration(int64_t Duration) {
    try {
        FDuration = Duration;
        return S_OK;
    } catch (...) {
        LogMessage("Error in TAVSourceFilter.SetDuration call...");
        return E_FAIL;
    }
}

HRESULT TAVSourceFilter::IsEOSDelivered() {
    for (const auto& pin : FVideoPins) {
        if (!pin->EOSDelivered()) {
            return S_FALSE;
        }
    }
    for (const auto& pin : FAudioPins) {
        if (!pin->EOSDelivered()) {
            return S_FALSE;
        }
    }
    return S_OK;
}

int64_t TAVSourceFilter::DeliveredTime() const {
    int64_t delivered = 0;
    for (const auto& pin : FVideoPins) {
        delivered = std::max(delivered, pin->DeliveredTime());
    }
    for (const auto& pin : FAudioPins) {
        delivered = std::max(delivered, pin->DeliveredTime());
    }
    return delivered;
}
