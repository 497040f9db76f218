// Bit sinks for the -lh5- stream: fields go out most significant bit first,
// bytes in order. BitCounter has the same interface and only adds up the
// widths, so that one template writes a block header and also prices it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lzhpack {

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

    // Makes room for `bytes` more bytes, so that Put never reallocates.
    void Reserve(size_t bytes)
    {
        if (out_.size() < used_ + bytes + 8)
            out_.resize(used_ + bytes + 8 + out_.size() / 2);
    }

    // n from 0 to 32; the low n bits of value are written.
    void Put(int n, uint32_t value)
    {
        acc_ = (acc_ << n) | (value & ((uint64_t(1) << n) - 1));
        bits_ += n;
        if (bits_ >= 32) {
            bits_ -= 32;
            uint32_t word = uint32_t(acc_ >> bits_);
            uint8_t* p = out_.data() + used_;
            p[0] = uint8_t(word >> 24);
            p[1] = uint8_t(word >> 16);
            p[2] = uint8_t(word >> 8);
            p[3] = uint8_t(word);
            used_ += 4;
        }
    }

    // Pads the last byte with zero bits and trims the vector to the data.
    // Returns the number of bits used in the last byte, 0 when it is full.
    int Finish()
    {
        int tail = bits_ & 7;
        Reserve(8);
        while (bits_ >= 8) {
            bits_ -= 8;
            out_[used_++] = uint8_t(acc_ >> bits_);
        }
        if (bits_ > 0)
            out_[used_++] = uint8_t(acc_ << (8 - bits_));
        bits_ = 0;
        acc_ = 0;
        out_.resize(used_);
        return tail;
    }

private:
    std::vector<uint8_t>& out_;
    size_t used_ = 0;
    uint64_t acc_ = 0;
    int bits_ = 0;
};

class BitCounter {
public:
    void Put(int n, uint32_t) { bits += uint64_t(n); }
    uint64_t bits = 0;
};

}  // namespace lzhpack
