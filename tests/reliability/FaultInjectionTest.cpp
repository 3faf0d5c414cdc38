// Makes each step of an install fail in turn: every file operation, every point where the
// archive layer can fail, every archive call. Whatever fails, the user's map must stay as it
// was, the templates must be whole, nothing may be left beside the map, and the next install
// must work.

#include "InstallScene.h"
#include "MapBuilder.h"
#include "RecordingMapArchive.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"
#include "base/FileError.h"
#include "base/FileOps.h"
#include "install/InstallError.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <set>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

using Point = std::pair<std::string, fs::path>; // operation, file

// One install that numbers its failure points as it meets them (in `met`) and fails point
// `failAt`, each layer with its own kind of error, as a real fault would make it.
InstallOutcome InstallFailingAt(const InstallScene& scene, MapArchive& storm, std::size_t failAt,
                                std::vector<Point>& met)
{
    const auto hit = [&](const std::string& operation, const fs::path& path, const std::string& entry) {
        met.emplace_back(operation, path);
        if (met.size() - 1 != failAt)
            return;
        const std::string reason = "Input/output error (injected)";
        if (operation.starts_with("call ") || operation.starts_with("archive-"))
            throw ArchiveError(operation, fileops::Display(path), entry, reason, std::make_error_code(std::errc::io_error));
        throw FileError(std::make_error_code(std::errc::io_error), "Cannot " + operation + " '" + fileops::Display(path) + "': " + reason);
    };
    fileops::SetFaultHook([&](std::string_view operation, const fs::path& path) { hit(std::string(operation), path, ""); });
    RecordingMapArchive archive(storm);
    archive.beforeCall = [&](const RecordingMapArchive::Call& call) { hit("call " + call.operation, call.map, call.entry); };
    const auto outcome = RunInstall(scene.appDir(), scene.mapPath(), archive);
    fileops::SetFaultHook(nullptr);
    return outcome;
}

std::vector<std::uint8_t> RealMap(const char* name)
{
    const auto realmaps = RealMapsDir();
    return realmaps ? ReadBytes(*realmaps / "maps" / name) : std::vector<std::uint8_t>{};
}

struct MapSource {
    const char* label;
    std::function<std::vector<std::uint8_t>()> make;
    const char* mustMeet = ""; // a kind of failure point this map must offer
};

const MapSource kMaps[] = {
    {"BuiltMap", [] { return TypicalMapBytes(512 * 1024); }, "write staged copy"},
    // With the script, info, strings, cameras and (listfile): 16 entries of 16. No war3map.w3u:
    // its addition needs a slot the table lacks.
    {"BuiltMapWhoseHashTableMustGrow",
     [] {
         return TypicalMap({.w3i = ReadBytes(SourceDir() / "Data" / "war3map.w3i"), .fillerEntries = 11, .withW3u = false})
             .HashTableSize(16)
             .Build();
     },
     "archive-grow staged copy"},
    // An entry whose key depends on its place, its name unknown: the map is copied whole and compacted.
    {"BuiltMapCopiedWhole",
     [] {
         return TypicalMap({.w3i = ReadBytes(SourceDir() / "Data" / "war3map.w3i")}).Encrypted("war3map.doo", true).Build();
     },
     "archive-compact staged copy"},
    // A map lacking an entry (an addition, no deletion), one with a strong signature footer,
    // one without (listfile), one with a weak signature.
    {"RealRocMapWithoutUnits", [] { return RealMap("gowc3_test_roc.w3m"); }},
    {"RealSignedMap", [] { return RealMap("war3net_roc131_4_Deadlock.w3m"); }},
    {"RealMapWithoutListfile", [] { return RealMap("jmpq3_listfilelessMap.w3x"); }},
    {"RealMapWithWeakSignature", [] { return RealMap("jmpq3_ydwe.w3x"); }},
};

void PrintTo(const MapSource& source, std::ostream* out)
{
    *out << source.label;
}

class FaultInjection : public ::testing::TestWithParam<MapSource> {};

TEST_P(FaultInjection, EveryFailurePointLosesNothing)
{
    const auto mapBytes = GetParam().make();
    if (mapBytes.empty())
        GTEST_SKIP() << "../shared/realmaps is absent here: the real-map tests are skipped";
    InstallScene scene(mapBytes);
    StormMapArchive storm({scene.listFile()});
    const MapEntries before = ReadAllEntries(scene.mapPath(), scene.listFile());

    // A counting run: nothing fails, every point is numbered.
    std::vector<Point> points;
    ASSERT_TRUE(InstallFailingAt(scene, storm, static_cast<std::size_t>(-1), points).installed);
    ASSERT_EQ(scene.ExplainIfNotCleanlyInstalled(before), "");
    const FolderState completed = CaptureFolder(scene.dataDir());

    std::size_t failedCleanly = 0;
    std::set<std::string> kinds;
    for (std::size_t n = 0; n < points.size() && !HasFailure(); ++n) {
        const auto& [operation, path] = points[n];
        SCOPED_TRACE("failure point " + std::to_string(n) + ": " + operation + " on " + fileops::Display(path));
        kinds.insert(operation + " " + (path == scene.mapPath() ? "map" : path == scene.stagedPath() ? "staged copy"
                                                                          : fileops::Display(path.filename())));
        scene.Reset();
        std::vector<Point> met;
        const auto outcome = InstallFailingAt(scene, storm, n, met);
        // The same install meets the same points in the same order.
        ASSERT_GT(met.size(), n);
        EXPECT_EQ(met[n].first, operation);
        if (outcome.installed) {
            // A step whose failure the install may ride over: the result must still be whole.
            EXPECT_EQ(scene.ExplainIfNotCleanlyInstalled(before), "");
        } else {
            ++failedCleanly;
            EXPECT_FALSE(outcome.programEnded || outcome.foreignException) << outcome.error;
            EXPECT_TRUE(outcome.error.find(fileops::Display(scene.mapPath().filename())) != std::string::npos ||
                        outcome.error.find(fileops::Display(path.filename())) != std::string::npos)
                << "the error names neither the map nor the failed file: " << outcome.error;
            EXPECT_EQ(scene.ExplainIfNotUntouched(completed), "");
        }
        // Whatever a failure left, the next install must work.
        const auto next = scene.Install();
        EXPECT_TRUE(next.installed) << next.error;
        EXPECT_EQ(scene.ExplainIfNotCleanlyInstalled(before), "");
        EXPECT_EQ(DescribeDifference(completed, CaptureFolder(scene.dataDir())), "");
    }
    std::cout << "[ figures  ] " << GetParam().label << ": " << points.size() << " failure points injected, "
              << failedCleanly << " failed cleanly, " << points.size() - failedCleanly << " installed anyway, "
              << kinds.size() << " distinct kinds:";
    for (const auto& kind : kinds)
        std::cout << " [" << kind << "]";
    std::cout << "\n";
    // Extraction, transfers, templates, staging, changes, verification, replace.
    EXPECT_GE(points.size(), 75u);
    EXPECT_GE(kinds.size(), 40u);
    EXPECT_TRUE(!*GetParam().mustMeet || kinds.contains(GetParam().mustMeet));
}

INSTANTIATE_TEST_SUITE_P(Maps, FaultInjection, ::testing::ValuesIn(kMaps),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace vornak::test
