#include "archive/StormMapArchive.h"

#include "archive/ArchiveError.h"
#include "archive/MpqRebuild.h"
#include "archive/StormFailure.h"
#include "archive/StormHandles.h"
#include "archive/StormNames.h"
#include "archive/StormWriting.h"
#include "base/FileError.h"
#include "base/FileOps.h"

#include <StormLib.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <utility>

namespace vornak {
namespace fs = std::filesystem;
using namespace storm;

StormMapArchive::StormMapArchive(std::vector<fs::path> nameLists)
    : nameLists_(std::move(nameLists))
{
}

void StormMapArchive::ExtractEntry(const fs::path& map, const std::string& entry, const fs::path& destFolder,
                                   bool createFolder)
{
    const Where where{"Extracting", fileops::Display(map), entry};
    RequireMapFile(map, Access::Read, where);
    StormArchive archive(map, Access::Read, where, soundFiles_);
    if (!SFileHasFile(archive.get(), entry.c_str()))
        Fail(where, MissingEntryReason(archive.get(), entry), ERROR_FILE_NOT_FOUND);
    StormFile file(archive.get(), entry, where);

    std::error_code ec;
    if (createFolder) {
        fs::create_directories(destFolder, ec);
        if (ec)
            Fail(where, "the folder '" + fileops::Display(destFolder) + "' cannot be created: " + ec.message(), ec);
    } else if (!fs::is_directory(destFolder, ec)) {
        Fail(where, "the folder '" + fileops::Display(destFolder) + "' does not exist",
             std::make_error_code(std::errc::no_such_file_or_directory));
    }

    const fs::path target = destFolder / fileops::PathFromUtf8(entry);
    fileops::FaultPoint("archive-extract", map);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out)
        Fail(where, "the file '" + fileops::Display(target) + "' cannot be written", WriteError());
    try {
        file.ReadAll([&](const char* data, DWORD count) {
            out.write(data, static_cast<std::streamsize>(count));
            if (!out)
                Fail(where, "the file '" + fileops::Display(target) + "' cannot be written", WriteError());
        });
        out.close();
        if (!out)
            Fail(where, "the file '" + fileops::Display(target) + "' cannot be written", WriteError());
    } catch (...) {
        out.close();
        fs::remove(target, ec);
        throw;
    }
    archive.Close(where);
}

bool StormMapArchive::HasEntry(const fs::path& map, const std::string& entry)
{
    const Where where{"Looking for", fileops::Display(map), entry};
    RequireMapFile(map, Access::Read, where);
    StormArchive archive(map, Access::Read, where, soundFiles_);
    const bool present = SFileHasFile(archive.get(), entry.c_str());
    archive.Close(where);
    return present;
}

void StormMapArchive::DeleteEntry(const fs::path& map, const std::string& entry)
{
    const Where where{"Deleting", fileops::Display(map), entry};
    RequireMapFile(map, Access::Change, where);
    StormArchive archive(map, Access::Change, where, soundFiles_);
    if (!SFileHasFile(archive.get(), entry.c_str()))
        Fail(where, MissingEntryReason(archive.get(), entry), ERROR_FILE_NOT_FOUND);
    fileops::FaultPoint("archive-delete", map);
    RemoveEveryCopy(archive.get(), entry, where);
    archive.Save(map, where);
}

void StormMapArchive::AddEntry(const fs::path& map, const fs::path& file, const std::string& entry, int storage)
{
    AddEntries(map, {{file, entry}}, storage);
}

void StormMapArchive::AddEntries(const fs::path& map, const std::vector<NewEntry>& entries, int storage)
{
    const auto whereFor = [&](const std::string& entry) { return Where{"Adding", fileops::Display(map), entry}; };
    const Where where = whereFor(entries.size() == 1 ? entries.front().entry : "");
    if (storage != kStoreCompressed && storage != kStorePlain)
        Fail(where, "unknown kind of storage " + std::to_string(storage), ERROR_INVALID_PARAMETER);
    for (const NewEntry& added : entries) {
        std::error_code ec;
        if (!fs::is_regular_file(added.file, ec))
            Fail(whereFor(added.entry), "the file to add '" + fileops::Display(added.file) + "' does not exist",
                 std::make_error_code(std::errc::no_such_file_or_directory));
    }
    RequireMapFile(map, Access::Change, where);
    StormArchive archive(map, Access::Change, where, soundFiles_);
    const DWORD flags = storage == kStoreCompressed ? MPQ_FILE_COMPRESS : 0;
    // The list first: where it lies last, as in a copy made for a change, its new version takes
    // its place and the entries go behind it, leaving no gap.
    NameInListFile(archive.get(), entries, where);
    for (const NewEntry& added : entries)
        Add(archive.get(), map, added, flags, nameLists_, whereFor(added.entry));
    archive.Save(map, where);
}

