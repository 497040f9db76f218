// The subcommands of lzhtool. Each takes the arguments after its own name and
// returns the process exit status.
#pragma once

// Exit statuses for problems of the tool itself, above any ExtractResult (0 to 9).
constexpr int kExitUsage = 64;       // bad arguments
constexpr int kExitDataError = 65;   // an input that is not what it should be
constexpr int kExitNoInput = 66;     // an input that cannot be opened or read
constexpr int kExitCantCreate = 73;  // an output that cannot be created
constexpr int kExitIoError = 74;     // a read or write that failed midway

int RunExtract(int argc, char** argv);
int RunTest(int argc, char** argv);
int RunList(int argc, char** argv);
int RunPack(int argc, char** argv);
int RunInstaller(int argc, char** argv);

// Each command's usage text: its synopsis, a blank line, what it does.
extern const char kExtractUsage[];
extern const char kTestUsage[];
extern const char kListUsage[];
extern const char kPackUsage[];
extern const char kInstallerUsage[];
