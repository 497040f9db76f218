#include "ParallelEncode.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>

namespace lzhpack {

namespace {

struct PartTask {
    MemberWork* member;
    uint32_t begin;
    uint32_t end;
    BitPiece piece;
};

struct TaskList {
    std::vector<PartTask> tasks;
    std::atomic<size_t> next{0};
};

void* RunTasks(void* arg)
{
    TaskList& list = *static_cast<TaskList*>(arg);
    for (size_t guard = 0; guard < list.tasks.size(); ++guard) {
        size_t i = list.next.fetch_add(1);
        if (i >= list.tasks.size())
            break;
        PartTask& t = list.tasks[i];
        EncodeLh5Part(t.member->data.data(), t.begin, t.end, t.piece);
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

void EncodeMembers(std::vector<MemberWork*>& members, int threads)
{
    TaskList list;
    for (MemberWork* m : members) {
        uint32_t size = uint32_t(m->data.size());
        for (uint32_t begin = 0; begin < size; begin += kPartBytes) {
            uint32_t end = size - begin > kPartBytes ? begin + kPartBytes : size;
            list.tasks.push_back(PartTask{m, begin, end, BitPiece()});
        }
    }
    // Threads that cannot be started leave their share to the others and
    // to this one.
    pthread_t helper[kMaxThreads];
    int started = 0;
    for (int t = 1; t < threads && t < kMaxThreads; ++t) {
        if (pthread_create(&helper[started], nullptr, RunTasks, &list) == 0)
            ++started;
    }
    RunTasks(&list);
    for (int t = 0; t < started; ++t)
        pthread_join(helper[t], nullptr);
    // Tasks are in member order, parts in stream order.
    BitPiece stream;
    MemberWork* current = nullptr;
    for (PartTask& t : list.tasks) {
        if (t.member != current) {
            if (current != nullptr)
                current->packed.swap(stream.bytes);
            current = t.member;
            stream = BitPiece();
        }
        AppendPiece(stream, t.piece);
    }
    if (current != nullptr)
        current->packed.swap(stream.bytes);
    for (MemberWork* m : members) {
        if (m->data.empty())
            m->packed.clear();
    }
}

}  // namespace lzhpack
