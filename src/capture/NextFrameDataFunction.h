#pragma once

#include <cstdint>
#include <functional>

// The frame callback: Data points at the first byte of a bottom-up RGB32 frame (blue, green,
// red, fourth byte; rows of width * 4 bytes, bottom line first), Size is its byte count. The
// pointer is valid only during the call. The result is ignored by the caller.
using TNextFrameDataFunction = std::function<bool(uint8_t* Data, int32_t Size)>;
