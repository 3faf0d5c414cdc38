#include "archive/MpqCipher.h"

#include "base/AsciiCase.h"
#include "base/LittleEndian.h"

#include <array>

namespace vornak::mpq {

namespace {

const std::array<std::uint32_t, 0x500>& CryptTable()
{
    static const std::array<std::uint32_t, 0x500> table = [] {
        std::array<std::uint32_t, 0x500> values{};
        std::uint32_t seed = 0x00100001;
        for (std::uint32_t index = 0; index < 0x100; ++index) {
            for (std::uint32_t row = 0; row < 5; ++row) {
                seed = (seed * 125 + 3) % 0x2AAAAB;
                const std::uint32_t high = (seed & 0xFFFF) << 16;
                seed = (seed * 125 + 3) % 0x2AAAAB;
                values[index + row * 0x100] = high | (seed & 0xFFFF);
            }
        }
        return values;
    }();
    return table;
}

// Each word's key stream depends on the plain word before it, in either direction.
template <bool Encrypting>
void Run(std::span<std::uint8_t> bytes, std::uint32_t key)
{
    std::uint32_t seed = 0xEEEEEEEE;
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
        seed += CryptTable()[0x400 + (key & 0xFF)];
        const std::uint32_t word = le::ReadUint32(bytes, at);
        const std::uint32_t changed = word ^ (key + seed);
        const std::uint32_t plain = Encrypting ? word : changed;
        le::WriteUint32(bytes, at, changed);
        key = ((~key << 0x15) + 0x11111111) | (key >> 0x0B);
        seed = plain + seed + (seed << 5) + 3;
    }
}

} // namespace

std::uint32_t HashName(std::string_view name, HashKind kind)
{
    const auto row = static_cast<std::uint32_t>(kind);
    std::uint32_t seed1 = 0x7FED7FED;
    std::uint32_t seed2 = 0xEEEEEEEE;
    for (const char c : name) {
        auto ch = static_cast<std::uint8_t>(ToUpperAscii(c));
        if (ch == '/')
            ch = '\\';
        seed1 = CryptTable()[row * 0x100 + ch] ^ (seed1 + seed2);
        seed2 = ch + seed1 + seed2 + (seed2 << 5) + 3;
    }
    return seed1;
}

void EncryptTable(std::span<std::uint8_t> bytes, std::uint32_t key)
{
    Run<true>(bytes, key);
}

void DecryptTable(std::span<std::uint8_t> bytes, std::uint32_t key)
{
    Run<false>(bytes, key);
}

} // namespace vornak::mpq
