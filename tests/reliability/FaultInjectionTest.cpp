// Makes each step of an install fail in turn: every file operation, every point where the
// archive layer can fail, every archive call. Whatever fails, the user's map must stay as it
// was, the templates must be whole, nothing may be left beside the map, and the next install
// must work.

#include "InstallScene.h"
#include "MapBuilder.h"
#include "RecordingMapArchive.h"
#include "TestFiles.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"
#include "install/FileOps.h"
#include "install/InstallError.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <set>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

// Numbers the failure points of one install as it meets them, and fails the chosen one.
class FaultInjector {
public:
    explicit FaultInjector(std::size_t failAt) : failAt_(failAt)
    {
        fileops::SetFaultHook([this](std::string_view operation, const fs::path& path) {
            Hit(std::string(operation), path, "");
        });
    }
    ~FaultInjector() { fileops::SetFaultHook(nullptr); }
    FaultInjector(const FaultInjector&) = delete;
    FaultInjector& operator=(const FaultInjector&) = delete;

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void Attach(RecordingMapArchive& archive)
    {
        archive.beforeCall = [this](const RecordingMapArchive::Call& call) {
            Hit("call " + call.operation, call.map, call.entry);
        };
    }

    struct Point {
        std::string operation;
        fs::path path;
    };
    const std::vector<Point>& points() const { return points_; }

private:
    void Hit(const std::string& operation, const fs::path& path, const std::string& entry)
    {
        const bool fail = points_.size() == failAt_;
        points_.push_back({operation, path});
        if (!fail)
            return;
        // Each layer fails with its own kind of error, as a real fault would make it.
        const std::string reason = "Input/output error (injected)";
        if (operation.starts_with("call ") || operation.starts_with("archive-"))
            throw ArchiveError(operation, fileops::Display(path), entry, reason);
        throw InstallError("Cannot " + operation + " '" + fileops::Display(path) + "': " + reason);
    }

    std::size_t failAt_;
    std::vector<Point> points_;
};

std::string Role(const fs::path& path, const InstallScene& scene)
{
    if (path == scene.mapPath())
        return "map";
    if (path == scene.stagedPath())
        return "staged copy";
    return fileops::Display(path.filename());
}

struct Tally {
    std::size_t points = 0;
    std::size_t failedCleanly = 0;
    std::size_t installedAnyway = 0;
    std::set<std::string> kinds;
};

