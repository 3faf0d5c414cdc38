#pragma once

#include "archive/MapArchive.h"
#include "archive/StormHandles.h"
#include "archive/StormNames.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vornak::storm {

class StormMapSession;

// The copy of a map a change is made in (see StormMapArchive), open for changes until Save.
class StormStagedMap final : public StagedMap {
public:
    // Writes `target` as the session's map without `entries` and opens it for changes.
    StormStagedMap(StormMapSession& source, std::filesystem::path target, std::span<const std::string_view> entries);

    void Replace(const std::vector<NewEntry>& entries, int storage) override;
    std::unique_ptr<MapReader> Save() override;

private:
    Where At(const char* operation, const std::string& entry = "") const;
    void CompactWhereGrown();
    // Each entry kept of the map must be in the saved copy as it was, and open and read at both ends.
    void CheckKept(StormMapSession& saved);

    StormMapSession& source_;
    std::filesystem::path target_;
    std::vector<std::string> leftOut_;
    std::vector<Found> kept_;
    bool rebuilt_ = false; // in one pass, without the entries; else copied whole
    std::uintmax_t sourceSize_ = 0;
    std::optional<StormArchive> archive_;
};

} // namespace vornak::storm
