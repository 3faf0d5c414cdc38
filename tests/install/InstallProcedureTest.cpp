#include "base/FileOps.h"
#include "base/FileError.h"
#include "install/InstallError.h"
#include "install/InstallProcedure.h"
#include "install/StagedMapUpdate.h"

#include "FakeMapArchive.h"
#include "RecordingInstallerUi.h"
#include "RecordingMapArchive.h"
#include "TestFiles.h"
#include "W3iBuilder.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>

#include <memory>
#endif

namespace vornak {
namespace {
namespace fs = std::filesystem;
using test::FakeMapArchive;

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

const std::string kMapCameraLine =
    "    call SetCameraBounds( -1280.0 + GetCameraMargin(CAMERA_MARGIN_LEFT), -1536.0, 1280.0, 1024.0, -1280.0, "
    "1024.0, 1280.0, -1536.0 )";

class InstallProcedureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(app() / "Data");
        templateInfo.format = 18;
        templateInfo.texts = {"TRIGSTR_001", "TRIGSTR_002", "TRIGSTR_003", "TRIGSTR_004"};
        test::WriteBytes(data("war3map.w3i"), templateInfo.Build());
        test::WriteText(data("war3map.j"), "function main takes nothing returns nothing\r\n"
                                           "    call SetCameraBounds( 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0 )\r\n"
                                           "endfunction\r\n");
        test::WriteText(data("war3map.w3u"), "units of the mod");
        test::WriteText(data("war3map.wts"), "STRING 1\r\n{\r\nVQ\r\n}\r\n");
        test::WriteText(data("war3map.w3c"), "cameras of the mod");
        test::WriteText(data("listw3m.txt"), "war3map.j\r\nwar3map.w3i\r\n");

        mapInfo.format = 25;
        mapInfo.texts = {"A much longer map name than twelve bytes", "Someone", "", "1-4"};
        mapInfo.cameraBounds = {-1280.5f, -1536.0f, 1280.0f, 1024.0f, -1280.0f, 1024.0f, 1280.0f, -1536.0f};
        mapInfo.cameraComplements = {1, 2, 3, 4};
        mapInfo.playableWidth = 20;
        mapInfo.playableHeight = 18;
        mapInfo.tileset = 'Y';
        entries = {
            {"war3map.w3i", mapInfo.Build()},
            {"war3map.j", Bytes("globals\nendglobals\nfunction main takes nothing returns nothing\n" + kMapCameraLine +
                                "\nendfunction\n")},
            {"war3map.w3u", Bytes("map units")},
            {"war3map.wts", Bytes("map strings")},
            {"war3map.w3c", Bytes("map cameras")},
            {"war3map.w3e", Bytes("terrain")},
            {"war3mapUnits.doo", Bytes("placed units")},
        };
    }

    fs::path app() const { return dir.path() / "app dir"; }
    fs::path data(std::string_view name) const { return app() / "Data" / name; }
    fs::path map() const { return dir.path() / "maps" / "Arena.w3m"; }

    void WriteMap()
    {
        fs::create_directories(map().parent_path());
        FakeMapArchive::Write(map(), entries);
    }

    InstallResult Install()
    {
        InstallProcedure procedure(app(), recorder, ui);
        return procedure.Run(map());
    }

    // Everything an install may change, to prove a failed one changed nothing.
    struct Snapshot {
        std::vector<std::uint8_t> map, info, script;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take() const
    {
        const auto read = [](const fs::path& p) {
            return fs::is_regular_file(p) ? test::ReadBytes(p) : std::vector<std::uint8_t>{};
        };
        return {read(map()), read(data("war3map.w3i")), read(data("war3map.j"))};
    }

