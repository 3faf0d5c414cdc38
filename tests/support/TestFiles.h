#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vornak::test {

// A fresh folder under the system's temp folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// ../shared/realmaps beside the project, or nothing where it is absent (a user's clone).
std::optional<std::filesystem::path> RealMapsDir();
// The project's own source folder (for Data/).
std::filesystem::path SourceDir();

std::vector<std::uint8_t> Bytes(std::string_view text);
std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::filesystem::path& path, std::string_view text);

// smpq, the second reader of real maps, is a Linux program: on Windows the maps only it reads
// go unread, and the tests that need them say so.
#if defined(_WIN32)
inline constexpr bool kSmpqRuns = false;
#else
inline constexpr bool kSmpqRuns = true;
#endif

// One entry of a real map. Maps our archive layer refuses as damaged (a real "protected" map)
// are read with the smpq tool instead, so their contents still serve as test data; nothing is
// returned where neither can read it.
std::optional<std::vector<std::uint8_t>> RealMapEntry(const std::filesystem::path& map, const std::string& entry);

// A table's rows print and name their tests by their labels; a test file takes the printer
// into its own namespace (using test::PrintTo), where the test framework looks for it.
template <class Row>
    requires requires(const Row& row) { row.label; }
void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.label;
}
inline constexpr auto kRowLabel = [](const auto& info) { return std::string(info.param.label); };

} // namespace vornak::test

// Skips the running test with a clear message where the real maps are not beside the project.
#define VORNAK_REQUIRE_REALMAPS(var)                                                                         \
    const auto var##_opt = ::vornak::test::RealMapsDir();                                                   \
    if (!var##_opt)                                                                                          \
        GTEST_SKIP() << "../shared/realmaps is absent here: the real-map tests are skipped";              \
    const std::filesystem::path var = *var##_opt
