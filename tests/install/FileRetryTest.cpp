// Another program holding a file for a moment (a virus scanner, a sync client, the search
// indexer): each step of the install and the backup refused as busy a few times, then always,
// with the sleep replaced so that no test waits. The backup's name, and the Windows rules,
// decided without Windows.
#include "InstallScene.h"
#include "MapBuilder.h"
#include "archive/ArchiveError.h"
#include "base/FileError.h"
#include "base/FileOps.h"
#include "base/WindowsRules.h"
#include "install/InstallError.h"
#include "install/MapBackup.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include <chrono>
#include <functional>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;
using test::PrintTo;
using std::chrono::milliseconds;

#if defined(_WIN32)
const std::error_code kBusy(32, std::system_category()); // a sharing violation
#else
const std::error_code kBusy = std::make_error_code(std::errc::device_or_resource_busy);
#endif

struct HeldStep {
    const char* label;
    const char* operation;
    std::function<fs::path(const InstallScene&)> file;
    bool backup = false;      // the backup's step, not the install's
    bool mapHeldToo = false;  // the map's rename refused throughout, so the staged copy is discarded
    bool leavesFile = false;  // a removal refused throughout leaves its file for the next install
    milliseconds mostWaited{2000};
};

const HeldStep kSteps[] = {
    {"MapRename", "rename", [](const InstallScene& s) { return s.mapPath(); }, false, false, false, milliseconds(10000)},
    {"StagedFlush", "flush", [](const InstallScene& s) { return s.stagedPath(); }},
    {"TemplateReplace", "rename", [](const InstallScene& s) { return s.dataDir() / "war3map.w3i"; }},
    {"ScratchRemove", "remove", [](const InstallScene& s) { return s.dataDir() / "temp" / "war3map.w3i"; },
     false, false, true, milliseconds(4000)},
    {"ScratchFolderRemove", "remove-folder", [](const InstallScene& s) { return s.dataDir() / "temp"; },
     false, false, true, milliseconds(4000)},
    {"BackupCopy", "copy", [](const InstallScene& s) { return fs::path(s.backupPath()) += ".part"; }, true},
    {"BackupRename", "rename", [](const InstallScene& s) { return s.backupPath(); }, true},
    {"StagedDiscard", "remove", [](const InstallScene& s) { return s.stagedPath(); },
     false, true, false, milliseconds(12000)},
    {"Compaction", "archive-compact", [](const InstallScene& s) { return s.stagedPath(); }},
};

class HeldFile : public ::testing::TestWithParam<std::tuple<HeldStep, bool>> {
protected:
    void SetUp() override
    {
        fileops::SetSleep([this](milliseconds slice) { waited += slice; });
    }
    void TearDown() override
    {
        fileops::SetFaultHook(nullptr);
        fileops::SetSleep(nullptr);
    }
    // Refuses the step's operation on its file as busy `times` times (every time when negative),
    // and the map's rename every time where the step holds the map too.
    void Hold(const HeldStep& step, const InstallScene& scene, int times)
    {
        const fs::path file = step.file(scene);
        fileops::SetFaultHook([&scene, step, times, file](std::string_view op, const fs::path& path) mutable {
            const bool mapHeld = step.mapHeldToo && op == "rename" && path == scene.mapPath();
            if (!mapHeld && (op != step.operation || path != file || times == 0))
                return;
            times -= mapHeld ? 0 : 1;
            if (op.starts_with("archive-"))
                throw ArchiveError("Compacting", fileops::Display(path), "", "busy",
                                   std::error_code(kBusy.value(), ArchiveCategory()));
            throw FileError(kBusy, "Cannot " + std::string(op) + " '" + fileops::Display(path) + "': busy");
        });
    }

    milliseconds waited{0};
};

TEST_P(HeldFile, WaitsItOutOrSaysSoLeavingTheMapAndNothingElse)
{
    const auto& [step, always] = GetParam();
    // Copied whole and compacted, its info and script unlike the templates': every step is met.
    InstallScene scene(MapUnlikeTheTemplates().Build());
    const MapEntries before = ReadAllEntries(scene.mapPath(), scene.listFile());
    ASSERT_TRUE(scene.Install().installed);
    const FolderState completed = CaptureFolder(scene.dataDir());
    scene.Reset();

    Hold(step, scene, always ? -1 : 3);
    const bool fails = always || step.mapHeldToo;
    const auto outcome = scene.Install(step.backup);
    if (fails) {
        EXPECT_FALSE(outcome.installed);
        EXPECT_NE(outcome.error.find("another program"), std::string::npos) << outcome.error;
        EXPECT_NE(outcome.error.find(fileops::Display(scene.mapPath())), std::string::npos) << outcome.error;
        EXPECT_EQ(ReadBytes(scene.mapPath()), scene.mapBytes());
        if (!step.leavesFile && !step.mapHeldToo) { // nor a backup or its .part
            EXPECT_EQ(scene.ExplainIfNotUntouched(completed), "");
        }
    } else {
        EXPECT_TRUE(outcome.installed) << outcome.error;
        if (step.backup) { // whole, and no .part beside it
            EXPECT_EQ(ReadBytes(scene.backupPath()), scene.mapBytes());
            fs::remove(scene.backupPath());
        }
        EXPECT_EQ(scene.ExplainIfNotCleanlyInstalled(before, completed), "");
    }
    // Whatever a held file kept, the next install, with nothing held, takes it away.
    fileops::SetFaultHook(nullptr);
    EXPECT_TRUE(scene.Install().installed);
    EXPECT_EQ(scene.ExplainIfNotCleanlyInstalled(before, completed), "");
    // Three refusals are three waits (10, 20, 40 ms); a refusal throughout spends a budget.
    EXPECT_GE(waited, fails ? milliseconds(2000) : milliseconds(70)) << "the held step was not met, or not waited for";
    EXPECT_LE(waited, fails ? step.mostWaited : milliseconds(100));
}

