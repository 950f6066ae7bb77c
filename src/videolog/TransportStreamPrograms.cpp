#include "videolog/TransportStreamPrograms.h"

#include <algorithm>
#include <cstddef>
#include <fstream>

namespace {

constexpr uint8_t kSyncByte = 0x47;
constexpr size_t kTsPacket = 188;
// Enough to find the table, which muxers repeat every few hundred milliseconds.
constexpr size_t kBytesSearched = 4 * 1024 * 1024;
// Consecutive sync bytes that make the data a transport stream rather than chance.
constexpr int kPacketsConfirming = 8;

struct TPacketLayout {
    size_t First = 0;   // offset of the first 0x47
    size_t Stride = 0;  // 188 or 192
};

bool FindLayout(const std::vector<uint8_t>& bytes, TPacketLayout& layout) {
    for (const size_t stride : {kTsPacket, kTsPacket + 4}) {
        for (size_t first = 0; first < stride && first < bytes.size(); ++first) {
            int found = 0;
            for (size_t at = first; found < kPacketsConfirming && at < bytes.size(); at += stride) {
                if (bytes[at] != kSyncByte) {
                    break;
                }
                ++found;
            }
            // A short file counts when every packet it holds is in step.
            const size_t packets = (bytes.size() - first) / stride;
            if (found >= kPacketsConfirming || (found > 0 && static_cast<size_t>(found) == packets &&
                                                packets >= 2)) {
                layout.First = first;
                layout.Stride = stride;
                return true;
            }
        }
    }
    return false;
}

// The program numbers of one program association section starting at `section`, or false
// when it is not a complete table section inside [section, end).
bool ReadAssociationSection(const uint8_t* section, const uint8_t* end,
                            std::vector<uint32_t>& programs) {
    if (end - section < 8 || section[0] != 0x00) {
        return false;
    }
    const size_t length = (static_cast<size_t>(section[1] & 0x0F) << 8) | section[2];
    // Header after the length field (5 bytes) and the CRC (4) around the 4-byte entries.
    if (length < 9 || static_cast<size_t>(end - section) < 3 + length) {
        return false;
    }
    const uint8_t* entry = section + 8;
    const uint8_t* entriesEnd = section + 3 + length - 4;
    for (; entry + 4 <= entriesEnd; entry += 4) {
        const uint32_t number = (static_cast<uint32_t>(entry[0]) << 8) | entry[1];
        if (number != 0 && std::find(programs.begin(), programs.end(), number) == programs.end()) {
            programs.push_back(number);
        }
    }
    return true;
}

}  // namespace

std::vector<uint32_t> TransportStreamProgramsIn(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> programs;
    TPacketLayout layout;
    if (!FindLayout(bytes, layout)) {
        return programs;
    }
    for (size_t at = layout.First; at + kTsPacket <= bytes.size(); at += layout.Stride) {
        const uint8_t* packet = bytes.data() + at;
        if (packet[0] != kSyncByte) {
            break;  // out of step: a damaged file; what was read so far is all there is
        }
        const bool unitStart = (packet[1] & 0x40) != 0;
        const uint16_t pid = static_cast<uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
        const int adaptation = (packet[3] >> 4) & 0x03;
        if (pid != 0 || !unitStart || (adaptation & 0x01) == 0) {
            continue;
        }
        size_t payload = 4;
        if (adaptation & 0x02) {
            payload += 1 + packet[4];
        }
        if (payload >= kTsPacket) {
            continue;
        }
        const size_t pointer = packet[payload];
        const uint8_t* section = packet + payload + 1 + pointer;
        if (ReadAssociationSection(section, packet + kTsPacket, programs)) {
            return programs;
        }
    }
    return programs;
}

std::vector<uint32_t> TransportStreamPrograms(const std::string& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    if (!in) {
        return {};
    }
    std::vector<uint8_t> bytes(kBytesSearched);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return TransportStreamProgramsIn(bytes);
}
