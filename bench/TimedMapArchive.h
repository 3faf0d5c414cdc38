#pragma once

#include "archive/MapArchive.h"

#include <map>
#include <string>

namespace vornak::bench {

// Passes every call through to the real archive and adds up the time spent in each kind
// of operation, to show where an install's time goes.
class TimedMapArchive final : public MapArchive {
public:
    explicit TimedMapArchive(MapArchive& inner) : inner_(inner) {}

    // Milliseconds and call counts per operation, e.g. "compact" -> {31.2, 1}.
    struct Spent {
        double ms = 0;
        int calls = 0;
    };
    const std::map<std::string, Spent>& spent() const { return spent_; }

    void ExtractEntry(const std::filesystem::path& map, const std::string& entry,
                      const std::filesystem::path& destFolder, bool createFolder) override;
    bool HasEntry(const std::filesystem::path& map, const std::string& entry) override;
    void DeleteEntry(const std::filesystem::path& map, const std::string& entry) override;
    void AddEntry(const std::filesystem::path& map, const std::filesystem::path& file, const std::string& entry,
                  int storage) override;
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

private:
    template <typename Call>
    auto Timed(const char* operation, Call call);

    MapArchive& inner_;
    std::map<std::string, Spent> spent_;
};

} // namespace vornak::bench
