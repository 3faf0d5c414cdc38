#include "archive/StormFailure.h"

#include "archive/ArchiveError.h"

#include <cerrno>
#include <type_traits>

namespace vornak {
namespace fs = std::filesystem;

namespace storm {
namespace {

std::string PlatformMessage(DWORD code)
{
#if defined(_WIN32)
    return std::system_category().message(static_cast<int>(code));
#else
    // Off Windows, StormLib reports errno values.
    return std::generic_category().message(static_cast<int>(code));
#endif
}

std::string Words(DWORD code)
{
    std::string text;
    switch (code) {
    case ERROR_SUCCESS: text = "the archive library gave no reason"; break;
    case ERROR_FILE_NOT_FOUND: text = "file or entry not found"; break;
    case ERROR_ACCESS_DENIED: text = "access denied: the archive can only be read"; break;
    case ERROR_INVALID_HANDLE: text = "invalid handle"; break;
    case ERROR_NOT_ENOUGH_MEMORY: text = "not enough memory"; break;
    case ERROR_NOT_SUPPORTED: text = "not supported for this archive"; break;
    case ERROR_INVALID_PARAMETER: text = "invalid parameter"; break;
    case ERROR_DISK_FULL: text = "the disk is full, or the archive has no room for another entry"; break;
    case ERROR_ALREADY_EXISTS: text = "the entry already exists"; break;
    case ERROR_INSUFFICIENT_BUFFER: text = "a buffer was too small"; break;
    case ERROR_BAD_FORMAT: text = "not a map archive: no valid MPQ header was found"; break;
    case ERROR_NO_MORE_FILES: text = "no more entries"; break;
    case ERROR_HANDLE_EOF: text = "unexpected end of file: the archive is cut short"; break;
    case ERROR_CAN_NOT_COMPLETE: text = "the operation could not be completed"; break;
    case ERROR_FILE_CORRUPT: text = "the archive is damaged"; break;
    case ERROR_AVI_FILE: text = "the file is a video, not a map archive"; break;
    case ERROR_UNKNOWN_FILE_KEY: text = "the entry's encryption key is unknown"; break;
    case ERROR_CHECKSUM_ERROR: text = "the entry's data fails its checksum: the archive is damaged"; break;
    case ERROR_INTERNAL_FILE: text = "not allowed on the archive's own internal entries"; break;
    case ERROR_BASE_FILE_MISSING: text = "the base of a patched entry is missing"; break;
    case ERROR_MARKED_FOR_DELETE: text = "the entry is marked as deleted"; break;
    case ERROR_FILE_INCOMPLETE: text = "the entry's data is incomplete"; break;
    case ERROR_UNKNOWN_FILE_NAMES: text = "the names of some entries are unknown"; break;
    default: text = PlatformMessage(code); break;
    }
    return text;
}

class ArchiveErrorCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "StormLib"; }
    std::string message(int code) const override
    {
        return code == kProtectedMap ? "the map is protected against changes" : Words(static_cast<DWORD>(code));
    }
    std::error_condition default_error_condition(int code) const noexcept override
    {
        switch (code) {
        case ERROR_FILE_NOT_FOUND: return ArchiveFailure::Missing;
        case ERROR_ACCESS_DENIED: return ArchiveFailure::ReadOnly;
        case ERROR_BAD_FORMAT:
        case ERROR_AVI_FILE: return ArchiveFailure::NotAnArchive;
        case ERROR_FILE_CORRUPT:
        case ERROR_CHECKSUM_ERROR:
        case ERROR_HANDLE_EOF:
        case ERROR_FILE_INCOMPLETE: return ArchiveFailure::Damaged;
        case kProtectedMap: return ArchiveFailure::Protected;
        case ERROR_DISK_FULL: return ArchiveFailure::Full;
        case ERROR_UNKNOWN_FILE_NAMES: return ArchiveFailure::UnknownNames;
        default: return {code, *this};
        }
    }
};

class ArchiveFailureCategoryImpl : public std::error_category {
public:
    const char* name() const noexcept override { return "archive failure"; }
    std::string message(int condition) const override
    {
        switch (static_cast<ArchiveFailure>(condition)) {
        case ArchiveFailure::Missing: return "not found";
        case ArchiveFailure::ReadOnly: return "cannot be written";
        case ArchiveFailure::NotAnArchive: return "not a map archive";
        case ArchiveFailure::Damaged: return "damaged";
        case ArchiveFailure::Protected: return "protected against changes";
        case ArchiveFailure::Full: return "no room left";
        case ArchiveFailure::UnknownNames: return "names unknown";
        }
        return "unknown failure";
    }
    // The layer's own checks carry the system's numbers where the system said why.
    bool equivalent(const std::error_code& code, int condition) const noexcept override
    {
        if (code.category() == ArchiveCategory())
            return code.category().default_error_condition(code.value()) == std::error_condition(condition, *this);
        if (code.category() != std::generic_category() && code.category() != std::system_category())
            return false;
        const std::error_condition generic = code.default_error_condition();
        switch (static_cast<ArchiveFailure>(condition)) {
        case ArchiveFailure::Missing: return generic == std::errc::no_such_file_or_directory;
        case ArchiveFailure::ReadOnly:
            return generic == std::errc::permission_denied || generic == std::errc::operation_not_permitted ||
                generic == std::errc::read_only_file_system;
        case ArchiveFailure::Full: return generic == std::errc::no_space_on_device;
        default: return false;
        }
    }
};

} // namespace

