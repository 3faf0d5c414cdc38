#include "FakeMapArchive.h"

#include "TestFiles.h"
#include "archive/ArchiveError.h"

#include <algorithm>
#include <cstring>

namespace vornak::test {
namespace fs = std::filesystem;

namespace {

constexpr char kMagic[] = "FAKEMAP";

std::string Upper(std::string s)
{
    for (auto& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

FakeMapArchive::Entries::iterator Find(FakeMapArchive::Entries& entries, const std::string& name)
{
    return std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return Upper(e.first) == Upper(name); });
}

[[noreturn]] void Fail(const std::string& op, const fs::path& map, const std::string& entry, const std::string& why)
{
    throw ArchiveError(op, map.string(), entry, why, std::make_error_code(std::errc::io_error));
}

} // namespace

void FakeMapArchive::Write(const fs::path& map, const Entries& entries)
{
    std::vector<std::uint8_t> bytes(kMagic, kMagic + sizeof kMagic);
    for (const auto& [name, data] : entries) {
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.push_back(0);
        const auto size = std::to_string(data.size());
        bytes.insert(bytes.end(), size.begin(), size.end());
        bytes.push_back(0);
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    WriteBytes(map, bytes);
}

FakeMapArchive::Entries FakeMapArchive::Read(const fs::path& map)
{
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadBytes(map);
    } catch (const std::exception&) {
        Fail("Opening", map, "", "the file does not exist");
    }
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        Fail("Opening", map, "", "the file is not a map archive");
    Entries entries;
    std::size_t pos = sizeof kMagic;
    const auto field = [&] {
        const auto end = std::find(bytes.begin() + static_cast<long>(pos), bytes.end(), 0);
        if (end == bytes.end())
            Fail("Opening", map, "", "the archive is damaged");
        std::string text(bytes.begin() + static_cast<long>(pos), end);
        pos = static_cast<std::size_t>(end - bytes.begin()) + 1;
        return text;
    };
    while (pos < bytes.size()) {
        const auto name = field();
        const auto size = std::stoul(field());
        if (pos + size > bytes.size())
            Fail("Opening", map, "", "the archive is damaged");
        entries[name].assign(bytes.begin() + static_cast<long>(pos), bytes.begin() + static_cast<long>(pos + size));
        pos += size;
    }
    return entries;
}

void FakeMapArchive::ExtractEntry(const fs::path& map, const std::string& entry, const fs::path& destFolder,
                                  bool createFolder)
{
    auto entries = Read(map);
    const auto it = Find(entries, entry);
    if (it == entries.end())
        Fail("Extracting", map, entry, "the map holds no such entry");
    if (createFolder)
        fs::create_directories(destFolder);
    WriteBytes(destFolder / entry, it->second);
}

bool FakeMapArchive::HasEntry(const fs::path& map, const std::string& entry)
{
    auto entries = Read(map);
    return Find(entries, entry) != entries.end();
}

void FakeMapArchive::DeleteEntry(const fs::path& map, const std::string& entry)
{
    auto entries = Read(map);
    const auto it = Find(entries, entry);
    if (it == entries.end())
        Fail("Deleting", map, entry, "the map holds no such entry");
    entries.erase(it);
    Write(map, entries);
}

void FakeMapArchive::AddEntry(const fs::path& map, const fs::path& file, const std::string& entry, int)
{
    auto entries = Read(map);
    if (const auto it = Find(entries, entry); it != entries.end())
        entries.erase(it);
    entries[entry] = ReadBytes(file);
    Write(map, entries);
}

void FakeMapArchive::CheckWritable(const fs::path& map)
{
    Read(map);
    if (protectedMaps)
        Fail("Opening for changes", map, "", "the archive is protected and opens read-only");
}

ArchiveListing FakeMapArchive::List(const fs::path& map, const std::vector<fs::path>&)
{
    ArchiveListing listing;
    for (const auto& entry : Read(map))
        listing.names.push_back(entry.first);
    listing.entryCount = listing.names.size();
    listing.allNamesKnown = true;
    return listing;
}

std::vector<std::uint8_t> FakeMapArchive::ReadEntry(const fs::path& map, const std::string& entry)
{
    auto entries = Read(map);
    const auto it = Find(entries, entry);
    if (it == entries.end())
        Fail("Reading", map, entry, "the map holds no such entry");
    return it->second;
}

bool FakeMapArchive::Compact(const fs::path& map, const std::vector<fs::path>&)
{
    Read(map);
    return true;
}

} // namespace vornak::test
