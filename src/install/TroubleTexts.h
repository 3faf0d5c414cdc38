#pragma once

#include <string>

// What the install says when the computer, not the map, stands in the way: another program
// holding a file, a folder Windows protects, a path too long. Each names the map or folder and
// says what to do, as every failure ends the program (docs/messages.md lists them).
namespace vornak::texts {

// The map or its staged copy stayed held past every wait, or was found held before the start.
std::string MapInUse(const std::string& map);
// A file the install needs (a template, the scratch folder, the map as it is read) stayed held;
// `detail` names it and the system's reason.
std::string InstallerFileInUse(const std::string& map, const std::string& detail);
// The program's data folder refused a new file (found before anything changed).
std::string ProgramFolderNotWritable(const std::string& dataFolder, const std::string& reason, bool deniedThoughWritable,
                                     const std::string& map);
// The program's folder lies at a path too long for the system's file calls.
std::string ProgramFolderTooLong(const std::string& dataFolder, const std::string& map);
// The map's folder refused a new file though it is not read-only (Windows: Controlled folder access).
std::string MapFolderDenied(const std::string& map);
// The map, or a file the install makes beside it, lies at a path too long.
std::string MapPathTooLong(const std::string& map);
// The backup's counterparts.
std::string BackupInUse(const std::string& map);
std::string BackupFolderDenied(const std::string& map);
std::string BackupPathTooLong(const std::string& map, const std::string& backup);

} // namespace vornak::texts
