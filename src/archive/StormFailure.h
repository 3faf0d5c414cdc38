#pragma once

// How the StormLib side of the archive layer fails: every failure is an ArchiveError that says
// what was done, on which map and entry, and why, in words and with StormLib's number.
#include <StormLib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace vornak::storm {

// What a failure is about: every ArchiveError carries these three.
struct Where {
    std::string operation;
    std::string map;
    std::string entry;
};

// The layer's own number for a map protected against changes, kept clear of StormLib's and the system's.
inline constexpr int kProtectedMap = 0x56510001;

std::error_code Code(DWORD code);
[[noreturn]] void Fail(const Where& where, const std::string& reason, std::error_code code);
[[noreturn]] void Fail(const Where& where, const std::string& reason, DWORD code);
// A file of ours that cannot be written: errno, where the library set it, says why.
std::error_code WriteError();
// StormLib's error in words, with its number for anyone who must look further.
std::string ReasonText(DWORD code);
// StormLib's error of the call that just failed.
DWORD LastError();
// Fails with StormLib's last error, after the words that say what could not be done.
[[noreturn]] void FailWithLastError(const Where& where, const std::string& what);

// A path as StormLib takes it.
std::basic_string<TCHAR> StormPath(const std::filesystem::path& path);

} // namespace vornak::storm
