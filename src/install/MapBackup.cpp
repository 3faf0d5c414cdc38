#include "install/MapBackup.h"

#include "base/FileOps.h"
#include "install/InstallError.h"

#include <filesystem>

namespace vornak {

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
    // Through a temporary copy, so a failed copy never leaves a half backup in place of a good one.
    auto part = target;
    part += ".part";
    const auto temp = fileops::CreateUnique(part);
    try {
        fileops::CopyReplacing(source, temp);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw;
    }
    fileops::PutInPlace(temp, target);
}

} // namespace vornak
