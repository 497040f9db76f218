#include "ParallelEncode.h"

#include <pthread.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>

namespace lzhpack {

// Part n lives in slot n % slots.size(). Counters only grow:
// released <= started <= submitted <= released + slots.size().
struct PartQueue {
    std::vector<PartWork> slots;
    std::vector<char> done;  // per slot: compressed
    uint64_t submitted = 0;
    uint64_t started = 0;  // taken by a compressing thread
    uint64_t released = 0;
    bool stopping = false;
    std::mutex lock;
    std::condition_variable workReady;  // a part to take, or stopping
    std::condition_variable partDone;
    pthread_t helper[kMaxThreads];
    int helpers = 0;
};

namespace {

void CompressPart(PartWork& part)
{
    part.piece.bytes.clear();
    part.piece.tailBits = 0;
    if (part.compress && part.data.size() > part.window)
        EncodeLh5Part(part.data.data(), part.window, uint32_t(part.data.size()), part.piece);
}

// Compresses the next part not taken yet, with the lock released meanwhile.
// False when every submitted part is taken.
bool CompressNext(PartQueue& q, std::unique_lock<std::mutex>& held)
{
    if (q.started == q.submitted)
        return false;
    size_t slot = size_t(q.started++ % q.slots.size());
    held.unlock();
    CompressPart(q.slots[slot]);
    held.lock();
    q.done[slot] = 1;
    q.partDone.notify_all();
    return true;
}

void* RunHelper(void* arg)
{
    PartQueue& q = *static_cast<PartQueue*>(arg);
    std::unique_lock<std::mutex> held(q.lock);
    while (!q.stopping) {
        if (!CompressNext(q, held))
            q.workReady.wait(held);
    }
    return nullptr;
}

}  // namespace

int DefaultThreads()
{
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    if (online < 1)
        return 1;
    return online > kMaxThreads ? kMaxThreads : int(online);
}

PartQueue* StartPartQueue(int threads)
{
    if (threads < 1)
        threads = 1;
    if (threads > kMaxThreads)
        threads = kMaxThreads;
    PartQueue* q = new PartQueue;
    q->slots.resize(size_t(threads) * kSlotsPerThread);
    q->done.assign(q->slots.size(), 0);
    // Threads that cannot be started leave their share to the others and
    // to the caller's.
    for (int t = 1; t < threads; ++t) {
        if (pthread_create(&q->helper[q->helpers], nullptr, RunHelper, q) == 0)
            ++q->helpers;
    }
    return q;
}

PartWork* FreePart(PartQueue& q)
{
    if (q.submitted - q.released == q.slots.size())
        return nullptr;
    return &q.slots[size_t(q.submitted % q.slots.size())];
}

void SubmitPart(PartQueue& q)
{
    std::lock_guard<std::mutex> held(q.lock);
    q.done[size_t(q.submitted % q.slots.size())] = 0;
    ++q.submitted;
    q.workReady.notify_one();
}

PartWork* OldestPart(PartQueue& q)
{
    if (q.released == q.submitted)
        return nullptr;
    size_t slot = size_t(q.released % q.slots.size());
    std::unique_lock<std::mutex> held(q.lock);
    while (!q.done[slot]) {
        if (!CompressNext(q, held))
            q.partDone.wait(held);
    }
    return &q.slots[slot];
}

void ReleasePart(PartQueue& q)
{
    std::lock_guard<std::mutex> held(q.lock);
    ++q.released;
}

void StopPartQueue(PartQueue* q)
{
    {
        std::lock_guard<std::mutex> held(q->lock);
        q->stopping = true;
        q->workReady.notify_all();
    }
    for (int t = 0; t < q->helpers; ++t)
        pthread_join(q->helper[t], nullptr);
    delete q;
}

}  // namespace lzhpack
