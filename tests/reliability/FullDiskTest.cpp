// Installs onto file systems with too little room, and into folders that cannot be written
// even by root. These need mounts of their own; where none can be had, they skip and say so.

#include "InstallScene.h"
#include "PrivateMounts.h"
#include "TestFiles.h"
#include "install/FileOps.h"

#include <gtest/gtest.h>

#include <cstdio>
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

std::size_t DataBytes()
{
    std::size_t total = 0;
    for (const auto& file : fs::directory_iterator(SourceDir() / "Data"))
        total += Pages(file.file_size());
    return total;
}

// Room to spare, from none to more than an install needs (a staged copy and its compaction).
std::vector<std::size_t> SpareRoom(std::size_t mapBytes)
{
    std::vector<std::size_t> room = {0, kPage, 2 * kPage, 4 * kPage, 8 * kPage};
    const std::size_t top = 3 * Pages(mapBytes) + 64 * kPage;
    for (std::size_t step = 1; step <= 24; ++step)
        room.push_back(Pages(top * step / 24));
    return room;
}

struct SweepTally {
    std::size_t installs = 0;
    std::size_t errors = 0;
    std::set<std::string> messages;
    std::string problems;

    std::string Report() const
    {
        if (!problems.empty())
            throw std::runtime_error(problems);
        std::string text = std::to_string(installs) + " " + std::to_string(errors);
        for (const auto& message : messages)
            text += "\n  e.g. " + message;
        return text;
    }
};

void Judge(const InstallScene& scene, const InstallOutcome& outcome, const MapEntries& before,
           const FolderState& completed, std::size_t room, SweepTally& tally)
{
    const std::string where = "with " + std::to_string(room) + " bytes to spare: ";
    if (outcome.installed) {
        ++tally.installs;
        if (auto why = ExplainIfNotInstalled(scene.mapPath(), before, scene.dataDir()); !why.empty())
            tally.problems += where + why + "\n";
        return;
    }
    ++tally.errors;
    if (tally.messages.size() < 3)
        tally.messages.insert(outcome.error);
    if (outcome.error.empty() || outcome.foreignException)
        tally.problems += where + "no clear error: '" + outcome.error + "'\n";
    if (auto why = scene.ExplainIfNotUntouched(completed); !why.empty())
        tally.problems += where + why + " after: " + outcome.error + "\n";
}

void ExpectSweep(const IsolatedRun& run, const std::string& label)
{
    if (run.skipped)
        GTEST_SKIP() << "no private mounts here (" << run.report << "): the full disk is not tried";
    ASSERT_FALSE(run.failed) << run.report;
    std::size_t installs = 0, errors = 0;
    ASSERT_EQ(std::sscanf(run.report.c_str(), "%zu %zu", &installs, &errors), 2) << run.report;
    std::cout << "[ figures  ] " << label << ": " << installs << " installed, " << errors << " failed cleanly"
              << run.report.substr(run.report.find('\n') == std::string::npos ? run.report.size()
                                                                              : run.report.find('\n'))
              << "\n";
    EXPECT_GT(errors, 0u) << "no step ran out of room";
    EXPECT_GT(installs, 0u) << "not even the roomiest step installed";
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        mapBytes_ = TypicalMapBytes(256 * 1024);
        InstallScene good(mapBytes_);
        before_ = ReadAllEntries(good.mapPath(), good.listFile());
        ASSERT_TRUE(good.Install().installed);
        completed_ = CaptureFolder(good.dataDir());
    }

    std::vector<std::uint8_t> mapBytes_;
    MapEntries before_;
    FolderState completed_;
};

TEST_F(FullDisk, MapOnAFullDiskStaysAsItWas)
{
    const auto run = RunWithPrivateMounts([&] {
        SweepTally tally;
        InstallScene scene(mapBytes_);
        const auto folder = scene.mapPath().parent_path();
        for (const auto room : SpareRoom(mapBytes_.size())) {
            MountTmpfs(folder, Pages(mapBytes_.size()) + room);
            WriteBytes(scene.mapPath(), mapBytes_);
            Judge(scene, scene.Install(), before_, completed_, room, tally);
            Unmount(folder);
        }
        return tally.Report();
    });
    ExpectSweep(run, "map alone on a full disk");
}

TEST_F(FullDisk, ProgramAndMapOnOneFullDiskLoseNothing)
{
    const auto run = RunWithPrivateMounts([&] {
        SweepTally tally;
        TempDir outside;
        const auto disk = outside / "disk";
        // The scene's folders land on the small disk.
        setenv("TMPDIR", disk.c_str(), 1);
        for (const auto room : SpareRoom(mapBytes_.size())) {
            MountTmpfs(disk, Pages(mapBytes_.size()) + DataBytes() + room);
            {
                InstallScene scene(mapBytes_);
                Judge(scene, scene.Install(), before_, completed_, room, tally);
            }
            Unmount(disk);
        }
        return tally.Report();
    });
    ExpectSweep(run, "program and map on one full disk");
}

// What an install must do where a folder it needs cannot be written.
struct ReadOnlyCase {
    const char* label;
    bool dataFolder; // else the map's folder
};

void PrintTo(const ReadOnlyCase& c, std::ostream* out)
{
    *out << c.label;
}

class ReadOnlyMount : public ::testing::TestWithParam<ReadOnlyCase> {};

TEST_P(ReadOnlyMount, InstallFailsCleanlyAndChangesNothing)
{
    const auto mapBytes = TypicalMapBytes(64 * 1024);
    const auto run = RunWithPrivateMounts([&] {
        InstallScene scene(mapBytes);
        const auto folder = GetParam().dataFolder ? scene.dataDir() : scene.mapPath().parent_path();
        BindReadOnly(folder);
        const auto outcome = scene.Install();
        if (outcome.installed || outcome.error.empty() || outcome.foreignException)
            throw std::runtime_error("no clean failure: '" + outcome.error + "'");
        if (auto why = scene.ExplainIfNotUntouched(scene.dataAsMade()); !why.empty())
            throw std::runtime_error(why + " after: " + outcome.error);
        return outcome.error;
    });
    if (run.skipped)
        GTEST_SKIP() << "no private mounts here (" << run.report << ")";
    ASSERT_FALSE(run.failed) << run.report;
    std::cout << "[ message  ] " << run.report << "\n";
    // The user learns which file or folder is at fault.
    const std::string named = GetParam().dataFolder ? "Data" : "map.w3x";
    EXPECT_NE(run.report.find(named), std::string::npos) << run.report;
}

INSTANTIATE_TEST_SUITE_P(Folders, ReadOnlyMount,
                         ::testing::Values(ReadOnlyCase{"DataFolder", true}, ReadOnlyCase{"MapFolder", false}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace vornak::test
