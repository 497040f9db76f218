// lzhtool pack: an archive of the files and folders given.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "ArchiveWriter.h"
#include "Commands.h"
#include "Options.h"
#include "PackInputs.h"
#include "PackSteps.h"
#include "Progress.h"
#include "ParallelEncode.h"

const char kPackUsage[] = "usage: lzhtool pack [--force] [--level 0|1] [--method auto|lh5|lh0] [--jobs 1-8]\n"
                          "                    [--codepage 932] ARCHIVE PATH...\n"
                          "\n"
                          "Writes ARCHIVE from the files and folders given: a file under its base name,\n"
                          "a folder as every file below it in byte order of their relative paths.\n"
                          "A name the installer could not write is refused, and nothing is written.\n"
                          "A folder that holds ARCHIVE does not pack ARCHIVE itself.\n"
                          "  --force       replace ARCHIVE if it exists (without it, pack refuses)\n"
                          "  --level 0|1   header level: 1 (default) puts folders in an extended\n"
                          "                header, 0 in the name\n"
                          "  --method M    lh5 compresses every member, lh0 stores them, auto (default)\n"
                          "                stores a member when compressing does not make it smaller\n"
                          "  --jobs N      compressing threads (default: one per processor, at most 8)\n"
                          "  --codepage 932  take UTF-8 names and store them in code page 932\n"
                          "Time stamps are the files' modification times in local time, never later\n"
                          "than SOURCE_DATE_EPOCH when it is set.\n";

namespace {

// One line per line of message (the refused names of a run).
int Fail(int exitCode, const std::string& message)
{
    for (size_t begin = 0, end = 0; end != std::string::npos; begin = end + 1) {
        end = message.find('\n', begin);
        std::fprintf(stderr, "lzhtool pack: %s\n", message.substr(begin, end - begin).c_str());
    }
    return exitCode;
}

int ExitCodeOf(int status)
{
    switch (status) {
    case lzhpack::kPackBadName: return kExitDataError;
    case lzhpack::kPackNoInput: return kExitNoInput;
    case lzhpack::kPackCantCreate: return kExitCantCreate;
    case lzhpack::kPackIoError: return kExitIoError;
    case lzhpack::kPackBadArgument: return kExitDataError;
    default: return status == 0 ? 0 : kExitIoError;
    }
}

// --level, --method and --jobs into options; 0 or kExitUsage after a message.
int TakeValues(const CommandLine& line, lzhpack::PackOptions& options)
{
    const char* level = OptionValue(line, "--level");
    if (level && (!std::strcmp(level, "0") || !std::strcmp(level, "1")))
        options.level = level[0] - '0';
    else if (level)
        return BadOptionValue(line, "--level", "0 or 1");
    static const struct {
        const char* name;
        lzhpack::PackMethod method;
    } kMethods[] = {{"auto", lzhpack::kMethodAuto}, {"lh5", lzhpack::kMethodLh5}, {"lh0", lzhpack::kMethodLh0}};
    if (const char* method = OptionValue(line, "--method")) {
        bool known = false;
        for (const auto& m : kMethods) {
            if (!std::strcmp(method, m.name)) {
                options.method = m.method;
                known = true;
            }
        }
        if (!known)
            return BadOptionValue(line, "--method", "auto, lh5 or lh0");
    }
    if (const char* jobs = OptionValue(line, "--jobs")) {
        if (std::strlen(jobs) != 1 || jobs[0] < '1' || jobs[0] > '0' + lzhpack::kMaxThreads)
            return BadOptionValue(line, "--jobs", "1 to 8");
        options.threads = jobs[0] - '0';
    }
    return 0;
}

// The code page of the stored names: the one place where it reaches the
// name rules.
int TakeNameCodePage(const CommandLine& line, int& codePage)
{
    const char* page = OptionValue(line, "--codepage");
    codePage = lzhpack::kAsciiNames;
    if (page == nullptr)
        return 0;
    if (std::strcmp(page, "932") != 0)
        return BadOptionValue(line, "--codepage", "932, the one code page pack stores");
    codePage = lzhpack::kCodePage932;
    return 0;
}

}  // namespace

bool ReadEpoch(lzhpack::PackOptions& options, std::string& message)
{
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0')
        return true;
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 0) {
        message = std::string("SOURCE_DATE_EPOCH '") + text + "' is not a number of seconds";
        return false;
    }
    options.capTime = true;
    options.latestTime = time_t(value);
    return true;
}

namespace {

std::string DirectoryOf(const std::string& path)
{
    const std::size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
}

std::string BaseOf(const std::string& path)
{
    const std::size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool SameDirectory(const std::string& a, const std::string& b)
{
    struct stat x, y;
    return stat(DirectoryOf(a).c_str(), &x) == 0 && stat(DirectoryOf(b).c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

// The archive itself, or a temporary that a run writing it left behind
// (ARCHIVE.XXXXXX beside it, as the writer names them).
bool IsOwnOutput(const std::string& input, const std::string& archive)
{
    struct stat in, out;
    if (stat(input.c_str(), &in) == 0 && stat(archive.c_str(), &out) == 0 && in.st_dev == out.st_dev &&
        in.st_ino == out.st_ino)
        return true;
    const std::string base = BaseOf(archive), name = BaseOf(input);
    if (name.size() != base.size() + 7 || name.compare(0, base.size() + 1, base + ".") != 0)
        return false;
    for (std::size_t i = base.size() + 1; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return SameDirectory(input, archive);
}

}  // namespace

void DropOwnOutput(std::vector<lzhpack::PackInput>& inputs, const std::string& archive)
{
    std::vector<lzhpack::PackInput> kept;
    for (lzhpack::PackInput& input : inputs) {
        if (IsOwnOutput(input.path, archive))
            std::fprintf(stderr, "lzhtool: not packing '%s' (the file being written)\n", input.path.c_str());
        else
            kept.push_back(std::move(input));
    }
    inputs.swap(kept);
}

int RunPack(int argc, char** argv)
{
    Option options[] = {{"--force", false, nullptr},
                        {"--level", true, nullptr},
                        {"--method", true, nullptr},
                        {"--jobs", true, nullptr},
                        {"--codepage", true, nullptr}};
    CommandLine line = {"pack", kPackUsage, options, 5, 2, -1, "ARCHIVE and at least one PATH", nullptr, 0};
    int status = 0;
    lzhpack::PackOptions pack;
    std::string message;
    if (!ParseCommandLine(line, argc, argv, status))
        return status;
    int codePage = lzhpack::kAsciiNames;
    if ((status = TakeValues(line, pack)) != 0 || (status = TakeNameCodePage(line, codePage)) != 0)
        return status;
    if (!ReadEpoch(pack, message))
        return Fail(kExitUsage, message);
    const std::string archive = line.operands[0];
    struct stat existing;
    if (OptionValue(line, "--force") == nullptr && lstat(archive.c_str(), &existing) == 0)
        return Fail(kExitCantCreate, "'" + archive + "' exists (--force replaces it)");
    std::vector<std::string> paths(line.operands + 1, line.operands + line.operandCount);
    std::vector<lzhpack::PackInput> inputs;
    status = lzhpack::CollectInputs(paths, inputs, message, pack.level, codePage);
    if (status == lzhpack::kPackOk) {
        DropOwnOutput(inputs, archive);
        pack.progress = ProgressBytes;
        ProgressStart("packing");
        status = lzhpack::WriteArchive(archive, inputs, pack, message);
        ProgressFinish();
    }
    if (status != lzhpack::kPackOk)
        return Fail(ExitCodeOf(status), message);
    return 0;
}
