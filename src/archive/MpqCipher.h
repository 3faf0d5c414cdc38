#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The MPQ format's cipher: one table drives name hashing and the encryption of the archive's
// tables. Whoever reads or writes MPQ tables without the archive library uses it.
namespace vornak::mpq {

enum class HashKind : std::uint32_t { TableOffset = 0, NameA = 1, NameB = 2, FileKey = 3 };

// Names hash without regard to case, with '/' taken as '\'.
std::uint32_t HashName(std::string_view name, HashKind kind);

// Both work in place on little-endian 32-bit words; a trailing partial word is left alone.
void EncryptTable(std::span<std::uint8_t> bytes, std::uint32_t key);
void DecryptTable(std::span<std::uint8_t> bytes, std::uint32_t key);

} // namespace vornak::mpq
