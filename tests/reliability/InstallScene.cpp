#include "InstallScene.h"

#include "MapBuilder.h"
#include "RecordingInstallerUi.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"
#include "install/InstallError.h"
#include "install/InstallProcedure.h"
#include "install/StagedMapUpdate.h"

#include <algorithm>
#include <set>

namespace vornak::test {
namespace fs = std::filesystem;

namespace {

std::string Upper(std::string text)
{
    for (auto& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Utf8(const fs::path& path)
{
    const auto text = path.u8string();
    return {text.begin(), text.end()};
}

fs::path FromUtf8(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

} // namespace

FolderState CaptureFolder(const fs::path& folder)
{
    FolderState state;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        const auto name = Utf8(fs::relative(item.path(), folder));
        if (item.is_directory())
            state[name] = std::nullopt;
        else
            state[name] = ReadBytes(item.path());
    }
    return state;
}

std::string DescribeDifference(const FolderState& expected, const FolderState& actual)
{
    for (const auto& [name, content] : expected) {
        const auto it = actual.find(name);
        if (it == actual.end())
            return "'" + name + "' is missing";
        if (it->second != content)
            return "'" + name + "' changed";
    }
    for (const auto& [name, content] : actual)
        if (!expected.contains(name))
            return "'" + name + "' was left behind";
    return {};
}

InstallOutcome RunInstall(const fs::path& appDir, const fs::path& map, MapArchive& archive)
{
    InstallOutcome outcome;
    RecordingInstallerUi ui;
    try {
        const auto result = InstallProcedure(appDir, archive, ui).Run(map);
        outcome.installed = result == InstallResult::Installed;
        outcome.programEnded = result == InstallResult::ProgramEnded;
    } catch (const InstallError& error) {
        outcome.error = error.what();
    } catch (const ArchiveError& error) {
        outcome.error = error.what();
    } catch (const std::exception& error) {
        outcome.error = error.what();
        outcome.foreignException = true;
    }
    return outcome;
}

InstallOutcome RunInstall(const fs::path& appDir, const fs::path& map)
{
    StormMapArchive archive({appDir / "Data" / "listw3m.txt"});
    return RunInstall(appDir, map, archive);
}

MapEntries ReadAllEntries(const fs::path& map, const fs::path& listFile)
{
    StormMapArchive archive({listFile});
    MapEntries entries;
    const auto listing = archive.List(map, {listFile});
    for (const auto& name : listing.names)
        entries[Upper(name)] = archive.ReadEntry(map, name);
    return entries;
}

std::string ExplainIfNotInstalled(const fs::path& map, const MapEntries& before, const fs::path& dataDir)
{
    MapEntries after;
    try {
        after = ReadAllEntries(map, dataDir / "listw3m.txt");
    } catch (const std::exception& error) {
        return std::string("the map does not read back: ") + error.what();
    }
    std::set<std::string> five;
    for (const auto entry : kModEntries) {
        const auto name = Upper(std::string(entry));
        five.insert(name);
        const auto it = after.find(name);
        if (it == after.end())
            return "the map lacks " + name;
        if (it->second != ReadBytes(dataDir / entry))
            return "the map's " + name + " is not the template";
    }
    for (const auto& [name, bytes] : before) {
        if (five.contains(name) || name == "(LISTFILE)" || name == "(ATTRIBUTES)" || name == "(SIGNATURE)")
            continue;
        const auto it = after.find(name);
        if (it == after.end())
            return "the map lost " + name;
        if (it->second != bytes)
            return "the map's " + name + " changed";
    }
    return {};
}

InstallScene::InstallScene(const std::vector<std::uint8_t>& mapBytes) : InstallScene(mapBytes, Names{}) {}

InstallScene::InstallScene(const std::vector<std::uint8_t>& mapBytes, const Names& names)
    : appDir_(temp_.path() / FromUtf8(names.appFolder))
    , mapPath_(temp_.path() / FromUtf8(names.mapFolder) / FromUtf8(names.mapFile))
    , mapBytes_(mapBytes)
{
    fs::create_directories(appDir_);
    fs::create_directories(mapPath_.parent_path());
    InstallModData(appDir_);
    dataAsMade_ = CaptureFolder(dataDir());
    WriteBytes(mapPath_, mapBytes_);
}

fs::path InstallScene::stagedPath() const
{
    auto staged = mapPath_;
    staged += ".vqinstall";
    return staged;
}

void InstallScene::Reset() const
{
    std::error_code ignored;
    fs::remove_all(dataDir(), ignored);
    fs::remove_all(mapPath_.parent_path(), ignored);
    fs::create_directories(mapPath_.parent_path());
    InstallModData(appDir_);
    WriteBytes(mapPath_, mapBytes_);
}

std::string InstallScene::ExplainIfNotUntouched(const FolderState& completed) const
{
    const auto mapFolder = CaptureFolder(mapPath_.parent_path());
    const FolderState expectedMapFolder = {{Utf8(mapPath_.filename()), mapBytes_}};
    if (auto diff = DescribeDifference(expectedMapFolder, mapFolder); !diff.empty())
        return "map folder: " + diff;

    const auto data = CaptureFolder(dataDir());
    for (const auto& [name, content] : data) {
        const auto made = dataAsMade_.find(name);
        if (made == dataAsMade_.end())
            return "data folder: '" + name + "' was left behind";
        if (content == made->second)
            continue;
        const auto done = completed.find(name);
        if (done == completed.end() || done->second != content)
            return "data folder: '" + name + "' is neither as it was nor completely rewritten";
    }
    for (const auto& [name, content] : dataAsMade_)
        if (!data.contains(name))
            return "data folder: '" + name + "' is missing";
    return {};
}

void InstallModData(const fs::path& appDir)
{
    const auto source = SourceDir() / "Data";
    fs::create_directories(appDir / "Data");
    for (const auto& file : fs::directory_iterator(source))
        if (file.is_regular_file())
            fs::copy_file(file.path(), appDir / "Data" / file.path().filename(),
                          fs::copy_options::overwrite_existing);
}

std::vector<std::uint8_t> TypicalMapBytes(std::size_t fillerBytes, std::uint32_t seed)
{
    TypicalMapOptions options;
    options.w3i = ReadBytes(SourceDir() / "Data" / "war3map.w3i");
    options.fillerBytes = fillerBytes;
    options.fillerEntries = std::max<std::size_t>(8, fillerBytes / (128 * 1024));
    options.seed = seed;
    return TypicalMap(options).Build();
}

} // namespace vornak::test
