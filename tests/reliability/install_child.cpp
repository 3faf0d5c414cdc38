// Runs one install and exits: the kill test starts it and kills it at chosen moments.
// Usage: install_child <program folder> <map>
// Before each file or archive operation it writes the operation's name, the file's name and
// a newline to
// standard output, unbuffered, so the parent learns how far a killed install had come.
// Exit status: 0 installed, 1 failed (description on standard error), 2 a required file missing.

#include "InstallScene.h"
#include "install/FileOps.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: install_child <program folder> <map>\n";
        return 64;
    }
    vornak::fileops::SetFaultHook([](std::string_view operation, const std::filesystem::path& path) {
        std::string line(operation);
        line += ' ' + vornak::fileops::Display(path.filename()) + '\n';
        // Nothing may buffer: the process dies without warning.
        [[maybe_unused]] const auto written = write(STDOUT_FILENO, line.data(), line.size());
    });
    const auto outcome = vornak::test::RunInstall(vornak::fileops::PathFromUtf8(argv[1]),
                                                  vornak::fileops::PathFromUtf8(argv[2]));
    if (outcome.installed)
        return 0;
    if (outcome.programEnded)
        return 2;
    std::cerr << outcome.error << '\n';
    return 1;
}
