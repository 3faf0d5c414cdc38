#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vornak {

// What ExtractEntry's last argument means: create the destination folder when missing.
inline constexpr bool kCreateFolder = true;
// How Replace stores the entries: compressed, or as they are.
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

// What can be read of an open map. Every failure throws ArchiveError.
class MapReader {
public:
    virtual ~MapReader() = default;

    // Writes the entry's content to destFolder / entry. With createFolder, a missing
    // destFolder is made first; without it, a missing folder is an error.
    virtual void ExtractEntry(const std::string& entry, const std::filesystem::path& destFolder,
                              bool createFolder) = 0;
    virtual bool HasEntry(const std::string& entry) = 0;
    virtual std::vector<std::uint8_t> ReadEntry(const std::string& entry) = 0;
    virtual ArchiveListing List() = 0;
    // Closes the map and says whether that failed; a reader that ends without it closes quietly.
    virtual void Close() = 0;
};

// The copy of a map that a change is made in, open for changes until Save. The map itself is
// never written. A copy that ends unsaved is left as it is, for its maker to remove.
class StagedMap {
public:
    virtual ~StagedMap() = default;

    // Adds the entries in place of those the copy was made without (storage: kStoreCompressed
    // or kStorePlain). The archive keeps the copy no larger than the map where it can.
    virtual void Replace(const std::vector<NewEntry>& entries, int storage) = 0;
    // Saves and closes the copy, checks that every entry it kept of the map is there and
    // reads, and opens the saved copy to be read back.
    virtual std::unique_ptr<MapReader> Save() = 0;
};

// One map, open for reading while the session lasts, and the copies made of it for a change.
// Every change keeps the map's own (listfile) as it is, adding to it only the names of the
// entries it adds; a list that cannot be read stays byte for byte.
class MapSession : public MapReader {
public:
    // Writes `target` as the map without `entries` (every copy of each) and opens it for
    // changes. A map that cannot take changes ("protected" maps) is refused here.
    virtual std::unique_ptr<StagedMap> Stage(const std::filesystem::path& target,
                                             std::span<const std::string_view> entries) = 0;
};

class MapArchive {
public:
    virtual ~MapArchive() = default;
    virtual std::unique_ptr<MapSession> Open(const std::filesystem::path& map) = 0;
};

} // namespace vornak
