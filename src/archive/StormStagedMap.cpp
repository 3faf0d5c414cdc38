#include "archive/StormStagedMap.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveRetry.h"
#include "archive/ListFileText.h"
#include "archive/MpqRebuild.h"
#include "archive/StormMapSession.h"
#include "archive/StormWriting.h"
#include "base/FileError.h"
#include "base/FileOps.h"

#include <StormLib.h>

#include <algorithm>
#include <map>
#include <set>

namespace vornak::storm {
namespace fs = std::filesystem;
namespace {

// The archive's own lists, which every change rewrites.
bool IsOwnList(const std::string& name)
{
    const std::string key = listfile::NameKey(name);
    return key == "(LISTFILE)" || key == "(ATTRIBUTES)" || key == "(SIGNATURE)";
}

} // namespace

StormStagedMap::StormStagedMap(StormMapSession& source, fs::path target, std::span<const std::string_view> entries)
    : source_(source)
    , target_(std::move(target))
    , leftOut_(entries.begin(), entries.end())
{
    const Where where = At("Copying");
    sourceSize_ = fileops::FileSize(source_.path());
    // Protection is the map's own: a copy written in one pass has sound tables.
    source_.RefuseProtected();
    std::vector<Found> before = source_.Entries();
    std::vector<DWORD> leftOutBlocks;
    try {
        MpqRebuild rebuild(source_.path(), entries);
        rebuilt_ = rebuild.obstacle().empty();
        if (rebuilt_) {
            leftOutBlocks.assign(rebuild.leftOutBlocks().begin(), rebuild.leftOutBlocks().end());
            rebuild.WriteTo(target_);
        } else {
            fileops::CopyReplacing(source_.path(), target_);
        }
    } catch (const FileError& error) {
        Fail(where, error.what(), error.code());
    }
    std::set<std::string> replaced;
    for (const auto entry : entries)
        replaced.insert(listfile::NameKey(std::string(entry)));
    for (Found& entry : before) {
        const bool left = rebuilt_ ? std::find(leftOutBlocks.begin(), leftOutBlocks.end(), entry.block) != leftOutBlocks.end()
                                   : replaced.contains(listfile::NameKey(entry.name));
        if (!left && !IsOwnList(entry.name))
            kept_.push_back(std::move(entry));
    }
    // A copy takes the map's permissions, and a map writable through its group does not let its
    // owner (now this user) write; whoever puts the copy in the map's place gives it the map's own.
    std::error_code ec;
    fs::permissions(target_, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    // Its sectors are the map's, which the session checked.
    archive_.emplace(target_, Access::Change, where, Sectors::Skip);
}

Where StormStagedMap::At(const char* operation, const std::string& entry) const
{
    return Where{operation, fileops::Display(source_.path()), entry};
}

void StormStagedMap::Replace(const std::vector<NewEntry>& entries, int storage)
{
    const auto whereFor = [&](const std::string& entry) { return At("Adding", entry); };
    const Where where = At("Adding");
    if (storage != kStoreCompressed && storage != kStorePlain)
        Fail(where, "unknown kind of storage " + std::to_string(storage), ERROR_INVALID_PARAMETER);
    for (const NewEntry& added : entries) {
        std::error_code ec;
        if (!fs::is_regular_file(added.file, ec))
            Fail(whereFor(added.entry), "the file to add '" + fileops::Display(added.file) + "' does not exist",
                 std::make_error_code(std::errc::no_such_file_or_directory));
    }
    HANDLE archive = archive_->get();
    if (!rebuilt_) {
        for (const std::string& entry : leftOut_) {
            if (!SFileHasFile(archive, entry.c_str()))
                continue;
            fileops::FaultPoint("archive-delete", target_);
            RemoveEveryCopy(archive, entry, At("Deleting", entry));
        }
        // Saving drops the hash entries of damaged maps that point at no entry; an entry added
        // before would take such a block and be found under the old name too.
        fileops::FaultPoint("archive-flush", target_);
        if (!SFileFlushArchive(archive))
            FailWithLastError(At("Deleting"), "the changed map cannot be saved: ");
    }
    const DWORD flags = storage == kStoreCompressed ? MPQ_FILE_COMPRESS : 0;
    // The list first: where it lies last, as in a copy made in one pass, its new version takes
    // its place and the entries go behind it, leaving no gap.
    NameInListFile(archive, entries, where);
    for (const NewEntry& added : entries)
        Add(archive, target_, added, flags, source_.lists(), whereFor(added.entry));
    CompactWhereGrown();
}

// Compaction rewrites the whole copy sector by sector, several times the cost of copying it,
// so it runs only where the change left the copy larger than the map. The new entries lie at
// the end and the next install reuses their space, so repeated installs never grow a map.
// Without every name known the space of the old entries stays.
void StormStagedMap::CompactWhereGrown()
{
    const Where where = At("Compacting");
    fileops::FaultPoint("archive-flush", target_);
    if (!SFileFlushArchive(archive_->get()))
        FailWithLastError(where, "the changed map cannot be saved: ");
    if (rebuilt_ || fileops::FileSize(target_) <= sourceSize_)
        return;
    HANDLE archive = archive_->get();
    LearnNames(archive, source_.lists(), where);
    if (!Enumerate(Scan(archive, where)).allNamesKnown)
        return;
    // StormLib compacts through "<copy>.tmp" and renames it over the copy, which leaves the
    // copy with a new file's permissions.
    std::error_code ec;
    const fs::perms perms = fs::status(target_, ec).permissions();
    fs::path temp = target_;
    temp += ".tmp";
    // Another program holding the new file for a moment refuses its making, before StormLib has
    // changed anything: that much is waited out.
    RetryWhileHeld(target_, [&] {
        try {
            fileops::FaultPoint("archive-compact", target_);
            if (!SFileCompactArchive(archive, nullptr, false)) {
                const DWORD error = LastError();
                if (error != ERROR_UNKNOWN_FILE_NAMES)
                    Fail(where, ReasonText(error), error);
            }
        } catch (...) {
            fs::remove(temp, ec);
            throw;
        }
    });
    fs::permissions(target_, perms, ec);
}

std::unique_ptr<MapReader> StormStagedMap::Save()
{
    archive_->Save(target_, At("Saving"));
    archive_.reset();
    // The saved copy is read back as it reached the disk; its sectors were the map's or
    // written here.
    std::unique_ptr<StormMapSession> saved;
    RetryWhileHeld(target_, [&] { saved = std::make_unique<StormMapSession>(target_, source_.lists(), Sectors::Skip); });
    CheckKept(*saved);
    return saved;
}

void StormStagedMap::CheckKept(StormMapSession& saved)
{
    // By name: a map may hold thousands of entries, and a hostile one a name twice.
    std::multimap<std::string, Found> now;
    for (Found& found : saved.Entries())
        now.emplace(found.name, std::move(found));
    for (const Found& entry : kept_) {
        const Where entryWhere = At("Checking the copy of", entry.name);
        // A copy in one pass keeps each entry's place in the block table; compaction moves them.
        const auto same = [&](const auto& named) {
            const Found& found = named.second;
            return found.size == entry.size && found.storedSize == entry.storedSize && found.flags == entry.flags &&
                (!rebuilt_ || found.block == entry.block);
        };
        const auto [first, last] = now.equal_range(entry.name);
        if (std::none_of(first, last, same))
            Fail(entryWhere, "the entry is missing or changed in the copy", ERROR_FILE_CORRUPT);
        // An entry the library cannot read in the map either (encrypted, its name unknown) is
        // copied as it was; only one that reads there must read here.
        if (!saved.Reads(entry.name) && source_.Reads(entry.name))
            Fail(entryWhere, "the entry cannot be read in the copy", ERROR_FILE_CORRUPT);
    }
}

} // namespace vornak::storm
