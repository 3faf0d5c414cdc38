#pragma once

namespace vornak {

// The game's names and script texts are single-byte text compared without regard to case for
// the letters a to z only: a locale's own case rules must never apply.
constexpr char ToUpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

} // namespace vornak
