#pragma once

#include <filesystem>
#include <system_error>

// The file-system calls whose meaning differs between systems, one implementation for each
// (PlatformPosix.cpp, PlatformWindows.cpp). They report the system's own error and never
// throw; fileops turns the errors into messages.
namespace vornak::platform {

// Sends the file's data (and size) from the system's cache to the disk.
std::error_code FlushFile(const std::filesystem::path& file);
// Sends the folder's names to the disk, so that a rename into it outlasts a power cut.
// A file system that cannot flush folders is no error.
std::error_code FlushFolder(const std::filesystem::path& folder);
// Puts `from` in the place of `to` in one step, replacing it; both lie in one folder.
std::error_code MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to);
// Copies `from` over `to`, which may exist already.
std::error_code CopyReplacing(const std::filesystem::path& from, const std::filesystem::path& to);
// Creates a new, empty file; fails with std::errc::file_exists instead of opening one that is there.
std::error_code CreateNewFile(const std::filesystem::path& file);

// Whether this user may write the file, or create files in the folder, as the system judges
// it. A path whose permissions give no one the right to write stays refused even to an
// administrator: making a map read-only is the user's way of protecting it.
bool MayWrite(const std::filesystem::path& path);
// Whether another program holds the file open so that it can be neither written nor replaced
// (on Windows, where the map editor and the game open maps without letting others write or
// delete them); never where an open file can still be replaced.
bool HeldByAnotherProgram(const std::filesystem::path& file);
// The file a symbolic link leads to, through any chain of links; any other path as given.
std::filesystem::path ResolveLinks(const std::filesystem::path& path);
// Gives `to` the owner and group of `from` as far as this user is allowed to; where not,
// `to` keeps its own.
void KeepOwner(const std::filesystem::path& from, const std::filesystem::path& to);

// Whether `code`, from an operation on `target`, is a refusal that passes by itself: another
// program holds the file for a moment (a virus scanner, a sync client, the search indexer), or a
// deleted file is still pending. Never one that waiting cannot change (a read-only file).
bool IsPassingRefusal(const std::error_code& code, const std::filesystem::path& target, bool removingFolder = false);
// Whether the system refused a path for its length.
bool IsTooLong(const std::error_code& code);
// Whether a path (a folder to be created, when `folder`) is too long for this program's file
// calls, known before any call fails. Only Windows without long-path support has such a limit.
bool PathTooLong(const std::filesystem::path& path, bool folder = false);
// Whether access was denied though the file or folder is not read-only: on Windows, what
// Controlled folder access (ransomware protection) does to a program it does not know.
bool DeniedThoughWritable(const std::error_code& code, const std::filesystem::path& target);
// Gives `to` what makes `from` the user's file beyond its bytes, as far as it can: on Windows its
// hidden, system, archive and not-indexed attributes, its mark of the web (the Zone.Identifier
// stream), its creation time and an access list of its own. Elsewhere owner and permissions
// say it all (KeepOwner).
void CarryIdentity(const std::filesystem::path& from, const std::filesystem::path& to);
// Clears the read-only attribute of a file about to be replaced (Windows refuses to rename over
// one); nothing elsewhere, where the folder's permissions decide.
void ClearReadOnly(const std::filesystem::path& file);

// A file or folder kept open, so that its blocks outlive its name until the handle closes.
class HeldFile {
public:
    HeldFile() = default;
    explicit HeldFile(long long handle) : handle_(handle) {}
    ~HeldFile();
    HeldFile(HeldFile&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
    HeldFile& operator=(HeldFile&&) = delete;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool holds() const { return handle_ >= 0; }

private:
    long long handle_ = -1;
};
// Holds a large file, or a folder, that is about to be removed or replaced by a rename. Where
// the system frees their blocks (and a disk mounted with `discard` erases them, waiting behind
// every write queued before) at the last close, the removal then returns at once and the
// freeing waits for the handle's close, which the caller can leave to another thread. Holds
// nothing for a small file, or where an open file cannot be removed.
HeldFile HoldForRemoval(const std::filesystem::path& path);

// FlushFile for another thread, while this process goes on using the file through handles of
// its own; does nothing where such a flush could get in their way.
std::error_code FlushFileAside(const std::filesystem::path& file);

} // namespace vornak::platform
