#include "base/FileOps.h"

#include "base/FileError.h"
#include "base/Platform.h"
#include "base/Retry.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace vornak::fileops {
namespace fs = std::filesystem;

namespace {

FaultHook& Hook()
{
    static FaultHook hook;
    return hook;
}

// Streams report no reason of their own; errno, where the library set it, is the best there is.
std::error_code LastError()
{
    return std::error_code(errno, std::generic_category());
}

[[noreturn]] void Fail(std::string_view what, const fs::path& path, const std::error_code& code)
{
    const std::string text = std::string(what) + " '" + Display(path) + "': ";
    if (!code)
        throw FileError(std::make_error_code(std::errc::io_error), text + "unknown reason");
    throw FileError(code, text + code.message());
}

[[noreturn]] void Fail(std::string_view what, const fs::path& path, std::errc code, const std::string& reason)
{
    throw FileError(std::make_error_code(code), std::string(what) + " '" + Display(path) + "': " + reason);
}

// Work on a thread of its own that says when it is done, so that a finished one is joined
// without waiting; an unfinished one is waited for when it is let go.
class BackgroundTask {
public:
    template <class Work>
    explicit BackgroundTask(Work work) : done_(std::make_shared<std::atomic<bool>>(false))
    {
        thread_ = std::thread([work = std::move(work), done = done_]() mutable {
            work();
            done->store(true);
        });
    }
    BackgroundTask(BackgroundTask&&) noexcept = default;
    BackgroundTask& operator=(BackgroundTask&& other) noexcept
    {
        Join();
        done_ = std::move(other.done_);
        thread_ = std::move(other.thread_);
        return *this;
    }
    ~BackgroundTask() { Join(); }
    bool Done() const { return done_->load(); }

private:
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    std::shared_ptr<std::atomic<bool>> done_;
    std::thread thread_;
};

// The flushes running on threads of their own, by file. Each is waited for by its file's next
// Flush, by FinishBackgroundFlush, by the next start once it is done, or at exit.
class BackgroundFlushes {
public:
    void Start(const fs::path& file)
    {
        std::lock_guard lock(mutex_);
        std::erase_if(running_, [](const auto& item) { return item.second.Done(); });
        if (!running_.contains(file))
            running_.emplace(file, BackgroundTask([file] { (void)platform::FlushFileAside(file); }));
    }

    void Finish(const fs::path& file)
    {
        std::unique_lock lock(mutex_);
        auto node = running_.extract(file);
        lock.unlock();
        node = {}; // its task is waited for here, outside the lock
    }

private:
    std::mutex mutex_;
    std::map<fs::path, BackgroundTask> running_;
};

BackgroundFlushes& Background()
{
    static BackgroundFlushes flushes;
    return flushes;
}

// Closes removed and replaced files on threads of their own (platform::HoldForRemoval), so
// that freeing their blocks is not waited for; each is waited for by the next start once it is
// done, or at exit.
class BackgroundReleases {
public:
    void Start(platform::HeldFile held)
    {
        std::lock_guard lock(mutex_);
        std::erase_if(running_, [](const BackgroundTask& release) { return release.Done(); });
        running_.emplace_back([closing = std::move(held)]() mutable { const platform::HeldFile last = std::move(closing); });
    }

private:
    std::mutex mutex_;
    std::vector<BackgroundTask> running_;
};

void ReleaseInBackground(platform::HeldFile held) noexcept
{
    if (!held.holds())
        return;
    static BackgroundReleases releases;
    try {
        releases.Start(std::move(held));
    } catch (...) {
        // No thread: the file closes here, and this caller waits for its blocks to be freed.
    }
}

// Runs one step (its fault point included) again while it is refused for a reason that passes
// by itself, with growing waits within its patience; then lets the last failure through,
// marked as still refused.
template <class Step>
auto Retrying(const fs::path& target, Step step, Patience patience = Patience::Step, bool removingFolder = false)
{
    Retry retry(patience);
    for (;;) {
        try {
            return step();
        } catch (const FileError& error) {
            if (!platform::IsPassingRefusal(error.code(), target, removingFolder))
                throw;
            // A folder still not empty after every wait most likely holds a file of the user's.
            if (!retry.WaitAgain())
                throw FileError(error.code(), error.what(), error.code() != std::errc::directory_not_empty);
        }
    }
}

} // namespace

