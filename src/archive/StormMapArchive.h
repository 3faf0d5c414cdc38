#pragma once

#include "archive/MapArchive.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

namespace vornak {

// MapArchive over StormLib. Each call opens the archive, does its work, saves and closes it;
// every save and close is checked, so a call that returns has its change on disk.
//
// Maps that StormLib opens only read-only (damaged or deliberately bogus tables, as map
// "protectors" leave them) and read-only files are refused for every change, before
// anything is written.
//
// Compact writes the new archive to "<map>.tmp" beside the map and renames it over the
// map (StormLib's way); the map keeps its permissions, and a failed compaction removes the
// temporary file. A process killed during compaction leaves the map whole and may leave
// "<map>.tmp".
//
// Each call offers the install's fault-injection hook (fileops::FaultPoint) these points,
// with the map's path: "archive-open", "archive-read", "archive-extract", "archive-delete",
// "archive-add", "archive-grow", "archive-flush", "archive-compact". CopyWithout reads and
// writes through fileops (MpqRebuild), with the file operations' own points.
class StormMapArchive final : public MapArchive {
public:
    // nameLists: lists of entry names (one per line) that are offered to StormLib whenever
    // it must know every name: to grow a full hash table on AddEntry. List and Compact take
    // their own lists as well.
    explicit StormMapArchive(std::vector<std::filesystem::path> nameLists = {});

    void ExtractEntry(const std::filesystem::path& map, const std::string& entry,
                      const std::filesystem::path& destFolder, bool createFolder) override;
    bool HasEntry(const std::filesystem::path& map, const std::string& entry) override;
    void DeleteEntry(const std::filesystem::path& map, const std::string& entry) override;
    void AddEntry(const std::filesystem::path& map, const std::filesystem::path& file,
                  const std::string& entry, int storage) override;
    void AddEntries(const std::filesystem::path& map, const std::vector<NewEntry>& entries, int storage) override;

    void CheckWritable(const std::filesystem::path& map) override;
    ArchiveListing List(const std::filesystem::path& map,
                        const std::vector<std::filesystem::path>& extraListFiles) override;
    std::vector<std::uint8_t> ReadEntry(const std::filesystem::path& map, const std::string& entry) override;
    bool Compact(const std::filesystem::path& map,
                 const std::vector<std::filesystem::path>& extraListFiles) override;
    bool CopyWithout(const std::filesystem::path& map, const std::filesystem::path& target,
                     std::span<const std::string_view> entries,
                     const std::vector<std::filesystem::path>& extraListFiles) override;

    // Whether the map's weak signature (its "(signature)", which saving a change renews)
    // matches its content. Throws where the map holds no weak signature. Only tests ask: it
    // proves the signing maths of a build.
    bool VerifyWeakSignature(const std::filesystem::path& map);

    // The entries whose content disagrees with the CRC32 or MD5 the map's (attributes) records
    // for them; none where it holds no (attributes). Only tests ask: a change must rewrite it.
    std::vector<std::string> EntriesDisagreeingWithAttributes(const std::filesystem::path& map);

    // ReadEntry holds the whole entry in memory; larger entries are refused.
    static constexpr std::uint32_t kMaxReadEntryBytes = 256u * 1024u * 1024u;

    // Files whose entries' sectors this object has found sound, or has written from sound
    // ones, by the size and time they had then. The structure check's costly part, reading
    // every compressed entry, is not repeated on such a file until either changes: an install
    // opens the map and its staged copy some fifteen times.
    using SoundFiles = std::map<std::filesystem::path, std::pair<std::uintmax_t, std::filesystem::file_time_type>>;

private:
    std::vector<std::filesystem::path> nameLists_;
    SoundFiles soundFiles_;
};

} // namespace vornak
