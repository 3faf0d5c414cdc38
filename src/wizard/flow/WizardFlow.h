#pragma once

#include "archive/MapArchive.h"
#include "install/InstallerUi.h"
#include "wizard/flow/WizardView.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace vornak::wizard {

// The wizard's behaviour, whatever draws it: start-up, the pages and the buttons that move
// between them, browse and backup, and the moment the install runs. A front-end forwards its
// events here and carries out what the flow asks of its WizardView.
//
// Every event runs to its end or fails: a failure nobody foresaw is shown with its
// description and ends the program. After the end no event does anything.
class WizardFlow : public InstallerUi {
public:
    WizardFlow(WizardView& view, std::filesystem::path appDir, MapArchive& archive);

    // Start-up: requires the list file and shows the banner. False when the program has
    // been ended instead; the window must then never be shown.
    bool Start();
    // A button pressed, by its designed name. No press is refused: disabled buttons are the
    // front-end's to hold back.
    void Click(std::string_view control);
    // The user changed Root's text.
    void RootChanged();
    // Escape: presses the cancel button (Exit) while it is enabled.
    void Escape();
    void CloseBox();

    std::int16_t CurrentStep() const { return currentStep_; }

    // InstallerUi
    void ShowBusyPointer() override;
    void ShowRequiredFile(const std::string& message) override;
    void ShowFinishedPage() override;
    void KeepResponsive() override;
    void Unload() override;
    void WarnTilesetProblem() override;

private:
    template <class Handler>
    void Guarded(Handler handler);
    void Fail(const std::string& description);
    void FollowRoot();
    // The map the install and the backup work on: Root's text without the quotes of a pasted path.
    std::string MapPath() const;
    void NextPass();
    void Previous();
    void Browse();
    void Backup();
    void Front(int page);
    void SetEnabled(std::string_view control, bool enabled);
    bool IsEnabled(std::string_view control) const;
    void SetBusy(bool busy);
    void ShowBox(std::string_view title, std::string_view text, MessageIcon icon);

    WizardView& view_;
    std::filesystem::path appDir_;
    MapArchive& archive_;
    std::int16_t currentStep_ = 0;
    std::map<std::string, bool, std::less<>> enabled_;
    ChosenFile lastChosen_;
    bool busy_ = false;
    bool ended_ = false;
};

} // namespace vornak::wizard
