// Writes an LZH archive of level-0 or level-1 member headers, each member
// compressed with -lh5- or stored as -lh0-.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "PackInputs.h"

namespace lzhpack {

enum PackMethod { kMethodAuto, kMethodLh5, kMethodLh0 };

struct PackOptions {
    int level = 1;
    PackMethod method = kMethodAuto;
    bool capTime = false;   // SOURCE_DATE_EPOCH is set
    time_t latestTime = 0;  // its value: no stamp is later
    int threads = 0;        // compressing threads; 0: one per processor (DefaultThreads)
    // Called on the writing thread as the input is consumed, in order, every
    // few MiB and once at the end; total is the sum of the input sizes.
    void (*progress)(std::uint64_t done, std::uint64_t total) = nullptr;
};

// One member as it will be written.
struct MemberRecord {
    std::string method;   // "-lh5-" or "-lh0-"
    uint32_t packedSize;  // data only, without extended headers
    uint32_t originalSize;
    uint16_t dosTime;
    uint16_t dosDate;
    uint16_t crc;
};

// The archive's CRC-16 of data, continuing from the CRC `start` of the bytes before it.
uint16_t Crc16(const uint8_t* data, size_t size, uint16_t start = 0);

// MS-DOS date and time of t in local time, clamped to 1980..2107.
void DosTimeStamp(time_t t, uint16_t& dosDate, uint16_t& dosTime);

// The header bytes of one member: the base header with its checksum and, at
// level 1, the extended-header chain (a folder record when there is a folder)
// ending in its 0 size field. record.packedSize is the data's size; the
// header's packed-size field gets the extended headers added at level 1.
std::vector<uint8_t> BuildMemberHeader(const PackInput& input, const MemberRecord& record, int level);

// Packs every input into the archive at archivePath: written to a temporary
// file beside it and renamed only when complete. Members are read and
// written a part at a time, so memory does not grow with their size.
// Returns a PackStatus.
int WriteArchive(const std::string& archivePath, const std::vector<PackInput>& inputs, const PackOptions& options,
                 std::string& message);

}  // namespace lzhpack
