#pragma once

#include "archive/MapArchive.h"

#include <functional>
#include <string>
#include <vector>

namespace vornak::test {

// Forwards to a real archive and records every call in order; `beforeCall` may throw to make
// exactly one call fail.
class RecordingMapArchive : public MapArchive {
public:
    struct Call {
        std::string operation; // "ExtractEntry", "HasEntry", ...
        std::filesystem::path map;
        std::string entry;
        std::filesystem::path file; // AddEntry's source or ExtractEntry's folder
        int flag = 0;               // AddEntry's storage or ExtractEntry's createFolder
    };

    explicit RecordingMapArchive(MapArchive& inner) : inner_(inner) {}

    std::vector<Call> calls;
    std::function<void(const Call&)> beforeCall;

    // "Operation entry" for each call, for compact order assertions.
    std::vector<std::string> Summary() const;

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
    bool Compact(const std::filesystem::path& map, const std::vector<std::filesystem::path>& extraListFiles) override;
    bool CopyWithout(const std::filesystem::path& map, const std::filesystem::path& target,
                     std::span<const std::string_view> entries,
                     const std::vector<std::filesystem::path>& extraListFiles) override;

private:
    void Record(Call call);

    MapArchive& inner_;
};

} // namespace vornak::test
