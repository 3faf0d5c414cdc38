// Runs one install and exits: the kill test starts it and kills it at chosen moments, the
// Windows journeys run it beside a program that holds files.
// Usage: install_child <program folder> <map> [backup]. With "backup", the map's backup is made
// first. Exit status 0 when installed, else 1 with the failure's description on standard error.

#include "InstallScene.h"
#include "base/FileOps.h"

#include <iostream>
#include <string_view>

int main(int argc, char** argv)
{
    if (argc != 3 && !(argc == 4 && std::string_view(argv[3]) == "backup")) {
        std::cerr << "usage: install_child <program folder> <map> [backup]\n";
        return 64;
    }
    const auto outcome = vornak::test::RunInstall(vornak::fileops::PathFromUtf8(argv[1]),
                                                  vornak::fileops::PathFromUtf8(argv[2]), argc == 4);
    if (!outcome.installed)
        std::cerr << "install_child: " << outcome.error << '\n';
    return outcome.installed ? 0 : 1;
}
