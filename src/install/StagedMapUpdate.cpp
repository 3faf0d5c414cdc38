#include "install/StagedMapUpdate.h"

#include "archive/ArchiveRetry.h"
#include "archive/ListFileText.h"
#include "base/FileOps.h"
#include "base/FileError.h"
#include "base/Platform.h"
#include "install/InstallError.h"
#include "install/Leftovers.h"
#include "install/TroubleTexts.h"

#include <iterator>
#include <set>

namespace vornak {
namespace fs = std::filesystem;

namespace {

InstallError InUse(const std::string& name)
{
    return InstallError(texts::MapInUse(name));
}

// An archive call on the map or its staged copy, tried again while another program holds
// either for a moment; held past every wait, it is the map in use.
template <class Call>
void OnStaged(const fs::path& staged, const std::string& name, Call call)
{
    if (!RetryingArchive(staged, call))
        throw InUse(name);
}

// A step that cannot be run again (it changed the copy before it failed): a refusal that the
// archive layer waited out in vain is the map in use.
template <class Call>
auto Once(const fs::path& staged, const std::string& name, Call call)
{
    try {
        return call();
    } catch (const ArchiveError& error) {
        if (platform::IsPassingRefusal(SystemCodeOf(error.code()), staged))
            throw InUse(name);
        throw;
    }
}

std::vector<std::uint8_t> ReadWholeFile(const fs::path& path)
{
    auto in = fileops::OpenForReading(path);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    fileops::CheckRead(in, path);
    return bytes;
}

} // namespace

StagedMapUpdate::StagedMapUpdate(fs::path map, MapArchive& archive)
    // A symbolic link stays a link: the file it leads to is the map that changes.
    : map_(platform::ResolveLinks(map))
    , archive_(archive)
{
}

StagedMapUpdate::~StagedMapUpdate()
{
    DiscardStaged();
}

fs::path StagedMapUpdate::StagedPathFor(const fs::path& map)
{
    // File names hold at most 255 bytes (255 UTF-16 units on Windows, never fewer than the
    // UTF-8 bytes): a map named near that limit gets its staged copy under a shortened name,
    // which leaves room for the number a taken name gets and for the ".tmp" the archive
    // library adds to it while compacting.
    constexpr std::size_t kMostNameBytes = 255 - fileops::kUniqueNumberBytes - 4;
    constexpr std::u8string_view kSuffix = u8".vqinstall";
    std::u8string name = map.filename().u8string();
    if (name.size() + kSuffix.size() > kMostNameBytes) {
        std::size_t keep = kMostNameBytes - kSuffix.size();
        // Cut before a character, never inside one (10xxxxxx bytes continue a character).
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
            --keep;
        name.resize(keep);
    }
    name += kSuffix;
    return map.parent_path() / fs::path(name);
}

void StagedMapUpdate::CheckMapCanChange()
{
    const std::string name = fileops::Display(map_);
    // Beyond the system's limit the map would read as missing: say what it is. The longest name
    // made beside it is the staged copy's compaction file with a number.
    if (platform::PathTooLong(map_) ||
        platform::PathTooLong(fs::path(StagedPathFor(map_)) += std::string(fileops::kUniqueNumberBytes, '9') + ".tmp"))
        throw InstallError(texts::MapPathTooLong(name));
    std::error_code ec;
    const auto status = fs::status(map_, ec);
    if (!fs::exists(status))
        throw InstallError("The map '" + name + "' does not exist. Start the installer again and choose the map on the map page.");
    if (fs::is_directory(status))
        throw InstallError("The map '" + name + "' is a folder, not a map file. Start the installer again and "
                           "choose a map file (.w3m) on the map page.");
    if (!fs::is_regular_file(status))
        throw InstallError("The map '" + name + "' is not a file. Start the installer again and choose a map file "
                           "(.w3m) on the map page.");
    if (!platform::MayWrite(map_))
        throw InstallError("The map '" + name + "' is read-only: it cannot be changed. Allow changes to the map "
                           "file (clear its read-only setting) and install again.");
    if (platform::HeldByAnotherProgram(map_))
        throw InUse(name);

    auto folder = map_.parent_path();
    if (folder.empty())
        folder = fs::current_path();
    if (!platform::MayWrite(folder))
        throw InstallError("The folder of the map '" + name + "' is read-only: the map cannot be changed. "
                           "Copy the map into a folder you may change, choose the copy and install again.");
    // The system's answer does not tell everything (access lists, some network shares): a file
    // made there does. It stays as the staged copy's place until the install ends.
    try {
        ReserveStaged();
    } catch (const FileError& error) {
        if (platform::IsTooLong(error.code()))
            throw InstallError(texts::MapPathTooLong(name));
        if (platform::DeniedThoughWritable(error.code(), folder))
            throw InstallError(texts::MapFolderDenied(name));
        throw InstallError("The folder of the map '" + name + "' cannot be written: the map cannot be changed. "
                           "Copy the map into a folder you may change, choose the copy and install again.");
    }

    if (!RetryingArchive(map_, [&] { session_ = archive_.Open(map_); }))
        throw InUse(name);
}

void StagedMapUpdate::StageCopy()
{
    copiedSize_ = fileops::FileSize(map_);
    std::error_code ec;
    copiedTime_ = fs::last_write_time(map_, ec);
    before_ = session_->List();

    if (!stagedExists_)
        ReserveStaged();
    OnStaged(staged_, fileops::Display(map_), [&] { stagedMap_ = session_->Stage(staged_, kModEntries); });
}

void StagedMapUpdate::ReplaceEntries(const fs::path& dataFolder)
{
    const std::string name = fileops::Display(map_);
    std::vector<NewEntry> additions;
    for (const auto entry : kModEntries)
        additions.push_back({dataFolder / entry, std::string(entry)});
    Once(staged_, name, [&] { stagedMap_->Replace(additions, kStoreCompressed); });
    const std::unique_ptr<MapReader> saved = Once(staged_, name, [&] { return stagedMap_->Save(); });
    stagedMap_.reset();
    Verify(*saved, dataFolder);
    saved->Close();
    // The map is read no more; Windows renames nothing over a file that is open.
    session_->Close();

    platform::KeepOwner(map_, staged_);
    // After the owner, as a change of owner clears the set-id bits.
    std::error_code ec;
    fs::permissions(staged_, fs::status(map_).permissions(), ec);
    if (fileops::FileSize(map_) != copiedSize_ || fs::last_write_time(map_, ec) != copiedTime_)
        throw InstallError("The map '" + name + "' was changed by another program during the install: close it "
                           "there, then install again. The map was left as that program saved it.");
    try {
        fileops::Flush(staged_);
    } catch (const FileError& error) {
        if (error.stillRefused())
            throw InUse(name);
        throw InstallError("The changed map '" + name + "' could not be written to the disk (" + error.what() +
                           "). The map was left as it was.");
    }
    // What else makes the map the user's file (attributes, its mark of the web, creation time,
    // an access list of its own) goes along, so the renamed copy is taken for the same file;
    // after the flush, which an access list of the map's may no longer let this user open for.
    platform::CarryIdentity(map_, staged_);
    try {
        fileops::RenameReplacing(staged_, map_, fileops::Patience::MapRename);
    } catch (const FileError& error) {
        // A program that opened the map since the install began, or one that shares everything
        // (which the check before lets pass) and whose open file Windows will not let a rename
        // replace: "Access is denied" on a map that is not read-only, waited for like the rest.
        if (error.stillRefused() || platform::HeldByAnotherProgram(map_))
            throw InUse(name);
        throw;
    }
    stagedExists_ = false;
    try {
        fileops::FlushFolder(map_.parent_path());
    } catch (const FileError& error) {
        throw InstallError("The map '" + name + "' holds the modification, but the system could not confirm that "
                           "it is on the disk: " + error.what());
    }
}

void StagedMapUpdate::ReserveStaged()
{
    // What an interrupted install of this map left under these names goes first.
    RemoveLeftovers(StagedPathFor(map_), ".tmp");
    // Never a file that is there already, nor one whose compaction file would be.
    staged_ = fileops::CreateUnique(StagedPathFor(map_), ".tmp");
    stagedExists_ = true;
}

void StagedMapUpdate::Verify(MapReader& saved, const fs::path& dataFolder)
{
    const ArchiveListing& before = before_;
    const std::string name = fileops::Display(map_);
    for (const auto entry : kModEntries) {
        const std::string entryName(entry);
        if (saved.ReadEntry(entryName) != ReadWholeFile(dataFolder / entryName))
            throw InstallError("The changed map '" + name + "' did not read back correctly: its " + entryName +
                               " differs from the modification's. The map was left as it was.");
    }

    const ArchiveListing after = saved.List();
    std::set<std::string> now;
    for (const auto& entry : after.names)
        now.insert(listfile::NameKey(entry));
    for (const auto& old : before.names) {
        if (!now.contains(listfile::NameKey(old)))
            throw InstallError("The changed map '" + name + "' lost its entry '" + old +
                               "'. The map was left as it was.");
    }
    if (after.entryCount < before.entryCount)
        throw InstallError("The changed map '" + name + "' holds fewer entries than before. The map was left as it was.");
    VerifyListFile(before.listFile, after.listFile);
}

// Tools show a map's files by the names in its (listfile): an install may add names, never lose one.
void StagedMapUpdate::VerifyListFile(const ListFileState& before, const ListFileState& after) const
{
    using Kind = ListFileState::Kind;
    const auto refuse = [&](const std::string& what) {
        throw InstallError("The changed map '" + fileops::Display(map_) + "' " + what +
                           ", so tools would no longer show those files by name. The map was left as it was.");
    };
    if (before.kind == Kind::Unreadable &&
        (after.kind != Kind::Unreadable || after.size != before.size || after.storedSize != before.storedSize ||
         after.flags != before.flags))
        refuse("did not keep its list of file names, which could not be read, as it was");
    if (before.kind != Kind::Read)
        return;
    if (after.kind != Kind::Read)
        refuse("lost its list of file names");
    std::set<std::string> now;
    for (const auto& listed : after.names)
        now.insert(listfile::NameKey(listed));
    for (const auto& listed : before.names)
        if (!now.contains(listfile::NameKey(listed)))
            refuse("lost the name '" + listed + "' from its list of file names");
}

void StagedMapUpdate::DiscardStaged() noexcept
{
    // Closed first: Windows removes no file that is open.
    stagedMap_.reset();
    session_.reset();
    if (!stagedExists_)
        return;
    fileops::FinishBackgroundFlush(staged_);
    fileops::Discard(staged_);
    // The archive layer compacts through "<file>.tmp" beside the file it compacts.
    auto compacting = staged_;
    compacting += ".tmp";
    fileops::Discard(compacting);
    stagedExists_ = false;
}

} // namespace vornak
