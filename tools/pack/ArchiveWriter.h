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
};

// One member as it will be written.
struct MemberRecord {
    std::string method;  // "-lh5-" or "-lh0-"
    uint32_t packedSize; // data only, without extended headers
    uint32_t originalSize;
    uint16_t dosTime;
    uint16_t dosDate;
    uint16_t crc;
};

uint16_t Crc16(const uint8_t* data, size_t size);

// MS-DOS date and time of t in local time, clamped to 1980..2107.
void DosTimeStamp(time_t t, uint16_t& dosDate, uint16_t& dosTime);

// The header bytes of one member: the base header with its checksum and, at
// level 1, the extended-header chain (a folder record when there is a folder)
// ending in its 0 size field. record.packedSize is the data's size; the
// header's packed-size field gets the extended headers added at level 1.
std::vector<uint8_t> BuildMemberHeader(const PackInput& input, const MemberRecord& record, int level);

// Packs every input into the archive at archivePath: written to a temporary
// file beside it and renamed only when complete. Returns a PackStatus.
int WriteArchive(const std::string& archivePath, const std::vector<PackInput>& inputs,
                 const PackOptions& options, std::string& message);

}  // namespace lzhpack
