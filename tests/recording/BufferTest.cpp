#include "recording/Buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Live(const TBuffer& b) {
    return std::string(reinterpret_cast<const char*>(b.Head()), static_cast<size_t>(b.Len()));
}

}  // namespace

TEST(Buffer, GrowsByExactlyThePayloadWithoutIncrement) {
    TBuffer buffer(0, 0);
    EXPECT_EQ(buffer.Buf(), nullptr);
    buffer.AddData("abcd", 4);
    EXPECT_EQ(buffer.Size(), 4);
    buffer.AddData("efg", 3);
    EXPECT_EQ(buffer.Size(), 7);
    EXPECT_EQ(Live(buffer), "abcdefg");
    EXPECT_EQ(buffer.Left(), 0);
}

TEST(Buffer, GrowsByTheIncrementAndCompactsWhenGrowing) {
    TBuffer buffer(4, 10);
    buffer.AddData("abcd", 4);
    buffer.SetFirst(2);
    buffer.AddData("e", 1);  // FLast (4) + increment (10)
    EXPECT_EQ(buffer.Size(), 14);
    EXPECT_EQ(buffer.First(), 0) << "growth moves the live data to the start";
    EXPECT_EQ(Live(buffer), "cde");

    TBuffer negative(0, -5);
    negative.AddData("xy", 2);
    EXPECT_EQ(negative.Size(), 2) << "a negative increment counts as 0";
}

// Room appended for writing in place counts as data at once, and grows the storage like AddData
// (the live data moved to the start); no room, no change.
TEST(Buffer, AppendedRoomIsWrittenInPlace) {
    TBuffer buffer(8, 0);
    buffer.AddData("ab", 2);
    uint8_t* room = buffer.AppendRoom(3);
    ASSERT_EQ(room, buffer.Buf() + 2);
    std::memcpy(room, "cde", 3);
    EXPECT_EQ(Live(buffer), "abcde");
    buffer.SetFirst(1);
    room = buffer.AppendRoom(5);  // 5 + 5 > 8: grows
    ASSERT_NE(room, nullptr);
    std::memcpy(room, "fghij", 5);
    EXPECT_EQ(Live(buffer), "bcdefghij");
    EXPECT_EQ(buffer.AppendRoom(0), nullptr);
    EXPECT_EQ(buffer.AppendRoom(-1), nullptr);
    EXPECT_EQ(Live(buffer), "bcdefghij");
}

TEST(Buffer, ConsumingAndCompactingKeepTheLiveWindow) {
    TBuffer buffer(16, 0);
    buffer.AddData("hello world", 11);
    buffer.SetFirst(6);
    EXPECT_EQ(Live(buffer), "world");
    buffer.Compact();
    EXPECT_EQ(buffer.First(), 0);
    EXPECT_EQ(buffer.Last(), 5);
    EXPECT_EQ(Live(buffer), "world");

    buffer.SetFirst(buffer.Last());
    EXPECT_EQ(buffer.First(), 0) << "consuming everything empties the buffer";
    EXPECT_EQ(buffer.Last(), 0);

    buffer.AddData("abc", 3);
    buffer.Empty();
    EXPECT_EQ(buffer.Len(), 0);
    EXPECT_EQ(buffer.Size(), 16) << "Empty keeps the storage";
}

TEST(Buffer, SetSizeKeepsTheLiveDataAndTimesTravelUntouched) {
    TBuffer buffer(8, 0);
    buffer.AddData("abcdefgh", 8);
    buffer.SetFirst(3);
    buffer.SetSize(20);
    EXPECT_EQ(buffer.Size(), 20);
    EXPECT_EQ(Live(buffer), "defgh");
    buffer.SetTimeStart(-7);
    buffer.SetTimeEnd(1234567890123);
    EXPECT_EQ(buffer.TimeStart(), -7);
    EXPECT_EQ(buffer.TimeEnd(), 1234567890123);
}
