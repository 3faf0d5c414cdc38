#pragma once

#include "TestFiles.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace vornak::test {

// What a folder holds, by path relative to it: a file's bytes, or nothing for a folder.
using FolderState = std::map<std::string, std::optional<std::vector<std::uint8_t>>>;
FolderState CaptureFolder(const std::filesystem::path& folder);
// The first difference between two captures, or empty when they are equal.
std::string DescribeDifference(const FolderState& expected, const FolderState& actual);

// How one install ended, as the user would see it.
struct InstallOutcome {
    bool installed = false;        // the finished page came up
    bool programEnded = false;     // a required file was missing
    std::string error;             // the failure's description, empty when none
    std::error_code code;          // an archive or file failure's code
    bool foreignException = false; // a failure that is neither InstallError, ArchiveError nor FileError
};
// With the archive layer over StormLib, set up as the program sets it up; with backUp, the
// map's backup is made first, as the window makes it when asked.
InstallOutcome RunInstall(const std::filesystem::path& appDir, const std::filesystem::path& map, bool backUp = false);

// Every entry of a map but its own lists and signature, by its upper-cased name, read through
// StormLib with the list of names the modification ships. Throws when the map does not open or an entry does not read.
using MapEntries = std::map<std::string, std::vector<std::uint8_t>>;
MapEntries ReadAllEntries(const std::filesystem::path& map, const std::filesystem::path& listFile);

// Empty when `map` is a complete install over a map that held `before`: it opens, every
// entry reads back, the five entries hold the data folder's templates and every other
// entry is as it was. Otherwise says what is wrong.
std::string ExplainIfNotInstalled(const std::filesystem::path& map, const MapEntries& before,
                                  const std::filesystem::path& dataDir);

// Folder and file names may hold any characters (UTF-8); an absolute map folder is used as is.
struct SceneNames {
    std::string appFolder = "app";
    std::string mapFolder = "maps";
    std::string mapFile = "map.w3x";
};

// A program folder with the shipped Data, and one map alone in a folder.
class InstallScene {
public:
    explicit InstallScene(const std::vector<std::uint8_t>& mapBytes, const SceneNames& names = {});

    const std::filesystem::path& appDir() const { return appDir_; }
    const std::filesystem::path& mapPath() const { return mapPath_; }
    std::filesystem::path mapFolder() const { return mapPath_.parent_path(); }
    std::filesystem::path dataDir() const { return appDir_ / "Data"; }
    std::filesystem::path listFile() const { return dataDir() / "listw3m.txt"; }
    std::filesystem::path stagedPath() const { return std::filesystem::path(mapPath_) += ".vqinstall"; }
    std::filesystem::path backupPath() const;

    // Puts the map and the data folder back as they were made.
    void Reset() const;

    InstallOutcome Install(bool backUp = false) const { return RunInstall(appDir_, mapPath_, backUp); }

    // Empty when the map is a complete install over `before` and its folder holds nothing else,
    // and the data folder holds what `completed` holds, where given.
    std::string ExplainIfNotCleanlyInstalled(const MapEntries& before, const FolderState& completed = {}) const;
    // Empty when the map is byte for byte as made and its folder holds nothing else, and
    // the data folder holds its files only, each template as made or as `completed` holds it.
    std::string ExplainIfNotUntouched(const FolderState& completed = {}) const;
    // Empty when `outcome` is a complete install over `before`, or a clean failure: a clear
    // error naming the map, one of the five entries or `failedFile`, and nothing changed.
    std::string Judge(const InstallOutcome& outcome, const MapEntries& before, const FolderState& completed = {},
                      const std::string& failedFile = "\n") const;

    const std::vector<std::uint8_t>& mapBytes() const { return mapBytes_; }
    const FolderState& dataAsMade() const { return dataAsMade_; }

private:
    TempDir temp_;
    std::filesystem::path appDir_;
    std::filesystem::path mapPath_;
    std::vector<std::uint8_t> mapBytes_;
    FolderState dataAsMade_;
};

// A map as an editor leaves it, with filler entries of `fillerBytes` together (half of them
// random, half compressible: the map comes to about three quarters of that). Its info is the
// template's own, a valid format 18 file.
std::vector<std::uint8_t> TypicalMapBytes(std::size_t fillerBytes);

} // namespace vornak::test
