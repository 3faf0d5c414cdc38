#include "base/Platform.h"

#include <windows.h>

#include <string>

namespace vornak::platform {
namespace fs = std::filesystem;

namespace {

std::error_code LastError()
{
    return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}

// A file handle that closes itself.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

std::error_code FlushFile(const fs::path& file)
{
    // FlushFileBuffers needs a handle that may write, which a read-only file (the backup of a
    // read-only map) gives only while the attribute is off.
    const DWORD attributes = GetFileAttributesW(file.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !SetFileAttributesW(file.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        return LastError();
    std::error_code error;
    {
        Handle handle(CreateFileW(file.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle.valid() || !FlushFileBuffers(handle.get()))
            error = LastError();
    }
    if (readOnly && !SetFileAttributesW(file.c_str(), attributes) && !error)
        error = LastError();
    return error;
}

std::error_code FlushFolder(const fs::path&)
{
    // Nothing to do: MoveReplacing returns only once the rename is on the disk.
    return {};
}

std::error_code MoveReplacing(const fs::path& from, const fs::path& to)
{
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return LastError();
    return {};
}

std::error_code CopyReplacing(const fs::path& from, const fs::path& to)
{
    // Not std::filesystem::copy_file: mingw-w64's takes any two files for the same one (it
    // compares inode numbers, which Windows does not give) and refuses to overwrite.
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE))
        return LastError();
    return {};
}

std::error_code CreateNewFile(const fs::path& file)
{
    Handle handle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.valid())
        return {};
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
        return std::make_error_code(std::errc::file_exists);
    return std::error_code(static_cast<int>(error), std::system_category());
}

bool MayWrite(const fs::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // On a folder the read-only attribute only marks it as customised; whether a file can be
    // created there shows when the staged copy is made.
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool HeldByAnotherProgram(const fs::path& file)
{
    // Asks for what replacing the file needs (writing, and deleting the name), while letting
    // everyone else do anything: only a program that shares less makes this fail.
    Handle handle(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.valid())
        return false;
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

fs::path ResolveLinks(const fs::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return path;
    // Opening follows the links; the handle then names the file they lead to.
    Handle handle(CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid())
        return path;
    std::wstring name(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle.get(), name.data(), static_cast<DWORD>(name.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= name.size())
        return path;
    name.resize(length);
    // The name comes as "\\?\C:\..." or "\\?\UNC\server\...": the plain form where it is short
    // enough for every program.
    if (length < MAX_PATH && name.starts_with(L"\\\\?\\UNC\\"))
        name = L"\\\\" + name.substr(8);
    else if (length < MAX_PATH && name.starts_with(L"\\\\?\\"))
        name = name.substr(4);
    return fs::path(name);
}

void KeepOwner(const fs::path&, const fs::path&)
{
    // The replacing file takes the access rules its folder passes on, as the map had them;
    // its owner is the user who installs.
}

HeldFile::~HeldFile() = default;

HeldFile HoldForRemoval(const fs::path&)
{
    // An open file or folder without delete sharing can be neither removed nor replaced.
    return {};
}

std::error_code FlushFileAside(const fs::path&)
{
    // FlushFile opens the file for writing, which fails whoever opens it next without sharing.
    return {};
}

} // namespace vornak::platform
