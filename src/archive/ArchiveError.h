#pragma once

#include <stdexcept>
#include <string>

namespace vornak {

// A failed archive operation: what was done, on which map and entry, and the
// archive library's own reason in words.
class ArchiveError : public std::runtime_error {
public:
    ArchiveError(const std::string& operation, const std::string& map, const std::string& entry,
                 const std::string& reason)
        : std::runtime_error(Describe(operation, map, entry, reason))
        , operation_(operation)
        , map_(map)
        , entry_(entry)
        , reason_(reason)
    {
    }

    const std::string& operation() const { return operation_; }
    const std::string& map() const { return map_; }
    const std::string& entry() const { return entry_; }
    const std::string& reason() const { return reason_; }

private:
    static std::string Describe(const std::string& operation, const std::string& map,
                                const std::string& entry, const std::string& reason)
    {
        std::string text = operation;
        if (!entry.empty())
            text += " '" + entry + "'";
        text += " in the map '" + map + "' failed: " + reason;
        return text;
    }

    std::string operation_;
    std::string map_;
    std::string entry_;
    std::string reason_;
};

} // namespace vornak
