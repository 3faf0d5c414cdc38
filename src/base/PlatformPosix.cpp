#include "base/Platform.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vornak::platform {
namespace fs = std::filesystem;

namespace {

std::error_code LastError()
{
    return std::error_code(errno, std::generic_category());
}

// A descriptor that closes itself.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int Release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closing reports late write errors on some file systems.
    std::error_code Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? std::error_code() : LastError();
    }

private:
    int fd_;
};

std::error_code Sync(int fd)
{
#ifdef F_FULLFSYNC
    // fsync alone leaves the data in the drive's own cache here.
    if (::fcntl(fd, F_FULLFSYNC) == 0)
        return {};
#endif
    return ::fsync(fd) == 0 ? std::error_code() : LastError();
}

} // namespace

std::error_code FlushFile(const fs::path& file)
{
    // fsync flushes the file, not the descriptor: one opened for reading serves, and needs no
    // write permission on a file already given the map's permissions.
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return LastError();
    if (const auto error = Sync(fd.get()))
        return error;
    return fd.Close();
}

std::error_code FlushFolder(const fs::path& folder)
{
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // A folder that may be written but not read cannot be opened to flush; the rename in it
    // is still whole, only perhaps not yet on the disk.
    if (fd.get() < 0)
        return errno == EACCES ? std::error_code() : LastError();
    auto error = Sync(fd.get());
    if (error == std::errc::invalid_argument || error == std::errc::not_supported ||
        error == std::errc::operation_not_supported)
        error.clear(); // some network and user-space file systems flush no folders
    return error;
}

std::error_code MoveReplacing(const fs::path& from, const fs::path& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? std::error_code() : LastError();
}

std::error_code CopyReplacing(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    return error;
}

std::error_code CreateNewFile(const fs::path& file)
{
    Descriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return LastError();
    return fd.Close();
}

bool MayWrite(const fs::path& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return false;
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::access(path.c_str(), S_ISDIR(status.st_mode) ? W_OK | X_OK : W_OK) == 0;
}

bool HeldByAnotherProgram(const fs::path&)
{
    // An open file keeps its data; the rename puts a new file under its name all the same.
    return false;
}

fs::path ResolveLinks(const fs::path& path)
{
    std::error_code ec;
    if (!fs::is_symlink(path, ec))
        return path;
    auto target = fs::canonical(path, ec);
    return ec ? path : target;
}

void KeepOwner(const fs::path& from, const fs::path& to)
{
    struct stat status {};
    if (::stat(from.c_str(), &status) != 0)
        return;
    if (::chown(to.c_str(), status.st_uid, status.st_gid) == 0)
        return;
    // Only an administrator may give a file away; a member of the group may still give it the group.
    if (::chown(to.c_str(), static_cast<uid_t>(-1), status.st_gid) != 0)
        return; // `to` stays this user's, in this user's group
}

bool IsPassingRefusal(const std::error_code& code, const fs::path&, bool)
{
    // A busy file or mount lets go by itself; everything else here is final.
    return code == std::errc::device_or_resource_busy;
}

bool IsTooLong(const std::error_code& code)
{
    return code == std::errc::filename_too_long;
}

bool PathTooLong(const fs::path&, bool)
{
    // The system says so itself (ENAMETOOLONG), at a limit no map path comes near.
    return false;
}

bool DeniedThoughWritable(const std::error_code&, const fs::path&)
{
    return false;
}

void CarryIdentity(const fs::path&, const fs::path&)
{
}

void ClearReadOnly(const fs::path&)
{
}

HeldFile::~HeldFile()
{
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

HeldFile HoldForRemoval(const fs::path& path)
{
    // Below this, freeing a file's blocks costs too little to be worth a thread.
    constexpr off_t kWorthHolding = off_t{1} << 20;
    // Not blocking: a name that turned out to be a pipe must not stop the install here.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status {};
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0)
        return {};
    if (!S_ISDIR(status.st_mode) && !(S_ISREG(status.st_mode) && status.st_size >= kWorthHolding))
        return {};
    return HeldFile(fd.Release());
}

std::error_code FlushFileAside(const fs::path& file)
{
    return FlushFile(file); // a descriptor of its own, for reading: no other one notices
}

} // namespace vornak::platform
