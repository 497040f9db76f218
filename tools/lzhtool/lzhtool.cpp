// lzhtool: extracts, tests, lists and packs LZH archives with the installer's engine.
#include <cstdio>
#include <cstring>

#include "Commands.h"

#ifndef ZV_VERSION
#error "ZV_VERSION must be defined by the build (the project's version)"
#endif

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* summary;
};

const Command kCommands[] = {
    {"extract", RunExtract, "install an archive's members into a folder as the installer does"},
    {"test", RunTest, "the installer's walk over an archive with nothing written"},
    {"list", RunList, "the members as the installer's walk finds them, with totals"},
    {"pack", RunPack, "write an archive of files and folders"},
    {"installer", RunInstaller, "write an installer carrying a folder or an archive"},
};

void PrintUsage(FILE* out)
{
    std::fputs("usage: lzhtool COMMAND [OPTION...] OPERAND...\n"
               "       lzhtool --help | --version\n"
               "\n"
               "Commands (lzhtool COMMAND --help tells more):\n",
               out);
    for (const Command& command : kCommands)
        std::fprintf(out, "  %-9s %s\n", command.name, command.summary);
    std::fputs("\n"
               "Exit status: extract, test and list give the installer's result (0, or 2 to 9);\n"
               "a bad command line gives 64, a bad input 65 or 66, a failed output 73 or 74.\n",
               out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("lzhtool: no command given\n", stderr);
        PrintUsage(stderr);
        return kExitUsage;
    }
    const char* name = argv[1];
    if (!std::strcmp(name, "--help") || !std::strcmp(name, "-h") || !std::strcmp(name, "help")) {
        PrintUsage(stdout);
        return 0;
    }
    if (!std::strcmp(name, "--version")) {
        std::printf("lzhtool %s\n", ZV_VERSION);
        return 0;
    }
    for (const Command& command : kCommands) {
        if (!std::strcmp(name, command.name))
            return command.run(argc - 2, argv + 2);
    }
    const char* what = name[0] == '-' ? "option" : "command";
    std::fprintf(stderr, "lzhtool: unknown %s '%s' (try lzhtool --help)\n", what, name);
    return kExitUsage;
}
