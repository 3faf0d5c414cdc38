#pragma once

#include <string>
#include <system_error>

namespace vornak {

// StormLib's error numbers, in a category of their own (their values differ between Windows,
// where they are system errors, and elsewhere, where StormLib maps most of them onto errno).
// The layer adds numbers of its own for what it finds before StormLib is asked.
const std::error_category& ArchiveCategory();

// What callers and tests ask of a failure, whichever platform's number it carries.
enum class ArchiveFailure {
    Missing = 1,   // no such map, folder or entry
    ReadOnly,      // the map or its folder cannot be written
    NotAnArchive,  // no archive header
    Damaged,       // tables or data that contradict themselves
    Protected,     // tables malformed on purpose: the map plays, but cannot be changed
    Full,          // no room left, on disk or in the archive's tables
    UnknownNames,  // some entries' names are not known
};
const std::error_category& ArchiveFailureCategory();
std::error_condition make_error_condition(ArchiveFailure failure);

// A failed archive operation: what was done, on which map and entry, and why: the reason in
// words for people and the error code for programs.
class ArchiveError : public std::system_error {
public:
    ArchiveError(const std::string& operation, const std::string& map, const std::string& entry,
                 const std::string& reason, std::error_code code)
        : std::system_error(code, Describe(operation, map, entry, reason))
        , text_(Describe(operation, map, entry, reason))
        , operation_(operation)
        , map_(map)
        , entry_(entry)
        , reason_(reason)
    {
    }

    // The description alone: std::system_error would add the code's message to it.
    const char* what() const noexcept override { return text_.c_str(); }
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

    std::string text_;
    std::string operation_;
    std::string map_;
    std::string entry_;
    std::string reason_;
};

} // namespace vornak

template <>
struct std::is_error_condition_enum<vornak::ArchiveFailure> : std::true_type {};
