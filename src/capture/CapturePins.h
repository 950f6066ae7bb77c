#pragma once

#include <gst/gst.h>

#include <string>
#include <vector>

#include "capture/CaptureStreamConfig.h"
#include "platform/GstHandle.h"
#include "platform/MediaType.h"

// The pins of a capture filter: the output pads of a device bin, each marked with its pin
// category (capture or preview) and, where the device lets the format be chosen, its stream
// configuration.
namespace CapturePins {

enum class TPinCategory { Any, Capture, Preview };

void SetPinCategory(GstPad* pin, TPinCategory category);
TPinCategory PinCategory(GstPad* pin);

// Attaches the stream configuration to a pin (the pin keeps a reference).
void SetStreamConfig(GstPad* pin, const TCaptureStreamConfigPtr& config);
TCaptureStreamConfigPtr StreamConfig(GstPad* pin);

// The media types a pin offers, in its preferred order: one per structure of its caps, each
// fixated. A raw video format without a media-type mapping keeps its FOURCC as subtype; other
// unknown streams come back with null GUIDs.
std::vector<TMediaType> PinMediaTypes(GstPad* pin);

// The first unconnected output pin of `filter` of `category` (Any: every pin) that offers a
// media type of `majorType` (nullptr: any type).
TGstPadHandle FindPin(GstElement* filter, TPinCategory category, const TGUID* majorType);

// The stream configuration of the pin FindPin would return; empty when there is none.
TCaptureStreamConfigPtr FindStreamConfig(GstElement* filter, TPinCategory category,
                                         const TGUID& majorType);

}  // namespace CapturePins
