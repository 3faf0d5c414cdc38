#pragma once

#include "archive/MapArchive.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace vornak {

// MapArchive over StormLib. A session opens the map once, for reading, and checks its
// structure once; the copy it stages is opened once for changes, and every save and close is
// checked, so a Save that returns has the copy on disk.
//
// Maps that StormLib opens only read-only (damaged or deliberately bogus tables, as map
// "protectors" leave them) are refused for every change, before anything is written.
//
// The staged copy is made in one pass that leaves the replaced entries and their space out
// (MpqRebuild). A map that pass does not take is copied whole; the old entries are removed
// from the copy, which is then compacted where it grew: StormLib writes the compacted archive
// to "<copy>.tmp" and renames it over the copy.
//
// The layer offers the install's fault-injection hook (fileops::FaultPoint) these points, with
// the file's path: "archive-open", "archive-read", "archive-extract", "archive-delete",
// "archive-add", "archive-grow", "archive-flush", "archive-compact". The one-pass copy reads and
// writes through fileops, with the file operations' own points.
class StormMapArchive final : public MapArchive {
public:
    // nameLists: lists of entry names (one per line) offered to StormLib whenever it must know
    // every name: to list the map, to grow a full hash table and to compact. Lists that do not
    // exist are passed over.
    explicit StormMapArchive(std::vector<std::filesystem::path> nameLists = {});

    std::unique_ptr<MapSession> Open(const std::filesystem::path& map) override;

    // Whether the map's weak signature (its "(signature)", which saving a change renews)
    // matches its content. Throws where the map holds no weak signature. Only tests ask: it
    // proves the signing maths of a build.
    bool VerifyWeakSignature(const std::filesystem::path& map);

    // The entries whose content disagrees with the CRC32 or MD5 the map's (attributes) records
    // for them; none where it holds no (attributes). Only tests ask: a change must rewrite it.
    std::vector<std::string> EntriesDisagreeingWithAttributes(const std::filesystem::path& map);

private:
    std::vector<std::filesystem::path> nameLists_;
};

} // namespace vornak