// Runs the install once per failure point with exactly that point failing.
Tally InjectEveryFault(const std::vector<std::uint8_t>& mapBytes)
{
    Tally tally;
    InstallScene scene(mapBytes);
    StormMapArchive storm({scene.listFile()});
    const MapEntries before = ReadAllEntries(scene.mapPath(), scene.listFile());

    std::vector<FaultInjector::Point> points;
    {
        RecordingMapArchive archive(storm);
        FaultInjector counter(FaultInjector::kNone);
        counter.Attach(archive);
        const auto outcome = RunInstall(scene.appDir(), scene.mapPath(), archive);
        EXPECT_TRUE(outcome.installed) << outcome.error;
        points = counter.points();
    }
    EXPECT_EQ(ExplainIfNotInstalled(scene.mapPath(), before, scene.dataDir()), "");
    const FolderState completed = CaptureFolder(scene.dataDir());
    tally.points = points.size();

    for (std::size_t n = 0; n < points.size(); ++n) {
        const auto& point = points[n];
        SCOPED_TRACE("failure point " + std::to_string(n) + ": " + point.operation + " on " +
                     fileops::Display(point.path));
        tally.kinds.insert(point.operation + " " + Role(point.path, scene));
        scene.Reset();

        InstallOutcome outcome;
        {
            RecordingMapArchive archive(storm);
            FaultInjector injector(n);
            injector.Attach(archive);
            outcome = RunInstall(scene.appDir(), scene.mapPath(), archive);
            // The same install meets the same points in the same order.
            EXPECT_GT(injector.points().size(), n);
            if (injector.points().size() > n) {
                EXPECT_EQ(injector.points()[n].operation, point.operation);
            }
        }

        if (outcome.installed) {
            // A step whose failure the install may ride over: the result must still be whole.
            ++tally.installedAnyway;
            EXPECT_EQ(ExplainIfNotInstalled(scene.mapPath(), before, scene.dataDir()), "");
        } else {
            ++tally.failedCleanly;
            EXPECT_FALSE(outcome.programEnded);
            EXPECT_FALSE(outcome.foreignException) << outcome.error;
            const auto mapName = fileops::Display(scene.mapPath().filename());
            const auto failedName = fileops::Display(point.path.filename());
            EXPECT_TRUE(outcome.error.find(mapName) != std::string::npos ||
                        outcome.error.find(failedName) != std::string::npos)
                << "the error names neither the map nor the failed file: " << outcome.error;
            EXPECT_EQ(scene.ExplainIfNotUntouched(completed), "");
        }

        // Whatever a failure left, the next install must work.
        const auto next = scene.Install();
        EXPECT_TRUE(next.installed) << next.error;
        EXPECT_EQ(ExplainIfNotInstalled(scene.mapPath(), before, scene.dataDir()), "");
        EXPECT_FALSE(fs::exists(scene.stagedPath()));
        EXPECT_EQ(DescribeDifference(completed, CaptureFolder(scene.dataDir())), "");
        if (::testing::Test::HasFailure())
            break; // one broken point explains the rest; keep the log short
    }
    return tally;
}

void Report(const std::string& label, const Tally& tally)
{
    std::cout << "[ figures  ] " << label << ": " << tally.points << " failure points injected, "
              << tally.failedCleanly << " failed cleanly, " << tally.installedAnyway << " installed anyway, "
              << tally.kinds.size() << " distinct kinds:";
    for (const auto& kind : tally.kinds)
        std::cout << " [" << kind << "]";
    std::cout << "\n";
    ::testing::Test::RecordProperty("failure_points", static_cast<int>(tally.points));
    ::testing::Test::RecordProperty("distinct_kinds", static_cast<int>(tally.kinds.size()));
}

std::vector<std::uint8_t> MapWithFullHashTable()
{
    TypicalMapOptions options;
    options.w3i = ReadBytes(SourceDir() / "Data" / "war3map.w3i");
    options.withW3u = false;    // its addition needs a slot the table lacks
    options.fillerEntries = 11; // with the script, info, strings, cameras and (listfile): 16 of 16
    options.fillerBytes = 64 * 1024;
    return TypicalMap(options).HashTableSize(16).Build();
}

struct MapSource {
    const char* label;
    std::function<std::vector<std::uint8_t>()> make;
    const char* mustMeet = ""; // a kind of failure point this map must offer
};

std::vector<std::uint8_t> RealMap(const char* name)
{
    const auto realmaps = RealMapsDir();
    return realmaps ? ReadBytes(*realmaps / "maps" / name) : std::vector<std::uint8_t>{};
}

const MapSource kMaps[] = {
    {"BuiltMap", [] { return TypicalMapBytes(512 * 1024); }, "archive-compact staged copy"},
    {"BuiltMapWhoseHashTableMustGrow", MapWithFullHashTable, "archive-grow staged copy"},
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
    const auto tally = InjectEveryFault(mapBytes);
    Report(GetParam().label, tally);
    // Extraction, transfers, templates, staging, changes, compaction, verification, replace.
    EXPECT_GE(tally.points, 100u);
    EXPECT_GE(tally.kinds.size(), 40u);
    EXPECT_TRUE(tally.kinds.contains(GetParam().mustMeet) || !*GetParam().mustMeet);
}

INSTANTIATE_TEST_SUITE_P(Maps, FaultInjection, ::testing::ValuesIn(kMaps),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace vornak::test
