// The archive layer on maps built for each case.
#include "MapBuilder.h"
#include "TestFiles.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

// Runs `call`, which must throw ArchiveError, and gives the error back.
template <typename Call>
ArchiveError ErrorOf(Call&& call)
{
    try {
        call();
    } catch (const ArchiveError& error) {
        return error;
    }
    ADD_FAILURE() << "no ArchiveError was thrown";
    return ArchiveError("", "", "", "");
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class StormMapArchiveTest : public ::testing::Test {
protected:
    fs::path Map(const MapBuilder& builder, const std::string& name = "map.w3m")
    {
        const fs::path path = dir_ / name;
        builder.WriteTo(path);
        return path;
    }
    fs::path File(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const fs::path path = dir_ / name;
        WriteBytes(path, bytes);
        return path;
    }
    static MapBuilder Simple()
    {
        MapBuilder builder;
        builder.Hm3wHeader()
            .CompressedEntry("war3map.j", "function main takes nothing returns nothing\r\nendfunction\r\n")
            .Entry("war3map.w3i", RandomBytes(121, 1))
            .Entry("war3map.w3e", RandomBytes(9000, 2));
        return builder;
    }

    TempDir dir_;
    StormMapArchive archive_;
};

TEST_F(StormMapArchiveTest, ExtractWritesTheEntryAndMakesTheFolderOnlyWhenAsked)
{
    const auto map = Map(Simple());
    const auto dest = dir_ / "temp" / "deeper";

    const auto missingFolder = ErrorOf([&] { archive_.ExtractEntry(map, "war3map.w3i", dest, false); });
    EXPECT_TRUE(Contains(missingFolder.reason(), "does not exist")) << missingFolder.what();
    EXPECT_FALSE(fs::exists(dest));

    archive_.ExtractEntry(map, "war3map.w3i", dest, kCreateFolder);
    EXPECT_EQ(ReadBytes(dest / "war3map.w3i"), RandomBytes(121, 1));
    // An existing file is replaced, not appended to.
    WriteBytes(dest / "war3map.j", RandomBytes(100000, 9));
    archive_.ExtractEntry(map, "war3map.j", dest, false);
    EXPECT_EQ(ReadText(dest / "war3map.j"), "function main takes nothing returns nothing\r\nendfunction\r\n");
}

TEST_F(StormMapArchiveTest, AMissingEntryIsNamedAndALuaMapSaysSo)
{
    MapBuilder lua;
    lua.Entry("war3map.lua", "function main() end\n").Entry("war3map.w3i", RandomBytes(121, 1));
    const auto map = Map(lua, "lua.w3x");

    EXPECT_FALSE(archive_.HasEntry(map, "war3map.j"));
    const auto error = ErrorOf([&] { archive_.ExtractEntry(map, "war3map.j", dir_ / "temp", kCreateFolder); });
    EXPECT_EQ(error.operation(), "Extracting");
    EXPECT_EQ(error.entry(), "war3map.j");
    EXPECT_TRUE(Contains(error.reason(), "the map holds no 'war3map.j'")) << error.what();
    EXPECT_TRUE(Contains(error.reason(), "Lua")) << error.what();
    EXPECT_FALSE(fs::exists(dir_ / "temp" / "war3map.j"));

    const auto simple = Map(Simple());
    const auto noW3u = ErrorOf([&] { archive_.ReadEntry(simple, "war3map.w3u"); });
    EXPECT_EQ(noW3u.reason(), "the map holds no 'war3map.w3u'");
    EXPECT_FALSE(Contains(noW3u.reason(), "Lua"));
}

TEST_F(StormMapArchiveTest, ChangesKeepTheHeaderAndEveryOtherEntry)
{
    const auto map = Map(Simple());
    const auto headerBefore = ReadBytes(map);
    const auto script = File("script.j", Bytes("// new script\r\n"));
    const auto units = File("units.w3u", RandomBytes(50000, 5));

    archive_.DeleteEntry(map, "war3map.j");
    EXPECT_FALSE(archive_.HasEntry(map, "war3map.j"));
    archive_.AddEntry(map, script, "war3map.j", kStoreCompressed);
    archive_.AddEntry(map, units, "war3map.w3u", kStorePlain); // an entry the map lacked
    // Adding a name the map holds replaces that entry.
    archive_.AddEntry(map, units, "war3map.w3i", kStoreCompressed);

    EXPECT_EQ(archive_.ReadEntry(map, "war3map.j"), Bytes("// new script\r\n"));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3u"), RandomBytes(50000, 5));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3i"), RandomBytes(50000, 5));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3e"), RandomBytes(9000, 2));
    const auto listing = archive_.List(map, {});
    EXPECT_EQ(listing.entryCount, 5u); // j, w3i, w3e, w3u, (listfile)
    EXPECT_TRUE(listing.allNamesKnown);

    const auto after = ReadBytes(map);
    ASSERT_GE(after.size(), 512u);
    EXPECT_TRUE(std::equal(headerBefore.begin(), headerBefore.begin() + 512, after.begin()));
}

