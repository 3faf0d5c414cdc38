#include "install/MapBackup.h"

#include "base/FileError.h"
#include "base/FileOps.h"
#include "base/Platform.h"
#include "install/InstallError.h"
#include "install/Leftovers.h"
#include "install/TroubleTexts.h"

#include <filesystem>

namespace vornak {
namespace fs = std::filesystem;

namespace {

// Byte offset where the last `count` UTF-8 characters begin, or npos when there are fewer.
std::size_t StartOfLastCharacters(std::string_view text, std::size_t count)
{
    std::size_t pos = text.size();
    while (count > 0) {
        if (pos == 0)
            return std::string_view::npos;
        --pos;
        // Continuation bytes (10xxxxxx) belong to the character that starts before them.
        if ((static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80)
            --count;
    }
    return pos;
}

} // namespace

std::string BackupPathFor(std::string_view mapPath)
{
    const auto cut = StartOfLastCharacters(mapPath, 4);
    if (cut == std::string_view::npos)
        throw InstallError("Cannot make a backup of '" + std::string(mapPath) +
                           "': the map path is too short to name a backup file");
    return std::string(mapPath.substr(0, cut)) + "_BackUp.w3m";
}

void MakeBackup(std::string_view mapPath)
{
    const auto source = fileops::PathFromUtf8(mapPath);
    const auto target = fileops::PathFromUtf8(BackupPathFor(mapPath));
    const std::string map(mapPath);
    // Through a temporary copy, so a failed copy never leaves a half backup in place of a good one.
    auto part = target;
    part += ".part";
    if (platform::PathTooLong(fs::path(part) += std::string(fileops::kUniqueNumberBytes, '9')))
        throw InstallError(texts::BackupPathTooLong(map, fileops::Display(target)));
    // What an interrupted backup of this map left under that name goes first.
    RemoveLeftovers(part);
    fs::path temp;
    try {
        temp = fileops::CreateUnique(part);
    } catch (const FileError& error) {
        if (platform::IsTooLong(error.code()))
            throw InstallError(texts::BackupPathTooLong(map, fileops::Display(target)), error.code());
        if (platform::DeniedThoughWritable(error.code(), target.parent_path()))
            throw InstallError(texts::BackupFolderDenied(map), error.code());
        throw;
    }
    try {
        fileops::CopyReplacing(source, temp);
        // An older backup made read-only would refuse to be replaced on Windows.
        platform::ClearReadOnly(target);
        fileops::PutInPlace(temp, target);
    } catch (const FileError& error) {
        fileops::Discard(temp);
        if (error.stillRefused())
            throw InstallError(texts::BackupInUse(map), error.code());
        throw;
    }
}

} // namespace vornak
