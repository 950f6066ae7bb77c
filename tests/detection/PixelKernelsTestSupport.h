#pragma once

#include <gtest/gtest.h>

#include <string>

#include "detection/PixelKernels.h"

// Names every kernel implementation may have; those the CPU cannot run are skipped.
inline const char* const kPixelKernelsImplementations[] = {"scalar", "sse2", "avx2"};

// Runs each test once per implementation, selected for the test's duration; the automatic
// choice comes back afterwards, also when the test fails. The instantiation has no prefix, so
// the test names start with the suite name (Suite.Test/implementation).
class PixelKernelsImplementationTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!SelectPixelKernelsImplementation(GetParam())) {
            GTEST_SKIP() << GetParam() << " is not supported by this CPU";
        }
        ASSERT_STREQ(GetParam(), PixelKernelsImplementationName());
    }
    void TearDown() override { SelectPixelKernelsImplementation("default"); }
};

inline std::string PixelKernelsImplementationTestName(
    const ::testing::TestParamInfo<const char*>& info) {
    return info.param;
}

#define INSTANTIATE_FOR_EVERY_PIXEL_KERNELS_IMPLEMENTATION(Suite)                        \
    INSTANTIATE_TEST_SUITE_P(, Suite, ::testing::ValuesIn(kPixelKernelsImplementations), \
                             PixelKernelsImplementationTestName)