TEST_F(StormMapArchiveTest, NamesAreFoundWhateverTheirCase)
{
    MapBuilder builder;
    builder.Entry("war3map.w3I", RandomBytes(121, 1)).Entry("War3Map.J", "script");
    const auto map = Map(builder);
    EXPECT_TRUE(archive_.HasEntry(map, "war3map.w3i"));
    EXPECT_EQ(archive_.ReadEntry(map, "WAR3MAP.W3I"), RandomBytes(121, 1));
    archive_.ExtractEntry(map, "war3map.j", dir_ / "out", kCreateFolder);
    EXPECT_EQ(ReadText(dir_ / "out" / "war3map.j"), "script");

    // Replacing under the other spelling leaves one entry, not two.
    archive_.AddEntry(map, File("info", Bytes("new info")), "war3map.w3i", kStoreCompressed);
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3I"), Bytes("new info"));
    EXPECT_EQ(archive_.List(map, {}).entryCount, 3u);
    archive_.DeleteEntry(map, "WAR3MAP.J");
    EXPECT_FALSE(archive_.HasEntry(map, "war3map.j"));
}

TEST_F(StormMapArchiveTest, AFullHashTableGrowsWhenEveryNameIsKnown)
{
    MapBuilder builder;
    builder.Entry("war3map.j", "script").Entry("war3map.w3i", RandomBytes(121, 1)).Entry("war3map.w3e", "terrain");
    builder.HashTableSize(4); // three entries and (listfile): no free slot
    const auto map = Map(builder);
    const auto file = File("units", RandomBytes(300, 4));

    archive_.AddEntry(map, file, "war3map.w3u", kStoreCompressed);
    archive_.AddEntry(map, file, "war3map.w3c", kStoreCompressed);
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3u"), RandomBytes(300, 4));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3e"), Bytes("terrain"));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.j"), Bytes("script"));
    EXPECT_EQ(archive_.List(map, {}).entryCount, 6u);
}

TEST_F(StormMapArchiveTest, AFullHashTableWithUnknownNamesIsRefusedUnlessAListNamesThem)
{
    MapBuilder builder;
    builder.Entry("war3map.j", "script")
        .Entry("war3map.w3i", RandomBytes(121, 1))
        .Entry("secret\\unnamed.dat", "no list names me")
        .Entry("war3map.w3e", "terrain")
        .ListFile(false)
        .HashTableSize(4);
    const auto map = Map(builder);
    const auto before = ReadBytes(map);
    const auto file = File("units", RandomBytes(300, 4));

    const auto error = ErrorOf([&] { archive_.AddEntry(map, file, "war3map.w3u", kStoreCompressed); });
    EXPECT_TRUE(Contains(error.reason(), "no free slot")) << error.what();
    EXPECT_TRUE(Contains(error.reason(), "names of some entries are unknown")) << error.what();
    EXPECT_EQ(ReadBytes(map), before);

    WriteText(dir_ / "names.txt", "war3map.w3e\r\nsecret\\unnamed.dat\r\n");
    StormMapArchive withList({dir_ / "names.txt"});
    withList.AddEntry(map, file, "war3map.w3u", kStoreCompressed);
    EXPECT_EQ(withList.ReadEntry(map, "war3map.w3u"), RandomBytes(300, 4));
    EXPECT_EQ(withList.ReadEntry(map, "secret\\unnamed.dat"), Bytes("no list names me"));
}

