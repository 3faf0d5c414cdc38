#pragma once

namespace vornak::wizard {

// Ends the program at once. The real one never returns; a test double does, and the
// window then returns from the handler that called it without doing anything more.
class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    virtual void End(int exitCode) = 0;
};

} // namespace vornak::wizard
