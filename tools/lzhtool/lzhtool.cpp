// lzhtool: extracts, lists and packs LZH archives with the installer's engine.
#include <cstdio>
#include <cstring>

#include "Commands.h"

static const char kUsage[] =
    "usage: lzhtool extract [--codepage 932] ARCHIVE FOLDER\n"
    "       lzhtool list ARCHIVE\n"
    "       lzhtool pack [--level 0|1] [--method auto|lh5|lh0] [--jobs 1-8] ARCHIVE PATH...\n"
    "       lzhtool installer [--stub STUB.exe] OUTPUT.exe FOLDER|ARCHIVE\n"
    "\n"
    "extract  installs every member of ARCHIVE under FOLDER as the installer does;\n"
    "         the exit status is the extraction result (0 success, 2 to 9 failures)\n"
    "list     prints one line per member header\n"
    "pack     writes an archive of the files and folders given\n"
    "installer writes an installer carrying FOLDER (packed as the build packs it) or ARCHIVE\n";

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 ||
        std::strcmp(command, "help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (std::strcmp(command, "extract") == 0)
        return RunExtract(argc - 2, argv + 2);
    if (std::strcmp(command, "list") == 0)
        return RunList(argc - 2, argv + 2);
    if (std::strcmp(command, "pack") == 0)
        return RunPack(argc - 2, argv + 2);
    if (std::strcmp(command, "installer") == 0)
        return RunInstaller(argc - 2, argv + 2);
    std::fprintf(stderr, "lzhtool: unknown command '%s' (try lzhtool --help)\n", command);
    return kExitUsage;
}
