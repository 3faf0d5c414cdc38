#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace vornak::bench {

struct MapShape {
    std::string name;              // file name of the map, e.g. "bench-8MB.w3m"
    std::uintmax_t targetBytes = 0; // the map file's size, within a few per cent
    std::size_t scriptBytes = 0;   // size of its war3map.j
    bool withHeader = true;        // the 512-byte HM3W block before the archive
    std::uint64_t seed = 1;
};

struct GeneratedMap {
    std::filesystem::path file;
    std::uintmax_t bytes = 0;
    std::size_t entries = 0; // entries the tool stored, not counting (listfile) and (attributes)
};

// Builds maps the way a map maker's tools would leave them: an MPQ of version 1 written
// by smpq, with the editor's usual entries, the five the modification replaces, and many
// imported files, some compressing well and some not at all.
class MapGenerator {
public:
    explicit MapGenerator(std::filesystem::path workDir);

    GeneratedMap Generate(const MapShape& shape);

private:
    std::uintmax_t Build(const MapShape& shape, std::uintmax_t importBudget, const std::filesystem::path& archive,
                         std::size_t& entries);

    std::filesystem::path workDir_;
};

} // namespace vornak::bench
