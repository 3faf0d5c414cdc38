// The archive layer on small built maps: what the install's journeys do not single out.
// Damaged, protected and hostile maps go through the whole install in tests/reliability.
#include "MapBuilder.h"
#include "TestFiles.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

// The code of the ArchiveError that `call` must throw.
std::error_code CodeOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ArchiveError& error) {
        return error.code();
    }
    ADD_FAILURE() << "no ArchiveError was thrown";
    return {};
}

class StormMapArchiveTest : public ::testing::Test {
protected:
    fs::path File(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        WriteBytes(dir_ / name, bytes);
        return dir_ / name;
    }

    TempDir dir_;
    StormMapArchive archive_;
};

TEST_F(StormMapArchiveTest, ChangesFindEntriesWhateverTheCaseAndKeepTheOthers)
{
    MapBuilder builder;
    builder.Hm3wHeader().CompressedEntry("War3Map.J", "old script").Entry("war3map.w3I", RandomBytes(121, 1));
    const auto map = File("map.w3m", builder.Entry("war3map.w3e", RandomBytes(9000, 2)).Build());
    // An existing file is replaced, not appended to.
    File("war3map.j", RandomBytes(100000, 9));
    archive_.ExtractEntry(map, "war3map.j", dir_.path(), kCreateFolder);
    EXPECT_EQ(ReadText(dir_ / "war3map.j"), "old script");

    const auto units = File("units", RandomBytes(50000, 5));
    archive_.DeleteEntry(map, "WAR3MAP.J");
    EXPECT_FALSE(archive_.HasEntry(map, "war3map.j"));
    archive_.AddEntry(map, File("script", Bytes("new")), "war3map.j", kStoreCompressed);
    archive_.AddEntry(map, units, "war3map.w3u", kStorePlain);      // an entry the map lacked
    archive_.AddEntry(map, units, "war3map.w3i", kStoreCompressed); // one it holds in another case
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.j"), Bytes("new"));
    EXPECT_EQ(archive_.ReadEntry(map, "War3Map.W3U"), RandomBytes(50000, 5));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3i"), RandomBytes(50000, 5));
    EXPECT_EQ(archive_.ReadEntry(map, "war3map.w3e"), RandomBytes(9000, 2));
    EXPECT_EQ(archive_.List(map, {}).entryCount, 5u); // with (listfile): nothing doubled
}

TEST_F(StormMapArchiveTest, SavingRenewsTheWeakSignatureAndAChangedByteFailsIt)
{
    // Big-number maths wrong for the platform (a 32-bit long on Windows) sign with zeros, and a
    // changed map still verifies.
    MapBuilder builder;
    builder.Hm3wHeader().Entry("war3map.w3e", RandomBytes(900, 2)).Entry("(signature)", std::vector<std::uint8_t>(72));
    const auto map = File("signed.w3m", builder.Build());
    const auto units = Bytes("units the signature covers");
    archive_.AddEntry(map, File("units", units), "war3map.w3u", kStorePlain);
    EXPECT_TRUE(archive_.VerifyWeakSignature(map));
    auto bytes = ReadBytes(map);
    const auto at = std::search(bytes.begin(), bytes.end(), units.begin(), units.end());
    ASSERT_NE(at, bytes.end());
    *at ^= 1;
    WriteBytes(map, bytes);
    EXPECT_FALSE(archive_.VerifyWeakSignature(map));
    EXPECT_TRUE(CodeOf([&] { archive_.VerifyWeakSignature(File("unsigned.w3m", MapBuilder().Build())); }));
}

// The whole install's refusals (missing, not a map, read-only) are checked in tests/reliability,
// which does not run on Windows, where read-only is an attribute of its own.
TEST_F(StormMapArchiveTest, AReadOnlyMapIsRefusedAsSuchAndStays)
{
    const auto map = File("map.w3m", MapBuilder().Hm3wHeader().Entry("war3map.j", "script").Build());
    const auto before = ReadBytes(map);
    fs::permissions(map, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(CodeOf([&] { archive_.CheckWritable(map); }), ArchiveFailure::ReadOnly);
    EXPECT_EQ(CodeOf([&] { archive_.DeleteEntry(map, "war3map.j"); }), ArchiveFailure::ReadOnly);
    EXPECT_EQ(ReadBytes(map), before);
}

// A map without (listfile) whose hash table is full: StormLib grows the table and compacts
// only when it knows every name, which lists of names can supply.
TEST_F(StormMapArchiveTest, UnknownNamesStopGrowthAndCompactionUntilAListNamesThem)
{
    MapBuilder builder;
    builder.Entry("war3map.j", "script").Entry("war3map.w3e", "e").Entry("secret\\unnamed.dat", "no list names me");
    const auto map = File("map.w3m", builder.Entry("war3map.w3i", "info").ListFile(false).HashTableSize(4).Build());
    const auto file = File("units", RandomBytes(300, 4));
    const auto before = ReadBytes(map);
    EXPECT_EQ(CodeOf([&] { archive_.AddEntry(map, file, "war3map.w3u", kStoreCompressed); }),
              ArchiveFailure::UnknownNames);
    EXPECT_EQ(ReadBytes(map), before);
    EXPECT_FALSE(archive_.Compact(map, {}));
    EXPECT_EQ(ReadBytes(map), before);

    WriteText(dir_ / "names.txt", "war3map.w3e\r\nsecret\\unnamed.dat\n");
    StormMapArchive withList({dir_ / "names.txt"});
    withList.AddEntry(map, file, "war3map.w3u", kStoreCompressed);
    withList.DeleteEntry(map, "war3map.j");
    const auto grown = fs::file_size(map);
    EXPECT_TRUE(withList.Compact(map, {dir_ / "names.txt"}));
    EXPECT_LT(fs::file_size(map), grown);
    EXPECT_FALSE(fs::exists(dir_ / "map.w3m.tmp"));
    EXPECT_EQ(withList.ReadEntry(map, "secret\\unnamed.dat"), Bytes("no list names me"));
    EXPECT_EQ(withList.ReadEntry(map, "war3map.w3u"), RandomBytes(300, 4));
}

} // namespace
} // namespace vornak::test
