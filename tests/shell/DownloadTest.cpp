#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "localisation/TempFolder.h"
#include "platform/DateTime.h"
#include "shell/Download.h"
#include "support/LogCapture.h"
#include "support/LoopbackHttpServer.h"

namespace {

using Reply = LoopbackHttpServer::TReply;

// Short bounds, so a stalled server ends a test within seconds.
const TDownloadLimits kShort{2, 1, 4};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A port nobody listens on: taken from a server that has stopped.
std::string ClosedPortUrl() {
    std::string url;
    {
        LoopbackHttpServer server({}, 0, std::chrono::seconds(1));
        url = server.Url("/x");
    }
    return url;
}

TEST(DownloadUrlTest, OnlyAuthenticatedOrLoopbackChannels) {
    struct Case {
        const char* Url;
        bool Accepted;
    };
    const Case cases[] = {
        {"https://updates.example.org/download/tdr/ver.txt", true},
        {"HTTPS://updates.example.org/x", true},
        {"http://127.0.0.1:8080/x", true},
        {"http://127.1.2.3/x", true},
        {"http://localhost/x", true},
        {"http://[::1]:80/x", true},
        {"http://updates.example.org/x", false},
        {"http://128.0.0.1/x", false},
        {"http://localhost.example.org/x", false},
        {"ftp://updates.example.org/x", false},
        {"file:///etc/passwd", false},
        {"updates.example.org/x", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAcceptedDownloadUrl(c.Url), c.Accepted) << c.Url;
    }
}

TEST(DownloadToBufferTest, ResultCodesAndBytes) {
    LoopbackHttpServer server({{"/five", {200, std::string("5\0", 2)}},
                               {"/nolength", {200, "abc", false}},
                               {"/large", {200, std::string(4096, '1')}},
                               {"/exact", {200, std::string(16, '7')}},
                               {"/longer", {200, std::string(40, '7'), false}},
                               {"/error", {500, "broken"}}});
    struct Case {
        std::string Url;
        int Result;
        int Size;
        std::string Bytes;
    };
    const std::vector<Case> cases = {
        {server.Url("/five"), 0, 2, std::string("5\0", 2)},
        {server.Url("/nolength"), 0, 3, "abc"},
        {server.Url("/exact"), 0, 16, std::string(16, '7')},
        // No length given and more than fits: the buffer is filled and the rest ignored.
        {server.Url("/longer"), 0, 16, std::string(16, '7')},
        {server.Url("/large"), -4, 0, ""},
        {server.Url("/error"), -3, 0, ""},
        {server.Url("/missing"), -3, 0, ""},
        {ClosedPortUrl(), -3, 0, ""},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(16, 'x');
        int size = static_cast<int>(buffer.size());
        EXPECT_EQ(DownloadToBuffer(c.Url, buffer.data(), size, "agent", {}, nullptr, {}, kShort),
                  c.Result)
            << c.Url;
        EXPECT_EQ(size, c.Size) << c.Url;
        EXPECT_EQ(std::string(buffer.data(), c.Bytes.size()), c.Bytes) << c.Url;
        if (c.Result == -4) {
            EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string(16, 'x'))
                << "nothing read for " << c.Url;
        }
    }
}

TEST(DownloadToBufferTest, SendsAgentPumpsAndReportsProgress) {
    LoopbackHttpServer server({{"/v", {200, "1234"}}});
    std::vector<char> buffer(2048);
    int size = 2048;
    int pumped = 0;
    std::vector<std::pair<int64_t, int64_t>> progress;
    int user = 0;
    const int result = DownloadToBuffer(
        server.Url("/v"), buffer.data(), size, "tandrel_F_id_2026", 
        [&](void* data, int64_t received, int64_t total) {
            EXPECT_EQ(data, &user);
            progress.emplace_back(received, total);
        },
        &user, [&] { ++pumped; }, kShort);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(size, 4);
    EXPECT_GT(pumped, 0);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(int64_t(4), int64_t(4)));
    ASSERT_EQ(server.Agents().size(), 1u);
    EXPECT_EQ(server.Agents()[0], "tandrel_F_id_2026");
}

TEST(DownloadToBufferTest, StalledServerEndsWithinItsBoundAndKeepsPumping) {
    LoopbackHttpServer server({{"/silent", Reply{200, "", true, true}},
                               {"/headers", Reply{200, "12", true, false, true}}});
    struct Case {
        const char* Path;
        int Result;
    };
    for (const Case c : {Case{"/silent", -3}, Case{"/headers", -5}}) {
        std::vector<char> buffer(2048);
        int size = 2048;
        int pumped = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(DownloadToBuffer(server.Url(c.Path), buffer.data(), size, "", {}, nullptr,
                                   [&] { ++pumped; }, kShort),
                  c.Result)
            << c.Path;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << c.Path;
        // The pump runs many times a second while nothing arrives.
        EXPECT_GT(pumped, 5) << c.Path;
    }
}

