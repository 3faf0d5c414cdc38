// Installs onto file systems with too little room, and into folders that cannot be written
// even by root. These need mounts of their own; where none can be had, they skip and say so.

#include "InstallScene.h"
#include "PrivateMounts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <set>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

constexpr std::size_t kPage = 4096;

std::size_t Pages(std::size_t bytes)
{
    return (bytes + kPage - 1) / kPage * kPage;
}

void ExpectIsolatedRun(const IsolatedRun& run)
{
    if (run.skipped)
        GTEST_SKIP() << "no private mounts here (" << run.report << "): not tried";
    ASSERT_FALSE(run.failed) << run.report;
    std::cout << "[ figures  ] " << run.report << "\n";
}

class FullDisk : public ::testing::TestWithParam<bool> {};

// Room to spare on a tmpfs, from none to more than an install needs (a staged copy and its
// compaction): every install either completes or fails cleanly leaving map and templates whole.
TEST_P(FullDisk, InstallCompletesOrLosesNothing)
{
    const bool programToo = GetParam(); // else the map alone is on the small disk
    const auto mapBytes = TypicalMapBytes(256 * 1024);
    InstallScene roomy(mapBytes);
    const MapEntries before = ReadAllEntries(roomy.mapPath(), roomy.listFile());
    ASSERT_TRUE(roomy.Install().installed);
    const FolderState completed = CaptureFolder(roomy.dataDir());
    std::size_t dataBytes = 0;
    for (const auto& [name, content] : roomy.dataAsMade())
        dataBytes += content ? Pages(content->size()) : 0;

    ExpectIsolatedRun(RunWithPrivateMounts([&] {
        TempDir outside;
        const auto disk = outside / "disk";
        if (programToo)
            setenv("TMPDIR", disk.c_str(), 1); // the scene's folders land on the small disk
        std::size_t installs = 0, errors = 0;
        std::set<std::string> messages;
        const std::size_t top = 3 * Pages(mapBytes.size()) + 64 * kPage;
        std::vector<std::size_t> spare = {0, kPage, 2 * kPage, 4 * kPage, 8 * kPage};
        for (std::size_t step = 1; step <= 24; ++step)
            spare.push_back(Pages(top * step / 24));
        for (const auto room : spare) {
            MountTmpfs(disk, Pages(mapBytes.size()) + (programToo ? dataBytes : 0) + room);
            {
                InstallScene scene(mapBytes, {"app", programToo ? "maps" : disk.string()});
                const auto outcome = scene.Install();
                auto why = outcome.installed ? scene.ExplainIfNotCleanlyInstalled(before)
                                             : scene.ExplainIfNotUntouched(completed);
                if (!outcome.installed && (outcome.error.empty() || outcome.foreignException))
                    why += "no clear error";
                if (!why.empty())
                    throw std::runtime_error("with " + std::to_string(room) + " bytes to spare: " + why + " after '" +
                                             outcome.error + "'");
                ++(outcome.installed ? installs : errors);
                if (!outcome.installed && messages.size() < 3)
                    messages.insert(outcome.error);
            }
            Unmount(disk);
        }
        if (!installs || !errors)
            throw std::runtime_error("every step installed, or none did: the sweep missed the edge");
        std::string report = std::string(programToo ? "program and map" : "map alone") + " on a full disk: " +
                             std::to_string(installs) + " installed, " + std::to_string(errors) + " failed cleanly";
        for (const auto& message : messages)
            report += " | " + message;
        return report;
    }));
}

INSTANTIATE_TEST_SUITE_P(Disks, FullDisk, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "ProgramAndMap" : "MapAlone"); });

// A data folder or map folder that cannot be written: a clean failure naming it, nothing changed.
TEST(ReadOnlyMount, InstallFailsCleanlyAndChangesNothing)
{
    const auto mapBytes = TypicalMapBytes(64 * 1024);
    ExpectIsolatedRun(RunWithPrivateMounts([&] {
        std::string report = "read-only mounts:";
        for (const bool dataFolder : {true, false}) {
            InstallScene scene(mapBytes);
            const auto folder = dataFolder ? scene.dataDir() : scene.mapFolder();
            BindReadOnly(folder);
            const auto outcome = scene.Install();
            Unmount(folder); // so that the scene's files can go
            if (outcome.installed || outcome.foreignException ||
                outcome.error.find(dataFolder ? "Data" : "map.w3x") == std::string::npos)
                throw std::runtime_error("no clean failure naming the folder: '" + outcome.error + "'");
            if (auto why = scene.ExplainIfNotUntouched(scene.dataAsMade()); !why.empty())
                throw std::runtime_error(why + " after: " + outcome.error);
            report += " | " + outcome.error;
        }
        return report;
    }));
}

} // namespace
} // namespace vornak::test
