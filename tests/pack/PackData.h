// Test inputs for the packer: seeded, so that every run sees the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Data = std::vector<std::uint8_t>;

Data TextData(std::size_t size, std::uint32_t seed);     // words, spaces, CR LF
Data RandomData(std::size_t size, std::uint32_t seed);   // incompressible
Data BinaryData(std::size_t size);                        // the test program's own bytes
Data MixedData(std::size_t size, std::uint32_t seed);     // stretches of the three kinds

struct NamedData {
    std::string name;
    Data data;
};

// The varied inputs every round trip covers.
std::vector<NamedData> VariedInputs();