std::string Display(const fs::path& path)
{
    const auto u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

fs::path PathFromUtf8(std::string_view text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

void SetFaultHook(FaultHook hook)
{
    Hook() = std::move(hook);
}

void FaultPoint(std::string_view operation, const fs::path& path)
{
    if (Hook())
        Hook()(operation, path);
}

bool FileExists(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::ifstream OpenForReading(const fs::path& path)
{
    return Retrying(path, [&] {
        FaultPoint("open-read", path);
        errno = 0;
        std::ifstream in(path, std::ios::binary);
        if (!in.is_open())
            Fail("Cannot open for reading", path, LastError());
        return in;
    });
}

std::ofstream OpenForWriting(const fs::path& path)
{
    return Retrying(path, [&] {
        FaultPoint("open-write", path);
        errno = 0;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out.is_open())
            Fail("Cannot open for writing", path, LastError());
        return out;
    });
}

void CheckRead(const std::istream& in, const fs::path& path)
{
    FaultPoint("read", path);
    if (in.bad() || (in.fail() && !in.eof()))
        Fail("Cannot read", path, LastError());
}

void CheckWrite(const std::ostream& out, const fs::path& path)
{
    FaultPoint("write", path);
    if (!out.good())
        Fail("Cannot write", path, LastError());
}

void Close(std::ofstream& out, const fs::path& path)
{
    FaultPoint("close", path);
    errno = 0;
    out.flush();
    const bool flushed = out.good();
    out.close();
    if (!flushed || out.fail())
        Fail("Cannot finish writing", path, LastError());
}

void CopyReplacing(const fs::path& from, const fs::path& to)
{
    Retrying(to, [&] {
        FaultPoint("copy", to);
        if (const auto ec = platform::CopyReplacing(from, to))
            throw FileError(ec, "Cannot copy '" + Display(from) + "' to '" + Display(to) + "': " + ec.message());
    });
}

void RenameReplacing(const fs::path& from, const fs::path& to, Patience patience)
{
    Retrying(
        to,
        [&] {
            FaultPoint("rename", to);
            platform::HeldFile replaced = platform::HoldForRemoval(to);
            auto ec = platform::MoveReplacing(from, to);
            if (ec && replaced.holds()) {
                // A file system that will not replace an open file (some network shares): as before.
                { const platform::HeldFile released = std::move(replaced); }
                ec = platform::MoveReplacing(from, to);
            }
            if (ec)
                throw FileError(ec, "Cannot replace '" + Display(to) + "' with '" + Display(from) + "': " + ec.message());
            ReleaseInBackground(std::move(replaced));
        },
        patience);
}

void Flush(const fs::path& file)
{
    Background().Finish(file);
    Retrying(file, [&] {
        FaultPoint("flush", file);
        if (const auto ec = platform::FlushFile(file))
            Fail("Cannot flush to the disk", file, ec);
    });
}

void FlushFolder(const fs::path& folder)
{
    const fs::path where = folder.empty() ? fs::path(".") : folder;
    FaultPoint("flush-folder", where);
    if (const auto ec = platform::FlushFolder(where))
        Fail("Cannot flush to the disk the names in the folder", where, ec);
}

void FlushInBackground(const fs::path& file) noexcept
{
    try {
        FaultPoint("writeback", file);
        Background().Start(file);
    } catch (...) {
        // Failed, as a real fault would (or no thread could start): the flush does all the work.
    }
}

void FinishBackgroundFlush(const fs::path& file) noexcept
{
    Background().Finish(file);
}

void PutInPlace(const fs::path& temp, const fs::path& target, Patience patience)
{
    try {
        Flush(temp);
        RenameReplacing(temp, target, patience);
    } catch (...) {
        Discard(temp);
        throw;
    }
    FlushFolder(target.parent_path());
}

namespace {

fs::path CreateUniqueOnce(const fs::path& wanted, std::string_view companionSuffix)
{
    FaultPoint("create-new", wanted);
    auto stem = wanted;
    stem.replace_extension();
    for (int number = 1; number < 1000; ++number) { // ".999": kUniqueNumberBytes
        auto name = wanted;
        if (number > 1) {
            name = stem;
            name += "." + std::to_string(number);
            name += wanted.extension();
        }
        auto companion = name;
        companion += companionSuffix;
        std::error_code ec;
        if (!companionSuffix.empty() && fs::exists(fs::symlink_status(companion, ec)))
            continue;
        const auto error = platform::CreateNewFile(name);
        if (!error)
            return name;
        if (error != std::errc::file_exists)
            Fail("Cannot create", name, error);
    }
    Fail("Cannot create", wanted, std::errc::file_exists, "every name of its kind beside it is taken");
}

void RemoveOnce(const fs::path& path)
{
    FaultPoint("remove", path);
    platform::HeldFile removed = platform::HoldForRemoval(path);
    std::error_code ec;
    if (!fs::remove(path, ec) && !ec)
        ec = std::make_error_code(std::errc::no_such_file_or_directory);
    if (ec)
        Fail("Cannot delete", path, ec);
    ReleaseInBackground(std::move(removed));
}

void RemoveEmptyFolderOnce(const fs::path& path)
{
    FaultPoint("remove-folder", path);
    std::error_code ec;
    if (!fs::is_directory(path, ec))
        Fail("Cannot remove the folder", path, std::errc::not_a_directory, "it is not a folder");
    if (!fs::is_empty(path, ec) && !ec)
        Fail("Cannot remove the folder", path, std::errc::directory_not_empty, "it holds other files");
    platform::HeldFile removed = ec ? platform::HeldFile() : platform::HoldForRemoval(path);
    if (!ec)
        fs::remove(path, ec);
    if (ec)
        Fail("Cannot remove the folder", path, ec);
    ReleaseInBackground(std::move(removed));
}

void CreateFoldersOnce(const fs::path& path)
{
    FaultPoint("create-folders", path);
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec)
        Fail("Cannot create the folder", path, ec);
}

} // namespace

fs::path CreateUnique(const fs::path& wanted, std::string_view companionSuffix)
{
    return Retrying(wanted, [&] { return CreateUniqueOnce(wanted, companionSuffix); });
}

void Remove(const fs::path& path)
{
    Retrying(path, [&] { RemoveOnce(path); });
}

void Discard(const fs::path& path) noexcept
{
    try {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(path, ec)))
            Remove(path);
    } catch (...) {
        // Still held after every wait: it stays, and the next install takes it away.
    }
}

