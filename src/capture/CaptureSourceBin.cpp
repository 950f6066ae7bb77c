#include "capture/CaptureSourceBin.h"

#include <memory>

namespace CaptureSourceBin {

namespace {

// Adds a ghost pad named `pinName` for `target` to `bin`, marked as a capture pin.
GstPad* AddCapturePin(GstElement* bin, GstPad* target, const std::string& pinName) {
    GstPad* ghost = gst_ghost_pad_new(pinName.c_str(), target);
    if (ghost == nullptr) {
        return nullptr;
    }
    CapturePins::SetPinCategory(ghost, CapturePins::TPinCategory::Capture);
    gst_pad_set_active(ghost, TRUE);
    if (!gst_element_add_pad(bin, ghost)) {
        return nullptr;
    }
    return ghost;
}

}  // namespace

TGstElementHandle MakeFormatSource(const std::string& name, TGstElementHandle source,
                                   const GstCaps* offered) {
    if (!source || offered == nullptr) {
        return {};
    }
    TGstElementHandle bin = TGstElementHandle::Adopt(gst_bin_new(name.c_str()));
    TGstElementHandle capsFilter =
        TGstElementHandle::Adopt(gst_element_factory_make("capsfilter", "Format"));
    if (!bin || !capsFilter) {
        return {};
    }
    g_object_set(capsFilter.Get(), "caps", offered, nullptr);
    gst_bin_add_many(GST_BIN(bin.Get()), source.Get(), capsFilter.Get(), nullptr);
    if (!gst_element_link(source.Get(), capsFilter.Get())) {
        return {};
    }
    TGstPadHandle target =
        TGstPadHandle::Adopt(gst_element_get_static_pad(capsFilter.Get(), "src"));
    GstPad* pin = AddCapturePin(bin.Get(), target.Get(), kCapturePinName);
    if (pin == nullptr) {
        return {};
    }
    CapturePins::SetStreamConfig(pin,
                                 std::make_shared<TCaptureStreamConfig>(capsFilter.Get(), offered));
    return bin;
}

TGstElementHandle MakeStreamSource(const std::string& name, TGstElementHandle source,
                                   const GstCaps* caps, const std::string& pinName) {
    if (!source || caps == nullptr) {
        return {};
    }
    TGstElementHandle bin = TGstElementHandle::Adopt(gst_bin_new(name.c_str()));
    TGstElementHandle capsFilter =
        TGstElementHandle::Adopt(gst_element_factory_make("capsfilter", "Stream"));
    if (!bin || !capsFilter) {
        return {};
    }
    g_object_set(capsFilter.Get(), "caps", caps, nullptr);
    gst_bin_add_many(GST_BIN(bin.Get()), source.Get(), capsFilter.Get(), nullptr);
    if (!gst_element_link(source.Get(), capsFilter.Get())) {
        return {};
    }
    TGstPadHandle target =
        TGstPadHandle::Adopt(gst_element_get_static_pad(capsFilter.Get(), "src"));
    if (!target || AddCapturePin(bin.Get(), target.Get(), pinName) == nullptr) {
        return {};
    }
    return bin;
}

}  // namespace CaptureSourceBin
