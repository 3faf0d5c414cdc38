#pragma once

#include "archive/MapArchive.h"
#include "archive/StormHandles.h"
#include "archive/StormNames.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace vornak::storm {

// One map open for reading through StormLib (see StormMapArchive), and the copies staged of it.
// Closed, it lets other programs write the map again, and opens it anew when asked to read more.
class StormMapSession final : public MapSession {
public:
    // sectors: Skip only for a file this layer wrote from a map whose sectors were checked.
    StormMapSession(std::filesystem::path map, std::vector<std::filesystem::path> lists,
                    Sectors sectors = Sectors::Check);

    void ExtractEntry(const std::string& entry, const std::filesystem::path& destFolder, bool createFolder) override;
    bool HasEntry(const std::string& entry) override;
    std::vector<std::uint8_t> ReadEntry(const std::string& entry) override;
    ArchiveListing List() override;
    void Close() override;
    std::unique_ptr<StagedMap> Stage(const std::filesystem::path& target,
                                     std::span<const std::string_view> entries) override;

    const std::filesystem::path& path() const { return map_; }
    const std::vector<std::filesystem::path>& lists() const { return lists_; }
    // The open map; a session that was closed opens it again.
    HANDLE handle();
    // Every entry, with the names of the lists learned first.
    std::vector<Found> Entries();
    // Throws unless StormLib would let the map itself be changed.
    void RefuseProtected();
    // Whether the entry reads, at both ends, in this map.
    bool Reads(const std::string& entry);

private:
    Where At(const char* operation, const std::string& entry = "") const;
    static const std::filesystem::path& Checked(const std::filesystem::path& map, const Where& where);
    const std::optional<std::vector<std::uint8_t>>& ListText();

    std::filesystem::path map_;
    std::vector<std::filesystem::path> lists_;
    Sectors sectors_;
    std::optional<StormArchive> archive_;
    bool namesLearned_ = false;
    std::optional<std::vector<std::uint8_t>> listText_;
    std::optional<std::vector<Found>> entries_;
};

} // namespace vornak::storm
