#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notifications/NotificationEventNames.h"
#include "notifications/WebhookUrl.h"

namespace {

TEST(WebhookUrl, HttpAndHttpsAddressesWithAHostAreTaken) {
    const std::vector<std::string> good = {
        "http://h",          "https://hooks.example.org/api/abc?token=x&y=1#frag",
        "HTTPS://H:443/",    "http://127.0.0.1:8080/hook",
        "http://[::1]:9/x",  "https://user:pw@h/x",
        "http://h?x",        "http://h#x",
        "https://h:1",       "https://h:65535"};
    for (const std::string& url : good) {
        std::string error;
        EXPECT_TRUE(CheckWebhookUrl(url, error)) << url << ": " << error;
    }
}

TEST(WebhookUrl, OtherAddressesAreRefusedWithoutRepeatingThem) {
    const std::vector<std::string> bad = {
        "", "h", "ftp://h/x", "mqtt://h", "http:/h", "http://", "http:///x", "http://:80/",
        "http://h:", "http://h:0", "http://h:65536", "http://h:8o", "http://h:123456",
        "http://[::1", "http://[]/", "http://[::1]x/", "http://h/a b", "http://h/a\tb",
        "http://h/\x7f", "http://user:Geheim@/x",
        "https://h/" + std::string(kMaxWebhookUrlLength, 'x')};
    for (const std::string& url : bad) {
        std::string error;
        EXPECT_FALSE(CheckWebhookUrl(url, error)) << url;
        EXPECT_FALSE(error.empty()) << url;
        EXPECT_EQ(error.find("Geheim"), std::string::npos) << error;
    }
}

TEST(EventList, NamesSeparatedByCommasEachKnownAndOnce) {
    struct Case {
        std::string text;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {" , ,", {}},
        {"motion_start", {"motion_start"}},
        {" motion_start ,alarm_on,\tmotion_start,", {"motion_start", "alarm_on"}},
        {"recording_finished,test,error", {"recording_finished", "test", "error"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> events{"left over"};
        std::string error;
        ASSERT_TRUE(ParseEventList(c.text, events, error)) << c.text << ": " << error;
        EXPECT_EQ(events, c.events) << c.text;
    }
    const std::vector<std::string> bad = {"motion", "motion_start,Motion_End", "alarm_on;alarm_off",
                                          "motion_start alarm_on", std::string(500, 'x')};
    for (const std::string& text : bad) {
        std::vector<std::string> events{"left over"};
        std::string error;
        EXPECT_FALSE(ParseEventList(text, events, error)) << text;
        EXPECT_NE(error.find("unknown event name"), std::string::npos) << error;
        EXPECT_LT(error.size(), 80u) << "a long name is cut";
        EXPECT_TRUE(events.empty()) << text;
    }
    EXPECT_EQ(JoinEventList({"motion_start", "alarm_on"}, ", "), "motion_start, alarm_on");
    EXPECT_EQ(JoinEventList({}, ","), "");
    for (std::string_view name : NotificationEventNames()) {
        EXPECT_TRUE(IsNotificationEventName(name)) << name;
    }
}

}  // namespace
