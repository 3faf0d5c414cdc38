#include "RecordingMapArchive.h"

namespace vornak::test {

std::vector<std::string> RecordingMapArchive::Summary() const
{
    std::vector<std::string> lines;
    for (const auto& call : calls)
        lines.push_back(call.entry.empty() ? call.operation : call.operation + " " + call.entry);
    return lines;
}

void RecordingMapArchive::Record(Call call)
{
    calls.push_back(call);
    if (beforeCall)
        beforeCall(calls.back());
}

void RecordingMapArchive::ExtractEntry(const std::filesystem::path& map, const std::string& entry,
                                       const std::filesystem::path& destFolder, bool createFolder)
{
    Record({"ExtractEntry", map, entry, destFolder, createFolder ? 1 : 0});
    inner_.ExtractEntry(map, entry, destFolder, createFolder);
}

bool RecordingMapArchive::HasEntry(const std::filesystem::path& map, const std::string& entry)
{
    Record({"HasEntry", map, entry, {}, 0});
    return inner_.HasEntry(map, entry);
}

void RecordingMapArchive::DeleteEntry(const std::filesystem::path& map, const std::string& entry)
{
    Record({"DeleteEntry", map, entry, {}, 0});
    inner_.DeleteEntry(map, entry);
}

void RecordingMapArchive::AddEntry(const std::filesystem::path& map, const std::filesystem::path& file,
                                   const std::string& entry, int storage)
{
    Record({"AddEntry", map, entry, file, storage});
    inner_.AddEntry(map, file, entry, storage);
}

void RecordingMapArchive::AddEntries(const std::filesystem::path& map, const std::vector<NewEntry>& entries,
                                     int storage)
{
    Record({"AddEntries", map, {}, {}, storage});
    inner_.AddEntries(map, entries, storage);
}

void RecordingMapArchive::CheckWritable(const std::filesystem::path& map)
{
    Record({"CheckWritable", map, {}, {}, 0});
    inner_.CheckWritable(map);
}

ArchiveListing RecordingMapArchive::List(const std::filesystem::path& map,
                                         const std::vector<std::filesystem::path>& extraListFiles)
{
    Record({"List", map, {}, {}, 0});
    return inner_.List(map, extraListFiles);
}

std::vector<std::uint8_t> RecordingMapArchive::ReadEntry(const std::filesystem::path& map, const std::string& entry)
{
    Record({"ReadEntry", map, entry, {}, 0});
    return inner_.ReadEntry(map, entry);
}

bool RecordingMapArchive::Compact(const std::filesystem::path& map,
                                  const std::vector<std::filesystem::path>& extraListFiles)
{
    Record({"Compact", map, {}, {}, 0});
    return inner_.Compact(map, extraListFiles);
}

bool RecordingMapArchive::CopyWithout(const std::filesystem::path& map, const std::filesystem::path& target,
                                      std::span<const std::string_view> entries,
                                      const std::vector<std::filesystem::path>& extraListFiles)
{
    Record({"CopyWithout", map, {}, target, 0});
    return inner_.CopyWithout(map, target, entries, extraListFiles);
}

} // namespace vornak::test
