#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/MediaFramework.h"

// Media tests play through fake sinks, so they need no sound card or display.
int main(int argc, char** argv) {
    setenv("TANDREL_AUDIO_SINK", "fakesink", 0);
    setenv("TANDREL_VIDEO_SINK", "fakesink", 0);
    if (!InitializeMediaFramework()) {
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
