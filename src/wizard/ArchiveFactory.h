#pragma once

#include "archive/MapArchive.h"

#include <memory>

namespace vornak::wizard {

// The archive the program installs with.
std::unique_ptr<MapArchive> MakeMapArchive();

} // namespace vornak::wizard
