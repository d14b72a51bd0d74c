#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvel::device {

// Reads little-endian fields from a byte range it never leaves: a read that
// would pass the end fails and leaves the cursor where it was.
class ByteReader
{
public:
    ByteReader(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    std::size_t remaining() const { return size_ - offset_; }

    bool skip(std::size_t count)
    {
        if (count > remaining())
            return false;
        offset_ += count;
        return true;
    }

    bool u8(std::uint8_t& out)
    {
        if (remaining() < 1)
            return false;
        out = bytes_[offset_++];
        return true;
    }

    bool i8(std::int8_t& out)
    {
        std::uint8_t raw;
        if (!u8(raw))
            return false;
        out = static_cast<std::int8_t>(raw);
        return true;
    }

    bool u16(std::uint16_t& out)
    {
        if (remaining() < 2)
            return false;
        out = static_cast<std::uint16_t>(bytes_[offset_] | bytes_[offset_ + 1] << 8);
        offset_ += 2;
        return true;
    }

    bool u32(std::uint32_t& out)
    {
        if (remaining() < 4)
            return false;
        out = static_cast<std::uint32_t>(bytes_[offset_]) | static_cast<std::uint32_t>(bytes_[offset_ + 1]) << 8
            | static_cast<std::uint32_t>(bytes_[offset_ + 2]) << 16 | static_cast<std::uint32_t>(bytes_[offset_ + 3]) << 24;
        offset_ += 4;
        return true;
    }

    bool i32(std::int32_t& out)
    {
        std::uint32_t raw;
        if (!u32(raw))
            return false;
        out = static_cast<std::int32_t>(raw);
        return true;
    }

    bool f32(float& out)
    {
        std::uint32_t raw;
        if (!u32(raw))
            return false;
        std::memcpy(&out, &raw, sizeof out);
        return true;
    }

private:
    const unsigned char* bytes_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

// Stores little-endian fields at fixed places of a buffer the caller sized.
inline void storeU16(unsigned char* out, std::uint16_t value)
{
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
}

inline void storeU32(unsigned char* out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline void storeF32(unsigned char* out, float value)
{
    std::uint32_t raw;
    std::memcpy(&raw, &value, sizeof raw);
    storeU32(out, raw);
}

} // namespace orvel::device
