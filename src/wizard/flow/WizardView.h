#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vornak::wizard {

enum class MessageIcon { None, Critical };

// A message box of this program: always a single OK button.
struct MessageBoxRequest {
    std::string title;
    std::string text;
    MessageIcon icon = MessageIcon::None;
};

// What the open-file dialog reports for a chosen file.
struct ChosenFile {
    std::string path;  // full path, UTF-8
    std::string title; // the file's name as the dialog gives it
};

// What the wizard's flow asks of a front-end. Controls are named as in WizardDesign; texts
// are UTF-8. Every call but EndProgram returns once done; the modal ones when the user has
// answered.
class WizardView {
public:
    virtual ~WizardView() = default;

    virtual void BringToFront(int page) = 0;
    virtual void SetEnabled(std::string_view control, bool enabled) = 0;
    // A caption as designed: "&" marks an access key. Setting Root's text is not reported
    // back as a change; the flow applies it itself.
    virtual void SetText(std::string_view control, const std::string& text) = 0;
    virtual std::string RootText() const = 0;
    virtual void FocusRoot() = 0;
    // Shows the picture in the banner band; false when it cannot be loaded as a picture.
    virtual bool ShowBanner(const std::filesystem::path& picture) = 0;
    // The application-wide busy pointer; the flow never asks twice for the same state.
    virtual void SetBusyPointer(bool busy) = 0;
    // Runs the window's pending events once, a waiting button press included.
    virtual void ProcessPendingEvents() = 0;
    // Paints what waits to be painted while the install waits for another program, so that the
    // window stays drawn and the system does not call it not responding; presses and keys wait.
    virtual void PaintPending() = 0;
    virtual void ShowMessage(const MessageBoxRequest& box) = 0;
    // The open-file dialog; filter in "description|pattern|" form, opened at the file `current`,
    // else in `folder`, else where the platform opens it. Nothing when the user cancels.
    virtual std::optional<ChosenFile> ChooseFile(const std::string& filter, const std::string& current,
                                                 const std::filesystem::path& folder) = 0;
    // The user's Documents folder, wherever the user or a sync client moved it; empty if none.
    virtual std::filesystem::path DocumentsFolder() const = 0;
    // Ends the process at once. A test double returns; the flow then does nothing more.
    virtual void EndProgram(int exitCode) = 0;
};

} // namespace vornak::wizard
