// The archive layer on small built maps: what the install's journeys do not single out.
// Damaged, protected and hostile maps go through the whole install in tests/reliability.
#include "MapBuilder.h"
#include "TestFiles.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

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

// An extracted entry replaces a file that is there, whatever the case of the names; a killed
// install leaves one there. Names in other cases through the whole install: the list tests.
TEST_F(StormMapArchiveTest, AnExtractReplacesTheFileThatIsThere)
{
    MapBuilder builder;
    const auto map = File("map.w3m", builder.Hm3wHeader().CompressedEntry("War3Map.J", "old script").Build());
    File("war3map.j", RandomBytes(100000, 9));
    archive_.Open(map)->ExtractEntry("war3map.j", dir_.path(), kCreateFolder);
    EXPECT_EQ(ReadText(dir_ / "war3map.j"), "old script");
}

TEST_F(StormMapArchiveTest, SavingRenewsTheWeakSignatureAndAChangedByteFailsIt)
{
    // Big-number maths wrong for the platform (a 32-bit long on Windows) sign with zeros, and a
    // changed map still verifies.
    MapBuilder builder;
    builder.Hm3wHeader().Entry("war3map.w3e", RandomBytes(900, 2)).Entry("(signature)", std::vector<std::uint8_t>(72));
    const auto map = File("signed.w3m", builder.Build());
    const auto units = Bytes("units the signature covers");
    const auto copy = dir_ / "copy.w3m";
    {
        const auto session = archive_.Open(map);
        const std::string_view none[] = {"war3map.w3u"};
        const auto staged = session->Stage(copy, none);
        staged->Replace({{File("units", units), "war3map.w3u"}}, kStorePlain);
        staged->Save()->Close();
    }
    EXPECT_TRUE(archive_.VerifyWeakSignature(copy));
    auto bytes = ReadBytes(copy);
    const auto at = std::search(bytes.begin(), bytes.end(), units.begin(), units.end());
    ASSERT_NE(at, bytes.end());
    *at ^= 1;
    WriteBytes(copy, bytes);
    EXPECT_FALSE(archive_.VerifyWeakSignature(copy));
    EXPECT_THROW(archive_.VerifyWeakSignature(File("unsigned.w3m", MapBuilder().Build())), ArchiveError);
}

// A map without (listfile) whose hash table is full: StormLib grows the table only when it
// knows every name, which lists of names can supply.
TEST_F(StormMapArchiveTest, UnknownNamesStopGrowthUntilAListNamesThem)
{
    MapBuilder builder;
    builder.Entry("war3map.j", "script").Entry("war3map.w3e", "e").Entry("secret\\unnamed.dat", "no list names me");
    const auto map = File("map.w3m", builder.Entry("war3map.w3i", "info").ListFile(false).HashTableSize(4).Build());
    const auto file = File("units", RandomBytes(300, 4));
    const std::string_view none[] = {"war3map.w3u"};
    try {
        archive_.Open(map)->Stage(dir_ / "copy.w3m", none)->Replace({{file, "war3map.w3u"}}, kStoreCompressed);
        ADD_FAILURE() << "the entry was added";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.code(), ArchiveFailure::UnknownNames);
    }

    WriteText(dir_ / "names.txt", "war3map.w3e\r\nsecret\\unnamed.dat\n");
    const auto session = StormMapArchive({dir_ / "names.txt"}).Open(map);
    const auto staged = session->Stage(dir_ / "copy.w3m", none);
    staged->Replace({{file, "war3map.w3u"}}, kStoreCompressed);
    const auto copy = staged->Save();
    EXPECT_EQ(copy->ReadEntry("secret\\unnamed.dat"), Bytes("no list names me"));
    EXPECT_EQ(copy->ReadEntry("war3map.w3u"), RandomBytes(300, 4));
}

} // namespace
} // namespace vornak::test