TEST_F(StormMapArchiveTest, ListCountsEveryEntryAndKnowsNamesFromExtraLists)
{
    MapBuilder builder;
    builder.Entry("war3map.j", "s").Entry("war3map.w3u", "u").Entry("war3mapMap.blp", "b").Entry("x.txt", "x");
    builder.ListFile(false);
    const auto map = Map(builder);

    auto listing = archive_.List(map, {});
    EXPECT_EQ(listing.entryCount, 4u);
    EXPECT_FALSE(listing.allNamesKnown);
    EXPECT_EQ(listing.names.size(), 2u); // the probed war3map.j and war3map.w3u

    WriteText(dir_ / "a.txt", "war3mapMap.blp\r\n");
    WriteText(dir_ / "b.txt", "x.txt\n");
    listing = archive_.List(map, {dir_ / "a.txt", dir_ / "b.txt"});
    EXPECT_EQ(listing.entryCount, 4u);
    EXPECT_TRUE(listing.allNamesKnown);
    std::sort(listing.names.begin(), listing.names.end());
    EXPECT_EQ(listing.names, (std::vector<std::string>{"war3map.j", "war3map.w3u", "war3mapMap.blp", "x.txt"}));

    const auto error = ErrorOf([&] { archive_.List(map, {dir_ / "nowhere.txt"}); });
    EXPECT_TRUE(Contains(error.reason(), "nowhere.txt")) << error.what();
}

TEST_F(StormMapArchiveTest, CompactionBringsTheSizeBackAfterReplaceCycles)
{
    TypicalMapOptions options;
    options.w3i = RandomBytes(121, 1);
    options.scriptBytes = 100 * 1024;
    const auto map = Map(TypicalMap(options), "cycles.w3x");
    const auto script = File("war3map.j", Bytes(TypicalScript(options)));
    const auto info = File("war3map.w3i", RandomBytes(121, 8));

    fs::permissions(map, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    std::uintmax_t afterFirst = 0;
    for (int cycle = 0; cycle < 10; ++cycle) {
        archive_.DeleteEntry(map, "war3map.j");
        archive_.DeleteEntry(map, "war3map.w3i");
        archive_.AddEntry(map, script, "war3map.j", kStoreCompressed);
        archive_.AddEntry(map, info, "war3map.w3i", kStoreCompressed);
        ASSERT_TRUE(archive_.Compact(map, {}));
        if (cycle == 0)
            afterFirst = fs::file_size(map);
    }
    EXPECT_LE(fs::file_size(map), afterFirst);
    EXPECT_EQ(fs::status(map).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 3); // no leftovers
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.j"), Bytes(TypicalScript(options)));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3e").size(), options.fillerBytes / options.fillerEntries);
    const auto bytes = ReadBytes(map);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "HM3W");
}

TEST_F(StormMapArchiveTest, CompactionWithUnknownNamesChangesNothing)
{
    MapBuilder builder;
    builder.Entry("war3map.j", "s").Entry("unnamed.bin", RandomBytes(5000, 1)).ListFile(false);
    const auto map = Map(builder);
    archive_.DeleteEntry(map, "war3map.j"); // leaves a gap worth compacting
    const auto before = ReadBytes(map);
    EXPECT_FALSE(archive_.Compact(map, {}));
    EXPECT_EQ(ReadBytes(map), before);

    WriteText(dir_ / "names.txt", "unnamed.bin\r\n");
    EXPECT_TRUE(archive_.Compact(map, {dir_ / "names.txt"}));
    EXPECT_EQ(archive_.ReadEntry(map, "unnamed.bin"), RandomBytes(5000, 1));
    EXPECT_LT(fs::file_size(map), before.size());
}