    // A refused install: the error names the cause, and nothing changed or was left behind.
    void ExpectRefused(const char* what, const std::string& words)
    {
        SCOPED_TRACE(what);
        const auto before = Take();
        try {
            Install();
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
        EXPECT_TRUE(before == Take());
        ExpectNoLeftovers();
    }

    void ExpectNoLeftovers() const
    {
        EXPECT_FALSE(fs::exists(StagedMapUpdate::StagedPathFor(map())));
        EXPECT_FALSE(fs::exists(data("war3map.j2")));
        EXPECT_FALSE(fs::exists(app() / "Data" / "temp"));
    }

    test::TempDir dir;
    test::W3iBuilder templateInfo; // 48 bytes of texts: the tileset at byte 120
    test::W3iBuilder mapInfo;
    FakeMapArchive::Entries entries;
    FakeMapArchive fake;
    test::RecordingMapArchive recorder{fake};
    test::RecordingInstallerUi ui;
};

TEST_F(InstallProcedureTest, InstallsTheFiveTemplatesCarryingTheMapsValues)
{
    WriteMap();
    ASSERT_EQ(Install(), InstallResult::Installed);

    EXPECT_EQ(ui.events, (std::vector<std::string>{"busy", "finished"}));
    const auto after = FakeMapArchive::Read(map());
    for (const auto name : kModEntries)
        EXPECT_EQ(after.at(std::string(name)), test::ReadBytes(data(name))) << name;
    EXPECT_EQ(after.at("war3map.w3e"), entries.at("war3map.w3e"));
    EXPECT_EQ(after.at("war3mapUnits.doo"), entries.at("war3mapUnits.doo"));
    EXPECT_EQ(after.size(), entries.size());

    EXPECT_EQ(test::ReadText(data("war3map.j")),
              "function main takes nothing returns nothing\r\n" + kMapCameraLine + "\r\nendfunction\r\n");
    auto expected = templateInfo;
    expected.cameraBounds = {-1280.0f, -1536.0f, 1280.0f, 1024.0f, -1280.0f, 1024.0f, 1280.0f, -1536.0f};
    expected.cameraComplements = {1, 2, 3, 4};
    expected.playableWidth = 20;
    expected.playableHeight = 18;
    expected.tileset = 'Y';
    EXPECT_EQ(test::ReadBytes(data("war3map.w3i")), expected.Build());
    ExpectNoLeftovers();
}

TEST_F(InstallProcedureTest, ArchiveCallsKeepTheirOrderAndChangesGoToTheStagedCopy)
{
    entries.erase("war3map.w3u");
    entries.erase("war3map.w3c");
    WriteMap();
    ASSERT_EQ(Install(), InstallResult::Installed);

    const std::vector<std::string> expected = {
        "CheckWritable",         "ExtractEntry war3map.w3i", "ExtractEntry war3map.j", "List",
        "HasEntry war3map.j",    "DeleteEntry war3map.j",    "HasEntry war3map.w3u",   "HasEntry war3map.wts",
        "DeleteEntry war3map.wts", "HasEntry war3map.w3i",   "DeleteEntry war3map.w3i", "HasEntry war3map.w3c",
        "AddEntry war3map.j",    "AddEntry war3map.w3u",     "AddEntry war3map.wts",   "AddEntry war3map.w3i",
        "AddEntry war3map.w3c",  "Compact",                  "ReadEntry war3map.j",    "ReadEntry war3map.w3u",
        "ReadEntry war3map.wts", "ReadEntry war3map.w3i",    "ReadEntry war3map.w3c",  "List",
    };
    EXPECT_EQ(recorder.Summary(), expected);
    const auto staged = StagedMapUpdate::StagedPathFor(map());
    for (const auto& call : recorder.calls) {
        if (call.operation == "ExtractEntry") {
            EXPECT_EQ(call.map, map());
            EXPECT_EQ(call.file, app() / "Data" / "temp");
            EXPECT_EQ(call.flag, 1);
        }
        if (call.operation == "HasEntry" || call.operation == "DeleteEntry" || call.operation == "AddEntry") {
            EXPECT_EQ(call.map, staged) << call.operation;
        }
        if (call.operation == "AddEntry") {
            EXPECT_EQ(call.file, data(call.entry));
            EXPECT_EQ(call.flag, kStoreCompressed);
        }
    }
    EXPECT_EQ(FakeMapArchive::Read(map()).size(), entries.size() + 2);
}

TEST_F(InstallProcedureTest, MissingTemplateShowsOnlyItsMessageAndLeavesTheMap)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"war3map.j", "Can't find the required file '\\Data\\war3map.j'!"},
        {"war3map.w3u", "Can't find the required file '\\Data\\war3map.w3u'!"},
        {"war3map.wts", "Can't find the required file 'war3map.wts'!"},
        {"war3map.w3i", "Can't find the required file '\\Data\\war3map.w3i'!"},
    };
    WriteMap();
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        const auto kept = data(name).string() + ".away";
        fs::rename(data(name), kept);
        const auto before = Take();
        ui.events.clear();
        recorder.calls.clear();

        EXPECT_EQ(Install(), InstallResult::ProgramEnded);
        EXPECT_EQ(ui.events, (std::vector<std::string>{"busy", "required: " + message, "unload"}));
        EXPECT_TRUE(recorder.calls.empty());
        EXPECT_TRUE(before == Take());
        fs::rename(kept, data(name));
    }
    // war3map.w3c is looked for only after the templates were rewritten; the map stays all the same.
    fs::rename(data("war3map.w3c"), data("war3map.w3c.away"));
    const auto before = Take();
    ui.events.clear();
    EXPECT_EQ(Install(), InstallResult::ProgramEnded);
    EXPECT_EQ(ui.events, (std::vector<std::string>{
                             "busy", "required: Can't find the required file '\\Data\\war3map.w3c'!", "unload"}));
    EXPECT_EQ(Take().map, before.map);
    EXPECT_NE(Take().info, before.info);
    EXPECT_NE(Take().script, before.script);
    ExpectNoLeftovers();

    // With two missing, the first one in order is the one reported.
    fs::remove(data("war3map.j"));
    fs::remove(data("war3map.w3u"));
    ui.events.clear();
    Install();
    EXPECT_EQ(ui.events.at(1), "required: " + cases[0].second);
}

