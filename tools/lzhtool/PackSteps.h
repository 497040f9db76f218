// What lzhtool pack and lzhtool installer share when they pack files.
#pragma once

#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "PackInputs.h"

// SOURCE_DATE_EPOCH, when set, caps the members' time stamps; false with a
// message when it is not a number of seconds.
bool ReadEpoch(lzhpack::PackOptions& options, std::string& message);

// Takes out of inputs the output file itself and any temporary beside it
// (OUTPUT.XXXXXX, as the writers name them), with one line each on stderr:
// a folder that holds the output never packs it into itself.
void DropOwnOutput(std::vector<lzhpack::PackInput>& inputs, const std::string& output);
