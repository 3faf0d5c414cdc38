// Faults the reliability work found, each cut down to what matters, so they stay fixed.

#include "InstallScene.h"
#include "MapBuilder.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"
#include "TestFiles.h"
#include "install/CameraLineTransfer.h"
#include "base/FileOps.h"
#include "install/InstallError.h"
#include "install/StagedMapUpdate.h"

#include <gtest/gtest.h>

#include <functional>

namespace vornak::test {
namespace {

struct CameraFinding {
    const char* label;
    const char* script;
    const char* cameraLine;
};

void PrintTo(const CameraFinding& c, std::ostream* out)
{
    *out << c.label;
}

// A call on the line that opens or closes main (behind a comment) was skipped altogether,
// so a script whose only call stood there gave no camera line at all.
const CameraFinding kCameraFindings[] = {
    {"CallOnTheLineOpeningMain",
     "function main takes nothing returns nothing // CALL SETCAMERABOUNDS(1, 2)\r\n    call Foo()\r\nendfunction\r\n",
     "function main takes nothing returns nothing // CALL SETCAMERABOUNDS(1, 2)"},
    {"CallOnTheLineClosingMain",
     "function main takes nothing returns nothing\r\n    call Foo()\r\nendfunction // call SetCameraBounds(3)\r\n",
     "endfunction // call SetCameraBounds(3)"},
    {"CallInsideMainStillWins",
     "function main takes nothing returns nothing // call SetCameraBounds(1)\r\n"
     "    call SetCameraBounds(2)\r\nendfunction\r\n",
     "    call SetCameraBounds(2)"},
};

class CameraLineFinding : public ::testing::TestWithParam<CameraFinding> {};

TEST_P(CameraLineFinding, IsFound)
{
    TempDir dir;
    WriteText(dir / "war3map.j", GetParam().script);
    EXPECT_EQ(FindCameraLine(dir / "war3map.j"), GetParam().cameraLine);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CameraLineFinding, ::testing::ValuesIn(kCameraFindings),
                         [](const auto& info) { return std::string(info.param.label); });

// Found by fault injection: when closing the probe file (the first write beside the map)
// failed, the empty staged copy stayed beside the map. The step after making it fails here.
TEST(FaultFinding, FailedCloseOfTheWriteProbeLeavesNothingBesideTheMap)
{
    InstallScene scene(TypicalMapBytes(16 * 1024));
    fileops::SetFaultHook([&](std::string_view operation, const std::filesystem::path& path) {
        if (operation == "archive-open" && path == scene.mapPath())
            throw InstallError("Cannot finish writing: injected");
    });
    const auto outcome = scene.Install();
    fileops::SetFaultHook(nullptr);
    EXPECT_FALSE(outcome.installed);
    EXPECT_EQ(scene.ExplainIfNotUntouched({}), "");
}

// Found with odd paths: a map whose name had room for fewer than ten more bytes got no staged
// copy ("the folder cannot be written"), so it could not be installed into at all. The staged
// copy's name must also leave room for the ".tmp" that compaction adds to it.
bool WholeUtf8Characters(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

TEST(PathFinding, StagedCopyOfTheLongestNameFitsBesideIt)
{
    const std::string names[] = {
        std::string(251, 'n') + ".w3x",
        std::string(244, 'k') + "\xe5\x9c\xb0.w3x", // the cut would fall inside this character
        "\xd0\x9a" + std::string(249, 'k') + ".w3x",
    };
    for (const auto& name : names) {
        const auto map = std::filesystem::path("/maps") / fileops::PathFromUtf8(name);
        const auto staged = StagedMapUpdate::StagedPathFor(map);
        const auto stagedName = fileops::Display(staged.filename());
        EXPECT_EQ(staged.parent_path(), map.parent_path());
        EXPECT_LE(stagedName.size() + std::string_view(".tmp").size(), 255u) << stagedName;
        EXPECT_TRUE(WholeUtf8Characters(stagedName)) << stagedName;
        EXPECT_TRUE(stagedName.ends_with(".vqinstall"));
    }
    // Names with room keep the plain rule.
    EXPECT_EQ(StagedMapUpdate::StagedPathFor("/maps/My map.w3x"), std::filesystem::path("/maps/My map.w3x.vqinstall"));
}

// Found by the archive fuzz target, twice. Over an entry whose block the tables garble,
// StormLib cannot open the entry yet finds it when adding one of that name, and aborts the
// process (a failed assertion inside the library); and after some garbled block entries it
// crashes while saving its (listfile). Garbled maps must be refused or changed, never crash.
TEST(ArchiveFinding, GarbledBlockTablesAreRefusedOrChangedButNeverCrash)
{
    MapBuilder builder;
    builder.Hm3wHeader()
        .Entry("war3map.w3u", std::vector<std::uint8_t>(300, 7))
        .Entry("war3map.j", "call SetCameraBounds(1)\r\n")
        .Entry("war3map.w3e", std::vector<std::uint8_t>(5000, 3));
    const auto built = builder.Build();
    const std::size_t mpq = builder.MpqOffset();
    const auto field = [&](std::size_t at) {
        return std::size_t{built[mpq + at]} | std::size_t{built[mpq + at + 1]} << 8 |
            std::size_t{built[mpq + at + 2]} << 16 | std::size_t{built[mpq + at + 3]} << 24;
    };
    const std::size_t blockTable = mpq + field(20);
    const std::size_t blockWords = field(28) * 4;

    TempDir dir;
    WriteText(dir / "added", "new content");
    std::size_t refused = 0;
    // Spoiling one encrypted byte garbles every entry decrypted after it.
    for (std::size_t at = 0; at < 4 * blockWords; ++at) {
        for (const std::uint8_t spoil : {0x01, 0x5a, 0x80, 0xff}) {
            SCOPED_TRACE("block table byte " + std::to_string(at) + " ^ " + std::to_string(spoil));
            auto spoiled = built;
            spoiled[blockTable + at] ^= spoil;
            WriteBytes(dir / "map.w3x", spoiled);
            StormMapArchive archive;
            try {
                archive.CheckWritable(dir / "map.w3x");
                for (const char* entry : {"war3map.w3u", "war3map.j"}) {
                    if (archive.HasEntry(dir / "map.w3x", entry))
                        archive.DeleteEntry(dir / "map.w3x", entry);
                    archive.AddEntry(dir / "map.w3x", dir / "added", entry, kStoreCompressed);
                    EXPECT_EQ(archive.ReadEntry(dir / "map.w3x", entry), ReadBytes(dir / "added"));
                }
            } catch (const ArchiveError&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 0u);
}

TEST(ArchiveFinding, AnEntryReachingGigabytesPastTheEndIsRefusedBeforeAnyChange)
{
    // StormLib opened such a map for changes and crashed saving its (listfile) after a deletion.
    MapBuilder builder;
    builder.Hm3wHeader()
        .Entry("war3map.w3c", std::vector<std::uint8_t>(3000, 7))
        .CompressedEntry("war3map.j", "call SetCameraBounds(1)\r\n")
        .Entry("war3map.w3e", std::vector<std::uint8_t>(5000, 3))
        .Damaged(MapBuilder::Damage::EntryReachesBeyondEnd);
    TempDir dir;
    builder.WriteTo(dir / "map.w3x");
    StormMapArchive archive;
    EXPECT_THROW(archive.CheckWritable(dir / "map.w3x"), ArchiveError);
    try {
        archive.DeleteEntry(dir / "map.w3x", "war3map.j");
    } catch (const ArchiveError& error) {
        EXPECT_NE(std::string(error.what()).find("damaged"), std::string::npos) << error.what();
    }
}

// Found by the archive fuzz target: StormLib (9.22, assertions compiled in) ended the process
// inside its own code on these structures, while the map was only being read. Each is now
// refused as damaged before StormLib sees the map. The built map's first entry is 3 sectors
// stored compressed right behind the MPQ header, its sector table first.
struct StructureFinding {
    const char* label;
    std::size_t at;      // from the MPQ header
    std::uint32_t value; // written there, little-endian; one byte where `byte`
    bool byte = false;
};

void PrintTo(const StructureFinding& f, std::ostream* out)
{
    *out << f.label;
}

const StructureFinding kStructureFindings[] = {
    // An assertion in its decompressor: LZMA in an archive of the first format.
    {"LzmaSector", 32 + 16, 0x12, true},
    // The hash table allocated at its stated size, 4 GB, before anything checks it.
    {"HashTableOf4GB", 24, 0x10000000},
    // The file table allocated for a block table of 5 GB.
    {"BlockTableOf5GB", 28, 0x0D000000},
    // A sector table that claims to be longer than it is read past its buffer.
    {"SectorTableOverread", 32, 0x12345},
};

class StructureThatCrashedStormLib : public ::testing::TestWithParam<StructureFinding> {};

TEST_P(StructureThatCrashedStormLib, IsRefusedAsDamaged)
{
    MapBuilder builder;
    std::vector<std::uint8_t> script(10000);
    for (std::size_t i = 0; i < script.size(); ++i)
        script[i] = static_cast<std::uint8_t>(i / 64 % 7);
    builder.Hm3wHeader().CompressedEntry("war3map.j", script).Entry("war3map.w3i", std::vector<std::uint8_t>(200, 1));
    auto bytes = builder.Build();
    const std::size_t at = builder.MpqOffset() + GetParam().at;
    for (std::size_t i = 0; i < (GetParam().byte ? 1u : 4u); ++i)
        bytes.at(at + i) = static_cast<std::uint8_t>(GetParam().value >> (8 * i));
    TempDir dir;
    WriteBytes(dir / "map.w3x", bytes);

    StormMapArchive archive;
    for (const auto& read : std::vector<std::function<void()>>{
             [&] { archive.List(dir / "map.w3x", {}); },
             [&] { archive.ReadEntry(dir / "map.w3x", "war3map.j"); },
             [&] { archive.ExtractEntry(dir / "map.w3x", "war3map.j", dir / "out", true); },
         }) {
        try {
            read();
            ADD_FAILURE() << "read without an error";
        } catch (const ArchiveError& error) {
            EXPECT_TRUE(error.code() == ArchiveFailure::Damaged || error.code() == ArchiveFailure::Protected)
                << error.what();
        }
    }
    EXPECT_EQ(ReadBytes(dir / "map.w3x"), bytes);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, StructureThatCrashedStormLib, ::testing::ValuesIn(kStructureFindings),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace vornak::test
