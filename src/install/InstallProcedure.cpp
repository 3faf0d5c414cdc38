#include "install/InstallProcedure.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveRetry.h"
#include "install/AppPaths.h"
#include "install/CameraLineTransfer.h"
#include "base/FileError.h"
#include "base/FileOps.h"
#include "base/Platform.h"
#include "install/InstallError.h"
#include "install/InstallTexts.h"
#include "install/Leftovers.h"
#include "install/MapInfoTransfer.h"
#include "install/StagedMapUpdate.h"
#include "install/TroubleTexts.h"

#include <array>
#include <string_view>

namespace vornak {
namespace fs = std::filesystem;

namespace {

struct RequiredTemplate {
    std::string_view suffix;
    std::string_view message;
};

constexpr std::array<RequiredTemplate, 4> kFirstTemplates = {{
    {"\\Data\\war3map.j", texts::kMissingScript},
    {"\\Data\\war3map.w3u", texts::kMissingUnits},
    {"\\Data\\war3map.wts", texts::kMissingStrings},
    {"\\Data\\war3map.w3i", texts::kMissingInfo},
}};

// Removes what this install extracted into the scratch folder when a step fails before
// the folder is gone; a user's own files there stay.
class ScratchCleanup {
public:
    explicit ScratchCleanup(fs::path folder) : folder_(std::move(folder)) {}
    ~ScratchCleanup()
    {
        if (done_)
            return;
        fileops::Discard(folder_ / "war3map.w3i");
        fileops::Discard(folder_ / "war3map.j");
        std::error_code ec;
        if (fs::is_directory(folder_, ec) && fs::is_empty(folder_, ec)) {
            try {
                fileops::RemoveEmptyFolder(folder_);
            } catch (...) {
                // Held past every wait: an empty folder stays, and the next install uses it.
            }
        }
    }
    void Done() { done_ = true; }

private:
    fs::path folder_;
    bool done_ = false;
};

} // namespace

InstallProcedure::InstallProcedure(fs::path appDir, MapArchive& archive, InstallerUi& ui)
    : appDir_(std::move(appDir))
    , archive_(archive)
    , ui_(ui)
{
}

InstallResult InstallProcedure::Run(const fs::path& map)
{
    ui_.ShowBusyPointer();
    // While a step waits for another program to let go of a file, the window stays alive.
    const fileops::WhileWaiting waiting([this] { ui_.KeepResponsive(); });
    try {
        return RunSteps(map);
    } catch (const FileError& error) {
        if (error.stillRefused())
            throw InstallError(texts::InstallerFileInUse(fileops::Display(map), error.what()), error.code());
        throw;
    }
}

InstallResult InstallProcedure::RunSteps(const fs::path& map)
{
    const auto path = [this](std::string_view suffix) { return AppPath(appDir_, suffix); };

    for (const auto& required : kFirstTemplates) {
        if (!fileops::FileExists(path(required.suffix))) {
            ui_.ShowRequiredFile(std::string(required.message));
            ui_.Unload();
            return InstallResult::ProgramEnded;
        }
    }

    CheckDataFolderWritable(map);

    // A map that cannot take the change is refused before anything is touched.
    StagedMapUpdate update(map, archive_);
    try {
        update.CheckMapCanChange();
        // First, so that the disk writes the staged copy while the map is read and the
        // templates are rewritten; the map itself stays untouched until the end.
        update.StageCopy();
    } catch (const ArchiveError& error) {
        // Protection is the map maker's choice, not damage: say so, and where to go instead.
        if (error.code() == ArchiveFailure::Protected)
            throw InstallError("The map '" + fileops::Display(map) +
                               "' is protected against changes: the VQ MOD cannot be installed into a protected "
                               "map. Install it into the unprotected original of the map. (Details: " +
                               error.what() + ")",
                               error.code());
        throw;
    }

    const auto scratch = path("\\Data\\temp");
    ScratchCleanup cleanup(scratch);

    ExtractFromMap(update.map(), map, "war3map.w3i", scratch);
    ExtractFromMap(update.map(), map, "war3map.j", scratch);
    // Windows lets no other program save a map that is open: the map editor may save while the
    // tileset box waits for the user, and the install then finds the map changed and says so.
    update.map().Close();

    const KeptMapInfo kept = TakeMapInfo(scratch / "war3map.w3i", ui_, fileops::Display(map));
    fileops::Remove(scratch / "war3map.w3i");
    const std::string cameraLine = FindCameraLine(scratch / "war3map.j");
    fileops::Remove(scratch / "war3map.j");
    fileops::RemoveEmptyFolder(scratch);
    cleanup.Done();

    WriteTemplateInfo(path("\\Data\\war3map.w3i"), kept);
    ReplaceCameraLines(path("\\Data\\war3map.j"), path("\\Data\\war3map.j2"), cameraLine);

    if (!fileops::FileExists(path("\\Data\\war3map.w3c"))) {
        ui_.ShowRequiredFile(std::string(texts::kMissingCameras));
        ui_.Unload();
        return InstallResult::ProgramEnded;
    }

    update.ReplaceEntries(appDir_ / "Data");

    ui_.ShowFinishedPage();
    return InstallResult::Installed;
}

void InstallProcedure::ExtractFromMap(MapReader& reader, const fs::path& map, const std::string& entry,
                                      const fs::path& scratch)
{
    try {
        if (!RetryingArchive(scratch / entry, [&] { reader.ExtractEntry(entry, scratch, kCreateFolder); }))
            throw InstallError(texts::InstallerFileInUse(fileops::Display(map), "'" + fileops::Display(scratch / entry) +
                                                                                 "' could not be written"));
    } catch (const ArchiveError&) {
        // Say plainly when the map simply lacks the entry: a Lua-scripted map has no war3map.j.
        if (!reader.HasEntry(entry)) {
            const std::string mapName = fileops::Display(map);
            // Damaged tables hide entries too: only a map holding war3map.lua is a Lua map.
            if (entry == "war3map.j" && reader.HasEntry("war3map.lua"))
                throw InstallError("The map '" + mapName +
                                   "' has no war3map.j script (a map scripted in Lua cannot take the VQ MOD).");
            throw InstallError("The map '" + mapName + "' has no " + entry +
                               " that can be read: the map is damaged, or not a Warcraft III map.");
        }
        throw;
    }
}

} // namespace vornak

