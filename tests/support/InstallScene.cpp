#include "InstallScene.h"

#include "MapBuilder.h"
#include "RecordingInstallerUi.h"
#include "W3iBuilder.h"
#include "archive/ArchiveError.h"
#include "archive/ListFileText.h"
#include "archive/StormMapArchive.h"
#include "base/FileError.h"
#include "base/FileOps.h"
#include "install/InstallError.h"
#include "install/InstallProcedure.h"
#include "install/MapBackup.h"
#include "install/StagedMapUpdate.h"

#include <algorithm>
#include <set>

namespace vornak::test {
namespace fs = std::filesystem;

FolderState CaptureFolder(const fs::path& folder)
{
    FolderState state;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        std::string key = fileops::Display(fs::relative(item.path(), folder));
        std::replace(key.begin(), key.end(), '\\', '/'); // the same keys on every system
        state[key] = item.is_directory() ? std::nullopt : std::optional(ReadBytes(item.path()));
    }
    return state;
}

std::string DescribeDifference(const FolderState& expected, const FolderState& actual)
{
    for (const auto& [name, content] : expected)
        if (!actual.contains(name) || actual.at(name) != content)
            return "'" + name + "' is missing or changed";
    for (const auto& [name, content] : actual)
        if (!expected.contains(name))
            return "'" + name + "' was left behind";
    return {};
}

InstallOutcome RunInstall(const fs::path& appDir, const fs::path& map, bool backUp)
{
    StormMapArchive archive({appDir / "Data" / "listw3m.txt"});
    InstallOutcome outcome;
    RecordingInstallerUi ui;
    try {
        if (backUp)
            MakeBackup(fileops::Display(map));
        const auto result = InstallProcedure(appDir, archive, ui).Run(map);
        outcome.installed = result == InstallResult::Installed;
        outcome.programEnded = result == InstallResult::ProgramEnded;
    } catch (const InstallError& error) {
        outcome.error = error.what();
        outcome.code = error.code();
    } catch (const std::system_error& error) { // ArchiveError, FileError
        outcome.error = error.what();
        outcome.code = error.code();
        outcome.foreignException =
            !dynamic_cast<const ArchiveError*>(&error) && !dynamic_cast<const FileError*>(&error);
    } catch (const std::exception& error) {
        outcome.error = error.what();
        outcome.foreignException = true;
    }
    return outcome;
}

// The map's own lists and signatures change with its content; the list has tests of its own.
const std::set<std::string> kOwnLists = {"(LISTFILE)", "(ATTRIBUTES)", "(SIGNATURE)"};

MapEntries ReadAllEntries(const fs::path& map, const fs::path& listFile)
{
    const auto archive = StormMapArchive({listFile}).Open(map);
    MapEntries entries;
    for (const auto& name : archive->List().names)
        if (!kOwnLists.contains(listfile::NameKey(name)))
            entries[listfile::NameKey(name)] = archive->ReadEntry(name);
    return entries;
}

std::string ExplainIfNotInstalled(const fs::path& map, const MapEntries& before, const fs::path& dataDir)
{
    MapEntries expected = before;
    for (const auto entry : kModEntries)
        expected[listfile::NameKey(std::string(entry))] = ReadBytes(dataDir / entry);
    try {
        const MapEntries after = ReadAllEntries(map, dataDir / "listw3m.txt");
        for (const auto& [name, bytes] : expected)
            if (!after.contains(name) || after.at(name) != bytes)
                return "the map's " + name + " is missing or not as it should be";
    } catch (const std::exception& error) {
        return std::string("the map does not read back: ") + error.what();
    }
    return {};
}

InstallScene::InstallScene(const std::vector<std::uint8_t>& mapBytes, const SceneNames& names)
    : appDir_(temp_.path() / fileops::PathFromUtf8(names.appFolder))
    , mapPath_(temp_.path() / fileops::PathFromUtf8(names.mapFolder) / fileops::PathFromUtf8(names.mapFile))
    , mapBytes_(mapBytes)
{
    Reset();
    dataAsMade_ = CaptureFolder(dataDir());
}

void InstallScene::Reset() const
{
    std::error_code ignored; // a map folder that is a mount point stays, emptied
    fs::remove_all(dataDir(), ignored);
    fs::remove_all(mapFolder(), ignored);
    fs::create_directories(mapFolder());
    fs::create_directories(dataDir());
    fs::copy(SourceDir() / "Data", dataDir()); // its files, not its folders
    WriteBytes(mapPath_, mapBytes_);
}

fs::path InstallScene::backupPath() const
{
    return fileops::PathFromUtf8(BackupPathFor(fileops::Display(mapPath_)));
}

std::string InstallScene::ExplainIfNotCleanlyInstalled(const MapEntries& before, const FolderState& completed) const
{
    if (auto why = ExplainIfNotInstalled(mapPath_, before, dataDir()); !why.empty())
        return why;
    if (CaptureFolder(mapFolder()).size() != 1)
        return "something was left beside the map";
    return completed.empty() ? "" : DescribeDifference(completed, CaptureFolder(dataDir()));
}

std::string InstallScene::ExplainIfNotUntouched(const FolderState& completed) const
{
    const FolderState mapAsMade = {{fileops::Display(mapPath_.filename()), mapBytes_}};
    if (auto diff = DescribeDifference(mapAsMade, CaptureFolder(mapFolder())); !diff.empty())
        return "map folder: " + diff;
    // Each template may be as made or completely rewritten, never anything in between.
    const auto data = CaptureFolder(dataDir());
    FolderState expected = dataAsMade_;
    for (auto& [name, content] : expected) {
        const auto now = data.find(name);
        const auto done = completed.find(name);
        if (now != data.end() && done != completed.end() && now->second == done->second)
            content = done->second;
    }
    if (auto diff = DescribeDifference(expected, data); !diff.empty())
        return "data folder: " + diff;
    return {};
}

std::string InstallScene::Judge(const InstallOutcome& outcome, const MapEntries& before, const FolderState& completed,
                                const std::string& failedFile) const
{
    if (outcome.installed)
        return ExplainIfNotCleanlyInstalled(before);
    if (outcome.programEnded || outcome.foreignException || outcome.error.empty())
        return "no clear error: '" + outcome.error + "'";
    bool named = outcome.error.find(fileops::Display(mapPath_.filename())) != std::string::npos ||
        outcome.error.find(failedFile) != std::string::npos;
    for (const auto entry : kModEntries)
        named = named || outcome.error.find(entry) != std::string::npos;
    if (!named)
        return "the error names neither the map nor what failed: " + outcome.error;
    return ExplainIfNotUntouched(completed);
}

std::vector<std::uint8_t> TypicalMapBytes(std::size_t fillerBytes)
{
    return TypicalMap({.w3i = TemplateInfo(), .fillerBytes = fillerBytes, .fillerEntries = std::max<std::size_t>(8, fillerBytes / (128 * 1024))})
        .Build();
}

} // namespace vornak::test
