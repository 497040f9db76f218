// The payload as a byte source. A read where no byte is left yields 0 and
// sets the sticky error; callers look at it at points of their choosing.
#pragma once

#include <cstdint>
#include <new>

constexpr std::int32_t kStreamDry = 10;  // `error` once a read found no byte

enum SeekOrigin : int { kSeekStart = 0, kSeekCurrent = 1, kSeekEnd = 2 };

class MemoryStream final {
public:
    MemoryStream(const std::uint8_t* data, std::uint32_t length)
        : available(static_cast<std::int32_t>(length)), size(length), error(0), current(data), start(data)
    {}

    // The only virtual operation. The target is not checked: reads outside
    // the data fail as at its end.
    virtual void Seek(std::int32_t offset, int origin);

    std::int32_t Read(std::uint8_t* buffer, std::int32_t count);

    // Whether the next ReadByte finds a byte: the position lies in [0, size).
    bool HasByte() const { return available > 0 && static_cast<std::uint32_t>(available) <= size; }

    std::uint8_t ReadByte()
    {
        if (!HasByte()) {
            error = kStreamDry;
            return 0;
        }
        available -= 1;
        return *current++;
    }

    std::uint16_t ReadUInt16()
    {
        if (available >= 2 && static_cast<std::uint32_t>(available) <= size) {
            std::uint16_t value = static_cast<std::uint16_t>(current[0] | (current[1] << 8));
            current += 2;
            available -= 2;
            return value;
        }
        std::uint16_t low = ReadByte();
        return static_cast<std::uint16_t>(low | (ReadByte() << 8));
    }

    std::uint32_t ReadUInt32()
    {
        std::uint32_t low = ReadUInt16();
        return low | (static_cast<std::uint32_t>(ReadUInt16()) << 16);
    }

    std::int32_t Position() const
    {
        return static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(current) -
                                         reinterpret_cast<std::uintptr_t>(start));
    }

    // The driver keeps its stream on the heap; these route that allocation
    // through GlobalAlloc like the engine's other blocks, and make a failed
    // allocation a null result rather than an exception.
    static void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept;
    static void operator delete(void* block) noexcept;
    static void operator delete(void* block, const std::nothrow_t&) noexcept;

    std::int32_t available;  // size minus the position; negative past the end
    std::uint32_t size;
    std::int32_t error;           // 0, or kStreamDry from the first failed read on
    const std::uint8_t* current;  // the next byte to be read
    const std::uint8_t* start;    // position 0
};
