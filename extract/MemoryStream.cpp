#include "MemoryStream.h"

#include <cstring>

#include "Platform.h"

// The position is kept in integer arithmetic: a target outside the data is
// legal here, and pointer arithmetic outside the block would not be.
static const std::uint8_t* Offset(const std::uint8_t* base, std::int64_t offset)
{
    return reinterpret_cast<const std::uint8_t*>(reinterpret_cast<std::uintptr_t>(base) +
                                                 static_cast<std::uintptr_t>(offset));
}

void MemoryStream::Seek(std::int32_t offset, int origin)
{
    switch (origin) {
    case kSeekStart:
        current = Offset(start, offset);
        available = static_cast<std::int32_t>(size - static_cast<std::uint32_t>(offset));
        break;
    case kSeekCurrent:
        current = Offset(current, offset);
        available =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(available) - static_cast<std::uint32_t>(offset));
        break;
    case kSeekEnd:
        current = Offset(start, static_cast<std::int64_t>(size) + offset);
        available = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(offset));
        break;
    default: break;
    }
}

std::int32_t MemoryStream::Read(std::uint8_t* buffer, std::int32_t count)
{
    if (count <= 0)
        return count;
    if (HasByte() && available >= count) {
        std::memcpy(buffer, current, static_cast<std::size_t>(count));
        current += count;
        available -= count;
        return count;
    }
    for (std::int32_t i = 0; i < count; ++i)
        buffer[i] = ReadByte();
    return count;
}

void* MemoryStream::operator new(std::size_t bytes, const std::nothrow_t&) noexcept
{
    return GlobalAlloc(GMEM_FIXED, bytes);
}

void MemoryStream::operator delete(void* block) noexcept { GlobalFree(block); }

void MemoryStream::operator delete(void* block, const std::nothrow_t&) noexcept { GlobalFree(block); }