void StormMapArchive::CheckWritable(const fs::path& map)
{
    const Where where{"Opening for changes", fileops::Display(map), ""};
    RequireMapFile(map, Access::Change, where);
    StormArchive archive(map, Access::Change, where, soundFiles_);
    archive.Close(where);
}

ArchiveListing StormMapArchive::List(const fs::path& map, const std::vector<fs::path>& extraListFiles)
{
    const Where where{"Listing", fileops::Display(map), ""};
    RequireMapFile(map, Access::Read, where);
    StormArchive archive(map, Access::Read, where, soundFiles_);
    const auto listText = LearnNames(archive.get(), extraListFiles, where);
    const std::vector<Found> entries = Scan(archive.get(), where);
    ArchiveListing listing = Enumerate(entries);
    listing.listFile = DescribeListFile(entries, listText);
    archive.Close(where);
    return listing;
}

std::vector<std::uint8_t> StormMapArchive::ReadEntry(const fs::path& map, const std::string& entry)
{
    const Where where{"Reading", fileops::Display(map), entry};
    RequireMapFile(map, Access::Read, where);
    StormArchive archive(map, Access::Read, where, soundFiles_);
    if (!SFileHasFile(archive.get(), entry.c_str()))
        Fail(where, MissingEntryReason(archive.get(), entry), ERROR_FILE_NOT_FOUND);
    StormFile file(archive.get(), entry, where);
    if (file.size() > kMaxReadEntryBytes)
        Fail(where, "the entry states a size of " + std::to_string(file.size()) +
                        " bytes, more than can be read into memory", ERROR_NOT_ENOUGH_MEMORY);
    fileops::FaultPoint("archive-read", map);
    std::vector<std::uint8_t> bytes;
    // The stated size may lie; the buffer grows only with data really read.
    bytes.reserve(std::min<DWORD>(file.size(), 16u * 1024u * 1024u));
    file.ReadAll([&](const char* data, DWORD count) {
        bytes.insert(bytes.end(), reinterpret_cast<const std::uint8_t*>(data),
                     reinterpret_cast<const std::uint8_t*>(data) + count);
    });
    archive.Close(where);
    return bytes;
}

bool StormMapArchive::Compact(const fs::path& map, const std::vector<fs::path>& extraListFiles)
{
    const Where where{"Compacting", fileops::Display(map), ""};
    RequireMapFile(map, Access::Change, where);
    std::vector<fs::path> lists = nameLists_;
    lists.insert(lists.end(), extraListFiles.begin(), extraListFiles.end());
    std::vector<Found> before;
    {
        StormArchive archive(map, Access::Change, where, soundFiles_);
        LearnNames(archive.get(), lists, where);
        before = Scan(archive.get(), where);
        if (!Enumerate(before).allNamesKnown) {
            archive.Close(where);
            return false;
        }
        // StormLib writes the compacted archive to "<map>.tmp" and renames it over the map,
        // which leaves the map with a new file's permissions.
        std::error_code ec;
        const fs::perms perms = fs::status(map, ec).permissions();
        fs::path temp = map;
        temp += ".tmp";
        try {
            fileops::FaultPoint("archive-compact", map);
            if (!SFileCompactArchive(archive.get(), nullptr, false)) {
                const DWORD error = LastError();
                if (error == ERROR_UNKNOWN_FILE_NAMES) {
                    archive.Close(where);
                    return false;
                }
                Fail(where, ReasonText(error), error);
            }
        } catch (...) {
            fs::remove(temp, ec);
            throw;
        }
        archive.Save(map, where);
        fs::permissions(map, perms, ec);
    }

    // Compaction moves every entry: each must still be there with the sizes it had, and open
    // and read at both ends (where a misplaced or cut entry shows). Reading every byte would
    // unpack the whole map, several times the cost of the compaction itself.
    StormArchive archive(map, Access::Read, where, soundFiles_);
    LearnNames(archive.get(), lists, where);
    const auto sameEntry = [](const Found& a, const Found& b) {
        return a.name == b.name && a.size == b.size && a.storedSize == b.storedSize;
    };
    const std::vector<Found> after = Scan(archive.get(), where);
    for (const Found& entry : before) {
        const Where entryWhere{where.operation, where.map, entry.name};
        if (std::none_of(after.begin(), after.end(), [&](const Found& now) { return sameEntry(entry, now); }))
            Fail(entryWhere, "the entry is missing or changed in the compacted map", ERROR_FILE_CORRUPT);
        StormFile file(archive.get(), entry.name, entryWhere);
        file.ReadEnds();
    }
    if (after.size() != before.size())
        Fail(where, "the compacted map holds " + std::to_string(after.size()) + " entries instead of " +
                        std::to_string(before.size()), ERROR_FILE_CORRUPT);
    archive.Close(where);
    return true;
}

