#pragma once

#include <filesystem>

namespace vornak {
class MapArchive;
}

namespace vornak::wizard {

class MessageBoxes;
class MapFileDialog;
class ProgramEnd;

// What the window works with besides its own controls. Tests put doubles in every slot.
struct WizardServices {
    std::filesystem::path appDir; // the folder that holds the program, Data/ and banner.gif
    MessageBoxes& boxes;
    MapFileDialog& fileDialog;
    ProgramEnd& programEnd;
    MapArchive& archive;
};

} // namespace vornak::wizard