TEST(DownloadFileTest, ResultCodesAndLines) {
    TempFolder folder;
    LoopbackHttpServer server({{"/pkg", {200, std::string(30000, 'z')}},
                               {"/nolength", {200, "abc", false}},
                               {"/cut", Reply{200, "12", true, false, true}}});
    struct Case {
        std::string Url;
        std::string File;
        int Result;
        std::vector<std::string> Lines;
        std::string Stored;
    };
    const std::string file = folder.Path() + "/TDRUpdater.zip";
    const std::vector<Case> cases = {
        {server.Url("/pkg"), file, 0, {}, std::string(30000, 'z')},
        {server.Url("/nolength"), file, 0, {"Error in DownloadFile - error calling HttpQueryInfo."},
         "abc"},
        {server.Url("/missing"), file, -3,
         {"Error in DownloadFile - error calling InternetOpenURL."}, ""},
        {server.Url("/cut"), file, -5, {"Error in DownloadFile - error calling InternetReadFile."},
         ""},
        {server.Url("/pkg"), folder.Path() + "/no/such/folder/file", -7,
         {"Error in DownloadFile - error creating destination file."}, ""},
        {server.Url("/pkg"), "", 0, {}, ""},
    };
    for (const Case& c : cases) {
        // A file from before is replaced, never appended to.
        folder.Write("TDRUpdater.zip", "old");
        LogCapture log;
        EXPECT_EQ(DownloadFile(c.Url, c.File, nullptr, "", nullptr, {}, {}, kShort), c.Result)
            << c.Url;
        EXPECT_EQ(log.Lines(), c.Lines) << c.Url;
        if (c.File == file) {
            EXPECT_EQ(ReadFile(file), c.Stored) << c.Url;
            // A failed download leaves no partial file.
            EXPECT_EQ(::access(file.c_str(), F_OK) == 0, c.Result == 0) << c.Url;
        }
    }
}

// A package is bounded: a stated length above the limit is refused before the body is read, a
// body without a length is cut off at the limit, and nothing of either stays on disk.
TEST(DownloadFileTest, BodiesAboveTheLimitAreRefusedAndRemoved) {
    TempFolder folder;
    LoopbackHttpServer server({{"/fits", {200, std::string(1000, 'a')}},
                               {"/stated", {200, std::string(1001, 'a')}},
                               {"/endless", {200, std::string(50000, 'a'), false}}});
    const std::string file = folder.Path() + "/TDRUpdater.zip";
    TDownloadLimits limits = kShort;
    limits.MaxBytes = 1000;
    struct Case {
        const char* Path;
        int Result;
        std::vector<std::string> Lines;
    };
    const std::string tooLarge = "Error in DownloadFile - the download is larger than 1000 bytes.";
    const std::vector<Case> cases = {
        {"/fits", 0, {}},
        {"/stated", -10, {tooLarge}},
        {"/endless", -10, {"Error in DownloadFile - error calling HttpQueryInfo.", tooLarge}},
    };
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(DownloadFile(server.Url(c.Path), file, nullptr, "", nullptr, {}, {}, limits),
                  c.Result)
            << c.Path;
        EXPECT_EQ(log.Lines(), c.Lines) << c.Path;
        EXPECT_EQ(::access(file.c_str(), F_OK) == 0, c.Result == 0) << c.Path;
    }
}

TEST(DownloadFileTest, LinkAtTheDestinationIsReplacedNotFollowed) {
    TempFolder folder;
    LoopbackHttpServer server({{"/pkg", {200, "new"}}});
    const std::string target = folder.Write("target", "keep");
    const std::string file = folder.Path() + "/TDRUpdater.zip";
    ASSERT_EQ(::symlink(target.c_str(), file.c_str()), 0);
    EXPECT_EQ(DownloadFile(server.Url("/pkg"), file, nullptr, "", nullptr, {}, {}, kShort), 0);
    EXPECT_EQ(ReadFile(target), "keep");
    EXPECT_EQ(ReadFile(file), "new");
}

TEST(DownloadFileTest, CancelFlagEndsWithZero) {
    TempFolder folder;
    LoopbackHttpServer server({{"/silent", Reply{200, "", true, true}}});
    std::atomic<bool> cancel{false};
    int pumped = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadFile(server.Url("/silent"), folder.Path() + "/f", nullptr, "", &cancel, {},
                           [&] {
                               if (++pumped == 3) {
                                   cancel = true;
                               }
                           },
                           TDownloadLimits{30, 30, 60}),
              0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(NowDateTimeToStringTest, Format) {
    const TDateTimeClock previous = SetDateTimeClock(
        [] { return EncodeDateTime(TDateTimeParts{2026, 3, 4, 5, 6, 7, 0}); });
    EXPECT_EQ(NowDateTimeToString(), "_2026_03_04__05_06_07");
    SetDateTimeClock(previous);
}

}  // namespace
