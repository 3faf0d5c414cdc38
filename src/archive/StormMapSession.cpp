#include "archive/StormMapSession.h"

#include "archive/ArchiveError.h"
#include "archive/StormStagedMap.h"
#include "base/FileOps.h"

#include <StormLib.h>

#include <algorithm>
#include <fstream>

namespace vornak::storm {
namespace fs = std::filesystem;

StormMapSession::StormMapSession(fs::path map, std::vector<fs::path> lists, Sectors sectors)
    : map_(std::move(map))
    , lists_(std::move(lists))
    // StormLib crashes on some damaged structures instead of reporting them; the archive's
    // own checked reads look for them first, once for the whole session.
    , sectors_(sectors)
{
    handle();
}

HANDLE StormMapSession::handle()
{
    if (!archive_) {
        archive_.emplace(Checked(map_, At("Opening")), Access::Read, At("Opening"), sectors_);
        namesLearned_ = false;
        entries_.reset();
    }
    return archive_->get();
}

const fs::path& StormMapSession::Checked(const fs::path& map, const Where& where)
{
    RequireMapFile(map, where);
    return map;
}

void StormMapSession::RefuseProtected()
{
    handle();
    archive_->RefuseProtected(map_, At("Opening for changes"));
}

Where StormMapSession::At(const char* operation, const std::string& entry) const
{
    return Where{operation, fileops::Display(map_), entry};
}

void StormMapSession::ExtractEntry(const std::string& entry, const fs::path& destFolder, bool createFolder)
{
    const Where where = At("Extracting", entry);
    if (!SFileHasFile(handle(), entry.c_str()))
        Fail(where, MissingEntryReason(handle(), entry), ERROR_FILE_NOT_FOUND);
    StormFile file(handle(), entry, where);

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
    fileops::FaultPoint("archive-extract", map_);
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
}

bool StormMapSession::HasEntry(const std::string& entry)
{
    return SFileHasFile(handle(), entry.c_str());
}

std::vector<std::uint8_t> StormMapSession::ReadEntry(const std::string& entry)
{
    const Where where = At("Reading", entry);
    if (!SFileHasFile(handle(), entry.c_str()))
        Fail(where, MissingEntryReason(handle(), entry), ERROR_FILE_NOT_FOUND);
    StormFile file(handle(), entry, where);
    if (file.size() > kMaxReadEntryBytes)
        Fail(where, "the entry states a size of " + std::to_string(file.size()) +
                        " bytes, more than can be read into memory", ERROR_NOT_ENOUGH_MEMORY);
    fileops::FaultPoint("archive-read", map_);
    std::vector<std::uint8_t> bytes;
    // The stated size may lie; the buffer grows only with data really read.
    bytes.reserve(std::min<DWORD>(file.size(), 16u * 1024u * 1024u));
    file.ReadAll([&](const char* data, DWORD count) {
        bytes.insert(bytes.end(), reinterpret_cast<const std::uint8_t*>(data),
                     reinterpret_cast<const std::uint8_t*>(data) + count);
    });
    return bytes;
}

const std::optional<std::vector<std::uint8_t>>& StormMapSession::ListText()
{
    if (!namesLearned_) {
        listText_ = LearnNames(handle(), lists_, At("Listing"));
        namesLearned_ = true;
    }
    return listText_;
}

std::vector<Found> StormMapSession::Entries()
{
    // The map does not change while it is open for reading: listed once, for the copy and its check.
    if (!entries_) {
        ListText();
        entries_ = Scan(handle(), At("Listing"));
    }
    return *entries_;
}

ArchiveListing StormMapSession::List()
{
    const std::vector<Found> entries = Entries();
    ArchiveListing listing = Enumerate(entries);
    listing.listFile = DescribeListFile(entries, ListText());
    return listing;
}

bool StormMapSession::Reads(const std::string& entry)
{
    ListText();
    try {
        StormFile(handle(), entry, At("Reading", entry)).ReadEnds();
        return true;
    } catch (const ArchiveError&) {
        return false;
    }
}

void StormMapSession::Close()
{
    if (archive_) {
        archive_->Close(At("Closing"));
        archive_.reset();
    }
}

std::unique_ptr<StagedMap> StormMapSession::Stage(const fs::path& target, std::span<const std::string_view> entries)
{
    return std::make_unique<StormStagedMap>(*this, target, entries);
}

} // namespace vornak::storm
