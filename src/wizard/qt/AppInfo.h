#pragma once

#include "Version.h"

namespace vornak::wizard {

// The program file's version record; the same values serve as the application's metadata.
struct AppInfo {
    static constexpr const char* kProductName = "daVEVEvevovevi";
    static constexpr const char* kInternalName = "Zaradez_ARAze";
    static constexpr const char* kOriginalFilename = "Zaradez_ARAze.exe";
    static constexpr const char* kVersionText = "1.00";
    static constexpr const char* kNumericVersion = VORNAK_VERSION_TEXT;
};

// Sets the application's name, version and display name from AppInfo.
void ApplyAppInfo();

} // namespace vornak::wizard
