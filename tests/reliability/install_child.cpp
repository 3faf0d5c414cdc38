// Runs one install and exits: the kill test starts it and kills it at chosen moments.
// Usage: install_child <program folder> <map>. Exit status 0 when installed, else 1 with the
// failure's description on standard error.

#include "InstallScene.h"
#include "base/FileOps.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: install_child <program folder> <map>\n";
        return 64;
    }
    const auto outcome = vornak::test::RunInstall(vornak::fileops::PathFromUtf8(argv[1]),
                                                  vornak::fileops::PathFromUtf8(argv[2]));
    if (!outcome.installed)
        std::cerr << "install_child: " << outcome.error << '\n';
    return outcome.installed ? 0 : 1;
}
