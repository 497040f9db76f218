#include "PackData.h"

#include <fstream>
#include <iterator>

namespace {

std::uint32_t Next(std::uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

}  // namespace

Data TextData(std::size_t size, std::uint32_t seed)
{
    static const char* const words[] = {"archive", "member", "header", "the", "window", "of", "install",
                                        "folder", "a", "Quova", "switch", "code", "length", "block"};
    Data out;
    std::uint32_t state = seed;
    while (out.size() < size) {
        const char* w = words[Next(state) % (sizeof words / sizeof words[0])];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
        if (Next(state) % 11 == 0) {
            out.push_back('\r');
            out.push_back('\n');
        } else {
            out.push_back(' ');
        }
    }
    out.resize(size);
    return out;
}

Data RandomData(std::size_t size, std::uint32_t seed)
{
    Data out(size);
    std::uint32_t state = seed;
    for (std::uint8_t& b : out)
        b = std::uint8_t(Next(state));
    return out;
}

Data BinaryData(std::size_t size)
{
    std::ifstream self("/proc/self/exe", std::ios::binary);
    Data out((std::istreambuf_iterator<char>(self)), std::istreambuf_iterator<char>());
    // A small build may be shorter than asked: repeat it, shifted, to fill.
    std::size_t have = out.size();
    for (std::size_t i = 0; out.size() < size && have > 0; ++i)
        out.push_back(std::uint8_t(out[i % have] + 1));
    out.resize(size);
    return out;
}

Data MixedData(std::size_t size, std::uint32_t seed)
{
    Data out;
    std::uint32_t state = seed;
    Data binary = BinaryData(size);
    for (int part = 0; out.size() < size; ++part) {
        std::size_t length = 3000 + Next(state) % 30000;
        Data piece = part % 3 == 0 ? TextData(length, Next(state))
                   : part % 3 == 1 ? RandomData(length / 4, Next(state))
                                   : Data(binary.begin(), binary.begin() + long(length));
        out.insert(out.end(), piece.begin(), piece.end());
    }
    out.resize(size);
    return out;
}

std::vector<NamedData> VariedInputs()
{
    return {
        {"empty", Data()},
        {"one byte", Data{0x41}},
        {"text", TextData(40000, 1)},
        {"binary", BinaryData(120000)},
        {"zeros", Data(100000, 0)},
        {"random", RandomData(30000, 2)},
        {"window", TextData(8192, 3)},
        {"window plus one", TextData(8193, 4)},
        {"past 64 KiB", TextData(65537, 5)},
        {"many blocks", MixedData(600000, 6)},
        {"two symbols", Data(5000, 'x')},
    };
}
