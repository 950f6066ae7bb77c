#include "capture/PropertyPages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graph/DirectShowGraph.h"
#include "graph/GraphTestSupport.h"
#include "support/LogCapture.h"

TEST(PropertyPagesTest, NotSupportedOutsideV4L2Devices) {
    TDirectShowGraph graph;
    TGstElementHandle source = AddOrFail(graph, "videotestsrc", "Source");
    int handlerCalls = 0;
    auto previous = SetPropertyPageHandler([&](GstElement*, void*, const std::string&) {
        ++handlerCalls;
        return S_OK;
    });
    LogCapture log;
    EXPECT_FALSE(IsPropertyPageAvailable(nullptr));
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_FALSE(IsPropertyPageAvailable(source.Get()));
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Property Pages not supported."});
    EXPECT_EQ(ShowSpecifiedPropertyPages(source.Get(), nullptr, "Settings"), E_NOTIMPL);
    EXPECT_EQ(ShowSpecifiedPropertyPages(nullptr, nullptr, "Settings"), E_NOTIMPL);
    EXPECT_EQ(handlerCalls, 0);
    // A V4L2 source without a device has no controls: no pages, and nothing is shown.
    TGstElementHandle camera;
    if (graph.AddFilter("v4l2src", camera, "Camera") == S_OK) {
        g_object_set(camera.Get(), "device", "/nonexistent/video99", nullptr);
        log.Clear();
        EXPECT_FALSE(IsPropertyPageAvailable(camera.Get()));
        EXPECT_TRUE(log.Lines().empty());
        EXPECT_EQ(ShowSpecifiedPropertyPages(camera.Get(), nullptr, "Settings"), E_NOTIMPL);
    }
    SetPropertyPageHandler(previous);
}
