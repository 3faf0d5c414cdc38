#include "TestFiles.h"

#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

namespace vornak::test {
namespace fs = std::filesystem;

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    path_ = fs::temp_directory_path() /
        ("vornak-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++));
    if (!fs::create_directory(path_))
        throw std::runtime_error("cannot create the temporary folder " + path_.string());
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests may leave read-only files and folders behind; make them removable first.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::optional<fs::path> RealMapsDir()
{
    const fs::path dir = VORNAK_REALMAPS_DIR;
    std::error_code ec;
    if (fs::is_directory(dir / "maps", ec))
        return dir;
    return std::nullopt;
}

fs::path SourceDir()
{
    return VORNAK_SOURCE_DIR;
}

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const fs::path& path)
{
    const auto bytes = ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void WriteText(const fs::path& path, std::string_view text)
{
    WriteBytes(path, Bytes(text));
}

std::optional<std::vector<std::uint8_t>> RealMapEntry(const fs::path& map, const std::string& entry)
{
    try {
        return StormMapArchive().Open(map)->ReadEntry(entry);
    } catch (const ArchiveError&) {
    }
    if (!kSmpqRuns)
        return std::nullopt;
    TempDir dir;
    const std::string command = "cd '" + dir.path().string() + "' && smpq -x -q '" + map.string() + "' '" + entry +
        "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !fs::is_regular_file(dir / entry))
        return std::nullopt;
    return ReadBytes(dir / entry);
}

} // namespace vornak::test
