// lzhtool installer [--stub STUB.exe] OUTPUT.exe FOLDER|ARCHIVE: a built
// installer with another payload as raw-data resource 1.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ArchiveWalk.h"
#include "ArchiveWriter.h"
#include "Commands.h"
#include "Options.h"
#include "StubImage.h"

const char kInstallerUsage[] =
    "usage: lzhtool installer [--stub STUB.exe] OUTPUT.exe FOLDER|ARCHIVE\n"
    "\n"
    "Writes OUTPUT.exe, a copy of the installer STUB.exe whose payload is FOLDER,\n"
    "packed as the build packs one (level 1, -lh5-, time stamps in UTC capped at\n"
    "SOURCE_DATE_EPOCH, else at the build's 1718064000), or ARCHIVE as it is. The\n"
    "payload must pass lzhtool test. OUTPUT.exe is replaced if it exists; a signed\n"
    "stub's signature is dropped (sign OUTPUT.exe afresh).\n"
    "  --stub STUB.exe  the installer to start from (default: $ZV_STUB, else\n"
    "                   Zoravuvi-stub.exe beside lzhtool)\n";

namespace {

// The stub the host build ships beside lzhtool (the win32 build copies its
// Zoravuvi.exe there).
const char kShippedStub[] = "Zoravuvi-stub.exe";
// The build's payload epoch (ZV_PAYLOAD_EPOCH in resources/Payload.cmake):
// a folder packed here gets the bytes the build gives it.
constexpr long long kBuildPayloadEpoch = 1718064000;
constexpr std::uintmax_t kMaxInput = 0x7FFFFFFF;

int Fail(int exitCode, const std::string& message)
{
    std::fprintf(stderr, "lzhtool: installer: %s\n", message.c_str());
    return exitCode;
}

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxInput || !std::filesystem::is_regular_file(path, error))
        return false;
    std::ifstream in(path, std::ios::binary);
    bytes.resize(size);
    return in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size)) && in.gcount() == std::streamsize(size);
}

// --stub, else $ZV_STUB, else the stub beside this program.
std::string StubPath(const char* given)
{
    if (given)
        return given;
    if (const char* named = std::getenv("ZV_STUB"); named && *named)
        return named;
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "";
    return (std::filesystem::path(std::string(self, std::size_t(length))).parent_path() / kShippedStub).string();
}

// An earlier OUTPUT inside FOLDER, or its temporary file, is never packed.
void DropOwnOutput(std::vector<lzhpack::PackInput>& inputs, const std::string& output)
{
    struct stat out, in;
    const bool exists = stat(output.c_str(), &out) == 0;
    std::vector<lzhpack::PackInput> kept;
    for (lzhpack::PackInput& input : inputs) {
        const bool same = exists && stat(input.path.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
        const std::string name = std::filesystem::path(input.path).filename().string();
        if (!same && name != std::filesystem::path(output).filename().string() + ".tmp")
            kept.push_back(std::move(input));
    }
    inputs.swap(kept);
}

// A folder packed as the build packs a vendor's folder: level 1, -lh5-, time
// stamps in UTC capped at SOURCE_DATE_EPOCH or else the build's epoch.
int PackFolder(const std::string& folder, const std::string& output, std::vector<std::uint8_t>& archive,
               std::string& message)
{
    lzhpack::PackOptions options;
    options.level = 1;
    options.method = lzhpack::kMethodLh5;
    options.capTime = true;
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    char* end = nullptr;
    options.latestTime = time_t(epoch && *epoch ? std::strtoll(epoch, &end, 10) : kBuildPayloadEpoch);
    if (end && (*end != '\0' || options.latestTime < 0)) {
        message = std::string("SOURCE_DATE_EPOCH '") + epoch + "' is not a number of seconds";
        return kExitUsage;
    }
    setenv("TZ", "UTC0", 1);
    tzset();
    std::vector<lzhpack::PackInput> inputs;
    int status = lzhpack::CollectInputs({folder}, inputs, message);
    DropOwnOutput(inputs, output);
    char scratch[] = "/tmp/lzhtool-installer-XXXXXX";
    if (status == lzhpack::kPackOk && !mkdtemp(scratch)) {
        message = std::string("cannot create a scratch folder: ") + std::strerror(errno);
        return kExitCantCreate;
    }
    const std::string path = std::string(scratch) + "/payload.lzh";
    if (status == lzhpack::kPackOk)
        status = lzhpack::WriteArchive(path, inputs, options, message);
    if (status == lzhpack::kPackOk && !ReadWhole(path, archive))
        status = lzhpack::kPackIoError, message = "cannot read back the packed payload";
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return status == lzhpack::kPackOk ? 0 : status == lzhpack::kPackBadName ? kExitDataError : kExitNoInput;
}

// The payload must pass the installer's walk as `lzhtool test` runs it:
// result 0 and every member whole. One without quova at its root installs,
// but the installer then starts nothing: said in one line.
int CheckPayload(const std::vector<std::uint8_t>& archive, const std::string& name, std::string& message)
{
    ArchiveBytes bytes;
    bytes.data = archive.empty() ? reinterpret_cast<const std::uint8_t*>("") : archive.data();
    bytes.size = std::uint32_t(archive.size());
    const WalkRequest request = {WalkCommand::Test, name.c_str(), nullptr, false, true};
    WalkTally tally;
    const int result = WalkArchive(bytes, request, tally);
    if (result == 0 && tally.lost == 0 && tally.written > 0) {
        if (!tally.launchable)
            std::fprintf(stderr, "lzhtool: installer: payload '%s' has no quova or quova.exe at its root: "
                                 "the installer will start nothing\n", name.c_str());
        return 0;
    }
    message = "payload '" + name + "' does not install cleanly (" + std::to_string(tally.lost) + " of " +
              std::to_string(tally.members) + " members lost, result " + std::to_string(result) + ": " +
              ResultText(result) + ")";
    return kExitDataError;
}

}  // namespace