INSTANTIATE_TEST_SUITE_P(Steps, HeldFile, ::testing::Combine(::testing::ValuesIn(kSteps), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) +
                                 (std::get<1>(info.param) ? "HeldThroughout" : "HeldAMoment");
                         });

TEST(WindowsRules, WhatPassesByItself)
{
    using windows_rules::Step;
    struct Case {
        unsigned long error;
        bool readOnly;
        Step step;
        bool passes;
    } const cases[] = {
        {windows_rules::kSharingViolation, false, Step::OnFile, true},
        {windows_rules::kLockViolation, false, Step::OnFile, true},
        {windows_rules::kDeletePending, false, Step::OnFile, true},
        {windows_rules::kAccessDenied, false, Step::OnFile, true},  // a holder sharing all but deletion
        {windows_rules::kAccessDenied, true, Step::OnFile, false},  // read-only stays so
        {windows_rules::kDirNotEmpty, false, Step::RemovingFolder, true}, // a pending file in it
        {windows_rules::kDirNotEmpty, false, Step::OnFile, false},
        {2, false, Step::OnFile, false},   // not found
        {112, false, Step::OnFile, false}, // disk full
        {windows_rules::kFilenameExcedRange, false, Step::OnFile, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(windows_rules::PassingRefusal(c.error, c.readOnly, c.step), c.passes) << c.error << " " << c.readOnly;
}

TEST(WindowsRules, PathsTooLongWithoutLongPathSupport)
{
    struct Case {
        std::size_t units;
        bool folder;
        bool longPaths;
        bool tooLong;
    } const cases[] = {
        {259, false, false, false}, {260, false, false, true},  {247, true, false, false},
        {248, true, false, true},   {5000, false, true, false}, {5000, true, true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(windows_rules::TooLong(c.units, c.folder, c.longPaths), c.tooLong) << c.units << " " << c.folder;
}

TEST(WindowsRules, AttributesCarriedOntoTheStagedCopy)
{
    using namespace windows_rules;
    // 0x26 (hidden, system, archive) came back as 0x20 before.
    EXPECT_EQ(CarriedAttributes(kHidden | kSystem | kArchive, kArchive), kHidden | kSystem | kArchive);
    EXPECT_EQ(CarriedAttributes(kNotContentIndexed, kArchive), kNotContentIndexed);
    EXPECT_EQ(CarriedAttributes(kReadOnly | kArchive, kArchive), kArchive);
    EXPECT_EQ(CarriedAttributes(0, kArchive | 0x100), 0x100u); // the copy's own others stay
    EXPECT_TRUE(CarryAccessList(true, false));
    EXPECT_TRUE(CarryAccessList(false, true));
    EXPECT_FALSE(CarryAccessList(false, false));
}

TEST(MapBackup, DropsExactlyTheLastFourCharacters)
{
    EXPECT_EQ(BackupPathFor("C:\\Maps\\Arena.w3m"), "C:\\Maps\\Arena_BackUp.w3m");
    EXPECT_EQ(BackupPathFor("C:\\Maps\\Arena.w3x"), "C:\\Maps\\Arena_BackUp.w3m");
    EXPECT_EQ(BackupPathFor("C:\\Maps\\Arena.mp"), "C:\\Maps\\Aren_BackUp.w3m");
    EXPECT_EQ(BackupPathFor(".w3m"), "_BackUp.w3m");
    // Characters, not bytes: a cut inside a Cyrillic letter would make an unusable name.
    EXPECT_EQ(BackupPathFor("/maps/Арена.мп"), "/maps/Арен_BackUp.w3m");
    EXPECT_EQ(BackupPathFor("/maps/地图.w3m"), "/maps/地图_BackUp.w3m");
    EXPECT_THROW(BackupPathFor("abc"), InstallError);
}

#if defined(_WIN32)
TEST(WindowsIdentity, AHiddenSystemMapStaysSoAndAReadOnlyBackupIsReplaced)
{
    InstallScene scene(MapUnlikeTheTemplates().Build());
    const DWORD marks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesW(scene.mapPath().c_str(), marks | FILE_ATTRIBUTE_ARCHIVE));
    const auto outcome = scene.Install();
    ASSERT_TRUE(outcome.installed) << outcome.error;
    EXPECT_EQ(GetFileAttributesW(scene.mapPath().c_str()) & marks, marks);

    WriteText(scene.backupPath(), "an older backup");
    ASSERT_TRUE(SetFileAttributesW(scene.backupPath().c_str(), FILE_ATTRIBUTE_READONLY));
    MakeBackup(fileops::Display(scene.mapPath()));
    EXPECT_EQ(ReadBytes(scene.backupPath()), ReadBytes(scene.mapPath()));
}
#endif

} // namespace
} // namespace vornak::test
