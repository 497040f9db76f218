#include "ArchiveWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "PartStream.h"

namespace lzhpack {

namespace {

constexpr uint8_t kFileAttribute = 0x20;  // the MS-DOS archive bit
constexpr uint8_t kOsMsDos = 'M';
constexpr int kDosLastYear = kDosEpochYear + 127;

void Put16(std::vector<uint8_t>& h, uint32_t v)
{
    h.push_back(uint8_t(v));
    h.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& h, uint32_t v)
{
    Put16(h, v & 0xFFFF);
    Put16(h, v >> 16);
}

// The archive's CRC-16 eight bytes at a step ("slicing by 8"): slice k is
// the CRC of a byte followed by k zero bytes, so the eight lookups of a step
// are independent of each other and only their XOR feeds the next step.
struct Crc16Table {
    uint16_t slice[8][256];
    Crc16Table()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
            slice[0][i] = uint16_t(c);
        }
        for (int k = 1; k < 8; ++k) {
            for (uint32_t i = 0; i < 256; ++i)
                slice[k][i] = uint16_t(slice[0][slice[k - 1][i] & 0xFF] ^ (slice[k - 1][i] >> 8));
        }
    }
};

}  // namespace

uint16_t Crc16(const uint8_t* data, size_t size, uint16_t start)
{
    static const Crc16Table table;
    const uint16_t(&t)[8][256] = table.slice;
    uint32_t crc = start;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const uint8_t* p = data + i;
        crc = t[7][(p[0] ^ crc) & 0xFF] ^ t[6][p[1] ^ (crc >> 8)] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^
              t[1][p[6]] ^ t[0][p[7]];
    }
    for (; i < size; ++i)
        crc = t[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return uint16_t(crc);
}

void DosTimeStamp(time_t t, uint16_t& dosDate, uint16_t& dosTime)
{
    struct tm local;
    if (localtime_r(&t, &local) == nullptr || local.tm_year + 1900 < kDosEpochYear) {
        dosDate = kFallbackDosDate;
        dosTime = kFallbackDosTime;
        return;
    }
    if (local.tm_year + 1900 > kDosLastYear) {
        dosDate = uint16_t((127 << 9) | (12 << 5) | 31);
        dosTime = uint16_t((23 << 11) | (59 << 5) | 29);
        return;
    }
    dosDate = uint16_t(((local.tm_year + 1900 - kDosEpochYear) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    int seconds = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second
    dosTime = uint16_t((local.tm_hour << 11) | (local.tm_min << 5) | (seconds / 2));
}

std::vector<uint8_t> BuildMemberHeader(const PackInput& input, const MemberRecord& record, int level)
{
    std::string name = level == 0 ? LevelZeroName(input) : input.name;
    std::vector<uint8_t> folder;
    if (level == 1 && !input.directory.empty()) {
        for (char c : input.directory)
            folder.push_back(c == '/' ? kDirectorySeparator : uint8_t(c));
        folder.push_back(kDirectorySeparator);
    }
    // A folder record: size field, type, name; its size counts the type, the
    // name and the next record's size field.
    uint32_t folderRecord = folder.empty() ? 0 : uint32_t(folder.size()) + 3;
    std::vector<uint8_t> h;
    h.push_back(0);  // header size, set below
    h.push_back(0);  // checksum, set below
    h.insert(h.end(), record.method.begin(), record.method.begin() + 5);
    Put32(h, record.packedSize + folderRecord);
    Put32(h, record.originalSize);
    Put16(h, record.dosTime);
    Put16(h, record.dosDate);
    h.push_back(kFileAttribute);
    h.push_back(uint8_t(level));
    h.push_back(uint8_t(name.size()));
    h.insert(h.end(), name.begin(), name.end());
    Put16(h, record.crc);
    if (level == 1) {
        h.push_back(kOsMsDos);
        Put16(h, folderRecord);
    }
    h[0] = uint8_t(h.size() - kChecksumStart);  // names were checked: at most 126
    uint32_t sum = 0;
    for (size_t i = kChecksumStart; i < h.size(); ++i)
        sum += h[i];
    h[1] = uint8_t(sum);
    if (folderRecord != 0) {
        h.push_back(kExtendedDirectory);
        h.insert(h.end(), folder.begin(), folder.end());
        Put16(h, 0);
    }
    return h;
}

int WriteArchive(const std::string& archivePath, const std::vector<PackInput>& inputs, const PackOptions& options,
                 std::string& message)
{
    for (const PackInput& input : inputs) {
        int status = CheckStoredName(input, options.level, message);
        if (status != kPackOk)
            return status;
    }
    std::string temporary = archivePath + ".XXXXXX";
    int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        message = archivePath + ": " + std::strerror(errno);
        return kPackCantCreate;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    FILE* out = fdopen(fd, "wb");
    if (out == nullptr) {
        close(fd);
        unlink(temporary.c_str());
        message = archivePath + ": " + std::strerror(errno);
        return kPackCantCreate;
    }
    int status = WriteMembers(out, inputs, options, message);
    if (std::fclose(out) != 0 && status == kPackOk) {
        message = "writing the archive: " + std::string(std::strerror(errno));
        status = kPackIoError;
    }
    if (status == kPackOk && std::rename(temporary.c_str(), archivePath.c_str()) != 0) {
        message = archivePath + ": " + std::strerror(errno);
        status = kPackCantCreate;
    }
    if (status != kPackOk)
        unlink(temporary.c_str());
    return status;
}

}  // namespace lzhpack
