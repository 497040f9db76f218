#include "Options.h"

#include <cstdio>
#include <cstring>

#include "Commands.h"

namespace {

bool IsHelp(const char* arg) { return !std::strcmp(arg, "-h") || !std::strcmp(arg, "--help"); }

// Anything that starts with '-' is meant as an option, except "-" alone,
// which names standard input or output in many tools and is an operand here.
bool LooksLikeOption(const char* arg) { return arg[0] == '-' && arg[1] != '\0'; }

// The synopsis: the usage text up to its first blank line.
void PrintSynopsis(const char* usage)
{
    const char* end = std::strstr(usage, "\n\n");
    std::fwrite(usage, 1, end ? static_cast<std::size_t>(end - usage) + 1 : std::strlen(usage), stderr);
}

int UsageError(const CommandLine& line, const char* what, const char* arg, const char* why = "")
{
    std::fprintf(stderr, "lzhtool %s: %s '%s'%s\n", line.command, what, arg, why);
    PrintSynopsis(line.usage);
    return kExitUsage;
}

Option* FindOption(const CommandLine& line, const char* arg, std::size_t nameLength)
{
    for (int i = 0; i < line.optionCount; ++i) {
        const char* name = line.options[i].name;
        if (std::strlen(name) == nameLength && !std::strncmp(name, arg, nameLength))
            return &line.options[i];
    }
    return nullptr;
}

// One option at argv[i]; advances i past its value. Returns 0 or kExitUsage.
int TakeOption(CommandLine& line, int argc, char** argv, int& i)
{
    const char* arg = argv[i];
    const char* equals = std::strchr(arg, '=');
    Option* option = FindOption(line, arg, equals ? static_cast<std::size_t>(equals - arg) : std::strlen(arg));
    if (option == nullptr)
        return UsageError(line, "unknown option", arg);
    if (!option->takesValue) {
        if (equals)
            return UsageError(line, "option", arg, " takes no value");
        option->value = "";
        return 0;
    }
    if (equals) {
        option->value = equals + 1;
    } else if (i + 1 < argc) {
        option->value = argv[++i];
    } else {
        return UsageError(line, "option", arg, " needs a value");
    }
    return 0;
}

}  // namespace

bool ParseCommandLine(CommandLine& line, int argc, char** argv, int& status)
{
    int i = 0;
    bool ended = false;  // by "--"
    for (; i < argc && LooksLikeOption(argv[i]); ++i) {
        if (!std::strcmp(argv[i], "--")) {
            i += 1;
            ended = true;
            break;
        }
        if (IsHelp(argv[i])) {
            std::fputs(line.usage, stdout);
            status = 0;
            return false;
        }
        if ((status = TakeOption(line, argc, argv, i)) != 0)
            return false;
    }
    line.operands = argv + i;
    line.operandCount = argc - i;
    // Options after the first operand are refused rather than taken as
    // names: "extract a.lzh -v" must not make a folder called "-v".
    for (int k = i; k < argc && !ended; ++k) {
        if (LooksLikeOption(argv[k])) {
            status = UsageError(line, "option", argv[k], " after the operands (options go first; -- ends them)");
            return false;
        }
    }
    if (line.operandCount < line.minOperands || (line.maxOperands >= 0 && line.operandCount > line.maxOperands)) {
        std::fprintf(stderr, "lzhtool %s: needs %s, got %d operand(s)\n", line.command, line.operandNames,
                     line.operandCount);
        PrintSynopsis(line.usage);
        status = kExitUsage;
        return false;
    }
    return true;
}

const char* OptionValue(const CommandLine& line, const char* name)
{
    Option* option = FindOption(line, name, std::strlen(name));
    return option ? option->value : nullptr;
}

int BadOptionValue(const CommandLine& line, const char* name, const char* expected)
{
    std::fprintf(stderr, "lzhtool %s: bad value '%s' for %s (%s)\n", line.command, OptionValue(line, name), name,
                 expected);
    return kExitUsage;
}
