#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

#include "capture/V4l2Device.h"
#include "platform/GstHandle.h"

// Where a capture filter meets its V4L2 device. A capture filter is a bin around the device's
// source element; for a V4L2 device that is a v4l2src.
namespace V4l2Source {

// The v4l2src of `object`: the object itself or the first one inside it; empty for anything
// else (virtual devices, file cameras, other sources).
TGstElementHandle Find(GstElement* object);

// Opens the device of a v4l2src for a few ioctls. While the element holds the device open
// (READY and up) its own descriptor is borrowed, so no second descriptor is opened next to a
// streaming one; otherwise the device path is opened for the time of the call.
bool OpenDevice(GstElement* source, bool readWrite, TV4l2Device& device);

// The user controls of the V4L2 device behind `object`, and one control set on it.
bool ReadControls(GstElement* object, std::vector<TV4l2Control>& controls);
bool WriteControl(GstElement* object, uint32_t id, int32_t value);

}  // namespace V4l2Source
