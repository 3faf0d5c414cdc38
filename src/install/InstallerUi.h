#pragma once

#include <string>

namespace vornak {

// The one warning of the map info transfer. The install goes on after it returns.
class TilesetWarner {
public:
    virtual ~TilesetWarner() = default;
    // Title "Tileset Problem", stop icon, OK only; returns when the user has closed it.
    virtual void WarnTilesetProblem() = 0;
};

// What the installation needs from the window. Keeping it this small lets the whole
// install run in tests without a window.
class InstallerUi : public TilesetWarner {
public:
    // Application-wide busy pointer; the caller of the install resets it.
    virtual void ShowBusyPointer() = 0;
    // Title "Required File", stop icon, OK only; returns when the user has closed it.
    virtual void ShowRequiredFile(const std::string& message) = 0;
    // Brings the finished page to the front and enables Next.
    virtual void ShowFinishedPage() = 0;
    // Called every tenth of a second or so while a step waits for another program to let go of
    // a file (up to about 10 s): a window keeps painting and keeps its busy pointer here. The
    // default does nothing.
    virtual void KeepResponsive() {}
    // Ends the program. The window never returns from it; a test double that does
    // return gets an install that stops right there.
    virtual void Unload() = 0;
};

} // namespace vornak
