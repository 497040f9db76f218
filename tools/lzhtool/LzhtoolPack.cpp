// lzhtool pack [--level 0|1] [--method auto|lh5|lh0] [--jobs 1-8] ARCHIVE PATH...
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "ParallelEncode.h"
#include "Commands.h"
#include "PackInputs.h"

namespace {

int Fail(int exitCode, const std::string& message)
{
    std::fprintf(stderr, "lzhtool: %s\n", message.c_str());
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

// SOURCE_DATE_EPOCH, when set, is the latest time stamp the archive may carry.
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

// Reads the options; returns the index of ARCHIVE, or -1 with a message.
int ParseOptions(int argc, char** argv, lzhpack::PackOptions& options, std::string& message)
{
    int i = 0;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
        std::string option = argv[i];
        if (option != "--level" && option != "--method" && option != "--jobs") {
            message = "pack: unknown option '" + option + "'";
            return -1;
        }
        if (i + 1 >= argc) {
            message = "pack: " + option + " needs a value";
            return -1;
        }
        std::string value = argv[i + 1];
        if (option == "--level" && (value == "0" || value == "1")) {
            options.level = value[0] - '0';
        } else if (option == "--method" && value == "auto") {
            options.method = lzhpack::kMethodAuto;
        } else if (option == "--method" && value == "lh5") {
            options.method = lzhpack::kMethodLh5;
        } else if (option == "--method" && value == "lh0") {
            options.method = lzhpack::kMethodLh0;
        } else if (option == "--jobs" && value.size() == 1 && value[0] >= '1' &&
                   value[0] <= '0' + lzhpack::kMaxThreads) {
            options.threads = value[0] - '0';
        } else {
            message = "pack: bad value '" + value + "' for " + option;
            return -1;
        }
    }
    if (argc - i < 2) {
        message = "pack: usage: lzhtool pack [--level 0|1] [--method auto|lh5|lh0] [--jobs 1-8] ARCHIVE PATH...";
        return -1;
    }
    return i;
}

}  // namespace

int RunPack(int argc, char** argv)
{
    lzhpack::PackOptions options;
    std::string message;
    int archiveIndex = ParseOptions(argc, argv, options, message);
    if (archiveIndex < 0 || !ReadEpoch(options, message))
        return Fail(kExitUsage, message);
    std::vector<std::string> paths(argv + archiveIndex + 1, argv + argc);
    std::vector<lzhpack::PackInput> inputs;
    int status = lzhpack::CollectInputs(paths, inputs, message);
    if (status == lzhpack::kPackOk)
        status = lzhpack::WriteArchive(argv[archiveIndex], inputs, options, message);
    if (status != lzhpack::kPackOk)
        return Fail(ExitCodeOf(status), message);
    return 0;
}
