#pragma once

#include <stdexcept>
#include <string>

namespace vornak {

// A failure the installation cannot go on from. what() is shown to the user as it
// stands, so it says what went wrong with which file.
class InstallError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace vornak
