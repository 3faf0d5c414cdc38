#pragma once

#include "archive/MapArchive.h"

#include <string>
#include <utility>
#include <vector>

namespace vornak::test {

// Forwards to a real archive and records every call in order: "Operation entry" and the map.
class RecordingMapArchive : public MapArchive {
public:
    using Path = std::filesystem::path;
    explicit RecordingMapArchive(MapArchive& inner) : inner_(inner) {}

    std::vector<std::pair<std::string, Path>> calls;

    void ExtractEntry(const Path& map, const std::string& entry, const Path& folder, bool create) override
    {
        calls.emplace_back("ExtractEntry " + entry, map);
        inner_.ExtractEntry(map, entry, folder, create);
    }
    bool HasEntry(const Path& map, const std::string& entry) override
    {
        calls.emplace_back("HasEntry " + entry, map);
        return inner_.HasEntry(map, entry);
    }
    void DeleteEntry(const Path& map, const std::string& entry) override
    {
        calls.emplace_back("DeleteEntry " + entry, map);
        inner_.DeleteEntry(map, entry);
    }
    void AddEntry(const Path& map, const Path& file, const std::string& entry, int storage) override
    {
        calls.emplace_back("AddEntry " + entry, map);
        inner_.AddEntry(map, file, entry, storage);
    }
    void CheckWritable(const Path& map) override
    {
        calls.emplace_back("CheckWritable", map);
        inner_.CheckWritable(map);
    }
    ArchiveListing List(const Path& map, const std::vector<Path>& lists) override
    {
        calls.emplace_back("List", map);
        return inner_.List(map, lists);
    }
    std::vector<std::uint8_t> ReadEntry(const Path& map, const std::string& entry) override
    {
        calls.emplace_back("ReadEntry " + entry, map);
        return inner_.ReadEntry(map, entry);
    }
    bool Compact(const Path& map, const std::vector<Path>& lists) override
    {
        calls.emplace_back("Compact", map);
        return inner_.Compact(map, lists);
    }
    void AddEntries(const Path& map, const std::vector<NewEntry>& entries, int storage) override
    {
        calls.emplace_back("AddEntries", map);
        inner_.AddEntries(map, entries, storage);
    }
    bool CopyWithout(const Path& map, const Path& target, std::span<const std::string_view> entries,
                     const std::vector<Path>& lists) override
    {
        calls.emplace_back("CopyWithout", map);
        return inner_.CopyWithout(map, target, entries, lists);
    }

private:
    MapArchive& inner_;
};

} // namespace vornak::test
