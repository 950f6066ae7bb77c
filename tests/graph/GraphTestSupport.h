#pragma once

#include <gst/gst.h>

#include <string>

#include "graph/GraphCommon.h"

// Adds an element to a wrapper's graph; fails the test when the factory is missing.
inline TGstElementHandle AddOrFail(TGraphCommon& graph, const char* factory,
                                   const std::string& name) {
    TGstElementHandle element;
    EXPECT_EQ(graph.AddFilter(factory, element, name), S_OK) << factory;
    EXPECT_TRUE(element) << factory;
    return element;
}

inline int ChildCount(const TGraphCommon& graph) {
    return graph.GraphBuilder() != nullptr
               ? static_cast<int>(GST_BIN_NUMCHILDREN(GST_BIN(graph.GraphBuilder())))
               : -1;
}

inline bool PadLinked(GstElement* element, const char* pad) {
    GstPad* p = gst_element_get_static_pad(element, pad);
    const bool linked = p != nullptr && gst_pad_is_linked(p);
    if (p != nullptr) {
        gst_object_unref(p);
    }
    return linked;
}

// Sets a capsfilter's caps (the property takes its own reference).
inline void SetCaps(GstElement* capsfilter, const char* caps) {
    GstCaps* parsed = gst_caps_from_string(caps);
    g_object_set(capsfilter, "caps", parsed, nullptr);
    gst_caps_unref(parsed);
}
