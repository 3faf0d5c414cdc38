#pragma once

#include "wizard/ProgramEnd.h"

namespace vornak::wizard {

// The real end: no event loop runs again and no statement of the caller runs after it.
class ProcessEnd : public ProgramEnd {
public:
    [[noreturn]] void End(int exitCode) override;
};

} // namespace vornak::wizard
