#pragma once

#include "archive/MapArchive.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vornak::test {

// A map archive in a trivial file format ("FAKEMAP" + name/size/bytes records), so the
// install's own logic can be tested fast and exactly, apart from the MPQ library.
// Names compare case-insensitively, as in real maps.
class FakeMapArchive : public MapArchive {
public:
    using Entries = std::map<std::string, std::vector<std::uint8_t>>;

    static void Write(const std::filesystem::path& map, const Entries& entries);
    static Entries Read(const std::filesystem::path& map);

    bool protectedMaps = false; // CheckWritable refuses every map

    void ExtractEntry(const std::filesystem::path& map, const std::string& entry,
                      const std::filesystem::path& destFolder, bool createFolder) override;
    bool HasEntry(const std::filesystem::path& map, const std::string& entry) override;
    void DeleteEntry(const std::filesystem::path& map, const std::string& entry) override;
    void AddEntry(const std::filesystem::path& map, const std::filesystem::path& file, const std::string& entry,
                  int storage) override;
    void CheckWritable(const std::filesystem::path& map) override;
    ArchiveListing List(const std::filesystem::path& map,
                        const std::vector<std::filesystem::path>& extraListFiles) override;
    std::vector<std::uint8_t> ReadEntry(const std::filesystem::path& map, const std::string& entry) override;
    bool Compact(const std::filesystem::path& map, const std::vector<std::filesystem::path>& extraListFiles) override;
};

} // namespace vornak::test
