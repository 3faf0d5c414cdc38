#pragma once

#include "archive/ArchiveError.h"
#include "base/Platform.h"
#include "base/Retry.h"

#include <filesystem>
#include <system_error>

namespace vornak {

// The system's own number behind an archive failure, where it is one (StormLib reports errno
// values, or Windows errors on Windows).
inline std::error_code SystemCodeOf(const std::error_code& code)
{
    return code.category() == ArchiveCategory() ? std::error_code(code.value(), std::system_category()) : code;
}

// Runs an archive call again while the system refuses `file` for a reason that passes by itself
// (platform::IsPassingRefusal: another program holding it for a moment), as the file layer does
// its own steps. The last refusal is thrown when it outlasts every wait.
template <class Call>
void RetryWhileHeld(const std::filesystem::path& file, Call call)
{
    fileops::Retry retry(fileops::Patience::Step);
    for (;;) {
        try {
            call();
            return;
        } catch (const ArchiveError& error) {
            if (!platform::IsPassingRefusal(SystemCodeOf(error.code()), file) || !retry.WaitAgain())
                throw;
        }
    }
}

// As RetryWhileHeld, but returns false when the refusal outlasted every wait, leaving the
// failure to the caller's words.
template <class Call>
bool RetryingArchive(const std::filesystem::path& file, Call call)
{
    try {
        RetryWhileHeld(file, call);
        return true;
    } catch (const ArchiveError& error) {
        if (platform::IsPassingRefusal(SystemCodeOf(error.code()), file))
            return false;
        throw;
    }
}

} // namespace vornak