TEST_F(InstallProcedureTest, ForeignFileInTheScratchFolderStopsBeforeTheTemplatesChange)
{
    WriteMap();
    fs::create_directories(app() / "Data" / "temp");
    test::WriteText(app() / "Data" / "temp" / "notes.txt", "mine");
    const auto before = Take();

    EXPECT_THROW(Install(), FileError);
    EXPECT_TRUE(before == Take());
    EXPECT_EQ(test::ReadText(app() / "Data" / "temp" / "notes.txt"), "mine");
    EXPECT_FALSE(fs::exists(app() / "Data" / "temp" / "war3map.j"));
}

TEST_F(InstallProcedureTest, MapsThatCannotTakeTheChangeAreRefusedBeforeAnythingChanges)
{
    ExpectRefused("names nothing", "does not exist");
    fs::create_directories(map());
    ExpectRefused("is a folder", "is a folder");
    fs::remove(map());
    test::WriteText(map(), "just some text");
    ExpectRefused("is not a map", "not a map archive");

    WriteMap();
    fs::permissions(map(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ExpectRefused("read-only file", "read-only");
    fs::permissions(map(), fs::perms::owner_write, fs::perm_options::add);

#if defined(_WIN32)
    {
        // The map editor and the game hold their maps open, letting no one write or delete them.
        using Handle = std::unique_ptr<void, decltype(&CloseHandle)>;
        const auto hold = [&] {
            return CreateFileW(map().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        };
        const std::string inUse = "The map '" + fileops::Display(map()) + "' is in use by another program";
        {
            const Handle held(hold(), &CloseHandle);
            ExpectRefused("held open", inUse);
        }
        // Opened while the install runs: found when the changed map is to take its place.
        Handle late(nullptr, &CloseHandle);
        fileops::SetFaultHook([&](std::string_view operation, const fs::path& path) {
            if (operation == "rename" && path == map())
                late.reset(hold());
        });
        const auto before = Take().map;
        try {
            Install();
            ADD_FAILURE() << "installed into a map held open";
        } catch (const InstallError& e) {
            EXPECT_NE(std::string(e.what()).find(inUse), std::string::npos) << e.what();
        }
        fileops::SetFaultHook({});
        EXPECT_TRUE(late);
        EXPECT_EQ(Take().map, before);
        ExpectNoLeftovers();
    }
#else
    // A folder's read-only attribute on Windows keeps no file out of it.
    fs::permissions(map().parent_path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ExpectRefused("read-only folder", "read-only");
    fs::permissions(map().parent_path(), fs::perms::owner_write, fs::perm_options::add);
#endif

    fake.protectedMaps = true;
    ExpectRefused("protected", "protected");
}

TEST_F(InstallProcedureTest, MapThatDoesNotReadBackIsNotReplaced)
{
    class Corrupting : public FakeMapArchive {
        std::vector<std::uint8_t> ReadEntry(const fs::path& m, const std::string& e) override
        {
            auto bytes = FakeMapArchive::ReadEntry(m, e);
            if (e == "war3map.wts")
                bytes.push_back('!');
            return bytes;
        }
    } corrupting;
    WriteMap();
    const auto before = Take().map;
    InstallProcedure procedure(app(), corrupting, ui);
    try {
        procedure.Run(map());
        FAIL() << "no error";
    } catch (const InstallError& e) {
        EXPECT_NE(std::string(e.what()).find("war3map.wts"), std::string::npos) << e.what();
    }
    EXPECT_EQ(test::ReadBytes(map()), before);
    ExpectNoLeftovers();
}

TEST_F(InstallProcedureTest, MapWithoutScriptSaysSo)
{
    entries.erase("war3map.j");
    entries["war3map.lua"] = Bytes("function main() end");
    WriteMap();
    ExpectRefused("Lua map", "has no war3map.j script (a map scripted in Lua");
}

TEST_F(InstallProcedureTest, UnknownTilesetWarnsOnceAndInstallsWithL)
{
    mapInfo.tileset = 'l';
    entries["war3map.w3i"] = mapInfo.Build();
    WriteMap();
    ASSERT_EQ(Install(), InstallResult::Installed);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"busy", "tileset", "finished"}));
    EXPECT_EQ(test::ReadBytes(data("war3map.w3i")).at(120), 'L');
}

} // namespace
} // namespace vornak
