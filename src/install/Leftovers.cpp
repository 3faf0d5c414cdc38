#include "install/Leftovers.h"

#include "base/FileOps.h"
#include "base/Platform.h"

#include <array>
#include <fstream>

namespace vornak {
namespace fs = std::filesystem;

namespace {

// "<stem>.<number><extension>" with a number of 2 to 999, as fileops::CreateUnique names them.
bool NumberedForm(const std::u8string& name, const std::u8string& stem, const std::u8string& extension)
{
    if (name.size() <= stem.size() + 1 + extension.size() || !name.starts_with(stem) || !name.ends_with(extension) ||
        name[stem.size()] != u8'.')
        return false;
    const auto digits = name.substr(stem.size() + 1, name.size() - stem.size() - 1 - extension.size());
    if (digits.empty() || digits.size() > 3 || digits[0] == u8'0')
        return false;
    for (const char8_t c : digits)
        if (c < u8'0' || c > u8'9')
            return false;
    return true;
}

// A staged copy or a backup's copy holds a map from its first byte (a map editor's header or the
// archive's own), or nothing yet.
bool HoldsAMapOrNothing(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::array<char, 4> head{};
    in.read(head.data(), head.size());
    if (in.gcount() == 0 && in.eof())
        return true;
    const std::string_view start(head.data(), static_cast<std::size_t>(in.gcount()));
    return start == "HM3W" || start == std::string_view("MPQ\x1A", 4);
}

} // namespace

void RemoveLeftovers(const fs::path& wanted, std::string_view companionSuffix) noexcept
{
    try {
        const std::u8string name = wanted.filename().u8string();
        const std::u8string stem = fs::path(wanted).replace_extension().filename().u8string();
        const std::u8string extension = wanted.extension().u8string();
        const std::u8string companion(companionSuffix.begin(), companionSuffix.end());
        std::error_code ec;
        for (const auto& item : fs::directory_iterator(wanted.parent_path().empty() ? fs::path(".") : wanted.parent_path(), ec)) {
            std::u8string found = item.path().filename().u8string();
            if (!companion.empty() && found.ends_with(companion))
                found.resize(found.size() - companion.size());
            if (found != name && !NumberedForm(found, stem, extension))
                continue;
            if (!item.is_regular_file(ec) || item.is_symlink(ec) || !HoldsAMapOrNothing(item.path()) ||
                platform::HeldByAnotherProgram(item.path()))
                continue;
            fileops::Discard(item.path());
        }
    } catch (...) {
        // A folder that cannot be listed: whatever is there stays, as before.
    }
}

} // namespace vornak
