#pragma once

#include "archive/MapArchive.h"
#include "wizard/qt/Form1.h"

#include <filesystem>
#include <memory>

namespace vornak::wizard {

// The program as main() starts it: application settings, the real archive and the window over
// it. Whatever else starts the window (the start-up benchmark) goes through here too, so it
// measures the program's own start.
class WizardProgram {
public:
    // Needs the QApplication to exist; sets its metadata, font and icon.
    explicit WizardProgram(const std::filesystem::path& appDir);

    Form1& window() { return window_; }

private:
    std::unique_ptr<MapArchive> archive_;
    Form1 window_;
};

} // namespace vornak::wizard
