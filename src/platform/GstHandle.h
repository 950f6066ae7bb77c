#pragma once

#include <gst/gst.h>

#include <memory>
#include <utility>

// Owning handles for GStreamer references. A handle holds exactly one reference and drops it
// when it goes; copies take another reference. Objects created floating (new elements and
// pads) are sunk on adoption, so a handle always owns a real reference and a bin that takes
// the object adds its own.

template <typename T>
struct TGstRefTraits {
    // Every GstObject: elements, pads, bins, buses, clocks.
    static void Ref(T* p) { gst_object_ref(p); }
    static void Unref(T* p) { gst_object_unref(p); }
    static void Adopt(T* p) {
        if (g_object_is_floating(p)) {
            gst_object_ref_sink(p);
        }
    }
};

template <>
struct TGstRefTraits<GstCaps> {
    static void Ref(GstCaps* p) { gst_caps_ref(p); }
    static void Unref(GstCaps* p) { gst_caps_unref(p); }
    static void Adopt(GstCaps*) {}
};

template <>
struct TGstRefTraits<GstMessage> {
    static void Ref(GstMessage* p) { gst_message_ref(p); }
    static void Unref(GstMessage* p) { gst_message_unref(p); }
    static void Adopt(GstMessage*) {}
};

template <>
struct TGstRefTraits<GstSample> {
    static void Ref(GstSample* p) { gst_sample_ref(p); }
    static void Unref(GstSample* p) { gst_sample_unref(p); }
    static void Adopt(GstSample*) {}
};

template <typename T>
class TGstHandle {
public:
    TGstHandle() = default;
    TGstHandle(std::nullptr_t) {}
    ~TGstHandle() { Reset(); }

    // Takes over a reference the caller owns (transfer full, or a floating new object).
    static TGstHandle Adopt(T* p) {
        TGstHandle h;
        if (p != nullptr) {
            TGstRefTraits<T>::Adopt(p);
            h.FPtr = p;
        }
        return h;
    }
    // Adds a reference to a borrowed pointer.
    static TGstHandle Ref(T* p) {
        TGstHandle h;
        if (p != nullptr) {
            TGstRefTraits<T>::Ref(p);
            h.FPtr = p;
        }
        return h;
    }

    TGstHandle(const TGstHandle& other) : FPtr(other.FPtr) {
        if (FPtr != nullptr) {
            TGstRefTraits<T>::Ref(FPtr);
        }
    }
    TGstHandle(TGstHandle&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    TGstHandle& operator=(const TGstHandle& other) {
        if (this != &other) {
            TGstHandle copy(other);
            std::swap(FPtr, copy.FPtr);
        }
        return *this;
    }
    TGstHandle& operator=(TGstHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            FPtr = std::exchange(other.FPtr, nullptr);
        }
        return *this;
    }

    T* Get() const { return FPtr; }
    T* operator->() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }

    void Reset() {
        if (T* p = std::exchange(FPtr, nullptr)) {
            TGstRefTraits<T>::Unref(p);
        }
    }
    // Hands the reference to the caller.
    [[nodiscard]] T* Release() { return std::exchange(FPtr, nullptr); }

    friend bool operator==(const TGstHandle& a, const TGstHandle& b) { return a.FPtr == b.FPtr; }

private:
    T* FPtr = nullptr;
};

using TGstElementHandle = TGstHandle<GstElement>;
using TGstPadHandle = TGstHandle<GstPad>;
using TGstBusHandle = TGstHandle<GstBus>;
using TGstClockHandle = TGstHandle<GstClock>;
using TGstCapsHandle = TGstHandle<GstCaps>;
using TGstMessageHandle = TGstHandle<GstMessage>;
using TGstSampleHandle = TGstHandle<GstSample>;

struct TGstIteratorDeleter {
    void operator()(GstIterator* it) const { gst_iterator_free(it); }
};
using TGstIteratorHandle = std::unique_ptr<GstIterator, TGstIteratorDeleter>;
