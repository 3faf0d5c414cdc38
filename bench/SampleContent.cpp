#include "SampleContent.h"

#include <array>
#include <bit>
#include <cstring>
#include <string_view>

namespace vornak::bench {

namespace {

void AppendLe32(Bytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendInt(Bytes& out, std::int32_t value)
{
    AppendLe32(out, static_cast<std::uint32_t>(value));
}

void AppendFloat(Bytes& out, float value)
{
    AppendLe32(out, std::bit_cast<std::uint32_t>(value));
}

void AppendText(Bytes& out, std::string_view text)
{
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

constexpr std::array<std::string_view, 12> kNatives = {
    "SetUnitState", "IssuePointOrder", "DisplayTextToForce", "SetUnitOwner", "TriggerRegisterTimerEvent",
    "GroupEnumUnitsInRange", "SetPlayerState", "CreateItem", "AddSpecialEffect", "PlaySoundBJ",
    "SetUnitAnimation", "UnitAddAbility"};
constexpr std::array<std::string_view, 8> kUnitIds = {"hfoo", "hkni", "hrif", "hpea", "ogru", "uaco", "ewsp", "h00A"};

std::string Number(Rng& rng, int range)
{
    std::uniform_int_distribution<int> whole(-range, range);
    std::uniform_int_distribution<int> tenth(0, 9);
    return std::to_string(whole(rng)) + "." + std::to_string(tenth(rng));
}

// One trigger function as the editor writes them, a dozen lines or so.
void AppendFunction(std::string& out, int index, Rng& rng)
{
    std::uniform_int_distribution<int> pick(0, 11);
    std::uniform_int_distribution<int> player(0, 11);
    std::uniform_int_distribution<int> lines(4, 12);
    const std::string name = "Trig_Event_" + std::to_string(index);
    out += "function " + name + "_Actions takes nothing returns nothing\r\n";
    out += "    local unit u = CreateUnit(Player(" + std::to_string(player(rng)) + "), '" +
        std::string(kUnitIds[static_cast<std::size_t>(pick(rng)) % kUnitIds.size()]) + "', " + Number(rng, 6000) +
        ", " + Number(rng, 6000) + ", 270.0)\r\n";
    for (int n = lines(rng); n > 0; --n) {
        out += "    call ";
        out += kNatives[static_cast<std::size_t>(pick(rng))];
        out += "(u, " + Number(rng, 500) + ", udg_value[" + std::to_string(player(rng)) + "])\r\n";
    }
    out += "    if ( GetUnitTypeId(u) == 'hfoo' ) then\r\n";
    out += "        call DisplayTextToForce(GetPlayersAll(), \"TRIGSTR_" + std::to_string(index) + "\")\r\n";
    out += "    endif\r\n";
    out += "    set u = null\r\n";
    out += "endfunction\r\n\r\n";
}

} // namespace

std::string SampleCameraLine()
{
    return "    call SetCameraBounds(-3328.0 + GetCameraMargin(CAMERA_MARGIN_LEFT), -3584.0 + "
           "GetCameraMargin(CAMERA_MARGIN_BOTTOM), 3328.0 - GetCameraMargin(CAMERA_MARGIN_RIGHT), 3072.0 - "
           "GetCameraMargin(CAMERA_MARGIN_TOP), -3328.0 + GetCameraMargin(CAMERA_MARGIN_LEFT), 3072.0 - "
           "GetCameraMargin(CAMERA_MARGIN_TOP), 3328.0 - GetCameraMargin(CAMERA_MARGIN_RIGHT), -3584.0 + "
           "GetCameraMargin(CAMERA_MARGIN_BOTTOM))";
}

std::string MakeScript(std::size_t bytes, Rng& rng, int cameraLinesOutsideMain)
{
    std::string tail = "function main takes nothing returns nothing\r\n" + SampleCameraLine() + "\r\n" +
        "    call SetDayNightModels(\"Environment\\\\DNC\\\\DNCLordaeron\\\\DNCLordaeronTerrain.mdl\", "
        "\"Environment\\\\DNC\\\\DNCLordaeron\\\\DNCLordaeronUnit.mdl\")\r\n"
        "    call NewSoundEnvironment(\"Default\")\r\n"
        "    call InitBlizzard()\r\n"
        "    call InitGlobals()\r\n"
        "endfunction\r\n\r\n"
        "function config takes nothing returns nothing\r\n"
        "    call SetMapName(\"TRIGSTR_001\")\r\n"
        "    call SetMapDescription(\"TRIGSTR_003\")\r\n"
        "    call SetPlayers(4)\r\n"
        "    call SetTeams(4)\r\n"
        "    call DefineStartLocation(0, 0.0, 0.0)\r\n"
        "endfunction\r\n";

    std::string out;
    out.reserve(bytes + 4096);
    out += "//===========================================================================\r\n"
           "// Generated map script\r\n"
           "//===========================================================================\r\n"
           "globals\r\n";
    for (int i = 0; i < 64; ++i)
        out += "    real array udg_value_" + std::to_string(i) + "\r\n";
    out += "endglobals\r\n\r\n";

    // Spread the extra camera lines evenly over the functions.
    const std::size_t body = bytes > out.size() + tail.size() ? bytes - out.size() - tail.size() : 0;
    const std::size_t every = cameraLinesOutsideMain > 0 ? body / static_cast<std::size_t>(cameraLinesOutsideMain + 1) : 0;
    std::size_t nextCamera = every;
    int index = 0;
    while (out.size() + tail.size() < bytes) {
        AppendFunction(out, index++, rng);
        if (every > 0 && out.size() >= nextCamera && cameraLinesOutsideMain-- > 0) {
            out += "function CameraSetup_" + std::to_string(index) + " takes nothing returns nothing\r\n";
            out += SampleCameraLine() + "\r\nendfunction\r\n\r\n";
            nextCamera += every;
        }
    }
    out += tail;
    return out;
}

Bytes MakeMapInfo(char tileset, float halfWidth, float halfHeight)
{
    Bytes out;
    AppendInt(out, 18);   // format
    AppendInt(out, 7);    // saves
    AppendInt(out, 6052); // editor version
    for (const char* text : {"TRIGSTR_001", "TRIGSTR_002", "TRIGSTR_003", "TRIGSTR_004"})
        AppendText(out, text);
    const float left = -halfWidth;
    const float bottom = -halfHeight;
    for (float bound : {left, bottom, halfWidth, halfHeight, left, halfHeight, halfWidth, bottom})
        AppendFloat(out, bound);
    for (std::int32_t complement : {6, 6, 4, 8})
        AppendInt(out, complement);
    AppendInt(out, static_cast<std::int32_t>(halfWidth / 64.0f));  // playable width
    AppendInt(out, static_cast<std::int32_t>(halfHeight / 64.0f)); // playable height
    AppendInt(out, 0x0400);                                        // flags
    out.push_back(static_cast<std::uint8_t>(tileset));
    // Loading screen, prologue texts, one player and one force of a free-for-all game.
    AppendInt(out, -1);
    for (int i = 0; i < 3; ++i)
        AppendText(out, "");
    AppendInt(out, 0);
    for (int i = 0; i < 3; ++i)
        AppendText(out, "");
    AppendInt(out, 1); // players
    AppendInt(out, 0);
    AppendInt(out, 1);
    AppendInt(out, 1);
    AppendInt(out, 0);
    AppendText(out, "TRIGSTR_005");
    AppendFloat(out, 0.0f);
    AppendFloat(out, 0.0f);
    AppendInt(out, 0);
    AppendInt(out, 0);
    AppendInt(out, 1); // forces
    AppendInt(out, 0);
    AppendInt(out, -1);
    AppendText(out, "TRIGSTR_006");
    AppendInt(out, 0); // upgrades, tech, unit tables
    AppendInt(out, 0);
    AppendInt(out, 0);
    AppendInt(out, 0);
    return out;
}

Bytes MakeStructuredData(std::size_t bytes, Rng& rng)
{
    // Records of a few fields from small ranges, like terrain tiles or doodad placements.
    Bytes out;
    out.reserve(bytes);
    std::uniform_int_distribution<int> small(0, 15);
    std::uniform_int_distribution<int> coordinate(0, 255);
    std::uint16_t height = 0x2000;
    while (out.size() < bytes) {
        height = static_cast<std::uint16_t>(height + small(rng) - 7);
        const std::uint8_t record[8] = {static_cast<std::uint8_t>(height),
                                        static_cast<std::uint8_t>(height >> 8),
                                        0x00,
                                        0x20,
                                        static_cast<std::uint8_t>(small(rng) < 12 ? 0x40 : small(rng)),
                                        static_cast<std::uint8_t>(coordinate(rng) & 0x0f),
                                        static_cast<std::uint8_t>(small(rng) < 14 ? 0 : coordinate(rng)),
                                        0xF0};
        for (std::uint8_t b : record)
            if (out.size() < bytes)
                out.push_back(b);
    }
    return out;
}

Bytes MakeNoise(std::size_t bytes, Rng& rng)
{
    Bytes out(bytes);
    std::size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        const std::uint64_t word = rng();
        std::memcpy(out.data() + i, &word, 8);
    }
    for (; i < bytes; ++i)
        out[i] = static_cast<std::uint8_t>(rng());
    return out;
}

Bytes MakeMapHeader(const std::string& mapName, std::int32_t maxPlayers)
{
    Bytes out = {'H', 'M', '3', 'W'};
    AppendInt(out, 0);
    AppendText(out, mapName);
    AppendInt(out, 0); // flags
    AppendInt(out, maxPlayers);
    out.resize(512, 0);
    return out;
}

} // namespace vornak::bench
