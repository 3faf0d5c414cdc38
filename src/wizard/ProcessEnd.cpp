#include "wizard/ProcessEnd.h"

#include <cstdio>
#include <cstdlib>

namespace vornak::wizard {

void ProcessEnd::End(int exitCode)
{
    std::fflush(nullptr);
    // Leaving through exit() rather than the event loop: the handler that asked for the end
    // must not go on, and nothing of the window is needed any more.
    std::exit(exitCode);
}

} // namespace vornak::wizard
