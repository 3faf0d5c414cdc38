// Checks that the benchmark measures what it claims: maps of the asked size that smpq
// itself can read, scripts laid out as the editor writes them, and sound statistics.

#include "MapGenerator.h"
#include "ProcessRunner.h"
#include "SampleContent.h"
#include "Stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace vornak::bench {
namespace {
namespace fs = std::filesystem;

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(BenchStats, MedianAndPairwiseRatios)
{
    EXPECT_DOUBLE_EQ(Median({5, 1, 3}), 3);
    EXPECT_DOUBLE_EQ(Median({4, 1, 3, 2}), 2.5);
    EXPECT_THROW(Median({}), std::invalid_argument);
    EXPECT_EQ(Ratios({10, 30}, {5, 10}), (std::vector<double>{2, 3}));
    EXPECT_THROW(Ratios({1}, {1, 2}), std::invalid_argument);
}

TEST(BenchContent, ScriptHasEditorLayoutAndItsCameraLineInMain)
{
    Rng rng(3);
    const std::string script = MakeScript(300 * 1024, rng, 2);
    EXPECT_NEAR(static_cast<double>(script.size()), 300.0 * 1024, 2048);
    // Every line end is CR LF: a lone LF would merge lines for the reader.
    EXPECT_EQ(Count(script, "\n"), Count(script, "\r\n"));
    const auto main = script.find("function main takes nothing");
    ASSERT_NE(main, std::string::npos);
    EXPECT_GT(main, script.size() * 9 / 10) << "main comes last, so a scan reads nearly everything";
    EXPECT_EQ(script.find(SampleCameraLine(), main), script.find("\r\n", main) + 2);
    EXPECT_EQ(Count(script, SampleCameraLine()), 3u);
    EXPECT_LT(script.find(SampleCameraLine()), main);
}

TEST(BenchContent, MapInfoRecordFieldsSitAtTheirFixedOffsets)
{
    const Bytes info = MakeMapInfo('Y', 2048.0f, 1024.0f);
    ASSERT_GT(info.size(), 121u);
    EXPECT_EQ(info[0], 18);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&info[12])), "TRIGSTR_001");
    EXPECT_EQ(info[59], 0) << "the four texts take exactly 48 bytes";
    float bound1 = 0;
    std::memcpy(&bound1, &info[60], 4); // the build machine is little-endian
    EXPECT_EQ(bound1, -2048.0f);
    EXPECT_EQ(info[120], 'Y');

    const Bytes header = MakeMapHeader("Name", 4);
    EXPECT_EQ(header.size(), 512u);
    EXPECT_EQ(std::string(header.begin(), header.begin() + 4), "HM3W");
}

TEST(BenchContent, StructuredDataCompressesAndNoiseDoesNot)
{
    // The maps must hold both kinds, or the install and smpq would be timed on one case only.
    Rng rng(5);
    const fs::path file = fs::temp_directory_path() / ("vornak-bench-gz-" + std::to_string(::getpid()));
    const auto gzipped = [&](const Bytes& bytes) {
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return std::stod(RunChild({"sh", "-c", "gzip -c \"$0\" | wc -c", file.string()}).output);
    };
    EXPECT_GT(gzipped(MakeNoise(256 * 1024, rng)), 256.0 * 1024);
    EXPECT_LT(gzipped(MakeStructuredData(256 * 1024, rng)), 256.0 * 1024 * 0.4);
    fs::remove(file);
}

TEST(BenchProcess, ChildExitCodeOutputAndTime)
{
    const auto ok = RunChild({"sh", "-c", "echo hello; exit 3"});
    EXPECT_EQ(ok.exitCode, 3);
    EXPECT_EQ(ok.output, "hello\n");
    const auto busy = RunChild({"sh", "-c", "i=0; while [ $i -lt 20000 ]; do i=$((i+1)); done"});
    EXPECT_GT(busy.cpuMs, 1.0);
    EXPECT_GE(busy.wallMs, busy.cpuMs * 0.5);
    EXPECT_THROW(RunChild({"/nonexistent/program"}), std::runtime_error);
}

TEST(BenchMaps, GeneratedMapHasTheAskedSizeAndEntriesSmpqCanRead)
{
    const fs::path work = fs::temp_directory_path() / ("vornak-bench-test-" + std::to_string(::getpid()));
    MapGenerator generator(work);
    const auto map = generator.Generate({"small.w3m", 256 * 1024, 64 * 1024, true, 11});
    EXPECT_NEAR(static_cast<double>(map.bytes), 256.0 * 1024, 256.0 * 1024 * 0.03);
    EXPECT_GT(map.entries, 20u);

    const auto listing = RunChild({"smpq", "-l", map.file.string()});
    ASSERT_EQ(listing.exitCode, 0);
    for (const char* entry : {"war3map.j", "war3map.w3u", "war3map.wts", "war3map.w3i", "war3map.w3c"})
        EXPECT_NE(listing.output.find(entry), std::string::npos) << entry;
    EXPECT_EQ(Count(listing.output, "\n"), map.entries);
    fs::remove_all(work);
}

} // namespace
} // namespace vornak::bench
