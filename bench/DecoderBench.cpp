// Google Benchmark of the -lh5- decoder alone: members packed in memory by
// lzhpack, decoded from a MemoryStream into a handle on /dev/null, so that
// the figures show the inner loops and the per-member set-up, not the disk.
//
// Members of 1 MiB: text (licences and C headers of this system), binary
// (the C library), seeded random bytes, and a highly repetitive log; and 256
// small text members of 4 KiB each, where the per-member costs show.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "Lh5Decoder.h"
#include "Lh5Encoder.h"

namespace {

constexpr std::size_t kMemberBytes = 1 << 20;
constexpr std::size_t kSmallBytes = 4096;
constexpr std::size_t kSmallCount = 256;
constexpr unsigned kSeed = 20240611;

// Set when any member fails to decode: the run's exit status reports it, so
// that the smoke test under CTest fails rather than printing an error.
bool AnyMemberFailed = false;

using Bytes = std::vector<std::uint8_t>;

struct Member {
    Bytes packed;
    std::uint32_t originalSize = 0;
    std::uint16_t crc = 0;
};

// Appends files to out until it holds `limit` bytes; missing files are passed over.
void AppendFiles(Bytes& out, const std::vector<std::string>& paths, std::size_t limit)
{
    std::vector<char> chunk(1 << 16);
    for (const std::string& path : paths) {
        FILE* f = std::fopen(path.c_str(), "rb");
        if (f == nullptr)
            continue;
        for (std::size_t n; out.size() < limit && (n = std::fread(chunk.data(), 1, chunk.size(), f)) > 0;)
            out.insert(out.end(), chunk.begin(), chunk.begin() + long(std::min(n, limit - out.size())));
        std::fclose(f);
    }
}

Bytes TextBytes(std::size_t size)
{
    Bytes out;
    AppendFiles(out,
                {"/usr/share/common-licenses/GPL-3", "/usr/share/common-licenses/GPL-2",
                 "/usr/share/common-licenses/LGPL-2.1", "/usr/share/common-licenses/Apache-2.0",
                 "/usr/share/common-licenses/Artistic", "/usr/include/stdio.h", "/usr/include/stdlib.h",
                 "/usr/include/string.h", "/usr/include/unistd.h", "/usr/include/fcntl.h", "/usr/include/elf.h",
                 "/usr/include/link.h", "/usr/include/regex.h"},
                size);
    // A system without those files still gets words to compress.
    std::mt19937 rng(kSeed);
    static const char* const kWords[] = {"the ", "archive ", "member ", "window ", "code ", "length ",
                                         "of ",  "table ",   "bits\n",  "and ",    "a ",    "decoder "};
    while (out.size() < size) {
        for (const char* w = kWords[rng() % 12]; *w && out.size() < size; ++w)
            out.push_back(std::uint8_t(*w));
    }
    return out;
}

Bytes BinaryBytes(std::size_t size)
{
    Bytes out;
    AppendFiles(out, {"/lib/x86_64-linux-gnu/libc.so.6", "/usr/lib/x86_64-linux-gnu/libc.so.6", "/proc/self/exe"},
                size);
    out.resize(size, 0);
    return out;
}

Bytes RandomBytes(std::size_t size)
{
    std::mt19937 rng(kSeed);
    Bytes out(size);
    for (std::uint8_t& b : out)
        b = std::uint8_t(rng() >> 24);
    return out;
}

Bytes RepetitiveBytes(std::size_t size)
{
    Bytes out;
    char line[96];
    for (unsigned n = 0; out.size() < size; ++n) {
        int length = std::snprintf(line, sizeof line, "%08u open: read /var/lib/quova/%s ok\r\n", n / 7,
                                   (n % 3) ? "map" : "sync");
        for (int i = 0; i < length && out.size() < size; ++i)
            out.push_back(std::uint8_t(line[i]));
    }
    return out;
}

Member Pack(const Bytes& data)
{
    Member m;
    lzhpack::EncodeLh5(data.data(), std::uint32_t(data.size()), m.packed);
    m.originalSize = std::uint32_t(data.size());
    m.crc = lzhpack::Crc16(data.data(), data.size());
    return m;
}

// The members of one kind, packed on first use.
const std::vector<Member>& Members(const std::string& kind)
{
    static std::map<std::string, std::vector<Member>> packed;
    std::vector<Member>& members = packed[kind];
    if (!members.empty())
        return members;
    if (kind == "small") {
        const Bytes all = TextBytes(kSmallBytes * kSmallCount);
        for (std::size_t i = 0; i < kSmallCount; ++i)
            members.push_back(
                Pack(Bytes(all.begin() + long(i * kSmallBytes), all.begin() + long((i + 1) * kSmallBytes))));
    } else if (kind == "text") {
        members.push_back(Pack(TextBytes(kMemberBytes)));
    } else if (kind == "binary") {
        members.push_back(Pack(BinaryBytes(kMemberBytes)));
    } else if (kind == "random") {
        members.push_back(Pack(RandomBytes(kMemberBytes)));
    } else {
        members.push_back(Pack(RepetitiveBytes(kMemberBytes)));
    }
    return members;
}

// Decodes every member of a kind once per iteration, as the driver does:
// a decoder per member, Extract into the open handle, release.
void DecodeMembers(benchmark::State& state, const std::string& kind)
{
    const std::vector<Member>& members = Members(kind);
    int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::int64_t bytes = 0, packed = 0;
    for (auto _ : state) {
        for (const Member& m : members) {
            MemoryStream stream(m.packed.data(), std::uint32_t(m.packed.size()));
            Lh5Decoder* decoder = new (std::nothrow) Lh5Decoder(stream);
            int rc = decoder ? decoder->Extract(sink, m.originalSize, m.crc) : kDecodeNoMemory;
            DeleteDecoder(decoder);
            if (rc != kDecodeOk) {
                AnyMemberFailed = true;
                state.SkipWithError("a member did not decode");
                break;
            }
            bytes += m.originalSize;
            packed += std::int64_t(m.packed.size());
        }
    }
    ::close(sink);
    state.SetBytesProcessed(bytes);
    state.counters["ratio"] = bytes ? double(packed) / double(bytes) : 0.0;
}

}  // namespace

BENCHMARK_CAPTURE(DecodeMembers, text, std::string("text"));
BENCHMARK_CAPTURE(DecodeMembers, binary, std::string("binary"));
BENCHMARK_CAPTURE(DecodeMembers, random, std::string("random"));
BENCHMARK_CAPTURE(DecodeMembers, repetitive, std::string("repetitive"));
BENCHMARK_CAPTURE(DecodeMembers, small_4k, std::string("small"));

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 64;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (AnyMemberFailed)
        std::fprintf(stderr, "decoder_bench: a member did not decode\n");
    return AnyMemberFailed ? 1 : 0;
}
