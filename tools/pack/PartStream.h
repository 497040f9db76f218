// Streams the members into the archive a part at a time: the reading side
// fills the part queue's slots in archive order, the writing side empties
// them in the same order, both on the calling thread.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "ArchiveWriter.h"

namespace lzhpack {

// Writes every input's header and data to out, in order, then the end byte.
// Returns a PackStatus.
int WriteMembers(FILE* out, const std::vector<PackInput>& inputs, const PackOptions& options, std::string& message);

}  // namespace lzhpack
