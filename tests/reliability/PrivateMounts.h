#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace vornak::test {

struct IsolatedRun {
    bool skipped = false; // no mount namespace could be had here; `report` says why
    bool failed = false;  // the body threw or the child died; `report` says how
    std::string report;   // what the body returned
};

// Runs `body` in a child process with a mount namespace of its own (as root), so that what
// it mounts vanishes with it and the machine's mounts stay as they were. The body reports through its return value and throws to fail.
IsolatedRun RunWithPrivateMounts(const std::function<std::string()>& body);

// For use inside such a body. They throw std::runtime_error naming the folder.
void MountTmpfs(const std::filesystem::path& at, std::size_t bytes);
void Unmount(const std::filesystem::path& at);
// Makes a folder read-only for everyone, root included.
void BindReadOnly(const std::filesystem::path& folder);

} // namespace vornak::test