TEST_F(StormMapArchiveTest, ProtectedAndReadOnlyMapsAreRefusedUnchanged)
{
    const auto file = File("add.bin", Bytes("data"));
    // Tables that lie about the file: StormLib can still read some of these maps, never change them.
    for (auto damage : {MapBuilder::Damage::HashTableBeyondEnd, MapBuilder::Damage::BlockTableBeyondEnd,
                        MapBuilder::Damage::BogusHeaderSize}) {
        SCOPED_TRACE(static_cast<int>(damage));
        const auto map = Map(Simple().Damaged(damage), "damaged.w3m");
        const auto before = ReadBytes(map);
        const auto error = ErrorOf([&] { archive_.CheckWritable(map); });
        ErrorOf([&] { archive_.AddEntry(map, file, "war3map.w3u", kStoreCompressed); });
        ErrorOf([&] { archive_.DeleteEntry(map, "war3map.j"); });
        EXPECT_EQ(ReadBytes(map), before);
        if (damage == MapBuilder::Damage::BogusHeaderSize) {
            // Like a "protected" map: StormLib reads it but will not change it.
            EXPECT_TRUE(Contains(error.reason(), "the map is protected")) << error.what();
            EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3e"), RandomBytes(9000, 2));
        }
    }

    const auto map = Map(Simple(), "readonly.w3m");
    fs::permissions(map, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const auto before = ReadBytes(map);
    const auto error = ErrorOf([&] { archive_.CheckWritable(map); });
    EXPECT_EQ(error.reason(), "the map file is read-only");
    ErrorOf([&] { archive_.DeleteEntry(map, "war3map.j"); });
    ErrorOf([&] { archive_.Compact(map, {}); });
    EXPECT_EQ(ReadBytes(map), before);
    EXPECT_TRUE(archive_.HasEntry(map, "war3map.j")); // reading still works

    archive_.CheckWritable(Map(Simple(), "fine.w3m"));
}

TEST_F(StormMapArchiveTest, HostileMapsGiveErrorsNotCrashes)
{
    const auto simple = Simple().Build();
    // Cut at many points: before, inside and after the header, the data and the tables.
    for (std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{512}, std::size_t{530},
                            std::size_t{600}, simple.size() / 2, simple.size() - 300, simple.size() - 1}) {
        SCOPED_TRACE(cut);
        const auto map = Map(Simple().TruncatedTo(cut), "cut.w3m");
        try {
            archive_.ReadEntry(map, "war3map.j");
            archive_.ReadEntry(map, "war3map.w3e");
        } catch (const ArchiveError&) {
        }
    }

    // A stated size of gigabytes, or data said to lie past the end, is an error, and nothing
    // is left half written.
    const std::vector<std::pair<MapBuilder, std::string>> broken = {
        {Simple().StatedSize("war3map.w3e", 0xF0000000u), "war3map.w3e"},
        {MapBuilder().CompressedEntry("war3map.w3e", RandomBytes(100, 1)).StatedSize("war3map.w3e", 0xF0000000u),
         "war3map.w3e"},
        {Simple().Damaged(MapBuilder::Damage::EntryBeyondEnd), "war3map.j"}, // the first entry is misplaced
    };
    for (const auto& [builder, entry] : broken) {
        SCOPED_TRACE(entry);
        const auto map = Map(builder, "broken.w3m");
        ErrorOf([&] { archive_.ReadEntry(map, entry); });
        ErrorOf([&] { archive_.ExtractEntry(map, entry, dir_ / "out", kCreateFolder); });
        EXPECT_FALSE(fs::exists(dir_ / "out" / entry));
    }

    // Two entries of one name: one of them is read, and both count.
    MapBuilder twice;
    twice.Entry("war3map.j", "first").Entry("war3map.j", "second");
    const auto dup = Map(twice, "dup.w3m");
    const auto read = archive_.ReadEntry(dup, "war3map.j");
    EXPECT_TRUE(read == Bytes("first") || read == Bytes("second"));
    EXPECT_EQ(archive_.List(dup, {}).entryCount, 3u);

    WriteText(dir_ / "text.w3m", "this is not an archive at all");
    const auto notMpq = ErrorOf([&] { archive_.HasEntry(dir_ / "text.w3m", "war3map.j"); });
    EXPECT_TRUE(Contains(notMpq.reason(), "cannot be opened")) << notMpq.what();
    WriteBytes(dir_ / "empty.w3m", {});
    ErrorOf([&] { archive_.List(dir_ / "empty.w3m", {}); });
}

