// Temporary until the engine lands: the extract and list commands.
#include <cstdio>
#include "Commands.h"

int RunExtract(int, char**) { std::fputs("lzhtool: extract is not built yet\n", stderr); return kExitUsage; }
int RunList(int, char**) { std::fputs("lzhtool: list is not built yet\n", stderr); return kExitUsage; }
