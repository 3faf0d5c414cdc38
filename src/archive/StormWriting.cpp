#include "archive/StormWriting.h"

#include "archive/StormNames.h"
#include "base/FileOps.h"

#include <algorithm>

namespace vornak::storm {
namespace fs = std::filesystem;
namespace {

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
        const DWORD error = LastError();
        if (error == ERROR_UNKNOWN_FILE_NAMES || error == ERROR_CAN_NOT_COMPLETE)
            Fail(where, "the map's hash table has no free slot for a new entry, and it cannot be enlarged "
                        "because the names of some entries are unknown", ERROR_UNKNOWN_FILE_NAMES);
        Fail(where, "the map's hash table has no free slot for a new entry and cannot be enlarged: " +
                        ReasonText(error), error);
    }
}

} // namespace

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
        const DWORD error = LastError();
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

} // namespace vornak::storm
