#include "install/MapInfoTransfer.h"

#include "base/FileOps.h"
#include "install/InstallError.h"
#include "install/MapInfoRecord.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <vector>

namespace vornak {

namespace {

// Map info files are a few kilobytes, so the whole file is read and written in one piece.
std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path)
{
    auto in = fileops::OpenForReading(path);
    std::vector<std::uint8_t> bytes;
    char buffer[4096];
    for (;;) {
        in.read(buffer, sizeof buffer);
        const auto got = in.gcount();
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (!in)
            break;
    }
    fileops::CheckRead(in, path);
    return bytes;
}

struct Source {
    const std::filesystem::path& file;
    const std::string& map;
};

[[noreturn]] void NoWholeNumber(const Source& source, std::size_t index, const std::string& why)
{
    const std::string bound = "The camera bound " + std::to_string(index + 1);
    if (source.map.empty())
        throw InstallError(bound + " of the map info file '" + fileops::Display(source.file) + "' " + why +
                           ", so it cannot be taken as a 32-bit whole number.");
    throw InstallError(bound + " of the map '" + source.map + "' " + why +
                       ", so it cannot be taken as a 32-bit whole number. Set the map's camera bounds again in the "
                       "map editor, save the map and retry the install.");
}

// Nearest whole number, a value exactly halfway going to the even neighbour. Done by hand
// rather than through the floating-point environment, whose rounding mode is global state.
std::int32_t RoundHalfToEven(float bound, const Source& source, std::size_t index)
{
    if (std::isnan(bound))
        NoWholeNumber(source, index, "is not a number");
    if (std::isinf(bound))
        NoWholeNumber(source, index, bound > 0 ? "is plus infinity" : "is minus infinity");

    // A float converts to double exactly, and so does its distance to its floor.
    const double value = bound;
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        rounded = below + 1.0;

    if (rounded < std::numeric_limits<std::int32_t>::min() || rounded > std::numeric_limits<std::int32_t>::max()) {
        std::ostringstream text;
        text << "is " << value << ", outside the range of a 32-bit whole number";
        NoWholeNumber(source, index, text.str());
    }
    return static_cast<std::int32_t>(rounded);
}

} // namespace

KeptMapInfo TakeMapInfo(const std::filesystem::path& mapInfo, TilesetWarner& warner, const std::string& ofMap)
{
    const auto bytes = ReadWholeFile(mapInfo);
    const auto record = MapInfoRecord::Parse(bytes, mapInfo, ofMap);

    KeptMapInfo kept;
    for (std::size_t i = 0; i < kept.cameraBounds.size(); ++i)
        kept.cameraBounds[i] = RoundHalfToEven(record.cameraBounds[i], {mapInfo, ofMap}, i);
    kept.cameraComplements = record.cameraComplements;
    kept.playableWidth = record.playableWidth;
    kept.playableHeight = record.playableHeight;

    // Exact comparison: a lower-case letter is not a tileset the game knows.
    const char letter = static_cast<char>(record.tileset);
    if (std::find(KnownTilesets.begin(), KnownTilesets.end(), letter) != KnownTilesets.end()) {
        kept.tileset = letter;
    } else {
        warner.WarnTilesetProblem();
        kept.tileset = kFallbackTileset;
    }
    return kept;
}

void WriteTemplateInfo(const std::filesystem::path& templateInfo, const KeptMapInfo& kept)
{
    auto bytes = ReadWholeFile(templateInfo);
    auto record = MapInfoRecord::Parse(bytes, templateInfo);

    for (std::size_t i = 0; i < kept.cameraBounds.size(); ++i)
        record.cameraBounds[i] = static_cast<float>(kept.cameraBounds[i]);
    record.cameraComplements = kept.cameraComplements;
    record.playableWidth = kept.playableWidth;
    record.playableHeight = kept.playableHeight;
    record.tileset = static_cast<std::uint8_t>(kept.tileset);
    record.StoreTransferredFields(bytes);

    auto temp = templateInfo;
    temp += ".tmp";
    fileops::ReplaceAtomically(templateInfo, temp, [&](std::ofstream& out) {
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    });
}

} // namespace vornak