bool StormMapArchive::CopyWithout(const fs::path& map, const fs::path& target,
                                  std::span<const std::string_view> entries,
                                  const std::vector<fs::path>& extraListFiles)
{
    const Where where{"Copying", fileops::Display(map), ""};
    RequireMapFile(map, Access::Read, where);
    std::vector<fs::path> lists = nameLists_;
    lists.insert(lists.end(), extraListFiles.begin(), extraListFiles.end());
    std::vector<DWORD> leftOut;
    std::vector<Found> before;
    try {
        MpqRebuild rebuild(map, entries);
        if (!rebuild.obstacle().empty())
            return false;
        {
            StormArchive archive(map, Access::Read, where, soundFiles_);
            LearnNames(archive.get(), lists, where);
            before = Scan(archive.get(), where);
            archive.Close(where);
        }
        leftOut.assign(rebuild.leftOutBlocks().begin(), rebuild.leftOutBlocks().end());
        rebuild.WriteTo(target);
        // Its entries are the map's stored bytes.
        RememberSound(soundFiles_, target);
    } catch (const FileError& error) {
        Fail(where, error.what(), error.code());
    }

    // Every entry moved: each must be in the copy at its place in the block table, with its
    // sizes and flags, open for changes and read at both ends.
    StormArchive archive(target, Access::Change, where, soundFiles_);
    LearnNames(archive.get(), lists, where);
    const std::vector<Found> after = Scan(archive.get(), where);
    std::optional<StormArchive> original;
    std::size_t kept = 0;
    for (const Found& entry : before) {
        if (std::find(leftOut.begin(), leftOut.end(), entry.block) != leftOut.end())
            continue;
        ++kept;
        const Where entryWhere{where.operation, where.map, entry.name};
        const auto same = [&](const Found& now) {
            return now.block == entry.block && now.name == entry.name && now.size == entry.size &&
                now.storedSize == entry.storedSize && now.flags == entry.flags;
        };
        if (std::none_of(after.begin(), after.end(), same))
            Fail(entryWhere, "the entry is missing or changed in the copy", ERROR_FILE_CORRUPT);
        try {
            StormFile(archive.get(), entry.name, entryWhere).ReadEnds();
        } catch (const ArchiveError&) {
            // An entry the library cannot read in the map either (encrypted, its name unknown)
            // is copied as it was; only one that reads there must read here.
            if (!original) {
                original.emplace(map, Access::Read, where, soundFiles_);
                LearnNames(original->get(), lists, where);
            }
            bool readsInMap = true;
            try {
                StormFile(original->get(), entry.name, entryWhere).ReadEnds();
            } catch (const ArchiveError&) {
                readsInMap = false;
            }
            if (readsInMap)
                throw;
        }
    }
    if (after.size() != kept)
        Fail(where, "the copy holds " + std::to_string(after.size()) + " entries instead of " + std::to_string(kept),
             ERROR_FILE_CORRUPT);
    if (original)
        original->Close(where);
    archive.Close(where);
    return true;
}

std::vector<std::string> StormMapArchive::EntriesDisagreeingWithAttributes(const fs::path& map)
{
    const Where where{"Verifying the attributes", fileops::Display(map), ""};
    RequireMapFile(map, Access::Read, where);
    StormArchive archive(map, Access::Read, where, soundFiles_);
    LearnNames(archive.get(), nameLists_, where);
    std::vector<std::string> disagreeing;
    for (const Found& entry : Scan(archive.get(), where)) {
        // The weak signature is made last, over the archive with its (attributes).
        if (entry.name == "(signature)")
            continue;
        const DWORD result = SFileVerifyFile(archive.get(), entry.name.c_str(), SFILE_VERIFY_FILE_CRC | SFILE_VERIFY_FILE_MD5);
        if ((result & (VERIFY_FILE_CHECKSUM_ERROR | VERIFY_FILE_MD5_ERROR)) != 0)
            disagreeing.push_back(entry.name);
    }
    archive.Close(where);
    return disagreeing;
}

bool StormMapArchive::VerifyWeakSignature(const fs::path& map)
{
    const Where where{"Verifying the weak signature", fileops::Display(map), ""};
    RequireMapFile(map, Access::Read, where);
    StormArchive archive(map, Access::Read, where, soundFiles_);
    const DWORD result = SFileVerifyArchive(archive.get());
    archive.Close(where);
    switch (result) {
    case ERROR_WEAK_SIGNATURE_OK: return true;
    case ERROR_WEAK_SIGNATURE_ERROR: return false;
    case ERROR_NO_SIGNATURE: Fail(where, "the map holds no signature", ERROR_FILE_NOT_FOUND);
    case ERROR_STRONG_SIGNATURE_OK:
    case ERROR_STRONG_SIGNATURE_ERROR:
        Fail(where, "the map holds a strong signature, not a weak one", ERROR_NOT_SUPPORTED);
    default: Fail(where, "the signature cannot be read", ERROR_FILE_CORRUPT);
    }
}

} // namespace vornak
