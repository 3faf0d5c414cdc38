// The whole install on a small built map, through the archive layer over StormLib and the
// modification's shipped templates.
#include "InstallScene.h"
#include "MapBuilder.h"
#include "RecordingInstallerUi.h"
#include "archive/StormMapArchive.h"
#include "base/FileError.h"
#include "base/FileOps.h"
#include "install/CameraLineTransfer.h"
#include "install/InstallError.h"
#include "install/InstallProcedure.h"
#include "install/MapInfoTransfer.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>

#include <memory>
#endif

#include <chrono>
#include <utility>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

class InstallProcedureTest : public ::testing::Test {
protected:
    InstallResult Install() { return InstallProcedure(scene.appDir(), storm, ui).Run(scene.mapPath()); }
    fs::path Data(const char* name) const { return scene.dataDir() / name; }
    // An install that must stop with an InstallError saying `says`, leaving the map alone in its folder.
    void ExpectRefused(const std::string& says)
    {
        try {
            Install();
            ADD_FAILURE() << "installed";
        } catch (const InstallError& error) {
            EXPECT_NE(std::string(error.what()).find(says), std::string::npos) << error.what();
        }
        EXPECT_EQ(CaptureFolder(scene.mapFolder()).size(), 1u);
    }

    InstallScene scene{MapUnlikeTheTemplates(false).Build()};
    StormMapArchive storm{{scene.listFile()}};
    RecordingInstallerUi ui;
};

TEST_F(InstallProcedureTest, CarriesTheMapsValuesKeepsItsRightsAndAgainChangesNothing)
{
    const auto before = ReadAllEntries(scene.mapPath(), scene.listFile());
    fs::permissions(scene.mapPath(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const auto perms = fs::status(scene.mapPath()).permissions(); // Windows keeps only whether it may be written
    ASSERT_EQ(Install(), InstallResult::Installed);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"busy", "tileset", "finished"}));
    EXPECT_EQ(scene.ExplainIfNotCleanlyInstalled(before), "");
    EXPECT_EQ(fs::status(scene.mapPath()).permissions(), perms);
    RecordingInstallerUi quiet;
    EXPECT_EQ(TakeMapInfo(Data("war3map.w3i"), quiet),
              (KeptMapInfo{{-1280, -1536, 1280, 1024, -1280, 1024, 1280, -1536}, {1, 2, 3, 4}, 20, 18, 'L'}));
    EXPECT_EQ(FindCameraLine(Data("war3map.j")), kUnlikeCameraLine);

    // Again: the templates hold this map's values already, so they stay the very files they
    // are (the map records each added file's time), and the map, no larger, is not compacted.
    const auto size = fs::file_size(scene.mapPath());
    const auto old = fs::last_write_time(Data("war3map.j")) - std::chrono::hours(1);
    for (const char* name : {"war3map.j", "war3map.w3i"})
        fs::last_write_time(Data(name), old);
    bool compacted = false;
    fileops::SetFaultHook([&](std::string_view point, const fs::path&) { compacted |= point == "archive-compact"; });
    ASSERT_EQ(Install(), InstallResult::Installed);
    fileops::SetFaultHook(nullptr);
    EXPECT_FALSE(compacted);
    EXPECT_EQ(fs::file_size(scene.mapPath()), size);
    EXPECT_EQ(fs::last_write_time(Data("war3map.j")), old);
    EXPECT_EQ(fs::last_write_time(Data("war3map.w3i")), old);

}

TEST_F(InstallProcedureTest, AMissingTemplateShowsItsMessageAndEndsTheProgramLeavingTheMap)
{
    const std::pair<const char*, std::string> cases[] = {
        {"war3map.j", "Can't find the required file '\\Data\\war3map.j'!"},
        {"war3map.w3u", "Can't find the required file '\\Data\\war3map.w3u'!"},
        {"war3map.wts", "Can't find the required file 'war3map.wts'!"},
        {"war3map.w3i", "Can't find the required file '\\Data\\war3map.w3i'!"},
        // Looked for only after the templates took the map's values: the map stays all the same.
        {"war3map.w3c", "Can't find the required file '\\Data\\war3map.w3c'!"},
    };
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        fs::rename(Data(name), scene.appDir() / name);
        const bool templatesTaken = std::string_view(name) == "war3map.w3c";
        std::vector<std::string> events = {"busy", "required: " + message, "unload"};
        if (templatesTaken)
            events.insert(events.begin() + 1, "tileset");
        ui.events.clear();
        EXPECT_EQ(Install(), InstallResult::ProgramEnded);
        EXPECT_EQ(ui.events, events);
        fs::rename(scene.appDir() / name, Data(name));
        if (!templatesTaken) {
            EXPECT_EQ(scene.ExplainIfNotUntouched(), "");
        }
    }
    EXPECT_EQ(ReadBytes(scene.mapPath()), scene.mapBytes());
    EXPECT_EQ(CaptureFolder(scene.mapFolder()).size(), 1u);
}

