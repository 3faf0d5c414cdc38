#include "archive/StormMapArchive.h"

#include "archive/ArchiveError.h"
#include "archive/ListFileText.h"
#include "archive/MpqRebuild.h"
#include "archive/MpqStructureCheck.h"
#include "base/FileError.h"
#include "base/FileOps.h"
#include "base/Platform.h"

#include <StormLib.h>
#if defined(VORNAK_OWN_LIST_FILE)
#include <StormLibListFile.h>
#endif

#if defined(VORNAK_STORMLIB_SYSTEM_TOMCRYPT)
// StormLib built against the system libtomcrypt leaves the big-number provider to the
// program; without one, signing a map with a weak "(signature)" crashes on save.
#define LTM_DESC
#include <tomcrypt.h>
#endif

#if !defined(_WIN32) && STORMLIB_VERSION >= 0x091F
// Off Windows, StormLib 9.31 and later keep their last error behind SErrGetLastError;
// older releases (Debian's 9.22) call it GetLastError, as Windows does.
namespace vornak { namespace {
DWORD GetLastError() { return SErrGetLastError(); }
} } // namespace vornak::<unnamed>
#endif

#include <algorithm>
#include <cerrno>
#include <array>
#include <cctype>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>

namespace vornak {
namespace fs = std::filesystem;

namespace {

// Opening these by name teaches StormLib their names where the map's (listfile) lacks them;
// the install handles the first five, StormLib itself the last three.
constexpr std::array<const char*, 8> kWellKnownNames = {
    "war3map.j",  "war3map.w3u",  "war3map.wts",  "war3map.w3i",
    "war3map.w3c", "(listfile)", "(attributes)", "(signature)",
};

constexpr DWORD kReadChunk = 64 * 1024;
// A map's sector size: the unit in which StormLib reads and unpacks an entry.
constexpr DWORD kEndProbe = 4096;

// What a failure is about: every ArchiveError carries these three.
struct Where {
    std::string operation;
    std::string map;
    std::string entry;
};

// The layer's own numbers, for failures it finds before StormLib is asked, kept clear of
// StormLib's and the system's.
constexpr int kProtectedMap = 0x56510001;

std::error_code Code(DWORD code)
{
    return {static_cast<int>(code), ArchiveCategory()};
}

[[noreturn]] void Fail(const Where& where, const std::string& reason, std::error_code code)
{
    throw ArchiveError(where.operation, where.map, where.entry, reason, code);
}

[[noreturn]] void Fail(const Where& where, const std::string& reason, DWORD code)
{
    Fail(where, reason, Code(code));
}

// A file of ours that cannot be written: errno, where the library set it, says why.
std::error_code WriteError()
{
    return errno != 0 ? std::error_code(errno, std::generic_category()) : std::make_error_code(std::errc::io_error);
}

std::string PlatformMessage(DWORD code)
{
#if defined(_WIN32)
    return std::system_category().message(static_cast<int>(code));
#else
    // Off Windows, StormLib reports errno values.
    return std::generic_category().message(static_cast<int>(code));
#endif
}

std::string Words(DWORD code)
{
    std::string text;
    switch (code) {
    case ERROR_SUCCESS: text = "the archive library gave no reason"; break;
    case ERROR_FILE_NOT_FOUND: text = "file or entry not found"; break;
    case ERROR_ACCESS_DENIED: text = "access denied: the archive can only be read"; break;
    case ERROR_INVALID_HANDLE: text = "invalid handle"; break;
    case ERROR_NOT_ENOUGH_MEMORY: text = "not enough memory"; break;
    case ERROR_NOT_SUPPORTED: text = "not supported for this archive"; break;
    case ERROR_INVALID_PARAMETER: text = "invalid parameter"; break;
    case ERROR_DISK_FULL: text = "the disk is full, or the archive has no room for another entry"; break;
    case ERROR_ALREADY_EXISTS: text = "the entry already exists"; break;
    case ERROR_INSUFFICIENT_BUFFER: text = "a buffer was too small"; break;
    case ERROR_BAD_FORMAT: text = "not a map archive: no valid MPQ header was found"; break;
    case ERROR_NO_MORE_FILES: text = "no more entries"; break;
    case ERROR_HANDLE_EOF: text = "unexpected end of file: the archive is cut short"; break;
    case ERROR_CAN_NOT_COMPLETE: text = "the operation could not be completed"; break;
    case ERROR_FILE_CORRUPT: text = "the archive is damaged"; break;
    case ERROR_AVI_FILE: text = "the file is a video, not a map archive"; break;
    case ERROR_UNKNOWN_FILE_KEY: text = "the entry's encryption key is unknown"; break;
    case ERROR_CHECKSUM_ERROR: text = "the entry's data fails its checksum: the archive is damaged"; break;
    case ERROR_INTERNAL_FILE: text = "not allowed on the archive's own internal entries"; break;
    case ERROR_BASE_FILE_MISSING: text = "the base of a patched entry is missing"; break;
    case ERROR_MARKED_FOR_DELETE: text = "the entry is marked as deleted"; break;
    case ERROR_FILE_INCOMPLETE: text = "the entry's data is incomplete"; break;
    case ERROR_UNKNOWN_FILE_NAMES: text = "the names of some entries are unknown"; break;
    default: text = PlatformMessage(code); break;
    }
    return text;
}

// StormLib's error in words, with its number for anyone who must look further.
std::string ReasonText(DWORD code)
{
    return Words(code) + " (error " + std::to_string(code) + ")";
}

// Fails with StormLib's last error, after the words that say what could not be done.
[[noreturn]] void FailWithLastError(const Where& where, const std::string& what)
{
    const DWORD code = GetLastError();
    Fail(where, what + ReasonText(code), code);
}

// StormLib reads prefixes such as "map:", "http:" or "flat-file://" at the start of a
// name as stream providers; an absolute path starts with "/" or a drive, so it is always
// taken as the plain file it names.
template <typename Char>
std::basic_string<Char> PathAs(const fs::path& path)
{
    if constexpr (std::is_same_v<Char, fs::path::value_type>)
        return path.native(); // wide on Windows Unicode builds, UTF-8 bytes elsewhere
    else
        return path.string();
}

std::basic_string<TCHAR> StormPath(const fs::path& path)
{
    return PathAs<TCHAR>(fs::absolute(path));
}

// StormLib names entries it cannot name "File00000012.xxx" (index and a guessed extension).
bool IsPseudoName(std::string_view name)
{
    if (name.size() < 14 || name.substr(0, 4) != "File" || name[12] != '.')
        return false;
    return std::all_of(name.begin() + 4, name.begin() + 12,
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

void EnsureSigningMath()
{
#if defined(VORNAK_STORMLIB_SYSTEM_TOMCRYPT)
    // StormLib 9.22 copies in a shorter descriptor than the system libtomcrypt's: the name is
    // set but its last entries (addmod, submod, rand) stay empty, so the last one is checked.
    static const bool ready = [] {
        if (ltc_mp.name == nullptr || ltc_mp.rand == nullptr)
            ltc_mp = ltm_desc;
        return true;
    }();
    (void)ready;
#endif
}

enum class Access { Read, Change };

// The map path must name an existing regular file; a change also needs it writable.
// These are tested here, in our own words, before StormLib is asked.
void RequireMapFile(const fs::path& map, Access access, const Where& where)
{
    std::error_code ec;
    const fs::file_status status = fs::status(map, ec);
    if (ec && status.type() != fs::file_type::not_found)
        Fail(where, "the map file cannot be examined: " + ec.message(), ec);
    if (status.type() == fs::file_type::not_found)
        Fail(where, "the map file does not exist", ERROR_FILE_NOT_FOUND);
    if (status.type() == fs::file_type::directory)
        Fail(where, "the path names a folder, not a map file", ERROR_FILE_NOT_FOUND);
    if (status.type() != fs::file_type::regular)
        Fail(where, "the path names no regular file", ERROR_FILE_NOT_FOUND);
    if (access == Access::Change && !platform::MayWrite(map))
        Fail(where, "the map file is read-only", ERROR_ACCESS_DENIED);
}

using SoundFiles = StormMapArchive::SoundFiles;

// Records the file as it is now as one whose sectors are sound.
void RememberSound(SoundFiles& sound, const fs::path& file)
{
    constexpr std::size_t kMostFiles = 16; // an install needs two
    if (sound.size() >= kMostFiles)
        sound.clear();
    const fs::path key = fs::absolute(file).lexically_normal();
    std::error_code sizeError, timeError;
    const auto size = fs::file_size(file, sizeError);
    const auto time = fs::last_write_time(file, timeError);
    if (sizeError || timeError)
        sound.erase(key);
    else
        sound[key] = {size, time};
}

bool KnownSound(const SoundFiles& sound, const fs::path& file)
{
    const auto known = sound.find(fs::absolute(file).lexically_normal());
    std::error_code sizeError, timeError;
    return known != sound.end() && known->second.first == fs::file_size(file, sizeError) && !sizeError &&
        known->second.second == fs::last_write_time(file, timeError) && !timeError;
}

// One open archive; closes on every path out. Save() and Close() check what closing
// reports, as StormLib writes its tables only then.
class StormArchive {
public:
    StormArchive(const fs::path& map, Access access, const Where& where, SoundFiles& sound)
        : sound_(sound)
    {
        EnsureSigningMath();
        fileops::FaultPoint("archive-open", map);
        // StormLib crashes on some damaged structures instead of reporting them; they are
        // looked for first, with our own checked reads.
        const bool sectorsKnown = KnownSound(sound, map);
        const MpqStructureCheck structure(map, MpqStructureCheck::Keep::Nothing,
                                          sectorsKnown ? MpqStructureCheck::Sectors::Skip
                                                       : MpqStructureCheck::Sectors::Check);
        if (!structure.problem().empty() && structure.tablesMalformed())
            Fail(where, "the map's archive tables are malformed: " + structure.problem(), Code(kProtectedMap));
        if (!structure.problem().empty())
            Fail(where, "the map is damaged: " + structure.problem(), ERROR_FILE_CORRUPT);
        if (!structure.headerFound())
            Fail(where, "the map cannot be opened: " + ReasonText(ERROR_BAD_FORMAT), ERROR_BAD_FORMAT);
        if (!sectorsKnown)
            RememberSound(sound, map);
        const DWORD flags = access == Access::Read ? STREAM_FLAG_READ_ONLY : 0;
        if (!SFileOpenArchive(StormPath(map).c_str(), 0, flags, &handle_))
            FailWithLastError(where, "the map cannot be opened: ");
        try {
            RequireCheckedHeader(structure, where);
            if (access == Access::Change) {
                RefuseProtected(map, where);
                KeepListFile();
            }
        } catch (...) {
            // No destructor runs for an object whose constructor throws.
            SFileCloseArchive(std::exchange(handle_, nullptr));
            throw;
        }
    }
    ~StormArchive()
    {
        if (handle_ != nullptr)
            SFileCloseArchive(handle_);
    }
    StormArchive(const StormArchive&) = delete;
    StormArchive& operator=(const StormArchive&) = delete;

    HANDLE get() const { return handle_; }

    void Save(const fs::path& map, const Where& where)
    {
        fileops::FaultPoint("archive-flush", map);
        if (!SFileFlushArchive(handle_))
            FailWithLastError(where, "the changed map cannot be saved: ");
        Close(where);
        // The library wrote its own entries into a map whose sectors were sound.
        RememberSound(sound_, map);
    }

    void Close(const Where& where)
    {
        HANDLE handle = std::exchange(handle_, nullptr);
        if (!SFileCloseArchive(handle))
            FailWithLastError(where, "the map cannot be closed: ");
    }

private:
    // StormLib would drop the map's (listfile) on the first change and save one of the names it
    // knows: a list it could not read would be lost, and the names of files not in the map.
    void KeepListFile()
    {
#if defined(VORNAK_OWN_LIST_FILE)
        VornakKeepListFile(handle_);
#endif
    }

    // The checks hold only for the archive StormLib opened: it must have found the same header.
    void RequireCheckedHeader(const MpqStructureCheck& structure, const Where& where)
    {
        ULONGLONG offset = 0;
        if (!SFileGetFileInfo(handle_, SFileMpqHeaderOffset, &offset, sizeof(offset), nullptr))
            FailWithLastError(where, "the map's state cannot be read: ");
        if (offset != structure.headerOffset())
            Fail(where, "the map is damaged: it holds more than one archive header, and the archive library "
                        "chose another than the one checked", ERROR_FILE_CORRUPT);
    }

    // StormLib opens maps with damaged or deliberately bogus tables only for reading;
    // it must not be asked to change them.
    void RefuseProtected(const fs::path& map, const Where& where)
    {
        DWORD flags = 0;
        if (!SFileGetFileInfo(handle_, SFileMpqFlags, &flags, sizeof(flags), nullptr))
            FailWithLastError(where, "the map's state cannot be read: ");
        if ((flags & (MPQ_FLAG_READ_ONLY | MPQ_FLAG_MALFORMED)) != 0 || !BlockTableIsSound(map))
            Fail(where, "the map is protected: its archive tables are damaged or deliberately malformed, "
                        "so it can be read but not changed", Code(kProtectedMap));
    }

    // StormLib opens some maps with garbled block entries for changes and then crashes while
    // saving them: an existing entry must have known flags and lie inside the file.
    bool BlockTableIsSound(const fs::path& map)
    {
        ULONGLONG mpqOffset = 0;
        DWORD count = 0;
        std::error_code ec;
        const ULONGLONG fileSize = fs::file_size(map, ec);
        if (ec || !SFileGetFileInfo(handle_, SFileMpqHeaderOffset, &mpqOffset, sizeof(mpqOffset), nullptr) ||
            !SFileGetFileInfo(handle_, SFileMpqBlockTableSize, &count, sizeof(count), nullptr))
            return false;
        std::vector<TMPQBlock> blocks(count);
        DWORD got = 0;
        if (count > 0 &&
            !SFileGetFileInfo(handle_, SFileMpqBlockTable, blocks.data(),
                              static_cast<DWORD>(blocks.size() * sizeof(TMPQBlock)), &got))
            return false;
        for (const TMPQBlock& block : blocks) {
            if ((block.dwFlags & MPQ_FILE_EXISTS) == 0)
                continue;
            if ((block.dwFlags & ~static_cast<DWORD>(MPQ_FILE_VALID_FLAGS)) != 0 ||
                mpqOffset + block.dwFilePos + block.dwCSize > fileSize)
                return false;
        }
        return true;
    }

    HANDLE handle_ = nullptr;
    SoundFiles& sound_;
};

class StormFile {
public:
    StormFile(HANDLE archive, const std::string& entry, const Where& where)
        : where_(where)
    {
        if (!SFileOpenFileEx(archive, entry.c_str(), SFILE_OPEN_FROM_MPQ, &handle_))
            FailWithLastError(where_, "the entry cannot be opened: ");
        size_ = SFileGetFileSize(handle_, nullptr);
        if (size_ == SFILE_INVALID_SIZE)
            FailWithLastError(where_, "the entry's size cannot be read: ");
    }
    ~StormFile()
    {
        if (handle_ != nullptr)
            SFileCloseFile(handle_);
    }
    StormFile(const StormFile&) = delete;
    StormFile& operator=(const StormFile&) = delete;

    DWORD size() const { return size_; }

    // Hands the content to sink(data, count) a chunk at a time: entries may be large.
    template <typename Sink>
    void ReadAll(Sink&& sink)
    {
        std::vector<char> buffer(std::min<DWORD>(size_, kReadChunk));
        DWORD left = size_;
        while (left > 0) {
            const DWORD want = std::min<DWORD>(left, kReadChunk);
            DWORD got = 0;
            if (!SFileReadFile(handle_, buffer.data(), want, &got, nullptr) || got != want)
                FailWithLastError(where_, "the entry's data cannot be read: ");
            sink(buffer.data(), got);
            left -= got;
        }
    }

    // Reads the first and the last sector only. StormLib reads and unpacks whole sectors, so
    // more bytes would check no more; the last sector is read from its start, as the last 4 KiB
    // of an entry mostly lie in two sectors.
    void ReadEnds()
    {
        std::vector<char> buffer(std::min<DWORD>(size_, kEndProbe));
        const DWORD last = size_ == 0 ? 0 : (size_ - 1) / kEndProbe * kEndProbe;
        for (DWORD offset : {DWORD{0}, last}) {
            const DWORD want = std::min<DWORD>(size_ - offset, kEndProbe);
            DWORD got = 0;
            if (SFileSetFilePointer(handle_, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == SFILE_INVALID_POS ||
                (want > 0 && (!SFileReadFile(handle_, buffer.data(), want, &got, nullptr) || got != want)))
                FailWithLastError(where_, "the entry's data cannot be read: ");
            if (last == 0)
                break; // one sector holds it all
        }
    }

private:
    Where where_;
    HANDLE handle_ = nullptr;
    DWORD size_ = 0;
};

constexpr const char* kListFile = "(listfile)";

// The (listfile)'s text, or nothing where the archive holds none or it does not read.
std::optional<std::vector<std::uint8_t>> ReadListFile(HANDLE archive, const Where& where)
{
    if (!SFileHasFile(archive, kListFile))
        return std::nullopt;
    try {
        StormFile file(archive, kListFile, where);
        if (file.size() > StormMapArchive::kMaxReadEntryBytes)
            return std::nullopt;
        std::vector<std::uint8_t> text;
        file.ReadAll([&](const char* data, DWORD count) { text.insert(text.end(), data, data + count); });
        return text;
    } catch (const ArchiveError&) {
        return std::nullopt;
    }
}

// The archive's lists of names: its (listfile), the given lists and the names probed.
void LearnNames(HANDLE archive, const std::vector<fs::path>& lists, const Where& where)
{
    for (const fs::path& list : lists) {
        std::error_code ec;
        if (!fs::is_regular_file(list, ec))
            Fail(where, "the list of names '" + fileops::Display(list) + "' does not exist",
                 std::make_error_code(std::errc::no_such_file_or_directory));
        const int error = SFileAddListFile(archive, StormPath(list).c_str());
        if (error != ERROR_SUCCESS)
            Fail(where, "the list of names '" + fileops::Display(list) + "' cannot be read: " +
                            ReasonText(static_cast<DWORD>(error)),
                 static_cast<DWORD>(error));
    }
#if defined(VORNAK_OWN_LIST_FILE)
    // StormLib splits its own list at line ends only; lists from the field also use ';'. It
    // matches each name against the whole hash table, so only such a list is offered again.
    if (const auto text = ReadListFile(archive, where); text && std::find(text->begin(), text->end(), ';') != text->end()) {
        const std::vector<std::string> names = listfile::Names(*text);
        std::vector<const char*> pointers;
        for (const std::string& name : names)
            pointers.push_back(name.c_str());
        if (!pointers.empty())
            SFileAddListFileEntries(archive, pointers.data(), static_cast<DWORD>(pointers.size()));
    }
#endif
    // Opening by name (testing alone does not) makes StormLib keep the name.
    for (const char* name : kWellKnownNames) {
        HANDLE file = nullptr;
        if (SFileOpenFileEx(archive, name, SFILE_OPEN_FROM_MPQ, &file))
            SFileCloseFile(file);
    }
}

// One entry as the archive's tables describe it.
struct Found {
    std::string name;
    bool known = false; // false: StormLib gave it a stand-in name
    DWORD size = 0;
    DWORD storedSize = 0;
    DWORD block = 0; // its place in the block table
    DWORD flags = 0;
};

// A search over the archive's entries, closed on every path out.
class StormFind {
public:
    explicit StormFind(HANDLE archive)
        : handle_(SFileFindFirstFile(archive, "*", &found_, nullptr))
    {
    }
    ~StormFind()
    {
        if (handle_ != nullptr)
            SFileFindClose(handle_);
    }
    StormFind(const StormFind&) = delete;
    StormFind& operator=(const StormFind&) = delete;

    bool started() const { return handle_ != nullptr; }
    const SFILE_FIND_DATA& current() const { return found_; }
    bool Next() { return SFileFindNextFile(handle_, &found_); }

private:
    SFILE_FIND_DATA found_{};
    HANDLE handle_ = nullptr;
};

std::vector<Found> Scan(HANDLE archive, const Where& where)
{
    std::vector<Found> entries;
    StormFind find(archive);
    if (!find.started()) {
        const DWORD error = GetLastError();
        if (error != ERROR_NO_MORE_FILES && error != ERROR_SUCCESS)
            Fail(where, "the map's entries cannot be listed: " + ReasonText(error), error);
        return entries;
    }
    do {
        const SFILE_FIND_DATA& found = find.current();
        entries.push_back({found.cFileName, !IsPseudoName(found.cFileName), found.dwFileSize, found.dwCompSize,
                           found.dwBlockIndex, found.dwFileFlags});
    } while (find.Next());
    return entries;
}

ArchiveListing Enumerate(const std::vector<Found>& entries)
{
    ArchiveListing listing;
    listing.allNamesKnown = true;
    for (const Found& entry : entries) {
        ++listing.entryCount;
        listing.allNamesKnown = listing.allNamesKnown && entry.known;
        if (entry.known)
            listing.names.push_back(entry.name);
    }
    return listing;
}

ListFileState DescribeListFile(HANDLE archive, const std::vector<Found>& entries, const Where& where)
{
    ListFileState state;
    const auto found = std::find_if(entries.begin(), entries.end(), [](const Found& entry) {
        return listfile::NameKey(entry.name) == listfile::NameKey(kListFile);
    });
    if (found == entries.end())
        return state;
    if (const auto text = ReadListFile(archive, where)) {
        state.kind = ListFileState::Kind::Read;
        state.names = listfile::Names(*text);
    } else {
        state.kind = ListFileState::Kind::Unreadable;
    }
    state.size = found->size;
    state.storedSize = found->storedSize;
    state.flags = found->flags;
    return state;
}

// The map's own list names what was added: the names it lacks are added to its text.
void NameInListFile(HANDLE archive, const std::vector<NewEntry>& added, const Where& where)
{
#if defined(VORNAK_OWN_LIST_FILE)
    const auto text = ReadListFile(archive, where);
    if (!text)
        return; // none, or one that does not read: it stays as it is
    std::vector<std::string> names;
    for (const NewEntry& entry : added)
        names.push_back(entry.entry);
    const auto extended = listfile::WithNames(*text, names);
    if (!extended)
        return;
    const DWORD error = VornakWriteListFile(archive, extended->data(), static_cast<DWORD>(extended->size()));
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
        Fail(where, "the map's list of names cannot be written: " + ReasonText(error), error);
#else
    (void)archive, (void)added, (void)where;
#endif
}

std::string MissingEntryReason(HANDLE archive, const std::string& entry)
{
    std::string reason = "the map holds no '" + entry + "'";
    if (entry == "war3map.j" && SFileHasFile(archive, "war3map.lua"))
        reason += " (its script is war3map.lua: the map is scripted in Lua)";
    return reason;
}

// A hostile map may hold one name twice; an entry is gone only when every copy is.
void RemoveEveryCopy(HANDLE archive, const std::string& entry, const Where& where)
{
    constexpr int kMostCopies = 16;
    for (int copy = 0; SFileHasFile(archive, entry.c_str()); ++copy) {
        if (copy == kMostCopies)
            Fail(where, "the map holds the entry more than " + std::to_string(kMostCopies) + " times",
                 ERROR_FILE_CORRUPT);
        if (!SFileRemoveFile(archive, entry.c_str(), SFILE_OPEN_FROM_MPQ))
            FailWithLastError(where, "");
    }
}

// A full hash table can only be rebuilt larger when StormLib knows every entry's name.
void GrowHashTable(HANDLE archive, const fs::path& map, const std::vector<fs::path>& lists, const Where& where)
{
    LearnNames(archive, lists, where);
    const DWORD current = SFileGetMaxFileCount(archive);
    const DWORD wanted = std::min<DWORD>(std::max<DWORD>(current * 2, 16), HASH_TABLE_SIZE_MAX);
    if (wanted <= current)
        Fail(where, "the map's hash table is full and already as large as it can be", ERROR_DISK_FULL);
    fileops::FaultPoint("archive-grow", map);
    if (!SFileSetMaxFileCount(archive, wanted)) {
        const DWORD error = GetLastError();
        if (error == ERROR_UNKNOWN_FILE_NAMES || error == ERROR_CAN_NOT_COMPLETE)
            Fail(where, "the map's hash table has no free slot for a new entry, and it cannot be enlarged "
                        "because the names of some entries are unknown", ERROR_UNKNOWN_FILE_NAMES);
        Fail(where, "the map's hash table has no free slot for a new entry and cannot be enlarged: " +
                        ReasonText(error), error);
    }
}

// StormLib aborts the whole process when it replaces an entry whose name it never learned
// (a map whose (listfile) is missing or damaged), so old copies go first and the entry is
// added afresh; a garbled entry of the name that cannot even be removed makes the add fail.
void Add(HANDLE archive, const fs::path& map, const NewEntry& added, DWORD flags, const std::vector<fs::path>& lists,
         const Where& where)
{
    const bool existed = SFileHasFile(archive, added.entry.c_str());
    if (existed)
        RemoveEveryCopy(archive, added.entry, where);
    const auto add = [&] {
        fileops::FaultPoint("archive-add", map);
        return SFileAddFileEx(archive, StormPath(added.file).c_str(), added.entry.c_str(), flags,
                              MPQ_COMPRESSION_ZLIB, MPQ_COMPRESSION_NEXT_SAME);
    };
    if (!add()) {
        const DWORD error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS)
            Fail(where, "the map holds a damaged entry of that name, which cannot be replaced", error);
        // A new name that finds no free slot in the hash table: make the table larger.
        if (existed || error != ERROR_DISK_FULL)
            Fail(where, ReasonText(error), error);
        GrowHashTable(archive, map, lists, where);
        if (!add())
            FailWithLastError(where, "");
    }
}

class ArchiveErrorCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "StormLib"; }
    std::string message(int code) const override
    {
        return code == kProtectedMap ? "the map is protected against changes" : Words(static_cast<DWORD>(code));
    }
    std::error_condition default_error_condition(int code) const noexcept override
    {
        switch (code) {
        case ERROR_FILE_NOT_FOUND: return ArchiveFailure::Missing;
        case ERROR_ACCESS_DENIED: return ArchiveFailure::ReadOnly;
        case ERROR_BAD_FORMAT:
        case ERROR_AVI_FILE: return ArchiveFailure::NotAnArchive;
        case ERROR_FILE_CORRUPT:
        case ERROR_CHECKSUM_ERROR:
        case ERROR_HANDLE_EOF:
        case ERROR_FILE_INCOMPLETE: return ArchiveFailure::Damaged;
        case kProtectedMap: return ArchiveFailure::Protected;
        case ERROR_DISK_FULL: return ArchiveFailure::Full;
        case ERROR_UNKNOWN_FILE_NAMES: return ArchiveFailure::UnknownNames;
        default: return {code, *this};
        }
    }
};

class ArchiveFailureCategoryImpl : public std::error_category {
public:
    const char* name() const noexcept override { return "archive failure"; }
    std::string message(int condition) const override
    {
        switch (static_cast<ArchiveFailure>(condition)) {
        case ArchiveFailure::Missing: return "not found";
        case ArchiveFailure::ReadOnly: return "cannot be written";
        case ArchiveFailure::NotAnArchive: return "not a map archive";
        case ArchiveFailure::Damaged: return "damaged";
        case ArchiveFailure::Protected: return "protected against changes";
        case ArchiveFailure::Full: return "no room left";
        case ArchiveFailure::UnknownNames: return "names unknown";
        }
        return "unknown failure";
    }
    // The layer's own checks carry the system's numbers where the system said why.
    bool equivalent(const std::error_code& code, int condition) const noexcept override
    {
        if (code.category() == ArchiveCategory())
            return code.category().default_error_condition(code.value()) == std::error_condition(condition, *this);
        if (code.category() != std::generic_category() && code.category() != std::system_category())
            return false;
        const std::error_condition generic = code.default_error_condition();
        switch (static_cast<ArchiveFailure>(condition)) {
        case ArchiveFailure::Missing: return generic == std::errc::no_such_file_or_directory;
        case ArchiveFailure::ReadOnly:
            return generic == std::errc::permission_denied || generic == std::errc::operation_not_permitted ||
                generic == std::errc::read_only_file_system;
        case ArchiveFailure::Full: return generic == std::errc::no_space_on_device;
        default: return false;
        }
    }
};

} // namespace

const std::error_category& ArchiveCategory()
{
    static const ArchiveErrorCategory category;
    return category;
}

const std::error_category& ArchiveFailureCategory()
{
    static const ArchiveFailureCategoryImpl category;
    return category;
}

std::error_condition make_error_condition(ArchiveFailure failure)
{
    return {static_cast<int>(failure), ArchiveFailureCategory()};
}

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
    LearnNames(archive.get(), extraListFiles, where);
    const std::vector<Found> entries = Scan(archive.get(), where);
    ArchiveListing listing = Enumerate(entries);
    listing.listFile = DescribeListFile(archive.get(), entries, where);
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
                const DWORD error = GetLastError();
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
