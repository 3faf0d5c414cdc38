#include "install/MapInfoRecord.h"

#include "base/FileOps.h"
#include "install/InstallError.h"
#include "base/LittleEndian.h"

#include <algorithm>
#include <string_view>

namespace vornak {

namespace {

constexpr std::size_t kTextsOffsetBeforeGameVersion = 12;
constexpr std::size_t kTextsOffsetWithGameVersion = 28;

constexpr std::array<std::string_view, 4> kTextNames = {"map name", "author", "description",
                                                        "recommended players"};

[[noreturn]] void Unusable(const std::filesystem::path& source, const std::string& why)
{
    throw InstallError("The map info file '" + fileops::Display(source) + "' cannot be used: " + why + ".");
}

} // namespace

MapInfoRecord MapInfoRecord::Parse(std::span<const std::uint8_t> bytes, const std::filesystem::path& source)
{
    const std::string size = std::to_string(bytes.size());
    if (bytes.size() < 4)
        Unusable(source, "it holds only " + size + " bytes, too few even for its format number");

    MapInfoRecord record;
    record.formatVersion = le::ReadInt32(bytes, 0);
    if (record.formatVersion < kOldestFormat)
        Unusable(source, "its format " + std::to_string(record.formatVersion) +
                             " is older than the oldest format the installer knows (" +
                             std::to_string(kOldestFormat) + ")");

    const bool hasGameVersion = record.formatVersion >= kFirstFormatWithGameVersion;
    std::size_t at = hasGameVersion ? kTextsOffsetWithGameVersion : kTextsOffsetBeforeGameVersion;
    if (bytes.size() < at)
        Unusable(source, "it ends after " + size + " bytes, inside its header");
    record.saveCount = le::ReadInt32(bytes, 4);
    record.editorVersion = le::ReadInt32(bytes, 8);
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
