#include "archive/StormHandles.h"

#include "base/FileOps.h"

#include <utility>

#if defined(VORNAK_OWN_LIST_FILE)
#include <StormLibListFile.h>
#endif

#if defined(VORNAK_STORMLIB_SYSTEM_TOMCRYPT)
// StormLib built against the system libtomcrypt leaves the big-number provider to the
// program; without one, signing a map with a weak "(signature)" crashes on save.
#define LTM_DESC
#include <tomcrypt.h>
#endif

namespace vornak::storm {
namespace {

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

} // namespace

void RequireMapFile(const fs::path& map, const Where& where)
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
}

StormArchive::StormArchive(const fs::path& map, Access access, const Where& where, Sectors sectors)
    : access_(access)
{
    EnsureSigningMath();
    fileops::FaultPoint("archive-open", map);
    // StormLib crashes on some damaged structures instead of reporting them; they are
    // looked for first, with our own checked reads.
    const MpqStructureCheck structure(map, MpqStructureCheck::Keep::Nothing, sectors);
    if (!structure.problem().empty() && structure.tablesMalformed())
        Fail(where, "the map's archive tables are malformed: " + structure.problem(), Code(kProtectedMap));
    if (!structure.problem().empty())
        Fail(where, "the map is damaged: " + structure.problem(), ERROR_FILE_CORRUPT);
    if (!structure.headerFound())
        Fail(where, "the map cannot be opened: " + ReasonText(ERROR_BAD_FORMAT), ERROR_BAD_FORMAT);
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

void StormArchive::Save(const fs::path& map, const Where& where)
{
    fileops::FaultPoint("archive-flush", map);
    if (!SFileFlushArchive(handle_))
        FailWithLastError(where, "the changed map cannot be saved: ");
    Close(where);
}

void StormArchive::Close(const Where& where)
{
    HANDLE handle = std::exchange(handle_, nullptr);
    if (!SFileCloseArchive(handle))
        FailWithLastError(where, "the map cannot be closed: ");
}

void StormArchive::KeepListFile()
{
#if defined(VORNAK_OWN_LIST_FILE)
    VornakKeepListFile(handle_);
#endif
}

void StormArchive::RequireCheckedHeader(const MpqStructureCheck& structure, const Where& where)
{
    ULONGLONG offset = 0;
    if (!SFileGetFileInfo(handle_, SFileMpqHeaderOffset, &offset, sizeof(offset), nullptr))
        FailWithLastError(where, "the map's state cannot be read: ");
    if (offset != structure.headerOffset())
        Fail(where, "the map is damaged: it holds more than one archive header, and the archive library "
                    "chose another than the one checked", ERROR_FILE_CORRUPT);
}

void StormArchive::RefuseProtected(const fs::path& map, const Where& where)
{
    DWORD flags = 0;
    if (!SFileGetFileInfo(handle_, SFileMpqFlags, &flags, sizeof(flags), nullptr))
        FailWithLastError(where, "the map's state cannot be read: ");
    // Opened for reading, every archive is read-only to StormLib; malformed tables still show.
    const DWORD refused = access_ == Access::Change ? MPQ_FLAG_READ_ONLY | MPQ_FLAG_MALFORMED : MPQ_FLAG_MALFORMED;
    if ((flags & refused) != 0 || !BlockTableIsSound(map))
        Fail(where, "the map is protected: its archive tables are damaged or deliberately malformed, "
                    "so it can be read but not changed", Code(kProtectedMap));
}

bool StormArchive::BlockTableIsSound(const fs::path& map)
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

StormFile::StormFile(HANDLE archive, const std::string& entry, const Where& where)
    : where_(where)
{
    if (!SFileOpenFileEx(archive, entry.c_str(), SFILE_OPEN_FROM_MPQ, &handle_))
        FailWithLastError(where_, "the entry cannot be opened: ");
    size_ = SFileGetFileSize(handle_, nullptr);
    if (size_ == SFILE_INVALID_SIZE)
        FailWithLastError(where_, "the entry's size cannot be read: ");
}

void StormFile::ReadEnds()
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

} // namespace vornak::storm
