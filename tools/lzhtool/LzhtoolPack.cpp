// Temporary until the packer lands: the pack command.
#include <cstdio>
#include "Commands.h"

int RunPack(int, char**) { std::fputs("lzhtool: pack is not built yet\n", stderr); return kExitUsage; }
