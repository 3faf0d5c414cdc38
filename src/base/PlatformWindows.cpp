#include "base/Platform.h"

#include "base/WindowsRules.h"

#include <windows.h>
#include <aclapi.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

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
    // The replacing file takes the access rules its folder passes on, and an access list of
    // the map's own through CarryIdentity; its owner is the user who installs.
}

namespace {

// The Windows number for an error, whether the system gave it or the C runtime turned it into
// an errno value on the way (a sharing violation then reads as EACCES).
unsigned long WindowsNumber(const std::error_code& code)
{
    if (code.category() == std::system_category())
        return static_cast<unsigned long>(code.value());
    if (code == std::errc::permission_denied)
        return windows_rules::kAccessDenied;
    if (code == std::errc::device_or_resource_busy)
        return windows_rules::kSharingViolation;
    if (code == std::errc::directory_not_empty)
        return windows_rules::kDirNotEmpty;
    if (code == std::errc::filename_too_long)
        return windows_rules::kFilenameExcedRange;
    return 0;
}

bool ReadOnlyFile(const fs::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool LongPathsEnabled()
{
    // Windows 10 1607 and later, where the registry allows it and the program's manifest asks.
    using Query = BOOLEAN(WINAPI*)();
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query = ntdll ? reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlAreLongPathsEnabled")))
                             : nullptr;
    return query && query() != 0;
}

void CarryStream(const fs::path& from, const fs::path& to, const wchar_t* stream)
{
    Handle in(CreateFileW((from.wstring() + stream).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in.valid())
        return;
    std::vector<char> bytes(64 * 1024);
    DWORD got = 0;
    if (!ReadFile(in.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        return;
    Handle out(CreateFileW((to.wstring() + stream).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (out.valid())
        WriteFile(out.get(), bytes.data(), got, &written, nullptr);
}

void CarryCreationTime(const fs::path& from, const fs::path& to)
{
    Handle in(CreateFileW(from.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME created{};
    if (!in.valid() || !GetFileTime(in.get(), &created, nullptr, nullptr))
        return;
    Handle out(CreateFileW(to.c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (out.valid())
        SetFileTime(out.get(), &created, nullptr, nullptr);
}

void CarryAccessList(const fs::path& from, const fs::path& to)
{
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return;
    const std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, &LocalFree);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (list == nullptr || !GetSecurityDescriptorControl(descriptor, &control, &revision))
        return;
    bool explicitEntry = false;
    for (DWORD i = 0; i < list->AceCount && !explicitEntry; ++i) {
        void* entry = nullptr;
        explicitEntry = GetAce(list, i, &entry) && (static_cast<ACE_HEADER*>(entry)->AceFlags & INHERITED_ACE) == 0;
    }
    const bool isProtected = (control & SE_DACL_PROTECTED) != 0;
    if (!windows_rules::CarryAccessList(isProtected, explicitEntry))
        return;
    std::wstring target = to.wstring();
    SetNamedSecurityInfoW(target.data(), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION |
                              (isProtected ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION),
                          nullptr, nullptr, list, nullptr);
}

} // namespace

bool IsPassingRefusal(const std::error_code& code, const fs::path& target, bool removingFolder)
{
    return windows_rules::PassingRefusal(WindowsNumber(code), ReadOnlyFile(target),
                                         removingFolder ? windows_rules::Step::RemovingFolder
                                                        : windows_rules::Step::OnFile);
}

bool IsTooLong(const std::error_code& code)
{
    return WindowsNumber(code) == windows_rules::kFilenameExcedRange;
}

bool PathTooLong(const fs::path& path, bool folder)
{
    std::error_code ec;
    const std::wstring full = fs::absolute(path, ec).wstring();
    if (ec || full.starts_with(L"\\\\?\\"))
        return false;
    return windows_rules::TooLong(full.size(), folder, LongPathsEnabled());
}

bool DeniedThoughWritable(const std::error_code& code, const fs::path& target)
{
    return WindowsNumber(code) == windows_rules::kAccessDenied && !ReadOnlyFile(target);
}

void CarryIdentity(const fs::path& from, const fs::path& to)
{
    CarryStream(from, to, L":Zone.Identifier");
    CarryCreationTime(from, to);
    CarryAccessList(from, to);
    // Last: a hidden or system file refuses some ways of opening it.
    const DWORD map = GetFileAttributesW(from.c_str());
    const DWORD staged = GetFileAttributesW(to.c_str());
    if (map != INVALID_FILE_ATTRIBUTES && staged != INVALID_FILE_ATTRIBUTES) {
        const DWORD carried = windows_rules::CarriedAttributes(map, staged) & ~FILE_ATTRIBUTE_NORMAL;
        if (carried != (staged & ~FILE_ATTRIBUTE_NORMAL))
            SetFileAttributesW(to.c_str(), carried == 0 ? FILE_ATTRIBUTE_NORMAL : carried);
    }
}

void ClearReadOnly(const fs::path& file)
{
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(file.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
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
