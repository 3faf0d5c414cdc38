#include "wizard/flow/ArchiveFactory.h"
#include "wizard/flow/WizardDesign.h"
#include "wizard/win32/Utf16.h"
#include "wizard/win32/Win32Form.h"

#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <filesystem>
#include <string>

namespace {

std::filesystem::path ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        path.resize(path.size() * 2); // a longer path than MAX_PATH: ask again with room
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    using namespace vornak::wizard;
    // Loads the common controls the manifest asks for, so buttons and boxes take the system's look.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    try {
        const std::filesystem::path appDir = ProgramFolder();
        const auto archive = MakeMapArchive(appDir);
        win32::Win32Form form(instance, appDir, *archive);
        if (!form.Load())
            return 0;
        form.Show(show);
        return form.Run();
    } catch (const std::exception& error) {
        // Only a window that cannot be made gets here; the flow reports everything after that.
        MessageBoxW(nullptr, win32::Utf16(error.what()).c_str(), win32::Utf16(design::kCaption).c_str(),
                    MB_OK | MB_ICONERROR);
        return 1;
    }
}
