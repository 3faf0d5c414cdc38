// Maps whose (listfile) is damaged, odd or missing, through the whole install. Tools show a
// map's files by that list: after the install it names everything it named before and the five
// entries, every name that opened an entry still does, and a list that could not be read is
// carried over byte for byte. The maps are built here, from a typical map and from a real one.
#include "InstallScene.h"
#include "MapBuilder.h"
#include "W3iBuilder.h"
#include "archive/ListFileText.h"
#include "archive/MpqCipher.h"
#include "archive/MpqStructureCheck.h"
#include "archive/StormMapArchive.h"
#include "install/StagedMapUpdate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;
using test::PrintTo;
using Bytes = std::vector<std::uint8_t>;
using Damage = MapBuilder::SectorDamage;

constexpr const char* kList = "(listfile)";

// Each way a list can be: it gets the content's names and adds itself to the builder.
using ListMaker = std::function<void(MapBuilder&, const std::vector<std::string>& names)>;

std::string Joined(const std::vector<std::string>& names, const std::vector<std::string>& separators)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += names[i] + separators[i % separators.size()];
    return text;
}

ListMaker Compressed(std::optional<Damage> damage = {}, bool encrypted = false)
{
    return [=](MapBuilder& map, const std::vector<std::string>& names) {
        map.CompressedEntry(kList, Joined(names, {"\r\n"}));
        if (damage)
            map.DamagedSector(kList, *damage);
        if (encrypted)
            map.Encrypted(kList, true);
    };
}

struct ListCase {
    const char* label;
    ListMaker list;
    bool reads = true; // its names can be read
};

const ListCase kCases[] = {
    // Its data whole, only its check wrong: read as the game's tools read it.
    {"ChecksumWrong", Compressed(Damage::ChecksumWrong)},
    {"SectorDoesNotInflate", Compressed(Damage::DoesNotInflate), false},
    {"Encrypted", Compressed({}, true)},
    {"NamesFilesNotInTheMap", [](MapBuilder& map, std::vector<std::string> names) {
         names.insert(names.begin() + 1, {"war3mapImported\\gone.mdx", "Units\\NotHere.slk"});
         map.Entry(kList, Joined(names, {"\r\n"}));
     }},
    // Every separator lists use, slashes for backslashes, and no line end after the last name.
    {"OddSeparators", [](MapBuilder& map, std::vector<std::string> names) {
         for (auto& name : names)
             std::replace(name.begin(), name.end(), '\\', '/');
         std::string text = Joined(names, {"\r\n", "\n", ";", "\r", "\r\n\r\n"});
         while (text.back() == '\r' || text.back() == '\n' || text.back() == ';')
             text.pop_back();
         map.CompressedEntry(kList, text);
     }},
    {"NoList", [](MapBuilder&, const std::vector<std::string>&) {}, false},
};

// The list's bytes as stored in the map, found through the archive's own tables.
std::optional<Bytes> StoredList(const fs::path& map)
{
    const MpqStructureCheck check(map, MpqStructureCheck::Keep::Tables, MpqStructureCheck::Sectors::Skip);
    const auto& hashes = check.hashTable();
    const auto& blocks = check.blockTable();
    const std::uint32_t a = mpq::HashName(kList, mpq::HashKind::NameA), b = mpq::HashName(kList, mpq::HashKind::NameB);
    for (std::size_t at = 0; at + 4 <= hashes.size(); at += 4) {
        if (hashes[at] != a || hashes[at + 1] != b || hashes[at + 3] * 4 + 4 > blocks.size())
            continue;
        const auto* block = &blocks[hashes[at + 3] * 4];
        const Bytes file = ReadBytes(map);
        const auto from = file.begin() + static_cast<std::ptrdiff_t>(check.headerOffset() + block[0]);
        return Bytes(from, from + block[1]);
    }
    return std::nullopt;
}

struct ListView {
    std::optional<std::vector<std::string>> names; // nothing: no list, or one that does not read
    std::set<std::string> opening;                 // the listed names that open an entry
};

ListView Listed(const fs::path& map)
{
    const auto archive = StormMapArchive().Open(map);
    ListView view;
    if (!archive->HasEntry(kList))
        return view;
    try {
        view.names = listfile::Names(archive->ReadEntry(kList));
    } catch (const std::exception&) {
        return view;
    }
    for (const auto& name : *view.names)
        if (archive->HasEntry(name))
            view.opening.insert(listfile::NameKey(name));
    return view;
}

class ListFile : public ::testing::TestWithParam<ListCase> {
protected:
    // A map of `content` (its entries but its own lists, as ReadAllEntries gives them) with the row's list.
    void Check(const MapEntries& content)
    {
        MapBuilder builder;
        builder.Hm3wHeader().ListFile(false);
        std::vector<std::string> names;
        for (const auto& [name, bytes] : content) {
            builder.CompressedEntry(name, bytes);
            names.push_back(name);
        }
        GetParam().list(builder, names);
        InstallScene scene(builder.Build());

        const ListView before = Listed(scene.mapPath());
        const auto storedBefore = StoredList(scene.mapPath());
        ASSERT_EQ(before.names.has_value(), GetParam().reads);
        const auto entries = ReadAllEntries(scene.mapPath(), scene.listFile());
        const auto outcome = scene.Install();
        ASSERT_TRUE(outcome.installed) << outcome.error;
        EXPECT_EQ(scene.ExplainIfNotCleanlyInstalled(entries), "");

        const ListView after = Listed(scene.mapPath());
        if (!storedBefore) {
            EXPECT_FALSE(StoredList(scene.mapPath())) << "a list was made for a map that had none";
        } else if (!before.names) {
            EXPECT_EQ(StoredList(scene.mapPath()), storedBefore) << "the unreadable list was not kept as it was";
        } else {
            ASSERT_TRUE(after.names) << "the list no longer reads";
            std::set<std::string> now;
            for (const auto& name : *after.names)
                now.insert(listfile::NameKey(name));
            for (const auto& name : *before.names)
                EXPECT_TRUE(now.contains(listfile::NameKey(name))) << name << " is no longer listed";
            for (const auto entry : kModEntries)
                EXPECT_TRUE(now.contains(listfile::NameKey(entry))) << entry << " is not listed";
            for (const auto& name : before.opening)
                EXPECT_TRUE(after.opening.contains(name)) << name << " no longer opens";
        }
    }
};

TEST_P(ListFile, EveryNameStaysListedAndOpens)
{
    // No war3map.w3u: the install adds a name the list does not hold.
    TempDir dir;
    TypicalMap({.w3i = TemplateInfo(), .withW3u = false}).WriteTo(dir / "typical.w3m");
    Check(ReadAllEntries(dir / "typical.w3m", SourceDir() / "Data" / "listw3m.txt"));
}

TEST_P(ListFile, EveryNameOfARealMapStaysListedAndOpens)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    Check(ReadAllEntries(realmaps / "maps" / "wc3lib_4_WarChasers.w3m", SourceDir() / "Data" / "listw3m.txt"));
}

INSTANTIATE_TEST_SUITE_P(Lists, ListFile, ::testing::ValuesIn(kCases), kRowLabel);

} // namespace
} // namespace vornak::test
