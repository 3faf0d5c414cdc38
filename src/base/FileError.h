#pragma once

#include <string>
#include <system_error>

namespace vornak {

// A file operation that failed: what() names the operation, the file and the reason, and
// code() holds the system's own error (errno, or a Windows error on Windows).
class FileError : public std::system_error {
public:
    FileError(std::error_code code, const std::string& text)
        : std::system_error(code, text)
        , text_(text)
    {
    }
    // std::system_error appends the code's message to what(); the text already says why.
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

} // namespace vornak
