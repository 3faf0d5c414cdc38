#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Binary fields of the game's files are little-endian whatever the host is, so they are
// put together byte by byte. Every access is checked against the buffer: an access that
// does not fit throws std::out_of_range instead of touching memory beyond it.
namespace vornak::le {

std::uint8_t ReadByte(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint16_t ReadUint16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t ReadUint32(std::span<const std::uint8_t> bytes, std::size_t offset);
std::int32_t ReadInt32(std::span<const std::uint8_t> bytes, std::size_t offset);
float ReadFloat32(std::span<const std::uint8_t> bytes, std::size_t offset);

void WriteByte(std::span<std::uint8_t> bytes, std::size_t offset, std::uint8_t value);
void WriteUint16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value);
void WriteUint32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);
void WriteInt32(std::span<std::uint8_t> bytes, std::size_t offset, std::int32_t value);
void WriteFloat32(std::span<std::uint8_t> bytes, std::size_t offset, float value);

} // namespace vornak::le
