#include "PrivateMounts.h"

#include "TestFiles.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vornak::test {
namespace fs = std::filesystem;

namespace {

std::string Failed(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// Returns empty when the calling process now has mounts of its own, else why not. Only
// root may mount; elsewhere the tests skip.
std::string EnterPrivateMountNamespace()
{
    if (geteuid() != 0)
        return "not root";
    if (unshare(CLONE_NEWNS) != 0)
        return Failed("unshare(CLONE_NEWNS) failed");
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return Failed("cannot make the mounts private");
    return {};
}

} // namespace

IsolatedRun RunWithPrivateMounts(const std::function<std::string()>& body)
{
    TempDir exchange;
    const auto reportFile = exchange / "report";
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        int code = 77;
        std::string report = EnterPrivateMountNamespace();
        if (report.empty()) {
            try {
                report = body();
                code = 0;
            } catch (const std::exception& error) {
                report = error.what();
                code = 1;
            }
        }
        WriteText(reportFile, report);
        _exit(code); // no test framework teardown in the child
    }
    int status = 0;
    waitpid(pid, &status, 0);
    IsolatedRun run;
    run.report = fs::exists(reportFile) ? ReadText(reportFile) : "";
    run.skipped = WIFEXITED(status) && WEXITSTATUS(status) == 77;
    run.failed = !run.skipped && !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    if (WIFSIGNALED(status))
        run.report += "\nthe child died of signal " + std::to_string(WTERMSIG(status));
    return run;
}

void MountTmpfs(const fs::path& at, std::size_t bytes)
{
    fs::create_directories(at);
    if (mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) != 0)
        throw std::runtime_error(Failed("cannot mount a tmpfs on " + at.string()));
}

void Unmount(const fs::path& at)
{
    if (umount2(at.c_str(), MNT_DETACH) != 0)
        throw std::runtime_error(Failed("cannot unmount " + at.string()));
}

void BindReadOnly(const fs::path& folder)
{
    if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        throw std::runtime_error(Failed("cannot make " + folder.string() + " read-only"));
}

} // namespace vornak::test
