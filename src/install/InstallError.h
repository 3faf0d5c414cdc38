#pragma once

#include <string>
#include <system_error>

namespace vornak {

// A failure the installation cannot go on from. what() is shown to the user as it stands, so
// it says what went wrong with which file; code() keeps the cause's code where one layer's
// failure is told in the install's own words (a protected map), else it is empty.
class InstallError : public std::system_error {
public:
    explicit InstallError(const std::string& text, std::error_code cause = {})
        : std::system_error(cause, text)
        , text_(text)
    {
    }
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

} // namespace vornak
