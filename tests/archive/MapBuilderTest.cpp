// The map builder must write maps that other MPQ readers take as valid, and broken maps
// that the archive layer refuses cleanly.
#include "MapBuilder.h"
#include "TestFiles.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace vornak::test {
namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

std::string RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    pclose(pipe);
    return output;
}

TEST(MapBuilder, EntriesReadBackByteForByteWithAndWithoutHeader)
{
    TempDir dir;
    const auto random = RandomBytes(3 * 4096 + 17, 7); // several sectors, last one partial
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    for (bool header : {false, true}) {
        for (bool listFile : {false, true}) {
            MapBuilder builder;
            if (header)
                builder.Hm3wHeader("Test map", 2);
            builder.Entry("war3map.w3i", RandomBytes(121, 1))
                .CompressedEntry("war3map.j", text)
                .CompressedEntry("war3map.w3e", random)
                .Entry("empty.txt", std::vector<std::uint8_t>{})
                .ListFile(listFile);
            const auto map = dir / ("m" + std::to_string(header) + std::to_string(listFile) + ".w3m");
            builder.WriteTo(map);
            if (header) {
                const auto bytes = ReadBytes(map);
                ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "HM3W");
                ASSERT_EQ(std::string(bytes.begin() + 512, bytes.begin() + 515), "MPQ");
            }

            StormMapArchive archive;
            EXPECT_EQ(archive.ReadEntry(map, "war3map.j"), std::vector<std::uint8_t>(text.begin(), text.end()));
            EXPECT_EQ(archive.ReadEntry(map, "war3map.w3e"), random);
            EXPECT_EQ(archive.ReadEntry(map, "war3map.w3i"), RandomBytes(121, 1));
            EXPECT_TRUE(archive.ReadEntry(map, "empty.txt").empty());
            const auto listing = archive.List(map, {});
            EXPECT_EQ(listing.entryCount, listFile ? 5u : 4u);
            // Without a (listfile) the name of empty.txt is unknown; the probed names are known.
            EXPECT_EQ(listing.allNamesKnown, listFile);
        }
    }
}

TEST(MapBuilder, SmpqListsAndExtractsWhatWeWrite)
{
    if (std::system("smpq --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "smpq is not installed";
    TempDir dir;
    const auto map = dir / "cross.w3m";
    TypicalMapOptions options;
    options.w3i = RandomBytes(200, 3);
    TypicalMap(options).WriteTo(map);

    const std::string listed = RunCommand("smpq -l '" + map.string() + "' 2>&1");
    for (const char* name : {"war3map.j", "war3map.w3i", "war3map.wts", "war3map.w3c", "war3map.w3u", "war3map.w3e"})
        EXPECT_NE(listed.find(name), std::string::npos) << name << " missing in: " << listed;

    const auto out = dir / "out";
    std::filesystem::create_directory(out);
    RunCommand("cd '" + out.string() + "' && smpq -x '" + map.string() + "' war3map.j 2>&1");
    EXPECT_EQ(ReadText(out / "war3map.j"), TypicalScript(options));
}

TEST(MapBuilder, TypicalMapHasTheScriptWithItsCameraLineAndRequestedSize)
{
    TempDir dir;
    TypicalMapOptions options;
    options.w3i = RandomBytes(121, 2);
    options.scriptBytes = 200 * 1024;
    options.fillerBytes = 1024 * 1024;
    options.fillerEntries = 20;
    options.lineEnd = "\n";
    const auto map = dir / "typical.w3x";
    TypicalMap(options).WriteTo(map);

    StormMapArchive archive;
    const auto script = archive.ReadEntry(map, "war3map.j");
    const std::string text(script.begin(), script.end());
    EXPECT_NE(text.find("\n" + options.cameraLine + "\n"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_GE(text.size(), options.scriptBytes - 1024);
    EXPECT_LE(text.size(), options.scriptBytes + 1024);
    EXPECT_EQ(archive.List(map, {}).entryCount, 4u + 1u + 20u + 1u); // five, fillers, (listfile)
    const auto size = std::filesystem::file_size(map);
    EXPECT_GT(size, 512u * 1024u); // the random half does not compress
    EXPECT_LT(size, 2u * 1024u * 1024u);
}

} // namespace
} // namespace vornak::test
