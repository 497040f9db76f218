// Compresses a member's parts on the machine's cores while the archive is
// read and written in order. Each member is cut into parts of a fixed size
// that compress independently (a part may still copy from the window before
// it), so the output does not depend on the number of threads. A fixed ring
// of part slots bounds the memory: the writer frees the oldest slot before
// the reader may fill another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Lh5Encoder.h"

namespace lzhpack {

constexpr uint32_t kPartBytes = 1u << 20;
constexpr int kMaxThreads = 8;
// Slots per compressing thread: one being compressed, one read ahead and
// one done and waiting for the parts before it to be written.
constexpr int kSlotsPerThread = 3;

// One part of a member: the window before it, then its own bytes.
struct PartWork {
    std::vector<uint8_t> data;
    uint32_t window = 0;   // bytes of data that precede the part
    bool compress = true;  // false: the part is stored as it is
    BitPiece piece;        // the part's -lh5- bits, once compressed
    size_t member = 0;     // index of the input it belongs to
    bool last = false;     // the member's last part
};

struct PartQueue;

// A queue whose parts are compressed on up to `threads` threads: threads - 1
// helpers, and the caller's thread while it waits (1 runs inline).
PartQueue* StartPartQueue(int threads);

// The slot to fill next, or nullptr while every slot is in flight.
PartWork* FreePart(PartQueue& queue);

// The slot FreePart returned is filled: compress it.
void SubmitPart(PartQueue& queue);

// Waits until the oldest submitted part is compressed and returns it, or
// nullptr when no part is in flight. It stays the oldest until released.
PartWork* OldestPart(PartQueue& queue);

// The oldest part is written: its slot may be filled again.
void ReleasePart(PartQueue& queue);

// Waits for the helpers to end and frees the queue.
void StopPartQueue(PartQueue* queue);

// The number of threads worth using here: the processors online, at most 8.
int DefaultThreads();

}  // namespace lzhpack
