#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vornak {

inline constexpr std::string_view kCameraCall = "Call SetCameraBounds";

// Case-insensitive substring test: true when busco occurs in texto. Only the letters
// a to z are folded; every other byte is compared as it is.
bool Encuentro(std::string_view texto, std::string_view busco);

// The camera line of a map script: the first line holding kCameraCall inside
// `function main`, else the first such line anywhere, else empty. Bytes as read,
// without the line end.
std::string FindCameraLine(const std::filesystem::path& script);

// Rewrites the template script with `cameraLine` in place of every line holding
// kCameraCall. The new text goes through `workingCopy` and replaces the template in one
// step, so the template is never empty or half written; the working copy is gone after.
void ReplaceCameraLines(const std::filesystem::path& templateScript, const std::filesystem::path& workingCopy,
                        const std::string& cameraLine);

} // namespace vornak
