// Compresses many members at once on the machine's cores. Each member is
// cut into parts of a fixed size that compress independently (a part may
// still copy from the window before it), so the output does not depend on
// the number of threads.
#pragma once

#include <cstdint>
#include <vector>

#include "Lh5Encoder.h"

namespace lzhpack {

constexpr uint32_t kPartBytes = 1u << 20;
constexpr int kMaxThreads = 8;

struct MemberWork {
    std::vector<uint8_t> data;  // the member's bytes
    std::vector<uint8_t> packed; // their -lh5- stream, filled by EncodeMembers
};

// Fills every member's `packed`, on up to `threads` threads (1 runs inline).
void EncodeMembers(std::vector<MemberWork*>& members, int threads);

// The number of threads worth using here: the processors online, at most 8.
int DefaultThreads();

}  // namespace lzhpack
