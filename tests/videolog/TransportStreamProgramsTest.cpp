#include "videolog/TransportStreamPrograms.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr size_t kPacket = 188;

// One transport packet of `pid` carrying `payload` (after a pointer field of 0 when it starts
// a section), stuffed with 0xFF.
std::vector<uint8_t> Packet(uint16_t pid, const std::vector<uint8_t>& payload, bool unitStart) {
    std::vector<uint8_t> packet(kPacket, 0xFF);
    packet[0] = 0x47;
    packet[1] = static_cast<uint8_t>((unitStart ? 0x40 : 0) | ((pid >> 8) & 0x1F));
    packet[2] = static_cast<uint8_t>(pid & 0xFF);
    packet[3] = 0x10;  // payload only
    size_t at = 4;
    if (unitStart) {
        packet[at++] = 0;
    }
    for (uint8_t b : payload) {
        packet[at++] = b;
    }
    return packet;
}

// A program association section listing `programs` (program 0 is the network entry); the CRC
// is not checked by the reader and left zero.
std::vector<uint8_t> AssociationSection(const std::vector<uint16_t>& programs) {
    const size_t length = 5 + 4 * programs.size() + 4;
    std::vector<uint8_t> s = {0x00, static_cast<uint8_t>(0xB0 | (length >> 8)),
                              static_cast<uint8_t>(length & 0xFF), 0x00, 0x01, 0xC1, 0x00, 0x00};
    for (uint16_t program : programs) {
        const uint16_t pmt = static_cast<uint16_t>(0x1000 + program);
        s.insert(s.end(), {static_cast<uint8_t>(program >> 8), static_cast<uint8_t>(program),
                           static_cast<uint8_t>(0xE0 | (pmt >> 8)), static_cast<uint8_t>(pmt)});
    }
    s.insert(s.end(), {0, 0, 0, 0});
    return s;
}

// `filler` packets of another PID, then the table, then more filler; with a 4-byte time code in
// front of every packet when `m2ts`, and `offset` bytes of junk before the first.
std::vector<uint8_t> Stream(const std::vector<uint16_t>& programs, int filler, bool m2ts,
                            size_t offset = 0) {
    std::vector<std::vector<uint8_t>> packets;
    for (int i = 0; i < filler; ++i) {
        packets.push_back(Packet(0x100, {0x00, 0x00, 0x01, 0xE0}, true));
    }
    packets.push_back(Packet(0, AssociationSection(programs), true));
    for (int i = 0; i < filler; ++i) {
        packets.push_back(Packet(0x100, {}, false));
    }
    std::vector<uint8_t> bytes(offset, 0x12);
    for (const auto& p : packets) {
        if (m2ts) {
            bytes.insert(bytes.end(), {0x00, 0x00, 0x00, 0x00});
        }
        bytes.insert(bytes.end(), p.begin(), p.end());
    }
    return bytes;
}

}  // namespace

TEST(TransportStreamPrograms, ReadsTheProgramsOfTheAssociationTable) {
    struct TCase {
        const char* What;
        std::vector<uint8_t> Bytes;
        std::vector<uint32_t> Expected;
    };
    const TCase cases[] = {
        {"two programs", Stream({1, 2}, 10, false), {1, 2}},
        {"network entry left out, table order kept", Stream({0, 7, 3}, 10, false), {7, 3}},
        {"192-byte packets", Stream({5, 6}, 10, true), {5, 6}},
        {"junk before the first packet", Stream({1, 2}, 10, false, 77), {1, 2}},
        {"duplicates once", Stream({4, 4, 9}, 10, false), {4, 9}},
        {"a short file of three packets", Stream({1, 2}, 1, false), {1, 2}},
        {"no table", Stream({}, 10, false), {}},
        {"not a transport stream", std::vector<uint8_t>(4000, 0x47 + 1), {}},
        {"empty", {}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TransportStreamProgramsIn(c.Bytes), c.Expected) << c.What;
    }
}

TEST(TransportStreamPrograms, ATableCutOffByTheEndOfThePacketIsNotRead) {
    std::vector<uint8_t> bytes = Stream({1, 2}, 10, false);
    // The section length claims more bytes than the packet holds.
    const size_t table = 10 * kPacket;
    bytes[table + 5 + 1] = 0xB0 | 0x0F;
    bytes[table + 5 + 2] = 0xFF;
    EXPECT_TRUE(TransportStreamProgramsIn(bytes).empty());
}

TEST(TransportStreamPrograms, AMissingFileHasNoPrograms) {
    EXPECT_TRUE(TransportStreamPrograms("/nonexistent/clip.ts").empty());
}
