#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Paths.h"

TEST(DateTime, KnownDaysFormatsAndRoundTrips) {
    struct Case {
        TDateTimeParts parts;
        double value;
        const char* compact;
        const char* dotted;
    };
    const Case cases[] = {
        {{1899, 12, 30, 0, 0, 0, 0}, 0.0, "18991230_000000", "30.12.1899 00:00:00"},
        {{2017, 1, 1, 12, 0, 0, 0}, 42736.5, "20170101_120000", "01.01.2017 12:00:00"},
        {{2024, 2, 29, 23, 59, 59, 0}, 45351.0 + 86399.0 / 86400.0, "20240229_235959",
         "29.02.2024 23:59:59"},
    };
    for (const Case& c : cases) {
        const TDateTime value = EncodeDateTime(c.parts);
        EXPECT_NEAR(value, c.value, 1e-9) << c.compact;
        EXPECT_EQ(FormatDateTime("yyyymmdd_hhnnss", value), c.compact);
        EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss", value), c.dotted);
        const TDateTimeParts back = DecodeDateTime(value);
        EXPECT_EQ(back.Year, c.parts.Year);
        EXPECT_EQ(back.Day, c.parts.Day);
        EXPECT_EQ(back.Second, c.parts.Second);
    }
}

TEST(DateTime, ReplaceableClockDrivesNow) {
    const TDateTime fixed = EncodeDateTime({2030, 6, 1, 8, 30, 0, 0});
    SetDateTimeClock([fixed] { return fixed; });
    EXPECT_EQ(Now(), fixed);
    SetDateTimeClock({});
    EXPECT_GT(Now(), EncodeDateTime({2020, 1, 1, 0, 0, 0, 0}));
}

TEST(Paths, TemporaryFolderAlwaysEndsInASlash) {
    const char* saved = std::getenv("TMPDIR");
    const std::string restore = saved != nullptr ? saved : "";
    for (const char* value : {"/var/tmp", "/var/tmp/", ""}) {
        setenv("TMPDIR", value, 1);
        std::string path;
        EXPECT_TRUE(GetTmpPath(path));
        EXPECT_EQ(path, *value == '\0' ? "/tmp/" : "/var/tmp/");
    }
    if (saved != nullptr) {
        setenv("TMPDIR", restore.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}
