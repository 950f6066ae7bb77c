// A headless run's events reach the receivers given on its command line.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>

#include <chrono>
#include <string>
#include <vector>

#include "shell/HeadlessRunFixture.h"
#include "support/RecordingHttpServer.h"

namespace {

TEST_F(HeadlessRunTest, WebhooksGetTheEventsOfStandardOutputInTheSameOrder) {
    RecordingHttpServer taker;
    // A receiver that always fails delays neither the run nor the other receiver.
    RecordingHttpServer failing({}, RecordingHttpServer::TAnswer{500});
    const int status = RunToEnd({"--headless", "--seconds", "6", "--mode", "1", "--sensitivity",
                                 "95", "--zone", "0,80,320,160", "--webhook",
                                 QString::fromStdString(taker.Url("/hook?token=secret")),
                                 "--webhook", QString::fromStdString(failing.Url("/down"))});
    EXPECT_EQ(status, 0) << FErr.constData();
    std::vector<std::string> printed;
    for (const QByteArray& line : FOut.split('\n')) {
        if (!line.isEmpty()) {
            printed.push_back(line.toStdString());
        }
    }
    ASSERT_GE(printed.size(), 3u) << FOut.constData();
    std::vector<std::string> posted;
    for (const RecordingHttpServer::TRequest& request : taker.Requests()) {
        EXPECT_EQ(request.Line, "POST /hook?token=secret HTTP/1.1");
        EXPECT_EQ(request.Header("content-type"), "application/json");
        posted.push_back(request.Body);
    }
    EXPECT_EQ(posted, printed);
    // The failing one was tried (three times an event) and said so without its address's path.
    EXPECT_GE(failing.Requests().size(), 3u);
    EXPECT_TRUE(FErr.contains("did not take the event camera_started")) << FErr.constData();
    EXPECT_FALSE(FErr.contains("token=secret"));
    EXPECT_FALSE(FErr.contains("/down"));
}

TEST_F(HeadlessRunTest, NotificationValuesThatCannotWorkAreABadCommandLine) {
    struct Case {
        QStringList Arguments;
        QByteArray Said;
    };
    const Case cases[] = {
        {{"--mqtt", "mqtt://broker:99999"}, "port"},
        {{"--mqtt", "http://broker"}, "mqtt"},
        {{"--webhook", "ftp://example.org/x"}, "http"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunToEnd(QStringList{"--headless", "--seconds", "1"} + c.Arguments), 64)
            << c.Arguments.join(' ').toStdString();
        EXPECT_TRUE(FErr.contains(c.Said)) << FErr.constData();
    }
}

}  // namespace