std::error_code Code(DWORD code)
{
    return {static_cast<int>(code), ArchiveCategory()};
}

[[noreturn]] void Fail(const Where& where, const std::string& reason, std::error_code code)
{
    throw ArchiveError(where.operation, where.map, where.entry, reason, code);
}

[[noreturn]] void Fail(const Where& where, const std::string& reason, DWORD code)
{
    Fail(where, reason, Code(code));
}

std::error_code WriteError()
{
    return errno != 0 ? std::error_code(errno, std::generic_category()) : std::make_error_code(std::errc::io_error);
}

std::string ReasonText(DWORD code)
{
    return Words(code) + " (error " + std::to_string(code) + ")";
}

[[noreturn]] void FailWithLastError(const Where& where, const std::string& what)
{
    const DWORD code = LastError();
    Fail(where, what + ReasonText(code), code);
}

DWORD LastError()
{
#if !defined(_WIN32) && STORMLIB_VERSION >= 0x091F
    // Off Windows, StormLib 9.31 and later keep their last error behind SErrGetLastError;
    // older releases (Debian's 9.22) call it GetLastError, as Windows does.
    return SErrGetLastError();
#else
    return GetLastError();
#endif
}

namespace {
template <typename Char>
std::basic_string<Char> PathAs(const fs::path& path)
{
    if constexpr (std::is_same_v<Char, fs::path::value_type>)
        return path.native(); // wide on Windows Unicode builds, UTF-8 bytes elsewhere
    else
        return path.string();
}
} // namespace

// StormLib reads prefixes such as "map:", "http:" or "flat-file://" at the start of a
// name as stream providers; an absolute path starts with "/" or a drive, so it is always
// taken as the plain file it names.
std::basic_string<TCHAR> StormPath(const fs::path& path)
{
    return PathAs<TCHAR>(fs::absolute(path));
}

} // namespace storm

const std::error_category& ArchiveCategory()
{
    static const storm::ArchiveErrorCategory category;
    return category;
}

const std::error_category& ArchiveFailureCategory()
{
    static const storm::ArchiveFailureCategoryImpl category;
    return category;
}

std::error_condition make_error_condition(ArchiveFailure failure)
{
    return {static_cast<int>(failure), ArchiveFailureCategory()};
}

} // namespace vornak
