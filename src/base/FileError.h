#pragma once

#include <string>
#include <system_error>

namespace vornak {

// A file operation that failed: what() names the operation, the file and the reason, and
// code() holds the system's own error (errno, or a Windows error on Windows). stillRefused()
// tells a refusal that would have passed by itself but outlasted every wait: another program
// kept the file.
class FileError : public std::system_error {
public:
    FileError(std::error_code code, const std::string& text, bool stillRefused = false)
        : std::system_error(code, text)
        , text_(text)
        , stillRefused_(stillRefused)
    {
    }
    // std::system_error appends the code's message to what(); the text already says why.
    const char* what() const noexcept override { return text_.c_str(); }
    bool stillRefused() const { return stillRefused_; }

private:
    std::string text_;
    bool stillRefused_ = false;
};

} // namespace vornak
