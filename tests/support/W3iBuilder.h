#pragma once

#include "TestFiles.h"

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace vornak::test {

// The tests' one writer of war3map.w3i bytes: set the fields (W3iBuilder{.tileset = 'A'}),
// call Build(). Formats 27 and later get the game version block before the texts. Everything
// after the tileset byte of a real file (player, force and upgrade tables...) is stood in for
// by `trailing`.
struct W3iBuilder {
    std::int32_t format = 25;
    std::int32_t saveCount = 7;        // written for format >= 18 only
    std::int32_t editorVersion = 6052; // written for format >= 18 only
    std::array<std::int32_t, 4> gameVersion = {1, 31, 1, 12164}; // written for format >= 27 only
    // Name, author, description, recommended players; each is followed by a zero byte.
    std::array<std::string, 4> texts = {"TRIGSTR_001", "TRIGSTR_004", "TRIGSTR_003", "TRIGSTR_002"};
    std::array<float, 8> cameraBounds = {-2816.0f, -3328.0f, 2816.0f, 2816.0f,
                                         -2816.0f, 2816.0f, 2816.0f, -3328.0f};
    std::array<std::int32_t, 4> cameraComplements = {6, 6, 4, 8};
    std::int32_t playableWidth = 52;
    std::int32_t playableHeight = 52;
    std::int32_t flags = 0x9c14;
    std::uint8_t tileset = 'L';
    std::vector<std::uint8_t> trailing = Bytes({"\0\0\0\0\xff\xff\xff\xffTRIGSTR_005\0\x7f\x80", 22});

    std::vector<std::uint8_t> Build() const
    {
        std::vector<std::uint8_t> out;
        // Byte by byte on purpose: the tests must not share the product's little-endian helpers.
        const auto put = [&out](auto value) {
            for (int shift = 0; shift < 32; shift += 8)
                out.push_back(static_cast<std::uint8_t>(std::bit_cast<std::uint32_t>(value) >> shift));
        };
        put(format);
        if (format >= 18) { // the early editors' formats have no save count and editor version
            put(saveCount);
            put(editorVersion);
        }
        if (format >= 27)
            for (const auto part : gameVersion)
                put(part);
        for (const auto& text : texts)
            out.insert(out.end(), text.c_str(), text.c_str() + text.size() + 1);
        for (const float bound : cameraBounds)
            put(bound);
        for (const auto complement : cameraComplements)
            put(complement);
        for (const auto field : {playableWidth, playableHeight, flags})
            put(field);
        out.push_back(tileset);
        out.insert(out.end(), trailing.begin(), trailing.end());
        return out;
    }
};

// The modification's own war3map.w3i template, as shipped in Data/ (a valid format 18 file).
inline std::vector<std::uint8_t> TemplateInfo()
{
    return ReadBytes(SourceDir() / "Data" / "war3map.w3i");
}

} // namespace vornak::test