int RunInstaller(int argc, char** argv)
{
    Option options[] = {{"--stub", true, nullptr}};
    CommandLine line = {"installer", kInstallerUsage, options, 1, 2, 2, "OUTPUT.exe and FOLDER or ARCHIVE", nullptr, 0};
    int status = 0;
    if (!ParseCommandLine(line, argc, argv, status))
        return status;
    const char* stubOption = OptionValue(line, "--stub");
    const std::string output = line.operands[0], source = line.operands[1], stubPath = StubPath(stubOption);
    std::vector<std::uint8_t> stubBytes, payload;
    struct stat info;
    if (!stubOption && (stubPath.empty() || stat(stubPath.c_str(), &info) != 0))
        return Fail(kExitNoInput, "no installer stub at '" + stubPath + "': name one with --stub STUB.exe or ZV_STUB");
    if (!ReadWhole(stubPath, stubBytes))
        return Fail(kExitNoInput, "cannot read stub '" + stubPath + "'");
    stub::StubImage image;
    std::string message;
    if (int rc = stub::ReadStub(stubBytes.data(), stubBytes.size(), image, message))
        return Fail(kExitDataError, "stub '" + stubPath + "' " +
                                        (rc == stub::kStubNotInstaller ? "is not an installer: " : "cannot be rewritten: ") +
                                        message);
    if (std::filesystem::is_directory(source)) {
        if (int rc = PackFolder(source, output, payload, message))
            return Fail(rc, message);
    } else if (!ReadWhole(source, payload)) {
        return Fail(kExitNoInput, "cannot read payload '" + source + "'");
    }
    if (int rc = CheckPayload(payload, source, message))
        return Fail(rc, message);
    std::vector<std::uint8_t> installer;
    if (stub::BuildInstaller(image, payload.data(), payload.size(), installer, message))
        return Fail(kExitDataError, "stub '" + stubPath + "' cannot be rewritten: " + message);
    const std::string temporary = output + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(installer.data()), std::streamsize(installer.size())) || !out.flush()) {
        std::remove(temporary.c_str());
        return Fail(kExitCantCreate, "cannot write '" + output + "'");
    }
    out.close();
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        std::remove(temporary.c_str());
        return Fail(kExitCantCreate, "cannot write '" + output + "'");
    }
    if (image.signature)
        std::fprintf(stderr, "lzhtool: installer: the stub's signature was removed; sign '%s' afresh\n", output.c_str());
    return 0;
}
