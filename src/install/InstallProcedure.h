#pragma once

#include "archive/MapArchive.h"
#include "install/InstallerUi.h"

#include <filesystem>
#include <string>

namespace vornak {

enum class InstallResult {
    Installed,    // the map holds the modification; the finished page is in front
    ProgramEnded, // a required file was missing and the window was unloaded
};

// Turns the chosen map into a map of the modification. Failures other than a missing
// required file throw (InstallError or ArchiveError) and leave the map as it was.
class InstallProcedure {
public:
    InstallProcedure(std::filesystem::path appDir, MapArchive& archive, InstallerUi& ui);

    InstallResult Run(const std::filesystem::path& map);

private:
    InstallResult RunSteps(const std::filesystem::path& map);
    // Throws InstallError, naming the folder and what to do, where Data cannot be written.
    void CheckDataFolderWritable(const std::filesystem::path& map) const;
    void ExtractFromMap(MapReader& reader, const std::filesystem::path& map, const std::string& entry,
                        const std::filesystem::path& scratch);

    std::filesystem::path appDir_;
    MapArchive& archive_;
    InstallerUi& ui_;
};

} // namespace vornak
