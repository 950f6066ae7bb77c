#pragma once

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/HResult.h"
#include "platform/MediaType.h"
#include "recording/MediaSample.h"

// What a pin asks of its buffer pool and what the pool grants.
struct TAllocatorProperties {
    int32_t cBuffers = 0;
    int32_t cbBuffer = 0;
    int32_t cbAlign = 0;
    int32_t cbPrefix = 0;
};

// The base of a source pin: one GstPushSrc element with its own streaming thread, which calls
// FillBuffer once per sample and ends the stream (end-of-stream downstream) when FillBuffer
// answers S_FALSE. Derived pins offer and check their media type, size their buffers and fill
// samples. The element keeps `Owner` (the pin's filter) alive for as long as it exists.
class TBCSourceStream {
public:
    TBCSourceStream(const std::string& ElementName, std::shared_ptr<void> Owner,
                    std::mutex& StateLock);
    virtual ~TBCSourceStream();
    TBCSourceStream(const TBCSourceStream&) = delete;
    TBCSourceStream& operator=(const TBCSourceStream&) = delete;

    // The element (not a reference of its own: the filter's bin holds it).
    GstElement* Element() const { return FElement; }
    // The media type of the connection, once negotiated.
    const TMediaType& ConnectionMediaType() const { return FMediaType; }

    virtual HRESULT Notify();
    virtual HRESULT GetMediaType(int32_t Position, TMediaType* pmt) = 0;
    virtual HRESULT CheckMediaType(const TMediaType* pmt) = 0;
    virtual HRESULT SetMediaType(const TMediaType* pmt);
    virtual HRESULT CompleteConnect();
    virtual HRESULT DecideBufferSize(GstBufferPool* Allocator,
                                     TAllocatorProperties* Properties) = 0;
    virtual HRESULT FillBuffer(TMediaSample* Sample) = 0;
    virtual HRESULT OnThreadCreate();

    // The pool's SetProperties: asks for the request, answers what was granted.
    static HRESULT SetProperties(GstBufferPool* Allocator, GstCaps* Caps,
                                 const TAllocatorProperties& Request, TAllocatorProperties& Actual);

    // Hooks of the element (streaming and application threads).
    GstCaps* ElementCaps();
    bool ElementSetCaps(GstCaps* caps);
    bool ElementDecideAllocation();
    GstFlowReturn ElementCreate(GstBuffer** buffer);
    bool ElementStart();
    bool ElementStop();
    void ElementUnlock(bool flushing);

protected:
    // Sleeps until the stream has run `streamTime` (100-ns units) since OnThreadCreate; false
    // when the element is being flushed or stopped meanwhile.
    bool WaitUntilStreamTime(int64_t streamTime);
    std::chrono::steady_clock::time_point StartTime() const { return FStartTime; }
    // The stream starts now, or `Lead` (100-ns units) ago.
    void MarkStreamStart(int64_t Lead = 0) {
        FStartTime = std::chrono::steady_clock::now() - std::chrono::microseconds(Lead / 10);
    }

    std::mutex& FStateLock;

private:
    GstElement* FElement = nullptr;
    TMediaType FMediaType;
    GstBufferPool* FPool = nullptr;
    GstBuffer* FLastBuffer = nullptr;
    bool FThreadCreated = false;
    std::chrono::steady_clock::time_point FStartTime;
    std::mutex FWaitLock;
    std::condition_variable FWaitWake;
    bool FFlushing = false;
};
