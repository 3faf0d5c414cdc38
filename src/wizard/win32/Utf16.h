#pragma once

#include <string>
#include <string_view>

// The program keeps its texts in UTF-8; Windows takes and gives UTF-16.
namespace vornak::wizard::win32 {

std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

} // namespace vornak::wizard::win32
