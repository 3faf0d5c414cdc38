#pragma once

#include "archive/MapArchive.h"

#include <array>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace vornak {

// The five entries the modification replaces, in the order they are always handled.
inline constexpr std::array<std::string_view, 5> kModEntries = {"war3map.j", "war3map.w3u", "war3map.wts",
                                                                "war3map.w3i", "war3map.w3c"};

// Replaces the modification's entries all or nothing: the changes go into a copy beside the
// map, which is compacted where it grew, read back and checked, and only then renamed over the
// map in one step, after its data reached the disk. Until that rename the map is byte for
// byte as it was; the copy never outlives a failure, and never takes the name of a file that
// was there. A symbolically linked map changes where the link leads; the link stays.
class StagedMapUpdate {
public:
    StagedMapUpdate(std::filesystem::path map, MapArchive& archive);
    ~StagedMapUpdate();
    StagedMapUpdate(const StagedMapUpdate&) = delete;
    StagedMapUpdate& operator=(const StagedMapUpdate&) = delete;

    // Throws InstallError (or ArchiveError) unless the map is an existing file that can be
    // replaced: writable, in a writable folder, and an archive that opens. The map stays open
    // for reading until ReplaceEntries puts the copy in its place.
    void CheckMapCanChange();
    // The map, open for reading. CheckMapCanChange comes first.
    MapReader& map() { return *session_; }

    // Writes the staged copy of the map without the five entries; a map that cannot take
    // changes is refused here. Done early, the disk takes the copy while the install reads the
    // map and rewrites the templates.
    void StageCopy();
    // Deletes and re-adds, in the staged copy, the five entries from the files of the same
    // names in dataFolder, and puts the copy in the map's place. StageCopy comes first.
    void ReplaceEntries(const std::filesystem::path& dataFolder);

    // The staged copy's name while no file of that name is there.
    static std::filesystem::path StagedPathFor(const std::filesystem::path& map);

private:
    void ReserveStaged();
    void Verify(MapReader& saved, const std::filesystem::path& dataFolder);
    void VerifyListFile(const ListFileState& before, const ListFileState& after) const;
    void DiscardStaged() noexcept;

    std::filesystem::path map_;
    std::filesystem::path staged_;
    MapArchive& archive_;
    std::unique_ptr<MapSession> session_;
    std::unique_ptr<StagedMap> stagedMap_;
    bool stagedExists_ = false;
    ArchiveListing before_; // the map's entries when it was copied
    // The map's size and time when it was copied: a map another program saved since is not
    // replaced by a copy of what it was.
    std::uintmax_t copiedSize_ = 0;
    std::filesystem::file_time_type copiedTime_{};
};

} // namespace vornak
