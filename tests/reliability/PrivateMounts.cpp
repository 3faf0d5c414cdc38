#include "PrivateMounts.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vornak::test {
namespace fs = std::filesystem;

namespace {

std::string Reason()
{
    return std::strerror(errno);
}

bool WriteProcFile(const char* path, const std::string& text)
{
    std::ofstream out(path);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

// Returns empty when the calling process now has mounts of its own, else why not.
std::string EnterPrivateMountNamespace()
{
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (uid == 0) {
        if (unshare(CLONE_NEWNS) != 0)
            return "unshare(CLONE_NEWNS) as root failed: " + Reason();
    } else {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return "neither root nor allowed user namespaces: " + Reason();
        if (!WriteProcFile("/proc/self/setgroups", "deny") ||
            !WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return "cannot map the user into its namespace";
    }
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return "cannot make the mounts private: " + Reason();
    return {};
}

void WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const auto n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

IsolatedRun RunWithPrivateMounts(const std::function<std::string()>& body)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(fds[0]);
        int code = 0;
        std::string report;
        if (auto why = EnterPrivateMountNamespace(); !why.empty()) {
            code = 77;
            report = why;
        } else {
            try {
                report = body();
            } catch (const std::exception& error) {
                code = 1;
                report = error.what();
            }
        }
        WriteAll(fds[1], report);
        close(fds[1]);
        _exit(code); // no test framework teardown in the child
    }
    close(fds[1]);
    IsolatedRun run;
    std::array<char, 4096> buffer{};
    for (ssize_t got; (got = read(fds[0], buffer.data(), buffer.size())) > 0;)
        run.report.append(buffer.data(), static_cast<std::size_t>(got));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) {
        run.failed = true;
        run.report += "\nthe child died of signal " + std::to_string(WTERMSIG(status));
    } else if (WEXITSTATUS(status) == 77) {
        run.skipped = true;
    } else if (WEXITSTATUS(status) != 0) {
        run.failed = true;
    }
    return run;
}

void MountTmpfs(const fs::path& at, std::size_t bytes)
{
    fs::create_directories(at);
    const std::string options = "size=" + std::to_string(bytes);
    if (mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) != 0)
        throw std::runtime_error("cannot mount a tmpfs on " + at.string() + ": " + Reason());
}

void Unmount(const fs::path& at)
{
    if (umount2(at.c_str(), MNT_DETACH) != 0)
        throw std::runtime_error("cannot unmount " + at.string() + ": " + Reason());
}

void BindReadOnly(const fs::path& folder)
{
    if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        throw std::runtime_error("cannot make " + folder.string() + " read-only: " + Reason());
}

} // namespace vornak::test
