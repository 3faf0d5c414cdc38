#pragma once

#include <filesystem>
#include <string_view>

namespace vornak {

// Data files are named by backslash suffixes such as "\Data\war3map.j"; they live in
// the program's folder on every platform, so the suffix is split into path parts.
std::filesystem::path AppPath(const std::filesystem::path& appDir, std::string_view suffix);

} // namespace vornak
