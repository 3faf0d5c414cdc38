// The map builder must write maps that another MPQ reader (smpq) takes as valid too, or the
// tests built on it could pass on maps only StormLib tolerates. Built entries are read back
// throughout StormMapArchiveTest.
#include "MapBuilder.h"
#include "TestFiles.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vornak::test {
namespace {

TEST(MapBuilder, TypicalMapHasItsScriptLineEndsAndSizeAndSmpqReadsIt)
{
    TempDir dir;
    TypicalMapOptions options;
    options.w3i = {1, 2, 3};
    options.scriptBytes = 200 * 1024;
    options.fillerBytes = 1024 * 1024;
    options.fillerEntries = 20;
    options.lineEnd = "\n";
    const auto map = dir / "typical.w3x";
    TypicalMap(options).WriteTo(map);

    StormMapArchive archive;
    const auto script = archive.ReadEntry(map, "war3map.j");
    const std::string text(script.begin(), script.end());
    EXPECT_EQ(text, TypicalScript(options));
    EXPECT_NE(text.find("\n" + options.cameraLine + "\n"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NEAR(static_cast<double>(text.size()), static_cast<double>(options.scriptBytes), 1024.0);
    EXPECT_EQ(archive.List(map, {}).entryCount, 4u + 1u + 20u + 1u); // five, fillers, (listfile)
    const auto size = std::filesystem::file_size(map);
    EXPECT_GT(size, 512u * 1024u); // the random half does not compress
    EXPECT_LT(size, 2u * 1024u * 1024u);

    if (!kSmpqRuns || std::system("smpq --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "smpq is not installed, or does not run here";
    const auto list = dir / "list.txt";
    ASSERT_EQ(std::system(("smpq -l '" + map.string() + "' >'" + list.string() + "'").c_str()), 0);
    const std::string listed = ReadText(list);
    for (const char* name : {"war3map.j", "war3map.w3i", "war3map.wts", "war3map.w3c", "war3map.w3u", "war3map.w3e"})
        EXPECT_NE(listed.find(name), std::string::npos) << name << " missing in: " << listed;
    ASSERT_EQ(std::system(("cd '" + dir.path().string() + "' && smpq -x '" + map.string() + "' war3map.j").c_str()), 0);
    EXPECT_EQ(ReadText(dir / "war3map.j"), TypicalScript(options));
}

} // namespace
} // namespace vornak::test
