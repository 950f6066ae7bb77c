#include "platform/Diagnostics.h"

#include <gtest/gtest.h>

#include <string>

#include "support/LogCapture.h"

TEST(CheckDXError, SuccessCodesOtherThanSFalsePassThroughSilently) {
    LogCapture log;
    for (HRESULT hr : {S_OK, HRESULT{2}, VFW_S_NO_MORE_ITEMS, VFW_S_STATE_INTERMEDIATE}) {
        EXPECT_EQ(CheckDXError(hr, "step"), hr);
    }
    EXPECT_TRUE(log.Lines().empty());
}

TEST(CheckDXError, FailuresAndSFalseLogOneLineAndRaise) {
    struct Case {
        HRESULT hr;
        std::string line;
        std::string raised;
    };
    const Case cases[] = {
        {E_FAIL, "Cannot connect. (DX Error: 80004005: \"Unspecified error.\")",
         "DX Error: 80004005.\rMessage: Cannot connect"},
        {S_FALSE,
         "Cannot connect. (DX Error: 00000001: \"The operation completed but did not do "
         "everything it was asked to.\")",
         "DX Error: 00000001.\rMessage: Cannot connect"},
        {E_INVALIDARG, "Cannot connect. (DX Error: 80070057: \"The parameter is incorrect.\")",
         "DX Error: 80070057.\rMessage: Cannot connect"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        try {
            CheckDXError(c.hr, "Cannot connect");
            ADD_FAILURE() << "no failure raised for " << c.hr;
        } catch (const EDXError& e) {
            EXPECT_EQ(std::string(e.what()), c.raised);
            EXPECT_EQ(e.Code(), c.hr);
        }
        EXPECT_EQ(log.Lines(), std::vector<std::string>{c.line});
    }
}

TEST(Diagnostics, TracePointsWriteNothingAndFormattedLinesAreWhole) {
    LogCapture log;
    TraceMessage("Error in TForm1.FormShow - cannot populate the language menu.");
    TraceMessageFmt("%s %d", "x", 5);
    EXPECT_TRUE(log.Lines().empty());

    LogMessageFmt("Error in TCameraManager.InitializeCamera - cannot create folder %s", "/x/y");
    LogMessageFmt("code [0x%.8x]", 0x80004005u);
    LogMessageFmt("%s", std::string(2000, 'a').c_str());
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Error in TCameraManager.InitializeCamera - cannot create folder /x/y");
    EXPECT_EQ(lines[1], "code [0x80004005]");
    EXPECT_EQ(lines[2].size(), 2000u);
}
