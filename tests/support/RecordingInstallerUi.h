#pragma once

#include "install/InstallerUi.h"

#include <string>
#include <vector>

namespace vornak::test {

// Records what the install shows, in order: "busy", "tileset", "required: <message>",
// "finished", "unload".
class RecordingInstallerUi : public InstallerUi {
public:
    std::vector<std::string> events;

    void ShowBusyPointer() override { events.push_back("busy"); }
    void WarnTilesetProblem() override { events.push_back("tileset"); }
    void ShowRequiredFile(const std::string& message) override { events.push_back("required: " + message); }
    void ShowFinishedPage() override { events.push_back("finished"); }
    void Unload() override { events.push_back("unload"); }
};

} // namespace vornak::test
