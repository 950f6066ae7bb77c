#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The programs an MPEG-2 transport stream announces in its program association table, read
// straight from the file: tsdemux plays one program at a time, so the playback filter opens
// one demuxer per program. Both packet sizes are recognised (188 bytes, and 192 with the
// time code of M2TS files in front).
//
// The program numbers in table order without duplicates (the network entry, program 0, left
// out); empty when the file is no transport stream or no table is found within its first
// megabytes.
std::vector<uint32_t> TransportStreamPrograms(const std::string& FileName);

// The same for bytes already read (the start of a file).
std::vector<uint32_t> TransportStreamProgramsIn(const std::vector<uint8_t>& Bytes);
