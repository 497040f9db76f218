// Length-limited canonical prefix codes for the encoder.
#pragma once

#include <cstdint>

namespace lzhpack {

// Fills lengths[0..count) with code lengths of at most maxLength bits that
// minimise the sum of freq x length, count up to 512. Symbols of frequency 0
// get length 0. Returns the number of symbols used; when it is below 2 every
// length is 0 and the caller sends the code in its single-value form, since
// a one-symbol code would not fill the code space.
int BuildCodeLengths(const uint32_t* freq, int count, int maxLength, uint8_t* lengths);

// Canonical codes for the lengths: shorter codes first, equal lengths in
// symbol order, each code the previous one plus one.
void BuildCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes);

}  // namespace lzhpack
