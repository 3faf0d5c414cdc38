#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vornak {

// What ExtractEntry's last argument means: create the destination folder when missing.
inline constexpr bool kCreateFolder = true;
// What AddEntry's last argument means: 1 stores the entry compressed, 0 as it is.
inline constexpr int kStoreCompressed = 1;
inline constexpr int kStorePlain = 0;

// An entry to add: the file that holds its content, and its name in the archive.
struct NewEntry {
    std::filesystem::path file;
    std::string entry;
};

// The archive's own (listfile): what tools show the map's files by.
struct ListFileState {
    enum class Kind { None, Read, Unreadable };
    Kind kind = Kind::None;
    std::vector<std::string> names; // with Read: every name it holds, as it spells them
    // With Unreadable: how it is stored, which a change of the archive must leave as it was.
    std::uint32_t size = 0;
    std::uint32_t storedSize = 0;
    std::uint32_t flags = 0;
};

struct ArchiveListing {
    std::vector<std::string> names; // entries whose names are known, as the archive spells them
    std::size_t entryCount = 0;     // every entry the archive holds, named or not
    bool allNamesKnown = false;     // names.size() covers entryCount
    ListFileState listFile;
};

// The map archive operations. Every call names the archive by its path: no archive stays
// open from one call to the next, so a failed call never leaves a half-open archive.
// Every failure throws ArchiveError. Every change keeps the archive's own (listfile) as it is,
// adding to it only the names of the entries it adds; a list it cannot read stays byte for byte.
class MapArchive {
public:
    virtual ~MapArchive() = default;

    // Writes the entry's content to destFolder / entry. With createFolder, a missing
    // destFolder is made first; without it, a missing folder is an error.
    virtual void ExtractEntry(const std::filesystem::path& map, const std::string& entry,
                              const std::filesystem::path& destFolder, bool createFolder) = 0;
    virtual bool HasEntry(const std::filesystem::path& map, const std::string& entry) = 0;
    virtual void DeleteEntry(const std::filesystem::path& map, const std::string& entry) = 0;
    // storage: kStoreCompressed or kStorePlain.
    virtual void AddEntry(const std::filesystem::path& map, const std::filesystem::path& file,
                          const std::string& entry, int storage) = 0;

    // What a safe install needs beyond the four.

    // Adds each as AddEntry does, in one change of the archive: an archive that is opened and
    // saved once for all of them saves the cost of doing so for each.
    virtual void AddEntries(const std::filesystem::path& map, const std::vector<NewEntry>& entries, int storage)
    {
        for (const NewEntry& added : entries)
            AddEntry(map, added.file, added.entry, storage);
    }

    // Throws unless the archive opens for changes ("protected" maps open only read-only).
    virtual void CheckWritable(const std::filesystem::path& map) = 0;
    // extraListFiles: further lists of names (one per line) for entries the map's own
    // (listfile) does not name.
    virtual ArchiveListing List(const std::filesystem::path& map,
                                const std::vector<std::filesystem::path>& extraListFiles) = 0;
    virtual std::vector<std::uint8_t> ReadEntry(const std::filesystem::path& map, const std::string& entry) = 0;
    // Rewrites the archive without the space that removed entries left. Needs every name:
    // returns false, changing nothing, when some stay unknown.
    virtual bool Compact(const std::filesystem::path& map,
                         const std::vector<std::filesystem::path>& extraListFiles) = 0;
    // Writes `target` as the map without `entries` (every copy of each) and without the space
    // they took, in one pass that keeps every other entry's stored bytes, then checks that
    // each of those is still there and reads. Returns false, before writing anything, for a
    // map this pass does not take (an archive that has no such pass takes none): a copy of
    // it, compacted, then does the same.
    virtual bool CopyWithout(const std::filesystem::path& /*map*/, const std::filesystem::path& /*target*/,
                             std::span<const std::string_view> /*entries*/,
                             const std::vector<std::filesystem::path>& /*extraListFiles*/)
    {
        return false;
    }
};

} // namespace vornak
