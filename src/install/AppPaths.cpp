#include "install/AppPaths.h"

#include "base/FileOps.h"

namespace vornak {

std::filesystem::path AppPath(const std::filesystem::path& appDir, std::string_view suffix)
{
    std::filesystem::path result = appDir;
    while (!suffix.empty()) {
        const auto cut = suffix.find('\\');
        const auto part = suffix.substr(0, cut);
        if (!part.empty())
            result /= fileops::PathFromUtf8(part);
        if (cut == std::string_view::npos)
            break;
        suffix.remove_prefix(cut + 1);
    }
    return result;
}

} // namespace vornak