TEST_F(StormMapArchiveTest, PathsThatAreNoMapAreNamedInTheError)
{
    const auto missing = ErrorOf([&] { archive_.HasEntry(dir_ / "gone.w3m", "war3map.j"); });
    EXPECT_EQ(missing.operation(), "Looking for");
    EXPECT_EQ(missing.map(), (dir_ / "gone.w3m").string());
    EXPECT_EQ(missing.entry(), "war3map.j");
    EXPECT_EQ(missing.reason(), "the map file does not exist");
    EXPECT_EQ(std::string(missing.what()), "Looking for 'war3map.j' in the map '" + (dir_ / "gone.w3m").string() +
                                               "' failed: the map file does not exist");

    const auto folder = ErrorOf([&] { archive_.CheckWritable(dir_.path()); });
    EXPECT_EQ(folder.reason(), "the path names a folder, not a map file");
    EXPECT_EQ(folder.entry(), "");

    const auto noFile =
        ErrorOf([&] { archive_.AddEntry(Map(Simple()), dir_ / "no-template", "war3map.j", kStoreCompressed); });
    EXPECT_TRUE(Contains(noFile.reason(), "no-template")) << noFile.what();
    const auto storage = ErrorOf([&] { archive_.AddEntry(Map(Simple()), dir_ / "x", "war3map.j", 7); });
    EXPECT_TRUE(Contains(storage.reason(), "storage")) << storage.what();
}

TEST_F(StormMapArchiveTest, PrefixesSpacesAndNonAsciiLettersAreJustFileNames)
{
    // StormLib would take "map:" or "flat-file://" as stream providers; here they are names.
    const fs::path old = fs::current_path();
    fs::current_path(dir_.path());
    struct Restore {
        fs::path path;
        ~Restore() { fs::current_path(path); }
    } restore{old};

    const auto file = File("units", Bytes("units"));
    for (const std::string name : {"map:foo.w3m", "flat-file:bar.w3m", "http:x.w3m", "file:y.w3m"}) {
        SCOPED_TRACE(name);
        Simple().WriteTo(name);
        EXPECT_TRUE(archive_.HasEntry(name, "war3map.j"));
        archive_.AddEntry(name, file, "war3map.w3u", kStoreCompressed);
        EXPECT_EQ(archive_.ReadEntry(name, "war3map.w3u"), Bytes("units"));
        archive_.ExtractEntry(name, "war3map.w3u", "out dir", kCreateFolder);
        EXPECT_EQ(ReadText(dir_ / "out dir" / "war3map.w3u"), "units");
    }

    const fs::path folder = dir_.path() / fs::path(u8"Карты и 地图 é");
    fs::create_directories(folder);
    const fs::path map = folder / fs::path(u8"Мой мир 世界.w3x");
    Simple().WriteTo(map);
    archive_.AddEntry(map, file, "war3map.w3u", kStoreCompressed);
    archive_.ExtractEntry(map, "war3map.w3u", folder / fs::path(u8"temp é"), kCreateFolder);
    EXPECT_EQ(ReadText(folder / fs::path(u8"temp é") / "war3map.w3u"), "units");
    EXPECT_TRUE(archive_.Compact(map, {}));
    const auto missing = ErrorOf([&] { archive_.ReadEntry(map, "war3map.w3c"); });
    EXPECT_TRUE(Contains(missing.what(), "Мой мир 世界.w3x"));
}

} // namespace
} // namespace vornak::test
