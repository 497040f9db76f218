// The stub reader over arbitrary bytes: ReadStub refuses or accepts without
// reading out of bounds; what it accepts, BuildInstaller rewrites around a
// small payload, and the result reads back as a stub carrying exactly that
// payload, which the same rewrite leaves byte for byte as it is.
#include "FuzzSupport.h"
#include "StubImage.h"

#include <cstring>

namespace {

const std::uint8_t kPayload[] = "a small payload: any bytes will do for the stub's sake";

void Rewrite(const stub::StubImage& image, std::vector<std::uint8_t>& out)
{
    std::string message;
    if (stub::BuildInstaller(image, kPayload, sizeof kPayload, out, message) != stub::kStubOk)
        out.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    stub::StubImage image, again;
    std::string message;
    std::vector<std::uint8_t> first, second;
    if (stub::ReadStub(data, size, image, message) != stub::kStubOk)
        return 0;
    Rewrite(image, first);
    if (first.empty())
        return 0;
    if (stub::ReadStub(first.data(), first.size(), again, message) != stub::kStubOk)
        FuzzFail("the rewritten stub does not read back", message);
    const stub::ResourceLeaf& payload = again.leaves[again.payloadLeaf];
    const std::uint32_t at = again.sections[again.resourceSection].rawPointer + payload.dataOffset;
    if (payload.size != sizeof kPayload || std::memcmp(first.data() + at, kPayload, sizeof kPayload) != 0)
        FuzzFail("the rewritten stub does not carry the payload", std::to_string(payload.size) + " bytes");
    Rewrite(again, second);
    if (second != first)
        FuzzFail("a second rewrite changed the installer", std::to_string(first.size()) + " bytes");
    return 0;
}