namespace vornak {

void InstallProcedure::CheckDataFolderWritable(const fs::path& map) const
{
    // Every install rewrites the templates and extracts into Data/temp: a folder that takes no
    // new file (Program Files, a read-only folder, one Windows protects) is found here, before
    // the map or anything else changes, and not blamed on the map later.
    const fs::path data = appDir_ / "Data";
    const std::string shown = fileops::Display(data);
    if (platform::PathTooLong(data / "temp", true) || platform::PathTooLong(data / "temp" / "war3map.w3i") ||
        platform::PathTooLong(data / "war3map.w3i.tmp"))
        throw InstallError(texts::ProgramFolderTooLong(shown, fileops::Display(map)));
    // One a killed install left goes first.
    RemoveLeftovers(data / "write-test.vqinstall");
    fs::path probe;
    try {
        probe = fileops::CreateUnique(data / "write-test.vqinstall");
        fileops::Remove(probe);
    } catch (const FileError& error) {
        if (!probe.empty())
            fileops::Discard(probe);
        if (platform::IsTooLong(error.code()))
            throw InstallError(texts::ProgramFolderTooLong(shown, fileops::Display(map)), error.code());
        throw InstallError(texts::ProgramFolderNotWritable(shown, error.what(),
                                                           platform::DeniedThoughWritable(error.code(), data),
                                                           fileops::Display(map)),
                           error.code());
    }
}

} // namespace vornak
