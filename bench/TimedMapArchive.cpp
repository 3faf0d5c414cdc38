#include "TimedMapArchive.h"

#include <chrono>

namespace vornak::bench {

template <typename Call>
auto TimedMapArchive::Timed(const char* operation, Call call)
{
    struct Stop {
        Spent& spent;
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        ~Stop()
        {
            spent.ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            ++spent.calls;
        }
    } stop{spent_[operation]};
    return call();
}

void TimedMapArchive::ExtractEntry(const std::filesystem::path& map, const std::string& entry,
                                   const std::filesystem::path& destFolder, bool createFolder)
{
    Timed("extract", [&] { inner_.ExtractEntry(map, entry, destFolder, createFolder); });
}

bool TimedMapArchive::HasEntry(const std::filesystem::path& map, const std::string& entry)
{
    return Timed("has", [&] { return inner_.HasEntry(map, entry); });
}

void TimedMapArchive::DeleteEntry(const std::filesystem::path& map, const std::string& entry)
{
    Timed("delete", [&] { inner_.DeleteEntry(map, entry); });
}

void TimedMapArchive::AddEntry(const std::filesystem::path& map, const std::filesystem::path& file,
                               const std::string& entry, int storage)
{
    Timed("add", [&] { inner_.AddEntry(map, file, entry, storage); });
}

void TimedMapArchive::AddEntries(const std::filesystem::path& map, const std::vector<NewEntry>& entries, int storage)
{
    Timed("add", [&] { inner_.AddEntries(map, entries, storage); });
}

void TimedMapArchive::CheckWritable(const std::filesystem::path& map)
{
    Timed("check-writable", [&] { inner_.CheckWritable(map); });
}

ArchiveListing TimedMapArchive::List(const std::filesystem::path& map,
                                     const std::vector<std::filesystem::path>& extraListFiles)
{
    return Timed("list", [&] { return inner_.List(map, extraListFiles); });
}

std::vector<std::uint8_t> TimedMapArchive::ReadEntry(const std::filesystem::path& map, const std::string& entry)
{
    return Timed("read", [&] { return inner_.ReadEntry(map, entry); });
}

bool TimedMapArchive::Compact(const std::filesystem::path& map,
                              const std::vector<std::filesystem::path>& extraListFiles)
{
    return Timed("compact", [&] { return inner_.Compact(map, extraListFiles); });
}

bool TimedMapArchive::CopyWithout(const std::filesystem::path& map, const std::filesystem::path& target,
                                  std::span<const std::string_view> entries,
                                  const std::vector<std::filesystem::path>& extraListFiles)
{
    return Timed("copy-without", [&] { return inner_.CopyWithout(map, target, entries, extraListFiles); });
}

} // namespace vornak::bench
