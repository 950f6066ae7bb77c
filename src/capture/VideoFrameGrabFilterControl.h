#pragma once

#include <cstdint>

#include "capture/NextFrameDataFunction.h"
#include "platform/HResult.h"
#include "platform/MediaType.h"

// {72E100D0-8FE7-437E-847D-AE6188B268D8}
constexpr TGUID IID_IVideoFrameGrabFilterControl = {
    0x72E100D0, 0x8FE7, 0x437E, {0x84, 0x7D, 0xAE, 0x61, 0x88, 0xB2, 0x68, 0xD8}};

// The control interface of the frame grab filter: its callback and its delivery interval.
// It lives as long as the filter's element; whoever holds it also holds a reference to that
// element and drops the interface first.
class IVideoFrameGrabFilterControl {
public:
    // Replaces the frame callback (an empty function: none). Safe on any thread; a call of the
    // previous callback may still be running on the streaming thread when this returns.
    virtual HRESULT SetNextFrameDataFunction(TNextFrameDataFunction Func) = 0;
    // Delivery interval in 100-ns units (1,000,000 = ten frames a second). Any thread.
    virtual HRESULT SetFrameTime(int64_t FrameTime) = 0;
    virtual HRESULT GetFrameTime(int64_t& FrameTime) = 0;

protected:
    ~IVideoFrameGrabFilterControl() = default;
};