TEST_F(InstallProcedureTest, AUsersOwnFileInTheScratchFolderStopsTheInstallAndStays)
{
    fs::create_directories(Data("temp"));
    WriteText(Data("temp") / "notes.txt", "mine");
    auto expected = scene.dataAsMade();
    expected["temp"] = std::nullopt;
    expected["temp/notes.txt"] = Bytes("mine");
    try {
        Install();
        ADD_FAILURE() << "installed";
    } catch (const FileError& error) {
        EXPECT_EQ(error.code(), std::errc::directory_not_empty);
    }
    EXPECT_EQ(DescribeDifference(expected, CaptureFolder(scene.dataDir())), "");
    EXPECT_EQ(ReadBytes(scene.mapPath()), scene.mapBytes());
}

TEST_F(InstallProcedureTest, AChangedMapThatDoesNotReadBackIsNotPutInPlace)
{
    // The template changes as the read-back starts: the staged copy's war3map.wts no longer matches it.
    bool tampered = false;
    fileops::SetFaultHook([&](std::string_view point, const fs::path& path) {
        if (point == "archive-read" && path == scene.stagedPath() && !std::exchange(tampered, true))
            WriteText(Data("war3map.wts"), ReadText(Data("war3map.wts")) + "!");
    });
    ExpectRefused("did not read back correctly: its war3map.wts");
    fileops::SetFaultHook(nullptr);
    EXPECT_EQ(ReadBytes(scene.mapPath()), scene.mapBytes());
}

TEST_F(InstallProcedureTest, AMapSavedByAnotherProgramDuringTheInstallIsNotReplaced)
{
    // Saved by the map editor while the templates are rewritten (the tileset box may be up then).
    auto saved = scene.mapBytes();
    saved.push_back(0);
    fileops::SetFaultHook([&](std::string_view operation, const fs::path& path) {
        if (operation == "rename" && path.parent_path() == scene.dataDir() && ReadBytes(scene.mapPath()) != saved)
            WriteBytes(scene.mapPath(), saved);
    });
    ExpectRefused("was changed by another program during the install");
    fileops::SetFaultHook({});
    EXPECT_EQ(ReadBytes(scene.mapPath()), saved);
}

#if defined(_WIN32)
TEST_F(InstallProcedureTest, AMapAnotherProgramHoldsOpenIsRefusedNamingItBeforeOrAtTheRename)
{
    // The map editor and the game hold their maps open, letting no one write or delete them.
    using Handle = std::unique_ptr<void, decltype(&CloseHandle)>;
    const auto hold = [&] {
        return CreateFileW(scene.mapPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    const std::string inUse = "The map '" + fileops::Display(scene.mapPath()) + "' is in use by another program";
    fileops::SetSleep([](std::chrono::milliseconds) {}); // the rename's wait, without waiting
    Handle late(nullptr, &CloseHandle);
    for (const bool atTheRename : {false, true}) {
        Handle held(atTheRename ? nullptr : hold(), &CloseHandle);
        // Opened while the install runs: found when the changed map is to take its place.
        fileops::SetFaultHook([&](std::string_view operation, const fs::path& path) {
            if (atTheRename && operation == "rename" && path == scene.mapPath())
                late.reset(hold());
        });
        ExpectRefused(inUse);
        fileops::SetFaultHook({});
    }
    fileops::SetSleep(nullptr);
    EXPECT_TRUE(late);
    late.reset();
    EXPECT_EQ(ReadBytes(scene.mapPath()), scene.mapBytes());
}
#endif

} // namespace
} // namespace vornak::test
