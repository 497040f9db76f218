// The installer's own memory and string functions (app/Runtime.cpp), which
// this program links in place of the C library's: every size from 0 to 40
// at every misalignment, overlaps in both directions, and the unsigned byte
// order that comparisons must use.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

constexpr std::size_t kMaxSize = 40;
constexpr std::size_t kArea = kMaxSize + 16;

void Pattern(unsigned char* area, unsigned char seed)
{
    for (std::size_t i = 0; i < kArea; ++i)
        area[i] = static_cast<unsigned char>(seed + i * 7);
}

TEST(Runtime, MemsetFillsExactlyTheRange)
{
    for (std::size_t offset = 0; offset < 4; ++offset)
        for (std::size_t size = 0; size <= kMaxSize; ++size) {
            unsigned char area[kArea], want[kArea];
            Pattern(area, 1);
            Pattern(want, 1);
            for (std::size_t i = 0; i < size; ++i)
                want[offset + i] = 0xA5;
            EXPECT_EQ(area + offset, memset(area + offset, 0x1A5, size));
            ASSERT_EQ(0, std::memcmp(want, area, kArea)) << offset << "+" << size;
        }
}

TEST(Runtime, MemcpyAndMemmoveCopyExactlyTheRange)
{
    using Copy = void* (*)(void*, const void*, std::size_t);
    for (Copy copy : {static_cast<Copy>(memcpy), static_cast<Copy>(memmove)})
        for (std::size_t offset = 0; offset < 4; ++offset)
            for (std::size_t size = 0; size <= kMaxSize; ++size) {
                unsigned char source[kArea], area[kArea], want[kArea];
                Pattern(source, 100);
                Pattern(area, 1);
                Pattern(want, 1);
                for (std::size_t i = 0; i < size; ++i)
                    want[offset + i] = source[3 + i];
                EXPECT_EQ(area + offset, copy(area + offset, source + 3, size));
                ASSERT_EQ(0, std::memcmp(want, area, kArea)) << offset << "+" << size;
            }
}

TEST(Runtime, MemmoveHandlesOverlapInBothDirections)
{
    struct Case { std::size_t from, to, size; };
    const Case cases[] = {{0, 1, 20}, {0, 7, 33}, {1, 0, 20}, {9, 2, 30}, {5, 5, 10}, {3, 4, 0}};
    for (const Case& c : cases) {
        unsigned char area[kArea], want[kArea];
        Pattern(area, 50);
        Pattern(want, 50);
        for (std::size_t i = 0; i < c.size; ++i)
            want[c.to + i] = area[c.from + i];
        EXPECT_EQ(area + c.to, memmove(area + c.to, area + c.from, c.size));
        EXPECT_EQ(0, std::memcmp(want, area, kArea)) << c.from << "->" << c.to;
    }
}

TEST(Runtime, ComparisonsOrderBytesUnsigned)
{
    struct Case { const char* left; const char* right; int sign; };
    const Case cases[] = {
        {"", "", 0}, {"abc", "abc", 0}, {"abc", "abd", -1}, {"abd", "abc", 1},
        {"ab", "abc", -1}, {"abc", "ab", 1}, {"\x7f", "\x80", -1}, {"\xff", "a", 1},
    };
    auto sign = [](int value) { return (value > 0) - (value < 0); };
    for (const Case& c : cases) {
        EXPECT_EQ(c.sign, sign(strcmp(c.left, c.right))) << c.left << " " << c.right;
        std::size_t size = strlen(c.left) + 1;
        if (strlen(c.right) + 1 < size)
            size = strlen(c.right) + 1;
        EXPECT_EQ(c.sign, sign(memcmp(c.left, c.right, size))) << c.left << " " << c.right;
    }
    EXPECT_EQ(0, memcmp("abc", "abd", 2));
    EXPECT_EQ(0u, strlen(""));
    EXPECT_EQ(7u, strlen("\x83\x43\x83\x93 ok"));
}

}  // namespace
