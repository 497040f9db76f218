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

#include "ArchiveWriter.h"
#include "Commands.h"
#include "ExtractPayload.h"
#include "Globals.h"
#include "HostHooks.h"
#include "StubImage.h"

namespace {

const char kInstallerUsage[] = "usage: lzhtool installer [--stub STUB.exe] OUTPUT.exe FOLDER|ARCHIVE\n";
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

// A folder packed as the build packs a vendor's folder: level 1, -lh5-, time
// stamps in UTC capped at SOURCE_DATE_EPOCH or else the build's epoch.
int PackFolder(const std::string& folder, std::vector<std::uint8_t>& archive, std::string& message)
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

// Members the check saw written, and the first one that was not.
int WrittenMembers = 0;
std::string FirstFault;

void NoteMember(const MemberReport& r)
{
    if (r.outcome == MemberOutcome::Written)
        ++WrittenMembers;
    else if (r.outcome != MemberOutcome::DirectoryEntry && r.outcome != MemberOutcome::WalkEnded && FirstFault.empty())
        FirstFault = std::string(r.header->directoryName) + r.header->fileName;
}

// The payload must install cleanly: the engine extracts it into a scratch
// folder, as the installer would, and every member must come out whole.
int CheckPayload(const std::vector<std::uint8_t>& archive, const std::string& name, std::string& message)
{
    char scratch[] = "/tmp/lzhtool-check-XXXXXX";
    if (!mkdtemp(scratch) || std::strlen(scratch) + 1 >= sizeof InstallFolder) {
        message = "cannot create a scratch folder to check the payload";
        return kExitCantCreate;
    }
    std::snprintf(InstallFolder, sizeof InstallFolder, "%s\\", scratch);
    HostRegisterPayload(archive.empty() ? static_cast<const void*>("") : archive.data(), DWORD(archive.size()));
    WrittenMembers = 0;
    FirstFault.clear();
    MemberReporter = NoteMember;
    const int result = ExtractPayload();
    MemberReporter = nullptr;
    HostRegisterPayload(nullptr, 0);
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    if (result == kResultOk && WrittenMembers > 0 && FirstFault.empty())
        return 0;
    message = "payload '" + name + "' does not install cleanly (" +
              (result != kResultOk ? "extraction result " + std::to_string(result)
               : FirstFault.empty() ? std::string("no member") : "member " + FirstFault + " fails") + ")";
    return kExitDataError;
}

}  // namespace

int RunInstaller(int argc, char** argv)
{
    const char* stubOption = nullptr;
    int i = 0;
    if (argc == 1 && (!std::strcmp(argv[0], "--help") || !std::strcmp(argv[0], "-h"))) {
        std::fputs(kInstallerUsage, stdout);
        return 0;
    }
    if (argc >= 2 && !std::strcmp(argv[0], "--stub"))
        stubOption = argv[1], i = 2;
    if (argc - i != 2 || argv[i][0] == '-' || argv[i + 1][0] == '-') {
        std::fputs(kInstallerUsage, stderr);
        return kExitUsage;
    }
    const std::string output = argv[i], source = argv[i + 1], stubPath = StubPath(stubOption);
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
        if (int rc = PackFolder(source, payload, message))
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
