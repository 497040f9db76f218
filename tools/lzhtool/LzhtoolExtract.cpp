// lzhtool extract, test and list: the installer's walk over an archive file,
// writing its members, checking them, or listing them.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ArchiveWalk.h"
#include "Commands.h"
#include "Globals.h"
#include "HostHooks.h"
#include "Options.h"

const char kExtractUsage[] = "usage: lzhtool extract [--codepage 932] [--verbose] ARCHIVE FOLDER\n"
                             "\n"
                             "Installs every member of ARCHIVE under FOLDER as the installer does (same\n"
                             "engine, same rules), and prints one line per member lost or passed over,\n"
                             "with the reason, and a summary line. The exit status is the installer's\n"
                             "result: 0 when every member that names a file was written, else 2 to 9 as\n"
                             "the installer's messages (2 not an archive, 3 unknown type, 4 broken file,\n"
                             "5 memory empty, 8 write error). A lost member leaves no file.\n"
                             "  --codepage N  names in code page N: 932 reads them as Shift-JIS, as the\n"
                             "                installer does on a Japanese system (default: single-byte)\n"
                             "  --verbose     also a line for every member written\n"
                             "On a terminal, more than 64 MiB of output shows its progress on standard error.\n";

const char kTestUsage[] = "usage: lzhtool test [--codepage 932] [--payload] ARCHIVE\n"
                          "\n"
                          "The installer's walk over ARCHIVE with nothing written: every member is\n"
                          "decoded and checked, its target judged in the installer's default folder\n"
                          "C:\\Program Files\\Quova\\. Prints one line per member (ok, or what is\n"
                          "wrong) and a summary line. The exit status is the result the installer\n"
                          "would give: 0 only when it would write every member that names a file.\n"
                          "  --codepage N  as for extract\n"
                          "  --payload     also refuse (status 65) an archive without a member quova\n"
                          "                or quova.exe (any case) at its root: the installer starts\n"
                          "                it when it has finished\n";

const char kListUsage[] = "usage: lzhtool list [--codepage 932] ARCHIVE\n"
                          "\n"
                          "Prints a header line, one line per member as the installer's walk finds it\n"
                          "(method, packed and original size, time stamp, CRC-16, header level,\n"
                          "directory and name) and a totals line (packed and original bytes, ratio,\n"
                          "members). Members the installer would not write are named on standard\n"
                          "error; the exit status is that of lzhtool test.\n";

namespace {

Option CodePageOption() { return {"--codepage", true, nullptr}; }

// --codepage: any code page number; 932 is the one that changes the rules.
bool TakeCodePage(const CommandLine& line, int& status)
{
    const char* text = OptionValue(line, "--codepage");
    if (text == nullptr)
        return true;
    char* end = nullptr;
    const long page = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || page <= 0 || page > 65535) {
        status = BadOptionValue(line, "--codepage", "a code page number such as 932");
        return false;
    }
    HostSetCodePage(static_cast<UINT>(page));
    return true;
}

void PrintTotals(const WalkTally& tally)
{
    char ratio[16] = "-";
    if (tally.originalBytes)
        std::snprintf(ratio, sizeof ratio, "%.1f%%", 100.0 * double(tally.packedBytes) / double(tally.originalBytes));
    std::printf("%-6s %10llu %10llu %s, %d member(s)\n", "total", static_cast<unsigned long long>(tally.packedBytes),
                static_cast<unsigned long long>(tally.originalBytes), ratio, tally.members);
}

int RunWalk(const WalkRequest& request, const char* path, bool payloadCheck)
{
    ArchiveBytes archive;
    if (int rc = MapArchive(path, archive))
        return rc;
    int result;
    if (payloadCheck) {
        result = CheckPayload(archive.data, archive.size, path, false);
    } else {
        if (request.command == WalkCommand::List)
            std::printf("%-6s %10s %10s %-19s %-4s %2s %s\n", "method", "packed", "original", "stamp", "crc", "lv",
                        "name");
        WalkTally tally;
        result = WalkArchive(archive, request, tally);
        if (request.command == WalkCommand::List) {
            PrintTotals(tally);
            if (result != 0)
                std::fprintf(stderr, "lzhtool: %s: result %d (%s)\n", path, result, ResultText(result));
        } else {
            PrintWalkSummary(request, tally, result);
        }
    }
    UnmapArchive(archive);
    return result;
}

}  // namespace

int RunExtract(int argc, char** argv)
{
    Option options[] = {CodePageOption(), {"--verbose", false, nullptr}};
    CommandLine line = {"extract", kExtractUsage, options, 2, 2, 2, "ARCHIVE FOLDER", nullptr, 0};
    int status = 0;
    if (!ParseCommandLine(line, argc, argv, status) || !TakeCodePage(line, status))
        return status;
    const char* folder = line.operands[1];
    if (std::strlen(folder) >= sizeof InstallFolder) {
        std::fprintf(stderr, "lzhtool extract: folder '%s' is longer than 255 bytes\n", folder);
        return kExitUsage;
    }
    const bool verbose = OptionValue(line, "--verbose") != nullptr;
    const WalkRequest request = {WalkCommand::Extract, line.operands[0], folder, verbose, false};
    return RunWalk(request, line.operands[0], false);
}

int RunTest(int argc, char** argv)
{
    Option options[] = {CodePageOption(), {"--payload", false, nullptr}};
    CommandLine line = {"test", kTestUsage, options, 2, 1, 1, "ARCHIVE", nullptr, 0};
    int status = 0;
    if (!ParseCommandLine(line, argc, argv, status) || !TakeCodePage(line, status))
        return status;
    const WalkRequest request = {WalkCommand::Test, line.operands[0], nullptr, false, false};
    return RunWalk(request, line.operands[0], OptionValue(line, "--payload") != nullptr);
}

int RunList(int argc, char** argv)
{
    Option options[] = {CodePageOption()};
    CommandLine line = {"list", kListUsage, options, 1, 1, 1, "ARCHIVE", nullptr, 0};
    int status = 0;
    if (!ParseCommandLine(line, argc, argv, status) || !TakeCodePage(line, status))
        return status;
    const WalkRequest request = {WalkCommand::List, line.operands[0], nullptr, false, false};
    return RunWalk(request, line.operands[0], false);
}
