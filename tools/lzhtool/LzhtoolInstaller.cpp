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
#include "PackSteps.h"
#include "StubImage.h"

const char kInstallerUsage[] = "usage: lzhtool installer [--stub STUB.exe] OUTPUT.exe FOLDER|ARCHIVE\n"
                               "\n"
                               "Writes OUTPUT.exe, a copy of the installer STUB.exe whose payload is FOLDER,\n"
                               "packed as the build packs one (level 1, -lh5-, time stamps in UTC capped at\n"
                               "SOURCE_DATE_EPOCH, else at the build's ZV_PAYLOAD_EPOCH), or ARCHIVE as it is.\n"
                               "The payload must pass lzhtool test --payload. OUTPUT.exe is replaced if it\n"
                               "exists; a signed\n"
                               "stub's signature is dropped (sign OUTPUT.exe afresh).\n"
                               "  --stub STUB.exe  the installer to start from (default: $ZV_STUB, else\n"
                               "                   Zoravuvi-stub.exe beside lzhtool)\n";

namespace {

// The stub the host build ships beside lzhtool (the win32 build copies its
// Zoravuvi.exe there).
const char kShippedStub[] = "Zoravuvi-stub.exe";
// The build's payload epoch (ZV_PAYLOAD_EPOCH, defined by CMake): a folder
// packed here gets the bytes the build gives it.
constexpr time_t kBuildPayloadEpoch = ZV_PAYLOAD_EPOCH;
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
    return in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size)) &&
           in.gcount() == std::streamsize(size);
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

// Written to OUTPUT.XXXXXX beside it, then renamed: a failed run leaves no
// half installer, and a folder packed later never takes the temporary.
bool WriteOutput(const std::string& output, const std::vector<std::uint8_t>& bytes)
{
    std::string temporary = output + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    const mode_t mask = umask(0);
    umask(mask);
    const bool written = done == bytes.size() && fchmod(fd, 0777 & ~mask) == 0;
    if (close(fd) != 0 || !written || std::rename(temporary.c_str(), output.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        errno = error;
        return false;
    }
    return true;
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
    options.latestTime = kBuildPayloadEpoch;
    if (!ReadEpoch(options, message))
        return kExitUsage;
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
        return Fail(kExitDataError,
                    "stub '" + stubPath + "' " +
                        (rc == stub::kStubNotInstaller ? "is not an installer: " : "cannot be rewritten: ") + message);
    if (std::filesystem::is_directory(source)) {
        if (int rc = PackFolder(source, output, payload, message))
            return Fail(rc, message);
    } else if (!ReadWhole(source, payload)) {
        return Fail(kExitNoInput, "cannot read payload '" + source + "'");
    }
    // The build's own payload check, `lzhtool test --payload`, whose lines say what is wrong.
    const std::uint8_t* data = payload.empty() ? reinterpret_cast<const std::uint8_t*>("") : payload.data();
    if (CheckPayload(data, std::uint32_t(payload.size()), source.c_str(), true) != 0)
        return kExitDataError;
    std::vector<std::uint8_t> installer;
    if (stub::BuildInstaller(image, payload.data(), payload.size(), installer, message))
        return Fail(kExitDataError, "stub '" + stubPath + "' cannot be rewritten: " + message);
    if (!WriteOutput(output, installer))
        return Fail(kExitCantCreate, "cannot write '" + output + "': " + std::strerror(errno));
    if (image.signature)
        std::fprintf(stderr, "lzhtool: installer: the stub's signature was removed; sign '%s' afresh\n",
                     output.c_str());
    return 0;
}
