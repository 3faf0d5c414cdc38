#pragma once

#include "MapBuilder.h"
#include "TestFiles.h"
#include "W3iBuilder.h"

#include <filesystem>

// An application folder and maps for the window's tests: the list file start-up requires,
// the five templates an install needs, and small maps built as MPQ archives.
namespace vornak::wizard::test {
namespace fs = std::filesystem;

inline constexpr const char* kScript = "function main takes nothing returns nothing\r\n"
                                       "    call SetCameraBounds(1.0, 2.0, 3.0, 4.0, 1.0, 4.0, 3.0, 2.0)\r\n"
                                       "endfunction\r\n";

inline std::vector<std::uint8_t> InfoRecord(char tileset)
{
    vornak::test::W3iBuilder info;
    info.tileset = static_cast<std::uint8_t>(tileset);
    return info.Build();
}

inline void WriteAppFolder(const fs::path& appDir)
{
    using vornak::test::WriteText;
    const fs::path data = appDir / "Data";
    fs::create_directories(data);
    WriteText(data / "listw3m.txt", "war3map.j\r\nwar3map.w3i\r\n");
    WriteText(data / "war3map.j", kScript);
    WriteText(data / "war3map.w3u", "template units");
    WriteText(data / "war3map.wts", "template strings");
    vornak::test::WriteBytes(data / "war3map.w3i", InfoRecord('L'));
    WriteText(data / "war3map.w3c", "template cameras");
}

inline fs::path BuildMap(const fs::path& map, char tileset = 'A')
{
    fs::create_directories(map.parent_path());
    vornak::test::MapBuilder()
        .Hm3wHeader()
        .CompressedEntry("war3map.w3i", InfoRecord(tileset))
        .CompressedEntry("war3map.j", kScript)
        .WriteTo(map);
    return map;
}

} // namespace vornak::wizard::test
