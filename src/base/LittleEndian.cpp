#include "base/LittleEndian.h"

#include <bit>
#include <limits>
#include <stdexcept>
#include <string>

namespace vornak::le {

// The files hold IEEE 754 single floats; a host with another float format cannot read them.
static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4);

namespace {

void CheckRange(std::size_t size, std::size_t offset, std::size_t width)
{
    // Written so that a huge offset cannot wrap around.
    if (offset > size || size - offset < width)
        throw std::out_of_range("access of " + std::to_string(width) + " bytes at offset " +
                                std::to_string(offset) + " in a buffer of " + std::to_string(size) +
                                " bytes");
}

} // namespace

std::uint16_t ReadUint16(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    CheckRange(bytes.size(), offset, 2);
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t ReadUint32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    CheckRange(bytes.size(), offset, 4);
    return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
        static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

void WriteUint16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value)
{
    CheckRange(bytes.size(), offset, 2);
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteUint32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value)
{
    CheckRange(bytes.size(), offset, 4);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint8_t ReadByte(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    CheckRange(bytes.size(), offset, 1);
    return bytes[offset];
}

std::int32_t ReadInt32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::int32_t>(ReadUint32(bytes, offset));
}

float ReadFloat32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return std::bit_cast<float>(ReadUint32(bytes, offset));
}

void WriteByte(std::span<std::uint8_t> bytes, std::size_t offset, std::uint8_t value)
{
    CheckRange(bytes.size(), offset, 1);
    bytes[offset] = value;
}

void WriteInt32(std::span<std::uint8_t> bytes, std::size_t offset, std::int32_t value)
{
    WriteUint32(bytes, offset, static_cast<std::uint32_t>(value));
}

void WriteFloat32(std::span<std::uint8_t> bytes, std::size_t offset, float value)
{
    WriteUint32(bytes, offset, std::bit_cast<std::uint32_t>(value));
}

} // namespace vornak::le
