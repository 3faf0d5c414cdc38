#include "W3iBuilder.h"

#include <bit>

namespace vornak::test {

namespace {

// Byte by byte on purpose: the tests must not share the product's little-endian helpers.
void PutUint32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutInt32(std::vector<std::uint8_t>& out, std::int32_t value)
{
    PutUint32(out, static_cast<std::uint32_t>(value));
}

} // namespace

std::vector<std::uint8_t> W3iBuilder::Build() const
{
    std::vector<std::uint8_t> out;
    PutInt32(out, format);
    // The early editors' formats (below 18) have no save count and editor version.
    if (format >= 18) {
        PutInt32(out, saveCount);
        PutInt32(out, editorVersion);
    }
    if (format >= 27)
        for (const auto part : gameVersion)
            PutInt32(out, part);
    for (const auto& text : texts) {
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
    }
    for (const float bound : cameraBounds)
        PutUint32(out, std::bit_cast<std::uint32_t>(bound));
    for (const auto complement : cameraComplements)
        PutInt32(out, complement);
    PutInt32(out, playableWidth);
    PutInt32(out, playableHeight);
    PutInt32(out, flags);
    out.push_back(tileset);
    out.insert(out.end(), trailing.begin(), trailing.end());
    return out;
}

} // namespace vornak::test
