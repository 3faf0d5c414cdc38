// Installs onto file systems with too little room, and into folders that cannot be written
// even by root. These need mounts of their own, had in a child process with a mount namespace
// of its own (as root), so that they vanish with it; elsewhere the test skips and says so.

#include "InstallScene.h"
#include "MapBuilder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <set>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

constexpr std::size_t kPage = 4096;

std::size_t Pages(std::size_t bytes)
{
    return (bytes + kPage - 1) / kPage * kPage;
}

void Check(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error(what + ": " + std::strerror(errno));
}

// Runs `body` in a child with mounts of its own; gives its report, or why it could not run
// (exit 77: skipped). The body reports through its return value and throws to fail.
std::pair<int, std::string> RunWithPrivateMounts(const std::function<std::string()>& body)
{
    TempDir exchange;
    const pid_t pid = fork();
    if (pid == 0) {
        int code = 77;
        std::string report = "not root";
        if (geteuid() == 0) {
            try {
                Check(unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0,
                      "no mounts of its own");
                code = 1;
                report = body();
                code = 0;
            } catch (const std::exception& error) {
                report = error.what();
            }
        }
        WriteText(exchange / "report", report);
        _exit(code); // no test framework teardown in the child
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const auto report = fs::exists(exchange / "report") ? ReadText(exchange / "report") : "the child died";
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 1, report};
}

void Unmount(const fs::path& at)
{
    Check(umount2(at.c_str(), MNT_DETACH) == 0, "cannot unmount " + at.string());
}

// Room to spare on a tmpfs, from none to more than an install needs (a staged copy and its
// compaction), with the map alone or the program and the map on the small disk; then a data
// folder and a map folder mounted read-only. Every install either completes or fails cleanly
// naming what failed, leaving map and templates whole.
TEST(FullDisk, InstallCompletesOrLosesNothing)
{
    // Its values differ from the templates', so that a full disk also meets their rewrites.
    const auto mapBytes = MapUnlikeTheTemplates(false, 256 * 1024).Build();
    InstallScene roomy(mapBytes);
    const MapEntries before = ReadAllEntries(roomy.mapPath(), roomy.listFile());
    ASSERT_TRUE(roomy.Install().installed);
    const FolderState completed = CaptureFolder(roomy.dataDir());
    std::size_t dataBytes = 0;
    for (const auto& [name, content] : roomy.dataAsMade())
        dataBytes += content ? Pages(content->size()) : 0;

    const auto [code, report] = RunWithPrivateMounts([&] {
        std::string report;
        const std::string temp = fs::temp_directory_path();
        for (const bool programToo : {false, true}) {
            TempDir outside;
            const auto disk = outside / "disk";
            fs::create_directories(disk);
            setenv("TMPDIR", programToo ? disk.c_str() : temp.c_str(), 1); // where the scenes are made
            std::size_t installs = 0, errors = 0;
            std::set<std::string> messages;
            const std::size_t top = 3 * Pages(mapBytes.size()) + 64 * kPage;
            std::vector<std::size_t> spare = {0, kPage, 2 * kPage, 4 * kPage, 8 * kPage};
            for (std::size_t step = 1; step <= 24; ++step)
                spare.push_back(Pages(top * step / 24));
            for (const auto room : spare) {
                const auto size = Pages(mapBytes.size()) + (programToo ? dataBytes : 0) + room;
                const auto options = "size=" + std::to_string(size);
                Check(mount("tmpfs", disk.c_str(), "tmpfs", 0, options.c_str()) == 0, "cannot mount a tmpfs");
                {
                    InstallScene scene(mapBytes, {"app", programToo ? "maps" : disk.string()});
                    const auto outcome = scene.Install();
                    if (const auto why = scene.Judge(outcome, before, completed); !why.empty())
                        throw std::runtime_error("with " + std::to_string(room) + " bytes to spare: " + why +
                                                 " after '" + outcome.error + "'");
                    ++(outcome.installed ? installs : errors);
                    if (!outcome.installed && messages.size() < 3)
                        messages.insert(outcome.error);
                }
                Unmount(disk);
            }
            if (!installs || !errors)
                throw std::runtime_error("every step installed, or none did: the sweep missed the edge");
            report += std::string(programToo ? "program and map" : "map alone") + " on a full disk: " +
                      std::to_string(installs) + " installed, " + std::to_string(errors) + " failed cleanly";
            for (const auto& message : messages)
                report += " | " + message;
            report += "\n";
            setenv("TMPDIR", temp.c_str(), 1);
        }
        for (const bool dataFolder : {true, false}) {
            InstallScene scene(mapBytes);
            const auto folder = dataFolder ? scene.dataDir() : scene.mapFolder();
            Check(mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                      mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0,
                  "cannot make " + folder.string() + " read-only");
            const auto outcome = scene.Install();
            Unmount(folder); // so that the scene's files can go
            const auto why = scene.Judge(outcome, {});
            const auto named = outcome.error.find(dataFolder ? "Data" : "maps") != std::string::npos;
            if (outcome.installed || !why.empty() || !named)
                throw std::runtime_error("no clean failure naming the folder: " + why + outcome.error);
            report += "read-only " + std::string(dataFolder ? "data" : "map") + " folder: " + outcome.error + "\n";
        }
        return report;
    });
    if (code == 77)
        GTEST_SKIP() << "no private mounts here (" << report << "): not tried";
    ASSERT_EQ(code, 0) << report;
    std::cout << "[ figures  ] " << report;
}

} // namespace
} // namespace vornak::test
