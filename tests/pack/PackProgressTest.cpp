// Pack's progress: on the calling thread, at least every 4 MiB of input
// apart, growing, and ending once at the sum of the input sizes.
#include <gtest/gtest.h>
#include <pthread.h>

#include <fstream>

#include "ArchiveWriter.h"

namespace {
std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
bool offThread = false;
pthread_t caller;

void Record(std::uint64_t done, std::uint64_t total)
{
    offThread |= !pthread_equal(pthread_self(), caller);
    calls.push_back({done, total});
}
}  // namespace

TEST(Pack, ProgressEveryFewMiBOnTheWritingThreadEndingAtTheTotal)
{
    const std::string dir = testing::TempDir();
    const std::uint64_t sizes[] = {(9u << 20) + 5, 0, 3};
    std::vector<lzhpack::PackInput> inputs;
    for (std::uint64_t size : sizes) {
        inputs.push_back({dir + "/progress" + std::to_string(inputs.size()), "", "P" + std::to_string(inputs.size())});
        std::ofstream(inputs.back().path, std::ios::binary) << std::string(size, 'q');
    }
    lzhpack::PackOptions options;
    options.threads = 2;
    options.progress = Record;
    caller = pthread_self();
    std::string message;
    ASSERT_EQ(lzhpack::WriteArchive(dir + "/progress.lzh", inputs, options, message), lzhpack::kPackOk) << message;
    ASSERT_EQ(calls.size(), 3u);  // 4 and 8 MiB, then the end
    EXPECT_FALSE(offThread);
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, (9u << 20) + 8) << i;
        EXPECT_EQ(calls[i].first, i < 2 ? (i + 1) * (4u << 20) : (9u << 20) + 8) << i;
    }
}
