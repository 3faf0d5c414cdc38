#pragma once

#include <cstddef>
#include <cstdint>

// Decisions the Windows platform layer takes from Microsoft's documented numbers, kept free of
// any system call so that they are tested as tables on every system (wine, for one, enforces
// neither the path limit nor most sharing rules as Windows does).
namespace vornak::windows_rules {

// Windows error numbers (winerror.h).
inline constexpr unsigned long kAccessDenied = 5;
inline constexpr unsigned long kSharingViolation = 32;
inline constexpr unsigned long kLockViolation = 33;
inline constexpr unsigned long kDirNotEmpty = 145;
inline constexpr unsigned long kFilenameExcedRange = 206;
inline constexpr unsigned long kDeletePending = 303;

// File attributes (winnt.h).
inline constexpr std::uint32_t kReadOnly = 0x1;
inline constexpr std::uint32_t kHidden = 0x2;
inline constexpr std::uint32_t kSystem = 0x4;
inline constexpr std::uint32_t kArchive = 0x20;
inline constexpr std::uint32_t kNotContentIndexed = 0x2000;

enum class Step { OnFile, RemovingFolder };

// Whether a refusal passes by itself: another program (a virus scanner, a sync client, the
// search indexer) has the file open for a moment, or a file deleted a moment ago is still
// pending. Access denied counts only where the target is not read-only, as a read-only file
// stays refused however long one waits. A folder that is not empty may be waiting for such a
// pending file to go.
bool PassingRefusal(unsigned long error, bool targetReadOnly, Step step);

// Whether a path of `utf16Units` characters is beyond what the file calls take without
// long-path support: MAX_PATH (260) counts the terminating zero, and a folder to be created
// must leave room for an 8.3 name (248).
bool TooLong(std::size_t utf16Units, bool folderToCreate, bool longPathsEnabled);

// The attributes the staged copy takes from the map it replaces: hidden, system, archive and
// not-indexed come along; read-only does not (such a map is refused before), and whatever else
// the staged copy has stays its own.
std::uint32_t CarriedAttributes(std::uint32_t map, std::uint32_t staged);

// Whether the map's access list is its own and must be carried: protected from inheritance,
// or holding entries set on the file itself. An inherited one the staged copy gets from the
// folder already.
bool CarryAccessList(bool protectedFromInheritance, bool anyExplicitEntry);

} // namespace vornak::windows_rules
