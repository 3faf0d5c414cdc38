// The archive layer on copies of real maps: what an install does to them must change
// the five entries and nothing else, and protected maps must be refused untouched.
#include "TestFiles.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <set>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

const std::vector<std::string> kFive = {"war3map.j", "war3map.w3u", "war3map.wts", "war3map.w3i", "war3map.w3c"};
// StormLib rewrites these itself whenever the archive changes.
const std::set<std::string> kInternal = {"(listfile)", "(attributes)", "(signature)"};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<fs::path> RealMaps(const fs::path& dir)
{
    std::vector<fs::path> maps;
    for (const auto& item : fs::directory_iterator(dir / "maps"))
        maps.push_back(item.path());
    std::sort(maps.begin(), maps.end());
    return maps;
}

fs::path CopyOf(const fs::path& original, const TempDir& dir)
{
    const fs::path copy = dir / original.filename().string();
    fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    return copy;
}

// Every entry other than the five and StormLib's own, by lower-case name.
std::map<std::string, std::vector<std::uint8_t>> OtherEntries(StormMapArchive& archive, const fs::path& map)
{
    std::map<std::string, std::vector<std::uint8_t>> entries;
    for (const std::string& name : archive.List(map, {}).names) {
        const std::string key = Lower(name);
        if (kInternal.count(key) == 0 && std::find(kFive.begin(), kFive.end(), key) == kFive.end())
            entries[key] = archive.ReadEntry(map, name);
    }
    return entries;
}

TEST(RealMaps, InstallChangesOnlyTheFiveEntriesOrTheMapIsRefusedUntouched)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    TempDir dir;
    std::vector<fs::path> templates;
    for (std::size_t i = 0; i < kFive.size(); ++i) {
        templates.push_back(dir / ("template-" + kFive[i]));
        std::string content = "template " + kFive[i] + "\r\n";
        for (std::size_t n = 0; n < 200 * (i + 1); ++n)
            content += "line " + std::to_string(n) + " of " + kFive[i] + "\r\n";
        WriteText(templates.back(), content);
    }

    std::set<std::string> refused;
    StormMapArchive archive;
    for (const fs::path& original : RealMaps(realmaps)) {
        const std::string name = original.filename().string();
        SCOPED_TRACE(name);
        const fs::path map = CopyOf(original, dir);
        const auto before = ReadBytes(map);

        try {
            archive.CheckWritable(map);
        } catch (const ArchiveError& error) {
            refused.insert(name);
            std::cout << "[ refused  ] " << name << ": " << error.reason() << "\n";
            EXPECT_THROW(archive.DeleteEntry(map, "war3map.w3i"), ArchiveError);
            EXPECT_THROW(archive.AddEntry(map, templates[0], "war3map.j", kStoreCompressed), ArchiveError);
            EXPECT_THROW(archive.Compact(map, {}), ArchiveError);
            EXPECT_EQ(ReadBytes(map), before);
            // Reading a protected map still works: the install reads before it refuses.
            EXPECT_FALSE(archive.ReadEntry(map, "war3map.w3i").empty());
            continue;
        }
        EXPECT_EQ(ReadBytes(map), before) << "opening for changes alone altered the map";

        const auto others = OtherEntries(archive, map);
        const auto countBefore = archive.List(map, {}).entryCount;
        archive.ExtractEntry(map, "war3map.w3i", dir / "temp", kCreateFolder);
        EXPECT_EQ(ReadBytes(dir / "temp" / "war3map.w3i"), archive.ReadEntry(map, "war3map.w3i"));
        fs::remove_all(dir / "temp");

        std::size_t present = 0;
        for (const std::string& entry : kFive)
            if (archive.HasEntry(map, entry)) {
                archive.DeleteEntry(map, entry);
                ++present;
            }
        for (std::size_t i = 0; i < kFive.size(); ++i)
            archive.AddEntry(map, templates[i], kFive[i], kStoreCompressed);

        for (std::size_t i = 0; i < kFive.size(); ++i)
            EXPECT_EQ(archive.ReadEntry(map, kFive[i]), ReadBytes(templates[i])) << kFive[i];
        EXPECT_EQ(OtherEntries(archive, map), others);
        EXPECT_EQ(archive.List(map, {}).entryCount, countBefore + (kFive.size() - present));

        const auto after = ReadBytes(map);
        if (std::string(before.begin(), before.begin() + 4) == "HM3W") {
            EXPECT_TRUE(std::equal(before.begin(), before.begin() + 512, after.begin())) << "HM3W header changed";
        }

        const auto listing = archive.List(map, {});
        const auto sizeBefore = fs::file_size(map);
        const bool compacted = archive.Compact(map, {});
        EXPECT_EQ(compacted, listing.allNamesKnown);
        if (compacted) {
            EXPECT_LE(fs::file_size(map), sizeBefore);
            EXPECT_EQ(OtherEntries(archive, map), others);
            EXPECT_EQ(archive.ReadEntry(map, "war3map.j"), ReadBytes(templates[0]));
        } else {
            EXPECT_EQ(fs::file_size(map), sizeBefore);
        }
        std::cout << "[ writable ] " << name << ": " << present << " of the five replaced, "
                  << kFive.size() - present << " added, " << (compacted ? "compacted" : "not compacted (names unknown)")
                  << "\n";
    }
    // Only the map whose tables StormLib flags as malformed is protected.
    EXPECT_EQ(refused, (std::set<std::string>{"war3net_JurassicParkSurvivalEE_v6.4.w3x"}));
}

