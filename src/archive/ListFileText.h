#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vornak::listfile {

// How archive names compare: without regard to the case of a to z or the kind of slash.
std::string NameKey(std::string_view name);

// The names a (listfile) holds, as it spells them. Lists from the field separate them with
// CR LF, LF, CR or ';', and the last one may have no line end.
std::vector<std::string> Names(std::span<const std::uint8_t> text);

// The list with those of `names` it lacks added, one to a line, CR LF as editors write it; its
// own bytes stay as they are. Nothing when it names them all already.
std::optional<std::vector<std::uint8_t>> WithNames(std::span<const std::uint8_t> text,
                                                   std::span<const std::string> names);

} // namespace vornak::listfile
