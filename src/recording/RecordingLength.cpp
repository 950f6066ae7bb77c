#include "recording/RecordingLength.h"

#include <gst/gst.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/Diagnostics.h"
#include "platform/GstHandle.h"
#include "platform/SafeFiles.h"

namespace {

// A file that does not preroll in this time is not a recording; reading a cut-off file of two
// hours through takes a few seconds.
constexpr GstClockTime kPrerollBound = 10 * GST_SECOND;
constexpr GstClockTime kReadBound = 120 * GST_SECOND;

struct TFrameSpan {
    std::atomic<int64_t> Frames{0};
    std::atomic<GstClockTime> End{0};
};

GstPadProbeReturn OnBuffer(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* span = static_cast<TFrameSpan*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (buffer != nullptr && GST_BUFFER_PTS_IS_VALID(buffer)) {
        GstClockTime end = GST_BUFFER_PTS(buffer);
        if (GST_BUFFER_DURATION_IS_VALID(buffer)) {
            end += GST_BUFFER_DURATION(buffer);
        }
        GstClockTime seen = span->End.load();
        while (end > seen && !span->End.compare_exchange_weak(seen, end)) {
        }
        ++span->Frames;
    }
    return GST_PAD_PROBE_OK;
}

// Every stream the parser finds ends in a sink of its own that only watches the time stamps.
void OnPadAdded(GstElement* parser, GstPad* pad, gpointer data) {
    GstElement* pipeline = GST_ELEMENT(gst_element_get_parent(parser));
    if (pipeline == nullptr) {
        return;
    }
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (sink != nullptr) {
        g_object_set(sink, "sync", FALSE, "async", TRUE, nullptr);
        gst_bin_add(GST_BIN(pipeline), sink);
        gst_element_sync_state_with_parent(sink);
        TGstPadHandle input = TGstPadHandle::Adopt(gst_element_get_static_pad(sink, "sink"));
        gst_pad_add_probe(input.Get(), GST_PAD_PROBE_TYPE_BUFFER, OnBuffer, data, nullptr);
        gst_pad_link(pad, input.Get());
    }
    gst_object_unref(pipeline);
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// An MP4 file whose header states no length: a fragmented file that was not closed (the
// program was killed or the disk ran full). The parser then gives the length of its first
// fragment as the file's; the file has to be read through instead.
bool IsUnclosedMP4(int fd) {
    constexpr size_t kHeaderBytes = 65536;
    std::vector<uint8_t> head(kHeaderBytes);
    const ssize_t n = ::pread(fd, head.data(), head.size(), 0);
    if (n < 16 || std::memcmp(head.data() + 4, "ftyp", 4) != 0) {
        return false;
    }
    // "mvhd": version (1 byte), flags (3), then creation and modification times, the time
    // scale and the duration: 32 bits each in version 0, the times and the duration 64 bits
    // in version 1.
    const uint8_t* end = head.data() + n;
    const uint8_t* box = static_cast<const uint8_t*>(memmem(head.data(), n, "mvhd", 4));
    if (box == nullptr || end - box < 36) {
        return false;
    }
    const uint8_t* body = box + 4;
    if (body[0] == 1) {
        return BigEndian32(body + 24) == 0 && BigEndian32(body + 28) == 0;
    }
    return BigEndian32(body + 16) == 0;
}

// Waits for one of Types; false on an error or when the time runs out.
bool WaitFor(GstElement* pipeline, GstMessageType types, GstClockTime bound) {
    TGstBusHandle bus = TGstBusHandle::Adopt(gst_element_get_bus(pipeline));
    TGstMessageHandle msg = TGstMessageHandle::Adopt(gst_bus_timed_pop_filtered(
        bus.Get(), bound, static_cast<GstMessageType>(types | GST_MESSAGE_ERROR)));
    return msg && (GST_MESSAGE_TYPE(msg.Get()) & types) != 0;
}

}  // namespace

bool ReadRecordingLength(const std::string& FileName, double& Seconds) {
    Seconds = 0;
    try {
        // The descriptor is opened here, so that a pipe or a link planted under the name is
        // never read.
        TUniqueFd fd = OpenRegularFile(FileName);
        if (!fd) {
            return false;
        }
        TGstElementHandle pipeline = TGstElementHandle::Adopt(gst_pipeline_new("RecordingLength"));
        GstElement* source = gst_element_factory_make("fdsrc", nullptr);
        GstElement* parser = gst_element_factory_make("parsebin", nullptr);
        if (!pipeline || source == nullptr || parser == nullptr) {
            if (source != nullptr) {
                gst_object_unref(gst_object_ref_sink(source));
            }
            if (parser != nullptr) {
                gst_object_unref(gst_object_ref_sink(parser));
            }
            return false;
        }
        g_object_set(source, "fd", fd.Get(), nullptr);
        gst_bin_add_many(GST_BIN(pipeline.Get()), source, parser, nullptr);
        gst_element_link(source, parser);
        TFrameSpan span;
        g_signal_connect(parser, "pad-added", G_CALLBACK(OnPadAdded), &span);

        bool ok = gst_element_set_state(pipeline.Get(), GST_STATE_PAUSED) !=
                      GST_STATE_CHANGE_FAILURE &&
                  WaitFor(pipeline.Get(), GST_MESSAGE_ASYNC_DONE, kPrerollBound);
        gint64 duration = -1;
        if (ok && !IsUnclosedMP4(fd.Get()) &&
            gst_element_query_duration(pipeline.Get(), GST_FORMAT_TIME, &duration) &&
            duration > 0) {
            Seconds = static_cast<double>(duration) / GST_SECOND;
        } else if (ok) {
            // No length in the header: the file was not closed. Its last frame tells.
            ok = gst_element_set_state(pipeline.Get(), GST_STATE_PLAYING) !=
                     GST_STATE_CHANGE_FAILURE &&
                 WaitFor(pipeline.Get(), GST_MESSAGE_EOS, kReadBound);
            Seconds = static_cast<double>(span.End.load()) / GST_SECOND;
        }
        gst_element_set_state(pipeline.Get(), GST_STATE_NULL);
        return ok && span.Frames > 0 && Seconds > 0;
    } catch (...) {
        LogMessage("Error in ReadRecordingLength call...");
        return false;
    }
}
