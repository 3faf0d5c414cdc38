#include "install/TroubleTexts.h"

namespace vornak::texts {

namespace {

constexpr const char* kHolders = "(a virus scanner, OneDrive, the search indexer, the map editor or the game)";
constexpr const char* kProtectedFolder =
    "If Windows Security's Controlled folder access protects that folder, allow the installer there "
    "(Windows Security, Ransomware protection, \"Allow an app through Controlled folder access\")";

} // namespace

std::string MapInUse(const std::string& map)
{
    return "The map '" + map + "' is in use by another program " + kHolders +
           ", so it could not be changed. The map was left as it was: wait a moment (or close the map in the "
           "map editor or the game) and install again.";
}

std::string InstallerFileInUse(const std::string& map, const std::string& detail)
{
    return std::string("A file the install needs was kept open by another program ") + kHolders + ": " + detail +
           ". The map '" + map + "' was left as it was: wait a moment and install again.";
}

std::string ProgramFolderNotWritable(const std::string& dataFolder, const std::string& reason, bool deniedThoughWritable,
                                     const std::string& map)
{
    std::string text = "The installer cannot change the files in its own folder '" + dataFolder + "' (" + reason +
                       "), which every install rewrites. The map '" + map + "' was left as it was. Move the installer's whole folder "
                       "to a folder you may change, such as Downloads (not Program Files), and start it from there.";
    if (deniedThoughWritable)
        text += std::string(" ") + kProtectedFolder + ", or move the folder as said.";
    return text;
}

std::string ProgramFolderTooLong(const std::string& dataFolder, const std::string& map)
{
    return "The installer's folder '" + dataFolder + "' lies at a path too long for Windows to work in. The map '" +
           map + "' was left as it was. Move the installer's whole folder to a shorter path, such as a folder in Downloads, and "
           "start it from there.";
}

std::string MapFolderDenied(const std::string& map)
{
    return "The folder of the map '" + map + "' refused the installer's working copy, though it is not "
           "read-only: the map cannot be changed there. " + kProtectedFolder +
           ", or copy the map to Downloads, choose the copy and install again.";
}

std::string MapPathTooLong(const std::string& map)
{
    return "The map '" + map + "' lies at a path too long for Windows to change it (with the installer's "
           "working copy beside it). Nothing was changed: move the map to a shorter path, such as a folder in "
           "Downloads, choose it there and install again.";
}

std::string BackupInUse(const std::string& map)
{
    return "The backup of the map '" + map + "' could not be made: another program has the map or its backup "
           "open " + kHolders + ". The map was left as it was: wait a moment and make the backup again.";
}

std::string BackupFolderDenied(const std::string& map)
{
    return "The backup of the map '" + map + "' could not be made: its folder refused a new file, though it is "
           "not read-only. " + kProtectedFolder + ", or copy the map to Downloads and choose the copy.";
}

std::string BackupPathTooLong(const std::string& map, const std::string& backup)
{
    return "The backup of the map '" + map + "' could not be made: its name '" + backup + "' is too long for "
           "Windows. The map was left as it was: move the map to a shorter path, such as a folder in Downloads, "
           "and make the backup there.";
}

} // namespace vornak::texts
