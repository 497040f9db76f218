#include "PartStream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ParallelEncode.h"

namespace lzhpack {

namespace {

constexpr uint64_t kMaxMemberSize = 0x7FFFFFFF;
// A member's output is held in memory up to about this size.
constexpr size_t kHeldOutputBytes = kPartBytes;
// Progress is reported after at least this many more input bytes.
constexpr uint64_t kProgressStep = uint64_t(4) << 20;

// What the reader learns of a member, for its header.
struct MemberInfo {
    uint32_t size = 0;
    time_t mtime = 0;
    uint16_t crc = 0;
};

// The member being read, a part at a time.
struct PartReader {
    size_t next = 0;  // index of the member being read
    FILE* file = nullptr;
    uint32_t offset = 0;
    uint16_t crc = 0;
    std::vector<uint8_t> window;  // the window behind the next part
};

// The member being written. Its output is held until it ends or outgrows
// kHeldOutputBytes; from then on it goes out as it comes, behind a header
// that is written again, with the sizes, CRC and method, when it ends.
struct MemberWriter {
    FILE* out = nullptr;
    off_t headerAt = -1;  // -1 while the output is held
    BitPiece held;
    uint64_t written = 0;  // bytes of its output already in the archive
    uint64_t inputDone = 0;
    uint64_t reported = 0;
    uint64_t inputTotal = 0;
};

struct PackRun {
    const std::vector<PackInput>& inputs;
    const PackOptions& options;
    std::string& message;
    std::vector<MemberInfo> info;
    PartReader reader;
    MemberWriter writer;
};

int OpenMember(PackRun& run)
{
    const std::string& path = run.inputs[run.reader.next].path;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        run.message = path + ": " + std::strerror(errno);
        return kPackNoInput;
    }
    struct stat st;
    if (fstat(fileno(f), &st) != 0) {
        run.message = path + ": " + std::strerror(errno);
        std::fclose(f);
        return kPackNoInput;
    }
    if (uint64_t(st.st_size) > kMaxMemberSize) {
        run.message = path + ": larger than 2 GiB";
        std::fclose(f);
        return kPackBadArgument;
    }
    MemberInfo& m = run.info[run.reader.next];
    m.size = uint32_t(st.st_size);
    m.mtime = st.st_mtime;
    run.reader.file = f;
    run.reader.offset = 0;
    run.reader.crc = 0;
    run.reader.window.clear();
    return kPackOk;
}

// Reads the next part of the member being read, opening it first.
int ReadPart(PackRun& run, PartWork& part)
{
    PartReader& r = run.reader;
    if (r.file == nullptr) {
        int status = OpenMember(run);
        if (status != kPackOk)
            return status;
    }
    MemberInfo& m = run.info[r.next];
    uint32_t n = m.size - r.offset > kPartBytes ? kPartBytes : m.size - r.offset;
    part.member = r.next;
    part.compress = run.options.method != kMethodLh0;
    part.window = uint32_t(r.window.size());
    part.data.assign(r.window.begin(), r.window.end());
    part.data.resize(part.window + n);
    if (n != 0 && std::fread(part.data.data() + part.window, 1, n, r.file) != n) {
        run.message = run.inputs[r.next].path + ": read failed or the file changed while being read";
        return kPackIoError;
    }
    r.crc = Crc16(part.data.data() + part.window, n, r.crc);
    r.offset += n;
    part.last = r.offset == m.size;
    if (!part.last) {
        // Every part but the last is longer than the window.
        r.window.assign(part.data.end() - kWindowSize, part.data.end());
        return kPackOk;
    }
    m.crc = r.crc;
    std::fclose(r.file);
    r.file = nullptr;
    ++r.next;
    return kPackOk;
}

int WriteFailed(PackRun& run)
{
    run.message = "writing the archive: " + std::string(std::strerror(errno));
    return kPackIoError;
}

int WriteBytes(PackRun& run, const uint8_t* data, size_t size)
{
    if (size != 0 && std::fwrite(data, 1, size, run.writer.out) != size)
        return WriteFailed(run);
    return kPackOk;
}

int SeekTo(PackRun& run, off_t at)
{
    if (at < 0 || fseeko(run.writer.out, at, SEEK_SET) != 0)
        return WriteFailed(run);
    return kPackOk;
}

int WriteHeaderAt(PackRun& run, off_t at, const std::vector<uint8_t>& header)
{
    int status = SeekTo(run, at);
    return status != kPackOk ? status : WriteBytes(run, header.data(), header.size());
}

// Writes the held output but a last byte that is not full, behind a
// stand-in header when it is the member's first.
int SpillHeld(PackRun& run, const PackInput& input)
{
    MemberWriter& w = run.writer;
    if (w.headerAt < 0) {
        w.headerAt = ftello(w.out);
        MemberRecord blank{"-lh5-", 0, 0, 0, 0, 0};
        std::vector<uint8_t> header = BuildMemberHeader(input, blank, run.options.level);
        int status = w.headerAt < 0 ? WriteFailed(run) : WriteBytes(run, header.data(), header.size());
        if (status != kPackOk)
            return status;
    }
    size_t whole = w.held.bytes.size() - (w.held.tailBits != 0 ? 1 : 0);
    w.written += whole;
    int status = WriteBytes(run, w.held.bytes.data(), whole);
    w.held.bytes.erase(w.held.bytes.begin(), w.held.bytes.begin() + whole);
    return status;
}

// Copies the member, read again, as its stored form. The file must still
// be what its parts were: the header has its size and CRC already.
int CopyStored(PackRun& run, const PackInput& input, const MemberInfo& m)
{
    FILE* f = std::fopen(input.path.c_str(), "rb");
    if (f == nullptr) {
        run.message = input.path + ": " + std::strerror(errno);
        return kPackIoError;
    }
    std::vector<uint8_t> buffer(m.size < kPartBytes ? m.size : kPartBytes);
    struct stat st;
    bool same = fstat(fileno(f), &st) == 0 && uint64_t(st.st_size) == m.size;
    uint16_t crc = 0;
    int status = kPackOk;
    for (uint32_t left = m.size; same && status == kPackOk && left != 0;) {
        uint32_t n = left < kPartBytes ? left : kPartBytes;
        same = std::fread(buffer.data(), 1, n, f) == n;
        crc = Crc16(buffer.data(), n, crc);
        status = WriteBytes(run, buffer.data(), n);
        left -= n;
    }
    std::fclose(f);
    if (status == kPackOk && (!same || crc != m.crc)) {
        run.message = input.path + ": the file changed while being packed";
        status = kPackIoError;
    }
    return status;
}

// Writes the member's header and the rest of its data: compressed, or
// stored when the method says so or compression did not make it smaller.
// `part` is its last part.
int FinishMember(PackRun& run, const PartWork& part)
{
    const PackOptions& options = run.options;
    const PackInput& input = run.inputs[part.member];
    const MemberInfo& m = run.info[part.member];
    MemberWriter& w = run.writer;
    uint64_t output = w.written + w.held.bytes.size();
    MemberRecord record;
    record.originalSize = m.size;
    record.crc = m.crc;
    time_t stamp = options.capTime && m.mtime > options.latestTime ? options.latestTime : m.mtime;
    DosTimeStamp(stamp, record.dosDate, record.dosTime);
    bool lh5 = part.compress && (options.method == kMethodLh5 || output < m.size);
    // The output is the data itself unless it was compressed for nothing.
    bool outputIsData = lh5 || !part.compress;
    record.method = lh5 ? "-lh5-" : "-lh0-";
    record.packedSize = outputIsData ? uint32_t(output) : m.size;
    std::vector<uint8_t> header = BuildMemberHeader(input, record, options.level);
    int status = kPackOk;
    if (w.headerAt < 0) {
        status = WriteBytes(run, header.data(), header.size());
        if (status != kPackOk)
            return status;
        if (outputIsData)
            return WriteBytes(run, w.held.bytes.data(), w.held.bytes.size());
        if (part.window == 0)  // the member's only part: its data is here
            return WriteBytes(run, part.data.data(), part.data.size());
        return CopyStored(run, input, m);
    }
    if (outputIsData) {
        status = WriteBytes(run, w.held.bytes.data(), w.held.bytes.size());
        off_t end = ftello(w.out);
        if (status == kPackOk)
            status = WriteHeaderAt(run, w.headerAt, header);
        if (status == kPackOk)
            status = SeekTo(run, end);
        return status;
    }
    // The stored copy is no longer than the output it overwrites.
    status = WriteHeaderAt(run, w.headerAt, header);
    if (status == kPackOk)
        status = CopyStored(run, input, m);
    if (status == kPackOk && (std::fflush(w.out) != 0 || ftruncate(fileno(w.out), ftello(w.out)) != 0))
        status = WriteFailed(run);
    return status;
}

void ReportProgress(PackRun& run, uint64_t bytes, bool end)
{
    MemberWriter& w = run.writer;
    w.inputDone += bytes;
    if (run.options.progress == nullptr || w.inputDone == w.reported ||
        (!end && w.inputDone - w.reported < kProgressStep))
        return;
    w.reported = w.inputDone;
    // A file that grew since it was counted makes the total wrong, not the bar go past it.
    if (w.inputTotal < w.inputDone)
        w.inputTotal = w.inputDone;
    run.options.progress(w.inputDone, w.inputTotal);
}

int WritePart(PackRun& run, const PartWork& part)
{
    MemberWriter& w = run.writer;
    if (part.compress)
        AppendPiece(w.held, part.piece);
    else
        w.held.bytes.insert(w.held.bytes.end(), part.data.begin() + part.window, part.data.end());
    int status = kPackOk;
    if (part.last) {
        status = FinishMember(run, part);
        w.headerAt = -1;
        w.held = BitPiece();
        w.written = 0;
    } else if (w.held.bytes.size() >= kHeldOutputBytes) {
        status = SpillHeld(run, run.inputs[part.member]);
    }
    ReportProgress(run, part.data.size() - part.window, false);
    return status;
}

// Keeps every slot of the queue busy: reads parts in archive order as slots
// come free and writes them in the same order as they are compressed. Each
// round writes one part, so the rounds end with the parts.
int RunParts(PackRun& run, PartQueue& queue)
{
    for (;;) {
        PartWork* part = nullptr;
        while (run.reader.next < run.inputs.size() && (part = FreePart(queue)) != nullptr) {
            int status = ReadPart(run, *part);
            if (status != kPackOk)
                return status;
            SubmitPart(queue);
        }
        part = OldestPart(queue);
        if (part == nullptr)
            return kPackOk;
        int status = WritePart(run, *part);
        ReleasePart(queue);
        if (status != kPackOk)
            return status;
    }
}

uint64_t InputBytes(const std::vector<PackInput>& inputs)
{
    uint64_t total = 0;
    struct stat st;
    for (const PackInput& input : inputs) {
        if (stat(input.path.c_str(), &st) == 0)
            total += uint64_t(st.st_size);
    }
    return total;
}

}  // namespace

int WriteMembers(FILE* out, const std::vector<PackInput>& inputs, const PackOptions& options, std::string& message)
{
    PackRun run{inputs, options, message, std::vector<MemberInfo>(inputs.size()), PartReader(), MemberWriter()};
    run.writer.out = out;
    run.writer.inputTotal = options.progress != nullptr ? InputBytes(inputs) : 0;
    PartQueue* queue = StartPartQueue(options.threads > 0 ? options.threads : DefaultThreads());
    int status = RunParts(run, *queue);
    StopPartQueue(queue);
    if (run.reader.file != nullptr)
        std::fclose(run.reader.file);
    if (status != kPackOk)
        return status;
    if (std::fputc(0, out) == EOF || std::fflush(out) != 0)
        return WriteFailed(run);
    ReportProgress(run, 0, true);
    return kPackOk;
}

}  // namespace lzhpack
