#include "graph/GraphPads.h"

#include <gtest/gtest.h>

namespace {

TGstElementHandle Make(const char* factory) {
    return TGstElementHandle::Adopt(gst_element_factory_make(factory, nullptr));
}

TGstPadHandle StaticPad(GstElement* element, const char* name) {
    return TGstPadHandle::Adopt(gst_element_get_static_pad(element, name));
}

// Puts `element` into a new bin whose ghost pads "sink" and "src" stand for its pads.
TGstElementHandle Wrap(const TGstElementHandle& element) {
    TGstElementHandle bin = TGstElementHandle::Adopt(gst_bin_new(nullptr));
    gst_bin_add(GST_BIN(bin.Get()), GST_ELEMENT(gst_object_ref(element.Get())));
    for (const char* name : {"sink", "src"}) {
        TGstPadHandle inner = StaticPad(element.Get(), name);
        gst_element_add_pad(bin.Get(), gst_ghost_pad_new(name, inner.Get()));
    }
    return bin;
}

}  // namespace

// source ! [outer [inner identity]] ! sink: from either side the walk crosses both borders.
TEST(GraphPads, PeerAcrossBinsCrossesGhostPadsBothWays) {
    TGstElementHandle pipeline = TGstElementHandle::Adopt(gst_pipeline_new(nullptr));
    TGstElementHandle source = Make("fakesrc");
    TGstElementHandle identity = Make("identity");
    TGstElementHandle sink = Make("fakesink");
    TGstElementHandle inner = Wrap(identity);
    TGstElementHandle outer = Wrap(inner);
    gst_bin_add_many(GST_BIN(pipeline.Get()), GST_ELEMENT(gst_object_ref(source.Get())),
                     GST_ELEMENT(gst_object_ref(outer.Get())),
                     GST_ELEMENT(gst_object_ref(sink.Get())), nullptr);
    ASSERT_TRUE(gst_element_link_many(source.Get(), outer.Get(), sink.Get(), nullptr));

    const TGstPadHandle sourceOut = StaticPad(source.Get(), "src");
    const TGstPadHandle identityIn = StaticPad(identity.Get(), "sink");
    const TGstPadHandle identityOut = StaticPad(identity.Get(), "src");
    const TGstPadHandle sinkIn = StaticPad(sink.Get(), "sink");

    struct TCase {
        const char* What;
        GstPad* From;
        GstPad* Expected;
    };
    const TCase cases[] = {
        {"inside out, upstream", identityIn.Get(), sourceOut.Get()},
        {"inside out, downstream", identityOut.Get(), sinkIn.Get()},
        {"outside in, downstream", sourceOut.Get(), identityIn.Get()},
        {"outside in, upstream", sinkIn.Get(), identityOut.Get()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GraphPads::PeerAcrossBins(c.From).Get(), c.Expected) << c.What;
        EXPECT_NE(GraphPads::Peer(c.From).Get(), c.Expected) << c.What << ": a plain peer";
    }
}

TEST(GraphPads, PeerAcrossBinsIsEmptyWhereTheLinkEnds) {
    TGstElementHandle pipeline = TGstElementHandle::Adopt(gst_pipeline_new(nullptr));
    TGstElementHandle source = Make("fakesrc");
    TGstElementHandle identity = Make("identity");
    TGstElementHandle bin = TGstElementHandle::Adopt(gst_bin_new(nullptr));
    gst_bin_add(GST_BIN(bin.Get()), GST_ELEMENT(gst_object_ref(identity.Get())));
    // A ghost pad without a target, and an unlinked element pad.
    gst_element_add_pad(bin.Get(), gst_ghost_pad_new_no_target("sink", GST_PAD_SINK));
    gst_bin_add_many(GST_BIN(pipeline.Get()), GST_ELEMENT(gst_object_ref(source.Get())),
                     GST_ELEMENT(gst_object_ref(bin.Get())), nullptr);
    ASSERT_TRUE(gst_element_link(source.Get(), bin.Get()));

    EXPECT_FALSE(GraphPads::PeerAcrossBins(StaticPad(source.Get(), "src").Get()));
    EXPECT_FALSE(GraphPads::PeerAcrossBins(StaticPad(identity.Get(), "src").Get()));
    EXPECT_FALSE(GraphPads::PeerAcrossBins(nullptr));
}
