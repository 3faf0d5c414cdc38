#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "base/Retry.h"

// Every file operation of the install goes through here, so that each failure carries the
// operation, the file and the reason, and so that tests can make any one of them fail. Each
// one is tried again, with growing waits (Retry.h), while the system refuses it for a reason
// that passes by itself; a failure that outlasted them says so (FileError::stillRefused).
namespace vornak::fileops {

// True when the path names an existing regular file (never throws).
bool FileExists(const std::filesystem::path& path);

std::ifstream OpenForReading(const std::filesystem::path& path);
std::ofstream OpenForWriting(const std::filesystem::path& path);

// Throws when a read or write on the stream failed (end of file alone is not a failure).
void CheckRead(const std::istream& in, const std::filesystem::path& path);
void CheckWrite(const std::ostream& out, const std::filesystem::path& path);
// Flushes and closes, then checks: a full disk often shows only here.
void Close(std::ofstream& out, const std::filesystem::path& path);

void CopyReplacing(const std::filesystem::path& from, const std::filesystem::path& to);
// One atomic step where source and target share a folder; replaces the target.
void RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                     Patience patience = Patience::Step);
// Sends a file's data to the disk ("flush"), or a folder's names ("flush-folder").
void Flush(const std::filesystem::path& file);
void FlushFolder(const std::filesystem::path& folder);
// Starts sending a written file's data to the disk on a thread of its own ("writeback"), so
// that its Flush later waits for less: that Flush waits for this one, then flushes whatever
// changed since. Only a head start: a failure is ignored, as the Flush that must follow
// reports whatever really went wrong.
void FlushInBackground(const std::filesystem::path& file) noexcept;
// Waits for the file's flush in the background, if one runs; for a file given up.
void FinishBackgroundFlush(const std::filesystem::path& file) noexcept;
// Puts a completely written file in the place of `target` (same folder) so that even a power
// cut leaves the one or the other whole: the file's data goes to the disk, then the rename,
// then the folder's new name. `temp` is removed when it fails before the rename.
void PutInPlace(const std::filesystem::path& temp, const std::filesystem::path& target,
                Patience patience = Patience::Step);
// Creates a new, empty file under `wanted` or, where a file of that name (or that name followed
// by `companionSuffix`, a file made from it later) is there already, under the name with a
// number before its extension ("backup.w3m.2.part"); returns the name taken ("create-new").
// An existing file is never opened: whatever stands there is someone else's.
std::filesystem::path CreateUnique(const std::filesystem::path& wanted, std::string_view companionSuffix = {});
// The most bytes the number adds to a name.
inline constexpr std::size_t kUniqueNumberBytes = 4;
void Remove(const std::filesystem::path& path);
// Removes a file of this install's own that is no longer wanted, where it is there; a failure
// (another program kept it past every wait) leaves it, and is no error.
void Discard(const std::filesystem::path& path) noexcept;
// Removes a folder only when it is empty, as a user's own files must never go with it.
void RemoveEmptyFolder(const std::filesystem::path& path);
void CreateFolders(const std::filesystem::path& path);
std::uintmax_t FileSize(const std::filesystem::path& path);

// Writes a whole new file through `temp` (beside the target) and puts it in place (PutInPlace),
// so the target holds either its old or its complete new content. The temp file is removed
// when anything fails. New content equal to the old leaves the target untouched.
void ReplaceAtomically(const std::filesystem::path& target, const std::filesystem::path& temp,
                       const std::function<void(std::ofstream&)>& write);

// Text for messages: the path as UTF-8, whatever the platform's native encoding.
std::string Display(const std::filesystem::path& path);
// The window hands paths over as UTF-8 text.
std::filesystem::path PathFromUtf8(std::string_view text);

// Test seam. When set, every operation above calls the hook first with its name
// ("open-read", "open-write", "read", "write", "close", "copy", "rename", "flush",
// "flush-folder", "writeback", "create-new", "remove", "remove-folder", "create-folders",
// "size") and the path, once for each attempt; a hook that throws makes that attempt fail as
// the real one would.
using FaultHook = std::function<void(std::string_view operation, const std::filesystem::path& path)>;
void SetFaultHook(FaultHook hook);
// Called by layers outside this file (the archive layer) at their own failure points.
void FaultPoint(std::string_view operation, const std::filesystem::path& path);

} // namespace vornak::fileops
