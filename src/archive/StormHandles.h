#pragma once

// The StormLib handles of the archive layer, each closed on every path out, and the checks
// made before StormLib is let near a map.
#include "archive/MpqStructureCheck.h"
#include "archive/StormFailure.h"

#include <StormLib.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace vornak::storm {
namespace fs = std::filesystem;

// Entries are read a chunk at a time: they may be large.
inline constexpr DWORD kReadChunk = 64 * 1024;
// A map's sector size: the unit in which StormLib reads and unpacks an entry.
inline constexpr DWORD kEndProbe = 4096;

enum class Access { Read, Change };

// The map path must name an existing regular file: tested here, in our own words, before
// StormLib is asked.
void RequireMapFile(const fs::path& map, const Where& where);

// ReadEntry holds the whole entry in memory; larger entries are refused.
inline constexpr std::uint32_t kMaxReadEntryBytes = 256u * 1024u * 1024u;

using Sectors = MpqStructureCheck::Sectors;

// One open archive; closes on every path out. Save() and Close() check what closing
// reports, as StormLib writes its tables only then.
class StormArchive {
public:
    // sectors: Skip only for a file made here from a map whose sectors were checked.
    StormArchive(const fs::path& map, Access access, const Where& where, Sectors sectors);
    ~StormArchive()
    {
        if (handle_ != nullptr)
            SFileCloseArchive(handle_);
    }
    StormArchive(const StormArchive&) = delete;
    StormArchive& operator=(const StormArchive&) = delete;

    HANDLE get() const { return handle_; }

    bool open() const { return handle_ != nullptr; }

    void Save(const fs::path& map, const Where& where);

    void Close(const Where& where);

    // StormLib would drop the map's (listfile) on the first change and save one of the names it
    // knows: a list it could not read would be lost, and the names of files not in the map.
    void KeepListFile();

    // StormLib opens maps with damaged or deliberately bogus tables only for reading;
    // it must not be asked to change them, nor copies of them.
    void RefuseProtected(const fs::path& map, const Where& where);

private:
    // The checks hold only for the archive StormLib opened: it must have found the same header.
    void RequireCheckedHeader(const MpqStructureCheck& structure, const Where& where);

    // StormLib opens some maps with garbled block entries for changes and then crashes while
    // saving them: an existing entry must have known flags and lie inside the file.
    bool BlockTableIsSound(const fs::path& map);

    HANDLE handle_ = nullptr;
    Access access_;
};

class StormFile {
public:
    StormFile(HANDLE archive, const std::string& entry, const Where& where);
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
    void ReadEnds();

private:
    Where where_;
    HANDLE handle_ = nullptr;
    DWORD size_ = 0;
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

} // namespace vornak::storm

