#include "DriverSupport.h"

namespace {
std::vector<Outcome>* Recording = nullptr;

void Record(const MemberReport& r)
{
    Recording->push_back({std::string(r.header->directoryName) + r.header->fileName, r.outcome, r.verdict,
                          r.decodeReason, r.headerResult, r.headerStart, r.header->lastWriteTime});
}
} // namespace

int DriverRun::Count(MemberOutcome what) const
{
    int n = 0;
    for (const Outcome& o : outcomes)
        n += o.outcome == what;
    return n;
}

DriverRun RunMembers(const Bytes& archive, const std::string& folder)
{
    DriverRun run;
    Recording = &run.outcomes;
    MemberReporter = Record;
    MemoryStream stream(archive.data(), static_cast<std::uint32_t>(archive.size()));
    run.result = ExtractMembers(stream, folder.c_str());
    MemberReporter = nullptr;
    Recording = nullptr;
    return run;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

MemberSpec PackedText(const std::string& name, const std::string& text, int level)
{
    Block block;
    for (char c : text)
        block.tokens.push_back(Lit(static_cast<std::uint8_t>(c)));
    return Lh5Member(name, {block}, Text(text), level);
}