TEST(RealMaps, AWeaklySignedMapIsChangedWithoutACrash)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    TempDir dir;
    const fs::path map = CopyOf(realmaps / "maps" / "jmpq3_ydwe.w3x", dir);
    ASSERT_TRUE(StormMapArchive().HasEntry(map, "(signature)"));
    WriteText(dir / "units", "units");
    StormMapArchive archive;
    archive.AddEntry(map, dir / "units", "war3map.w3u", kStoreCompressed);
    archive.DeleteEntry(map, "war3map.wts");
    EXPECT_TRUE(archive.Compact(map, {}));
    EXPECT_EQ(archive.ReadEntry(map, "war3map.w3u"), std::vector<std::uint8_t>({'u', 'n', 'i', 't', 's'}));
    EXPECT_FALSE(archive.HasEntry(map, "war3map.wts"));
}

TEST(RealMaps, AMapWithoutListfileIsReadByNameAndCompactedWithAList)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    TempDir dir;
    const fs::path map = CopyOf(realmaps / "maps" / "jmpq3_listfilelessMap.w3x", dir);
    StormMapArchive archive;
    const auto listing = archive.List(map, {});
    EXPECT_EQ(listing.entryCount, 19u);
    EXPECT_FALSE(listing.allNamesKnown);
    for (const std::string& entry : kFive)
        EXPECT_NE(std::find(listing.names.begin(), listing.names.end(), entry), listing.names.end()) << entry;
    EXPECT_FALSE(archive.Compact(map, {}));

    // The names an editor gives a map's entries complete the list.
    WriteText(dir / "names.txt",
              "war3map.w3e\r\nwar3map.w3r\r\nwar3map.wpm\r\nwar3map.doo\r\nwar3mapUnits.doo\r\nwar3map.shd\r\n"
              "war3map.mmp\r\nwar3mapMap.blp\r\nwar3mapMap.b00\r\nwar3mapMap.tga\r\nwar3mapPreview.tga\r\n"
              "war3map.wct\r\nwar3map.wtg\r\nwar3map.imp\r\nwar3map.w3s\r\nwar3map.w3a\r\nwar3map.w3b\r\n"
              "war3map.w3d\r\nwar3map.w3h\r\nwar3map.w3q\r\nwar3map.w3t\r\nwar3mapMisc.txt\r\nwar3mapSkin.txt\r\n"
              "war3mapExtra.txt\r\n");
    const auto named = archive.List(map, {dir / "names.txt"});
    std::cout << "[ listing  ] listfileless map: " << named.names.size() << " of " << named.entryCount
              << " names known with an editor's list\n";
    EXPECT_EQ(archive.Compact(map, {dir / "names.txt"}), named.allNamesKnown);
}

} // namespace
} // namespace vornak::test
