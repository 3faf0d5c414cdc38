// Makes each step of an install fail in turn: every file operation and every point where the
// archive layer can fail (opening the map, its staged copy and the copy read back: "archive-open"). Whatever
// fails, the user's map must stay as it was, the templates must be whole, nothing may be
// left beside the map, and the next install must work.

#include "InstallScene.h"
#include "MapBuilder.h"
#include "W3iBuilder.h"
#include "archive/ArchiveError.h"
#include "base/FileError.h"
#include "base/FileOps.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <set>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;
using test::PrintTo;

using Point = std::pair<std::string, fs::path>; // operation, file

// One install that numbers its failure points as it meets them (in `met`) and fails point
// `failAt`, each layer with its own kind of error, as a real fault would make it.
InstallOutcome InstallFailingAt(const InstallScene& scene, std::size_t failAt, std::vector<Point>& met)
{
    fileops::SetFaultHook([&](std::string_view operation, const fs::path& path) {
        met.emplace_back(operation, path);
        if (met.size() - 1 != failAt)
            return;
        const auto code = std::make_error_code(std::errc::io_error);
        if (operation.starts_with("archive-"))
            throw ArchiveError(std::string(operation), fileops::Display(path), "", "injected", code);
        throw FileError(code, "Cannot " + std::string(operation) + " '" + fileops::Display(path) + "': injected");
    });
    const auto outcome = scene.Install();
    fileops::SetFaultHook(nullptr);
    return outcome;
}

struct MapSource {
    const char* label;
    std::function<std::vector<std::uint8_t>()> make;
    const char* mustMeet; // a kind of failure point this map must offer
};

std::vector<std::uint8_t> RealMap(const char* name)
{
    const auto realmaps = RealMapsDir();
    return realmaps ? ReadBytes(*realmaps / "maps" / name) : std::vector<std::uint8_t>{};
}

const MapSource kMaps[] = {
    {"BuiltMap", [] { return TypicalMapBytes(512 * 1024); }, "write staged copy"},
    // With the script, info, strings, cameras and (listfile): 16 entries of 16. No war3map.w3u:
    // its addition needs a slot the table lacks.
    {"BuiltMapWhoseHashTableMustGrow",
     [] {
         return TypicalMap({.w3i = TemplateInfo(), .fillerEntries = 11, .withW3u = false}).HashTableSize(16).Build();
     },
     "archive-grow staged copy"},
    // Copied whole and compacted, and both templates are rewritten.
    {"BuiltMapCopiedWhole", [] { return MapUnlikeTheTemplates().Build(); }, "archive-compact staged copy"},
    // A map lacking an entry (an addition, no deletion), one with a strong signature footer,
    // one without (listfile), so without compaction, one with a weak signature.
    {"RealRocMapWithoutUnits", [] { return RealMap("gowc3_test_roc.w3m"); }, "write staged copy"},
    {"RealSignedMap", [] { return RealMap("war3net_roc131_4_Deadlock.w3m"); }, "write staged copy"},
    {"RealMapWithoutListfile", [] { return RealMap("jmpq3_listfilelessMap.w3x"); }, "rename map"},
    {"RealMapWithWeakSignature", [] { return RealMap("jmpq3_ydwe.w3x"); }, "write staged copy"},
};

class FaultInjection : public ::testing::TestWithParam<MapSource> {};

TEST_P(FaultInjection, EveryFailurePointLosesNothing)
{
    const auto mapBytes = GetParam().make();
    if (mapBytes.empty())
        GTEST_SKIP() << "../shared/realmaps is absent here: the real-map tests are skipped";
    InstallScene scene(mapBytes);
    const MapEntries before = ReadAllEntries(scene.mapPath(), scene.listFile());

    // A counting run: nothing fails, every point is numbered.
    std::vector<Point> points;
    ASSERT_TRUE(InstallFailingAt(scene, static_cast<std::size_t>(-1), points).installed);
    ASSERT_EQ(scene.ExplainIfNotCleanlyInstalled(before), "");
    const FolderState completed = CaptureFolder(scene.dataDir());
    // Every file put in place reaches the disk before its rename, and its folder after.
    for (std::size_t n = 0; n < points.size(); ++n) {
        if (points[n].first == "rename") {
            ASSERT_TRUE(n > 0 && n + 1 < points.size());
            EXPECT_EQ(Point(points[n - 1].first, points[n - 1].second.parent_path()),
                      Point("flush", points[n].second.parent_path()));
            EXPECT_EQ(points[n + 1], Point("flush-folder", points[n].second.parent_path()));
        }
    }

    std::size_t failedCleanly = 0;
    std::set<std::string> kinds;
    for (std::size_t n = 0; n < points.size() && !HasFailure(); ++n) {
        const auto& [operation, path] = points[n];
        SCOPED_TRACE("failure point " + std::to_string(n) + ": " + operation + " on " + fileops::Display(path));
        kinds.insert(operation + " " + (path == scene.mapPath() ? "map" : path == scene.stagedPath() ? "staged copy"
                                                                          : fileops::Display(path.filename())));
        scene.Reset();
        std::vector<Point> met;
        const auto outcome = InstallFailingAt(scene, n, met);
        // The same install meets the same points in the same order.
        ASSERT_GT(met.size(), n);
        EXPECT_EQ(met[n].first, operation);
        // Past the map's rename, with only its folder's flush failing, the map is complete.
        const bool mapInPlace = operation == "flush-folder" && path == scene.mapFolder();
        if (mapInPlace)
            EXPECT_EQ(scene.ExplainIfNotCleanlyInstalled(before), "");
        else // a step whose failure the install may ride over must still give a whole result
            EXPECT_EQ(scene.Judge(outcome, before, completed, fileops::Display(path.filename())), "");
        // A file that did not reach the disk is never put in place.
        if (operation == "flush" && n + 1 < points.size() && points[n + 1].first == "rename") {
            EXPECT_FALSE(outcome.installed);
        }
        failedCleanly += outcome.installed || mapInPlace ? 0 : 1;
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
    EXPECT_TRUE(kinds.contains(GetParam().mustMeet));
}

INSTANTIATE_TEST_SUITE_P(Maps, FaultInjection, ::testing::ValuesIn(kMaps), kRowLabel);

} // namespace
} // namespace vornak::test
