#include "archive/ListFileText.h"

#include "base/AsciiCase.h"

#include <algorithm>
#include <set>

namespace vornak::listfile {

std::string NameKey(std::string_view name)
{
    std::string key(name);
    for (char& c : key)
        c = c == '/' ? '\\' : ToUpperAscii(c);
    return key;
}

std::vector<std::string> Names(std::span<const std::uint8_t> text)
{
    std::vector<std::string> names;
    std::string name;
    for (const std::uint8_t byte : text) {
        if (byte == '\r' || byte == '\n' || byte == ';') {
            if (!name.empty())
                names.push_back(std::move(name));
            name.clear();
        } else {
            name.push_back(static_cast<char>(byte));
        }
    }
    if (!name.empty())
        names.push_back(std::move(name));
    return names;
}

std::optional<std::vector<std::uint8_t>> WithNames(std::span<const std::uint8_t> text,
                                                   std::span<const std::string> names)
{
    std::set<std::string> listed;
    for (const std::string& name : Names(text))
        listed.insert(NameKey(name));
    std::vector<std::uint8_t> result(text.begin(), text.end());
    bool added = false;
    for (const std::string& name : names) {
        if (!listed.insert(NameKey(name)).second)
            continue;
        // The last name may have no line end of its own.
        if (!result.empty() && result.back() != '\n' && result.back() != '\r' && result.back() != ';')
            result.insert(result.end(), {'\r', '\n'});
        result.insert(result.end(), name.begin(), name.end());
        result.insert(result.end(), {'\r', '\n'});
        added = true;
    }
    if (!added)
        return std::nullopt;
    return result;
}

} // namespace vornak::listfile
