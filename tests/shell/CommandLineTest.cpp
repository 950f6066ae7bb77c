#include "shell/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notifications/EventLine.h"

namespace {

using TAction = TCommandLine::TAction;

TEST(CommandLine, GoodLinesGiveTheirActionAndValues) {
    struct Case {
        std::vector<std::string> arguments;
        TAction action;
    };
    for (const Case& c : std::vector<Case>{
             {{}, TAction::Window},
             {{"-platform", "xcb"}, TAction::Window},  // the toolkit's own options
             {{"--headless"}, TAction::Headless},
             {{"--list-cameras"}, TAction::ListCameras},
             {{"--help"}, TAction::Help},
             {{"--headless", "--version"}, TAction::Version},
             {{"--headless", "--seconds", "30", "--camera", "2", "--mode=1"}, TAction::Headless},
             {{"--headless", "--seconds", "2147483647"}, TAction::Headless},
             {{"--headless", "--instance", std::string(kMaxInstanceNameLength, 'n')},
              TAction::Headless},
         }) {
        std::string joined;
        for (const std::string& a : c.arguments) {
            joined += a + " ";
        }
        const TCommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.Action, c.action) << joined << line.Error;
    }

    const TCommandLine line = ParseCommandLine(
        {"--headless", "--seconds=5", "--camera", "Test Pattern", "--zone", "0,80,320,160",
         "--zone=1,2,3,4", "--mode", "3", "--sensitivity", "95", "--instance", "porch"});
    ASSERT_EQ(line.Action, TAction::Headless) << line.Error;
    EXPECT_EQ(line.Seconds, 5);
    EXPECT_EQ(line.CameraName, "Test Pattern");
    EXPECT_FALSE(line.CameraIndex);
    EXPECT_EQ(line.Zones, (std::vector<TRect>{{0, 80, 320, 160}, {1, 2, 3, 4}}));
    EXPECT_EQ(line.Mode, 3);
    EXPECT_EQ(line.Sensitivity, 95);
    EXPECT_EQ(line.Instance, "porch");
    EXPECT_FALSE(line.UsesStoredValuesOnly());

    const TCommandLine index = ParseCommandLine({"--headless", "--camera=0", "--instance=x"});
    EXPECT_EQ(index.CameraIndex, 0);
    EXPECT_FALSE(index.CameraName);
    EXPECT_FALSE(index.UsesStoredValuesOnly());
    EXPECT_TRUE(ParseCommandLine({"--headless", "--seconds", "3"}).UsesStoredValuesOnly());
}

TEST(CommandLine, BadLinesAreRefused) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--headless", "--seconds"},
        {"--headless", "--seconds", "0"},
        {"--headless", "--seconds", "-3"},
        {"--headless", "--seconds", "ten"},
        {"--headless", "--seconds", "99999999999"},
        {"--headless", "--zone", "1,2,3"},
        {"--headless", "--zone", "1,2,3,4,5"},
        {"--headless", "--zone", "5,2,3,4"},  // x0 >= x1
        {"--headless", "--zone", "1,4,3,4"},  // y0 >= y1
        {"--headless", "--zone", "-1,2,3,4"},
        {"--headless", "--zone", "1,2,3,4,"},
        {"--headless", "--zone", "a,b,c,d"},
        {"--headless", "--sensitivity", "0"},
        {"--headless", "--sensitivity", "101"},
        {"--headless", "--mode", "x"},
        {"--headless", "--camera", ""},
        {"--headless", "--instance="},
        {"--seconds", "5"},  // needs --headless
        {"--headless", "--list-cameras"},
        {"--list-cameras", "--camera", "1"},
        {"--headless=yes"},
        // Arguments that are no option mean nothing outside the window (where they are the
        // toolkit's), and --help or --version do not make a bad line good.
        {"--headless", "foo", "-x", "--seconds", "1"},
        {"--headless", "-platform", "xcb"},
        {"--list-cameras", "all"},
        {"--version", "--bogus"},
        {"--bogus", "--help"},
        {"--help", "me"},
        {"--version", "-v"},
        {"--headless", "--instance", std::string(kMaxInstanceNameLength + 1, 'n')},
        {"--headless", "--instance", std::string(300, 'n')},
        {"--headless", "--zone", "0,0,1,1", "--zone", "0,0,1,1", "--zone", "0,0,1,1", "--zone",
         "0,0,1,1", "--zone", "0,0,1,1", "--zone", "0,0,1,1", "--zone", "0,0,1,1", "--zone",
         "0,0,1,1", "--zone", "0,0,1,1", "--zone", "0,0,1,1", "--zone", "0,0,1,1"},
    };
    for (const auto& arguments : bad) {
        std::string joined;
        for (const std::string& a : arguments) {
            joined += a + " ";
        }
        const TCommandLine line = ParseCommandLine(arguments);
        EXPECT_EQ(line.Action, TAction::Error) << joined;
        EXPECT_FALSE(line.Error.empty()) << joined;
    }
    EXPECT_NE(CommandLineUsage().find("--headless"), std::string::npos);
}

TEST(EventLine, OneJsonObjectWithLocalTimeAndEscapedTexts) {
    const TDateTime time = EncodeDateTime({2026, 12, 10, 14, 3, 7, 250});
    EXPECT_EQ(TEventLine("motion_start", time).Add("zone", int64_t{2}).Add("activity", int64_t{7})
                  .Text(),
              R"({"event":"motion_start","time":"2026-12-10T14:03:07.250","zone":2,"activity":7})");
    EXPECT_EQ(TEventLine("camera_started", time).Add("device", "Cam \"A\"\\B\n").Add("fps", 29.97)
                  .Text(),
              R"({"event":"camera_started","time":"2026-12-10T14:03:07.250","device":"Cam \"A\"\\B\n","fps":29.97})");
    EXPECT_EQ(JsonString(std::string("\x01", 1)), R"("\u0001")");
    EXPECT_EQ(IsoLocalTime(EncodeDateTime({2027, 1, 2, 3, 4, 5, 6})), "2027-01-02T03:04:05.006");
}

// Names and paths come from the file system and the user, in any encoding: UTF-8 is kept, and
// every byte that is not UTF-8 is read as Latin-1, so the line is always valid JSON.
TEST(EventLine, BytesThatAreNotUtf8AreEscapedAsLatin1) {
    struct Case {
        std::string text;
        std::string json;
    };
    const std::vector<Case> cases = {
        {"\x4b\xc3\xbc\x63he \xe2\x82\xac \xf0\x9f\x93\xb7",  // "Küche € 📷" in UTF-8
         "\"\x4b\xc3\xbc\x63he \xe2\x82\xac \xf0\x9f\x93\xb7\""},
        {"K\xfc\x63he", R"("K\u00fcche")"},                     // Latin-1
        {"\x80\xbf", R"("\u0080\u00bf")"},                      // stray continuation bytes
        {"\xc3", R"("\u00c3")"},                                // cut off at the end
        {"\xc3(", R"("\u00c3(")"},                              // cut off inside
        {"\xc0\xaf", R"("\u00c0\u00af")"},                      // overlong "/"
        {"\xe0\x80\xaf", R"("\u00e0\u0080\u00af")"},            // overlong "/"
        {"\xed\xa0\x80", R"("\u00ed\u00a0\u0080")"},            // a surrogate
        {"\xf4\x90\x80\x80", R"("\u00f4\u0090\u0080\u0080")"},  // above U+10FFFF
        {"\xff\xfe", R"("\u00ff\u00fe")"},
        {"\xe9\"\n", R"("\u00e9\"\n")"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JsonString(c.text), c.json) << c.json;
    }
}

}  // namespace
