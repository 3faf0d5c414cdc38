// Kills an install (SIGKILL, nothing runs after it) at moments spread over its whole length.
// Afterwards the map must be its old bytes or a complete installed map, the templates whole,
// and the next install must work and leave nothing behind.

#include "InstallScene.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vornak::test {
namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct ChildRun {
    bool killed = false;
    int exitCode = -1;
    std::vector<std::string> markers; // operations the child had reached, in order
    Clock::duration lifetime{};
};

// Starts install_child; kills it `killAfter` after the start unless it ends first.
ChildRun RunChild(const InstallScene& scene, std::optional<Clock::duration> killAfter)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    const std::string program = VORNAK_INSTALL_CHILD;
    const std::string appDir = scene.appDir().string();
    const std::string map = scene.mapPath().string();
    std::array<char*, 4> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(appDir.c_str()),
                                 const_cast<char*>(map.c_str()), nullptr};
    pid_t pid = 0;
    const auto start = Clock::now();
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start " + program);
    }

    ChildRun run;
    if (killAfter) {
        std::this_thread::sleep_until(start + *killAfter);
        kill(pid, SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.lifetime = Clock::now() - start;
    run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;

    std::string text;
    std::array<char, 4096> buffer{};
    for (ssize_t got; (got = read(pipeFds[0], buffer.data(), buffer.size())) > 0;)
        text.append(buffer.data(), static_cast<std::size_t>(got));
    close(pipeFds[0]);
    for (std::size_t begin = 0, end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1)
        run.markers.push_back(text.substr(begin, end - begin));
    return run;
}

// How far a killed install had come, by the last operation it had begun.
std::string Phase(const ChildRun& run, const InstallScene& scene)
{
    const auto& m = run.markers;
    const auto mapName = scene.mapPath().filename().string();
    const auto staged = std::find(m.begin(), m.end(), "copy " + mapName + ".vqinstall");
    const auto replace = std::find(staged, m.end(), "rename " + mapName);
    if (m.empty())
        return "before its first file operation";
    if (staged == m.end())
        return "reading the map, rewriting the templates";
    if (replace == m.end())
        return "changing and checking the staged copy";
    return "replacing the map";
}

std::size_t KillCount()
{
    // The sanitizer build runs fewer: each install is several times slower there.
    if (const char* text = std::getenv("VORNAK_KILLS"))
        return static_cast<std::size_t>(std::strtoul(text, nullptr, 10));
    return 230;
}

TEST(KilledInstall, MapIsOldOrCompletelyInstalledAfterEveryKill)
{
    const std::size_t wanted = KillCount();
    InstallScene scene(TypicalMapBytes(5 * 1024 * 1024)); // a map of about 4 MB
    const MapEntries before = ReadAllEntries(scene.mapPath(), scene.listFile());

    // How long one whole install takes, child start included.
    std::vector<Clock::duration> lifetimes;
    for (int i = 0; i < 4; ++i) {
        scene.Reset();
        const auto run = RunChild(scene, std::nullopt);
        ASSERT_EQ(run.exitCode, 0) << "the install does not work in the child";
        if (i > 0) // the first run warms caches
            lifetimes.push_back(run.lifetime);
    }
    ASSERT_EQ(ExplainIfNotInstalled(scene.mapPath(), before, scene.dataDir()), "");
    const FolderState completed = CaptureFolder(scene.dataDir());
    std::sort(lifetimes.begin(), lifetimes.end());
    const auto length = lifetimes[lifetimes.size() / 2];
    std::cout << "[ figures  ] one install in a child: "
              << std::chrono::duration_cast<std::chrono::milliseconds>(length).count() << " ms, map of "
              << scene.mapBytes().size() << " bytes\n";

    std::map<std::string, std::size_t> phases;
    std::size_t killed = 0, oldMap = 0, newMap = 0, attempts = 0;
    std::mt19937 random(7);
    while (killed < wanted && attempts < wanted * 2) {
        // Evenly spread over the install first; random moments make up for kills that came too late.
        const double share = attempts < wanted ? (attempts + 0.5) / static_cast<double>(wanted)
                                               : std::uniform_real_distribution<double>(0.0, 0.95)(random);
        ++attempts;
        const auto delay = std::chrono::duration_cast<Clock::duration>(length * share);
        scene.Reset();
        const auto run = RunChild(scene, delay);
        if (!run.killed) {
            ASSERT_EQ(run.exitCode, 0);
            continue;
        }
        ++killed;
        ++phases[Phase(run, scene)];
        SCOPED_TRACE("kill " + std::to_string(killed) + " while " + Phase(run, scene) +
                     (run.markers.empty() ? std::string() : " (last: " + run.markers.back() + ")"));

        if (ReadBytes(scene.mapPath()) == scene.mapBytes()) {
            ++oldMap;
        } else {
            ++newMap;
            ASSERT_EQ(ExplainIfNotInstalled(scene.mapPath(), before, scene.dataDir()), "")
                << "the killed install left a damaged map";
        }
        for (const auto& [name, content] : scene.dataAsMade()) {
            const auto now = ReadBytes(scene.dataDir() / name);
            EXPECT_TRUE(now == content || now == completed.at(name)) << name << " is partly written";
        }

        const auto next = scene.Install();
        ASSERT_TRUE(next.installed) << "the install after a kill failed: " << next.error;
        EXPECT_FALSE(fs::exists(scene.stagedPath()));
        ASSERT_EQ(DescribeDifference(completed, CaptureFolder(scene.dataDir())), "");
        ASSERT_EQ(CaptureFolder(scene.mapPath().parent_path()).size(), 1u);
    }

    std::cout << "[ figures  ] " << killed << " kills: map old " << oldMap << ", map completely installed "
              << newMap << ", damaged 0\n";
    for (const auto& [phase, count] : phases)
        std::cout << "[ figures  ]   killed while " << phase << ": " << count << "\n";
    RecordProperty("kills", static_cast<int>(killed));
    EXPECT_GE(killed, wanted);
    // Kills must have reached the part where the map is really at stake.
    EXPECT_GT(phases["changing and checking the staged copy"], 0u);
}

} // namespace
} // namespace vornak::test
