#include "install/MapInfoRecord.h"

#include "base/FileOps.h"
#include "install/InstallError.h"
#include "base/LittleEndian.h"

#include <algorithm>
#include <string_view>

namespace vornak {

namespace {

constexpr std::size_t kTextsOffsetBeforeEditorVersion = 4;
constexpr std::size_t kTextsOffsetBeforeGameVersion = 12;
constexpr std::size_t kTextsOffsetWithGameVersion = 28;

constexpr std::array<std::string_view, 4> kTextNames = {"map name", "author", "description",
                                                        "recommended players"};

struct Source {
    const std::filesystem::path& file;
    const std::string& map;
};

// A map's info that cannot be read is the map's fault, so the map is named and the user told
// what to do; the installer's own template is named as the file it is.
[[noreturn]] void Unusable(const Source& source, const std::string& why)
{
    if (source.map.empty())
        throw InstallError("The map info file '" + fileops::Display(source.file) + "' cannot be used: " + why + ".");
    throw InstallError("The map info of the map '" + source.map + "' cannot be used: " + why +
                       ". The map may be damaged: open it in the map editor, save it again and retry the install.");
}

} // namespace

MapInfoRecord MapInfoRecord::Parse(std::span<const std::uint8_t> bytes, const std::filesystem::path& file,
                                   const std::string& ofMap)
{
    const Source source{file, ofMap};
    const std::string size = std::to_string(bytes.size());
    if (bytes.size() < 4)
        Unusable(source, "it holds only " + size + " bytes, too few even for its format number");

    MapInfoRecord record;
    record.formatVersion = le::ReadInt32(bytes, 0);
    if (record.formatVersion < kOldestFormat) {
        const std::string format = std::to_string(record.formatVersion);
        if (!ofMap.empty())
            throw InstallError("The map '" + ofMap + "' was saved by a map editor too old for the VQ MOD (its map info "
                               "has format " + format + ", older than the format " + std::to_string(kOldestFormat) +
                               " the VQ MOD needs). Open the map in a newer "
                               "map editor, save it, and install the VQ MOD into the saved map.");
        Unusable(source, "its format " + format + " is older than the oldest format the installer knows (" +
                             std::to_string(kOldestFormat) + ")");
    }

    const bool hasEditorVersion = record.formatVersion >= kFirstFormatWithEditorVersion;
    const bool hasGameVersion = record.formatVersion >= kFirstFormatWithGameVersion;
    std::size_t at = hasGameVersion ? kTextsOffsetWithGameVersion
        : hasEditorVersion          ? kTextsOffsetBeforeGameVersion
                                    : kTextsOffsetBeforeEditorVersion;
    if (bytes.size() < at)
        Unusable(source, "it ends after " + size + " bytes, inside its header");
    if (hasEditorVersion) {
        record.saveCount = le::ReadInt32(bytes, 4);
        record.editorVersion = le::ReadInt32(bytes, 8);
    }
    if (hasGameVersion) {
        std::array<std::int32_t, 4> version{};
        for (std::size_t i = 0; i < version.size(); ++i)
            version[i] = le::ReadInt32(bytes, 12 + 4 * i);
        record.gameVersion = version;
    }

    record.offsets.texts = at;
    for (std::size_t i = 0; i < record.texts.size(); ++i) {
        const auto rest = bytes.subspan(at);
        const auto nul = std::find(rest.begin(), rest.end(), std::uint8_t{0});
        if (nul == rest.end())
            Unusable(source, "its " + std::string(kTextNames[i]) + " text has no terminating zero byte before the end of the file");
        record.texts[i].assign(rest.begin(), nul);
        at += record.texts[i].size() + 1;
    }

    auto& o = record.offsets;
    o.cameraBounds = at;
    o.cameraComplements = o.cameraBounds + 8 * 4;
    o.playableWidth = o.cameraComplements + 4 * 4;
    o.playableHeight = o.playableWidth + 4;
    o.flags = o.playableHeight + 4;
    o.tileset = o.flags + 4;
    o.end = o.tileset + 1;
    if (bytes.size() < o.end)
        Unusable(source, "it ends after " + size + " bytes, before its camera bounds, playable size and tileset, "
                         "which need " + std::to_string(o.end) + " bytes");

    for (std::size_t i = 0; i < record.cameraBounds.size(); ++i)
        record.cameraBounds[i] = le::ReadFloat32(bytes, o.cameraBounds + 4 * i);
    for (std::size_t i = 0; i < record.cameraComplements.size(); ++i)
        record.cameraComplements[i] = le::ReadInt32(bytes, o.cameraComplements + 4 * i);
    record.playableWidth = le::ReadInt32(bytes, o.playableWidth);
    record.playableHeight = le::ReadInt32(bytes, o.playableHeight);
    record.flags = le::ReadInt32(bytes, o.flags);
    record.tileset = le::ReadByte(bytes, o.tileset);
    return record;
}

void MapInfoRecord::StoreTransferredFields(std::span<std::uint8_t> bytes) const
{
    for (std::size_t i = 0; i < cameraBounds.size(); ++i)
        le::WriteFloat32(bytes, offsets.cameraBounds + 4 * i, cameraBounds[i]);
    for (std::size_t i = 0; i < cameraComplements.size(); ++i)
        le::WriteInt32(bytes, offsets.cameraComplements + 4 * i, cameraComplements[i]);
    le::WriteInt32(bytes, offsets.playableWidth, playableWidth);
    le::WriteInt32(bytes, offsets.playableHeight, playableHeight);
    le::WriteByte(bytes, offsets.tileset, tileset);
}

} // namespace vornak
