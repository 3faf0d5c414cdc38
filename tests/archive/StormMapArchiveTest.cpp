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
    return ArchiveError("", "", "", "", {});
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class StormMapArchiveTest : public ::testing::Test {
protected:
    fs::path Map(const MapBuilder& builder, const std::string& name = "map.w3m")
    {
        builder.WriteTo(dir_ / name);
        return dir_ / name;
    }
    fs::path File(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        WriteBytes(dir_ / name, bytes);
        return dir_ / name;
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
    static bool SameHeader(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
    {
        return a.size() >= 512 && b.size() >= 512 && std::equal(a.begin(), a.begin() + 512, b.begin());
    }

    TempDir dir_;
    StormMapArchive archive_;
};

TEST_F(StormMapArchiveTest, ChangesReplaceOrAddTheEntryAndKeepTheHeaderAndTheRest)
{
    const auto map = Map(Simple());
    const auto before = ReadBytes(map);
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

    const auto units = File("units.w3u", RandomBytes(50000, 5));
    archive_.DeleteEntry(map, "war3map.j");
    EXPECT_FALSE(archive_.HasEntry(map, "war3map.j"));
    archive_.AddEntry(map, File("script.j", Bytes("// new\r\n")), "war3map.j", kStoreCompressed);
    archive_.AddEntry(map, units, "war3map.w3u", kStorePlain);      // an entry the map lacked
    archive_.AddEntry(map, units, "war3map.w3i", kStoreCompressed); // a name it holds: replaced
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.j"), Bytes("// new\r\n"));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3u"), RandomBytes(50000, 5));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3i"), RandomBytes(50000, 5));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3e"), RandomBytes(9000, 2));
    const auto listing = archive_.List(map, {});
    EXPECT_EQ(listing.entryCount, 5u); // j, w3i, w3e, w3u, (listfile)
    EXPECT_TRUE(listing.allNamesKnown);
    EXPECT_TRUE(SameHeader(ReadBytes(map), before));
}

TEST_F(StormMapArchiveTest, NamesStoredInAnotherCaseAreFoundAndReplacedNotDoubled)
{
    MapBuilder builder;
    builder.Entry("war3map.w3I", RandomBytes(121, 1)).Entry("War3Map.J", "script");
    const auto map = Map(builder);
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3i"), RandomBytes(121, 1));
    archive_.AddEntry(map, File("info", Bytes("new info")), "war3map.w3i", kStoreCompressed);
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3I"), Bytes("new info"));
    EXPECT_EQ(archive_.List(map, {}).entryCount, 3u);
    archive_.DeleteEntry(map, "war3map.j");
    EXPECT_FALSE(archive_.HasEntry(map, "War3Map.J"));
}

TEST_F(StormMapArchiveTest, AFullHashTableGrowsWhenEveryNameIsKnownOrAListNamesThem)
{
    const auto file = File("units", RandomBytes(300, 4));
    MapBuilder known;
    known.Entry("war3map.j", "script").Entry("war3map.w3i", "info").Entry("war3map.w3e", "terrain");
    const auto full = Map(known.HashTableSize(4), "full.w3m"); // with (listfile): no free slot
    archive_.AddEntry(full, file, "war3map.w3u", kStoreCompressed);
    archive_.AddEntry(full, file, "war3map.w3c", kStoreCompressed);
    EXPECT_EQ(archive_.ReadEntry(full, "war3map.w3c"), RandomBytes(300, 4));
    EXPECT_EQ(archive_.ReadEntry(full, "war3map.w3e"), Bytes("terrain"));
    EXPECT_EQ(archive_.List(full, {}).entryCount, 6u);

    MapBuilder unknown;
    unknown.Entry("war3map.j", "script").Entry("war3map.w3e", "e").Entry("secret\\unnamed.dat", "no list names me");
    const auto map = Map(unknown.Entry("war3map.w3i", "info").ListFile(false).HashTableSize(4), "unknown.w3m");
    const auto before = ReadBytes(map);
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

TEST_F(StormMapArchiveTest, CompactionNeedsEveryNameAndKeepsPermissionsHeaderAndEntries)
{
    MapBuilder builder;
    builder.Hm3wHeader().Entry("war3map.j", RandomBytes(5000, 1)).Entry("war3map.w3u", "u").Entry("x.txt", "x");
    const auto map = Map(builder.ListFile(false));
    auto listing = archive_.List(map, {});
    EXPECT_EQ(listing.entryCount, 3u);
    EXPECT_FALSE(listing.allNamesKnown);
    EXPECT_EQ(listing.names.size(), 2u); // the probed war3map.j and war3map.w3u

    archive_.DeleteEntry(map, "war3map.j"); // leaves a gap worth compacting
    const auto before = ReadBytes(map);
    EXPECT_FALSE(archive_.Compact(map, {}));
    EXPECT_EQ(ReadBytes(map), before);

    WriteText(dir_ / "names.txt", "war3map.w3e\r\nx.txt\n");
    listing = archive_.List(map, {dir_ / "names.txt"});
    EXPECT_TRUE(listing.allNamesKnown);
    std::sort(listing.names.begin(), listing.names.end());
    EXPECT_EQ(listing.names, (std::vector<std::string>{"war3map.w3u", "x.txt"}));

    fs::permissions(map, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const auto perms = fs::status(map).permissions(); // Windows keeps only whether it may be written
    EXPECT_TRUE(archive_.Compact(map, {dir_ / "names.txt"}));
    EXPECT_LT(fs::file_size(map), before.size());
    EXPECT_EQ(fs::status(map).permissions(), perms);
    EXPECT_FALSE(fs::exists(dir_ / "map.w3m.tmp"));
    EXPECT_TRUE(SameHeader(ReadBytes(map), before));
    EXPECT_EQ(archive_.ReadEntry(map, "x.txt"), Bytes("x"));

    const auto error = ErrorOf([&] { archive_.List(map, {dir_ / "nowhere.txt"}); });
    EXPECT_TRUE(Contains(error.reason(), "nowhere.txt")) << error.what();
}

TEST_F(StormMapArchiveTest, ProtectedAndReadOnlyMapsAreRefusedUnchanged)
{
    const auto file = File("add.bin", Bytes("data"));
    // Tables that lie about the file: StormLib may read such maps, never change them.
    for (auto damage : {MapBuilder::Damage::HashTableBeyondEnd, MapBuilder::Damage::BlockTableBeyondEnd,
                        MapBuilder::Damage::BogusHeaderSize}) {
        SCOPED_TRACE(static_cast<int>(damage));
        const auto map = Map(Simple().Damaged(damage), "damaged.w3m");
        const auto before = ReadBytes(map);
        const auto error = ErrorOf([&] { archive_.CheckWritable(map); });
        ErrorOf([&] { archive_.AddEntry(map, file, "war3map.w3u", kStoreCompressed); });
        ErrorOf([&] { archive_.DeleteEntry(map, "war3map.j"); });
        EXPECT_EQ(ReadBytes(map), before);
        if (damage == MapBuilder::Damage::BogusHeaderSize) { // what map "protectors" do
            EXPECT_TRUE(Contains(error.reason(), "the map is protected")) << error.what();
            EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3e"), RandomBytes(9000, 2));
        }
    }

    const auto map = Map(Simple(), "readonly.w3m");
    fs::permissions(map, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const auto before = ReadBytes(map);
    EXPECT_EQ(ErrorOf([&] { archive_.CheckWritable(map); }).reason(), "the map file is read-only");
    ErrorOf([&] { archive_.DeleteEntry(map, "war3map.j"); });
    ErrorOf([&] { archive_.Compact(map, {}); });
    EXPECT_EQ(ReadBytes(map), before);
    EXPECT_TRUE(archive_.HasEntry(map, "war3map.j")); // reading still works
}

TEST_F(StormMapArchiveTest, SavingRenewsTheWeakSignatureAndAChangedByteFailsIt)
{
    // Saving a change signs the map anew: big-number maths that are wrong for the platform (a
    // 32-bit long on Windows) sign with zeros, and a changed map still verifies.
    const auto map = Map(Simple().Entry("(signature)", std::vector<std::uint8_t>(72)));
    const auto units = Bytes("units the signature covers");
    archive_.AddEntry(map, File("units", units), "war3map.w3u", kStorePlain);
    EXPECT_TRUE(archive_.VerifyWeakSignature(map));
    auto bytes = ReadBytes(map);
    const auto at = std::search(bytes.begin(), bytes.end(), units.begin(), units.end());
    ASSERT_NE(at, bytes.end());
    *at ^= 1;
    WriteBytes(map, bytes);
    EXPECT_FALSE(archive_.VerifyWeakSignature(map));
    EXPECT_EQ(ErrorOf([&] { archive_.VerifyWeakSignature(Map(Simple(), "unsigned.w3m")); }).reason(),
              "the map holds no signature");
}

// Truncated maps, duplicate names and the like go through the whole install in tests/reliability.
TEST_F(StormMapArchiveTest, BrokenEntriesGiveErrorsAndLeaveNoHalfWrittenFile)
{
    // A stated size of gigabytes, or data said to lie past the end.
    const std::vector<std::pair<MapBuilder, std::string>> broken = {
        {Simple().StatedSize("war3map.w3e", 0xF0000000u), "war3map.w3e"},
        {MapBuilder().CompressedEntry("war3map.w3e", RandomBytes(100, 1)).StatedSize("war3map.w3e", 0xF0000000u),
         "war3map.w3e"},
        {Simple().Damaged(MapBuilder::Damage::EntryBeyondEnd), "war3map.j"},
    };
    for (const auto& [builder, entry] : broken) {
        SCOPED_TRACE(entry);
        const auto map = Map(builder, "broken.w3m");
        ErrorOf([&] { archive_.ReadEntry(map, entry); });
        ErrorOf([&] { archive_.ExtractEntry(map, entry, dir_ / "out", kCreateFolder); });
        EXPECT_FALSE(fs::exists(dir_ / "out" / entry));
    }
    const auto notMpq = ErrorOf([&] { archive_.HasEntry(File("text.w3m", Bytes("no map")), "war3map.j"); });
    EXPECT_TRUE(Contains(notMpq.reason(), "cannot be opened")) << notMpq.what();
}

TEST_F(StormMapArchiveTest, ErrorsNameTheOperationMapEntryAndReason)
{
    const auto missing = ErrorOf([&] { archive_.HasEntry(dir_ / "gone.w3m", "war3map.j"); });
    EXPECT_EQ(std::string(missing.what()), "Looking for 'war3map.j' in the map '" + (dir_ / "gone.w3m").string() +
                                               "' failed: the map file does not exist");
    EXPECT_EQ(ErrorOf([&] { archive_.CheckWritable(dir_.path()); }).reason(),
              "the path names a folder, not a map file");

    const auto lua = Map(MapBuilder().Entry("war3map.lua", "function main() end\n"), "lua.w3x");
    const auto noScript = ErrorOf([&] { archive_.ExtractEntry(lua, "war3map.j", dir_ / "temp", kCreateFolder); });
    EXPECT_EQ(noScript.operation(), "Extracting");
    EXPECT_EQ(noScript.entry(), "war3map.j");
    EXPECT_TRUE(Contains(noScript.reason(), "the map holds no 'war3map.j'")) << noScript.what();
    EXPECT_TRUE(Contains(noScript.reason(), "Lua")) << noScript.what();
    EXPECT_FALSE(fs::exists(dir_ / "temp" / "war3map.j"));

    const auto simple = Map(Simple());
    EXPECT_EQ(ErrorOf([&] { archive_.ReadEntry(simple, "war3map.w3u"); }).reason(), "the map holds no 'war3map.w3u'");
    const auto noFile = ErrorOf([&] { archive_.AddEntry(simple, dir_ / "no-template", "war3map.j", kStorePlain); });
    EXPECT_TRUE(Contains(noFile.reason(), "no-template")) << noFile.what();
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
    const fs::path folder = dir_.path() / fs::path(u8"Карты и 地图 é");
    fs::create_directories(folder);
    for (const fs::path& map : {fs::path("map:foo.w3m"), fs::path("flat-file:bar.w3m"), fs::path("http:x.w3m"),
                               fs::path("file:y.w3m"), folder / fs::path(u8"Мой мир 世界.w3x")}) {
        SCOPED_TRACE(map.string());
        Simple().WriteTo(map);
        archive_.AddEntry(map, file, "war3map.w3u", kStoreCompressed);
        archive_.ExtractEntry(map, "war3map.w3u", folder / "out dir", kCreateFolder);
        EXPECT_EQ(ReadText(folder / "out dir" / "war3map.w3u"), "units");
        EXPECT_TRUE(archive_.Compact(map, {}));
        EXPECT_TRUE(Contains(ErrorOf([&] { archive_.ReadEntry(map, "war3map.w3c"); }).what(), map.filename().string()));
    }
}

} // namespace
} // namespace vornak::test
