#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Runs a child process and reports what the benchmark needs of it. POSIX only: the
// benchmark runs on the build machine, never on users' machines.
namespace vornak::bench {

struct ChildOutcome {
    int exitCode = -1;        // -1 when the child did not exit normally
    double wallMs = 0;        // from spawn to reaped
    double cpuMs = 0;         // user and system time of the child
    std::string output;       // what it wrote to standard output
};

// `program` is looked up on PATH when it holds no slash. Standard error passes through.
ChildOutcome RunChild(const std::vector<std::string>& argv, const std::filesystem::path& workingDir = {});

} // namespace vornak::bench
