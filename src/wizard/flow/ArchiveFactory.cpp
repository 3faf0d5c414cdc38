#include "wizard/flow/ArchiveFactory.h"

#include "archive/StormMapArchive.h"
#include "install/AppPaths.h"

namespace vornak::wizard {

std::unique_ptr<MapArchive> MakeMapArchive(const std::filesystem::path& appDir)
{
    return std::make_unique<StormMapArchive>(
        std::vector<std::filesystem::path>{AppPath(appDir, "\\Data\\listw3m.txt")});
}

} // namespace vornak::wizard