void RemoveEmptyFolder(const fs::path& path)
{
    Retrying(path, [&] { RemoveEmptyFolderOnce(path); }, Patience::Step, true);
}

void CreateFolders(const fs::path& path)
{
    Retrying(path, [&] { CreateFoldersOnce(path); });
}

std::uintmax_t FileSize(const fs::path& path)
{
    FaultPoint("size", path);
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec)
        Fail("Cannot read the size of", path, ec);
    return size;
}

namespace {

// False whenever either file cannot be read: the caller then replaces as usual.
bool SameContent(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    const auto size = fs::file_size(a, ec);
    if (ec || fs::file_size(b, ec) != size || ec)
        return false;
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    std::vector<char> x(64 * 1024), y(64 * 1024);
    while (first && second) {
        first.read(x.data(), static_cast<std::streamsize>(x.size()));
        second.read(y.data(), static_cast<std::streamsize>(y.size()));
        if (first.gcount() != second.gcount() ||
            !std::equal(x.begin(), x.begin() + first.gcount(), y.begin()))
            return false;
    }
    return first.eof() && second.eof();
}

} // namespace

void ReplaceAtomically(const fs::path& target, const fs::path& temp,
                       const std::function<void(std::ofstream&)>& write)
{
    try {
        auto out = OpenForWriting(temp);
        write(out);
        CheckWrite(out, temp);
        Close(out, temp);
        // A file rewritten with what it already holds keeps its time: the map entries added
        // from it then come out byte for byte the same (the archive records each file's time),
        // so installing the same map again leaves it exactly as large as before.
        if (SameContent(temp, target)) {
            Remove(temp);
            return;
        }
        PutInPlace(temp, target);
    } catch (...) {
        Discard(temp);
        throw;
    }
}

} // namespace vornak::fileops
