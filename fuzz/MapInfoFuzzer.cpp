// The map info reader on any bytes: the record parser, and the whole transfer through files.
// Properties: no crash; every failure is an InstallError; storing the fields moves nothing
// else; what WriteTemplateInfo writes, TakeMapInfo reads back unchanged.

#include "FuzzFiles.h"
#include "install/InstallError.h"
#include "install/MapInfoRecord.h"
#include "install/MapInfoTransfer.h"

#include <cstring>
#include <vector>

namespace {

class QuietWarner : public vornak::TilesetWarner {
public:
    void WarnTilesetProblem() override {}
};

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckRecordRoundTrip(const std::vector<std::uint8_t>& input)
{
    vornak::MapInfoRecord record;
    try {
        record = vornak::MapInfoRecord::Parse(input, "fuzz.w3i");
    } catch (const vornak::InstallError&) {
        return;
    }
    if (record.offsets.end > input.size())
        vornak::fuzz::Broken("a parsed field lies past the end");

    // Storing what was read changes no byte.
    auto same = input;
    record.StoreTransferredFields(same);
    if (same != input)
        vornak::fuzz::Broken("storing the fields as read changed the bytes");

    // Storing other values changes only the fields' bytes, and they read back.
    auto changed = record;
    for (auto& bound : changed.cameraBounds)
        bound = -bound + 1.5f;
    changed.playableWidth ^= 0x5a5a5a5a;
    changed.tileset = static_cast<std::uint8_t>(changed.tileset + 1);
    auto bytes = input;
    changed.StoreTransferredFields(bytes);
    const auto again = vornak::MapInfoRecord::Parse(bytes, "fuzz.w3i");
    if (!(again.offsets == record.offsets) || again.texts != record.texts || again.tileset != changed.tileset ||
        again.playableWidth != changed.playableWidth)
        vornak::fuzz::Broken("stored fields do not read back");
    for (std::size_t i = 0; i < 8; ++i)
        if (!SameBits(again.cameraBounds[i], changed.cameraBounds[i]))
            vornak::fuzz::Broken("a stored camera bound does not read back");
    if (std::memcmp(bytes.data(), input.data(), record.offsets.texts) != 0 ||
        !std::equal(bytes.begin() + static_cast<long>(record.offsets.end), bytes.end(),
                    input.begin() + static_cast<long>(record.offsets.end)))
        vornak::fuzz::Broken("storing the fields changed bytes outside them");
}

void CheckTransfer(const std::uint8_t* data, std::size_t size)
{
    const auto mapInfo = vornak::fuzz::WriteScratch("map.w3i", data, size);
    const auto templateInfo = vornak::fuzz::WriteScratch("template.w3i", data, size);
    QuietWarner warner;
    try {
        const auto kept = vornak::TakeMapInfo(mapInfo, warner);
        vornak::WriteTemplateInfo(templateInfo, kept);
        if (!(vornak::TakeMapInfo(templateInfo, warner) == kept))
            vornak::fuzz::Broken("the template does not give back the values written into it");
    } catch (const vornak::InstallError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckRecordRoundTrip(std::vector<std::uint8_t>(data, data + size));
    CheckTransfer(data, size);
    return 0;
}
