// The installer's own memory and string functions (app/Runtime.cpp), linked
// here in place of the C library's: every size from 0 to 40 at four
// misalignments, overlaps both ways, and the unsigned byte order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned kArea = 56;

void Pattern(unsigned char* area, unsigned seed)
{
    for (unsigned i = 0; i < kArea; ++i)
        area[i] = (unsigned char)(seed + i * 7);
}

// Each function at dest + offset over size bytes, from a source 3 bytes in
// (for the last round memmove's, inside the area itself, before or after
// the destination); the rest of the area must stay.
TEST(Runtime, FillsAndCopiesExactlyTheRange)
{
    for (int which = 0; which < 4; ++which)
        for (unsigned offset = 0; offset < 4; ++offset)
            for (unsigned size = 0; size <= 40; ++size) {
                unsigned char source[kArea], area[kArea], want[kArea];
                Pattern(source, 100);
                Pattern(area, 1);
                Pattern(want, 1);
                const unsigned char* from = which == 3 ? area + (offset % 2 ? 0 : 10) : source + 3;
                for (unsigned i = 0; i < size; ++i)
                    want[offset + i] = which == 0 ? 0xA5 : from[i];
                void* result = which == 0   ? memset(area + offset, 0x1A5, size)
                               : which == 1 ? memcpy(area + offset, from, size)
                                            : memmove(area + offset, from, size);
                EXPECT_EQ(area + offset, result);
                ASSERT_EQ(0, std::memcmp(want, area, kArea)) << which << ":" << offset << "+" << size;
            }
}

TEST(Runtime, ComparisonsOrderBytesUnsigned)
{
    struct Case {
        const char* left;
        const char* right;
        int sign;
    };
    const Case cases[] = {{"", "", 0},       {"abc", "abc", 0}, {"abc", "abd", -1},   {"abd", "abc", 1},
                          {"ab", "abc", -1}, {"abc", "ab", 1},  {"\x7f", "\x80", -1}, {"\xff", "a", 1}};
    auto sign = [](int value) { return (value > 0) - (value < 0); };
    for (const Case& c : cases) {
        EXPECT_EQ(c.sign, sign(strcmp(c.left, c.right))) << c.left << " " << c.right;
        size_t size = std::min(strlen(c.left), strlen(c.right)) + 1;
        EXPECT_EQ(c.sign, sign(memcmp(c.left, c.right, size))) << c.left << " " << c.right;
    }
    EXPECT_EQ(0, memcmp("abc", "abd", 2));
    EXPECT_EQ(7u, strlen("\x83\x43\x83\x93 ok"));
}

}  // namespace
