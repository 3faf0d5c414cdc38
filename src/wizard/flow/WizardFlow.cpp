#include "wizard/flow/WizardFlow.h"

#include "install/AppPaths.h"
#include "base/FileOps.h"
#include "install/InstallProcedure.h"
#include "install/InstallTexts.h"
#include "install/MapBackup.h"
#include "wizard/flow/WizardDesign.h"

#include <exception>
#include <limits>
#include <stdexcept>

namespace vornak::wizard {

namespace {

std::int16_t Stepped(std::int16_t step, int delta)
{
    const int next = step + delta;
    if (next < std::numeric_limits<std::int16_t>::min() || next > std::numeric_limits<std::int16_t>::max())
        throw std::overflow_error("Overflow: the step index left the range of a 16-bit integer.");
    return static_cast<std::int16_t>(next);
}

// The map path as typed or pasted: Explorer's "Copy as path" puts it in double quotes, which
// no Windows file name can hold, and a paste brings blanks along.
std::string TypedMapPath(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\r\n";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

} // namespace

WizardFlow::WizardFlow(WizardView& view, std::filesystem::path appDir, MapArchive& archive)
    : view_(view)
    , appDir_(std::move(appDir))
    , archive_(archive)
{
    for (const design::Control& control : design::Controls()) {
        if (control.kind == design::Kind::Button)
            enabled_.emplace(control.name, !(control.style & design::Disabled));
    }
}

template <class Handler>
void WizardFlow::Guarded(Handler handler)
{
    if (ended_)
        return;
    try {
        handler();
    } catch (const std::exception& error) {
        Fail(error.what());
    } catch (...) {
        Fail("An unexpected failure stopped the installer.");
    }
}

void WizardFlow::Fail(const std::string& description)
{
    SetBusy(false);
    ShowBox(design::kCaption, description, MessageIcon::Critical);
    if (ended_)
        return;
    ended_ = true;
    view_.EndProgram(1);
}

bool WizardFlow::Start()
{
    Guarded([this] {
        const std::filesystem::path mpqList = AppPath(appDir_, "\\Data\\listw3m.txt");
        const std::filesystem::path banner = AppPath(appDir_, "\\banner.gif");
        if (!fileops::FileExists(mpqList)) {
            ShowRequiredFile(std::string(texts::kMissingListFile));
            Unload();
            return;
        }
        if (fileops::FileExists(banner) && !view_.ShowBanner(banner)) {
            Fail("The picture '" + fileops::Display(banner) +
                 "' cannot be loaded: it is not a picture this program can show.");
            return;
        }
        currentStep_ = design::kWelcomePage;
        Front(design::kWelcomePage);
    });
    return !ended_;
}

void WizardFlow::Click(std::string_view control)
{
    Guarded([&] {
        if (control == "Command1" || control == "Command4") // Exit, Finish
            Unload();
        else if (control == "Command2")
            NextPass();
        else if (control == "Command3")
            Previous();
        else if (control == "Command5")
            Browse();
        else if (control == "Command6")
            Backup();
        else if (control == "Command7") // View Credits
            Front(design::kCreditsPage);
        else if (control == "Command8") // Close
            Front(design::kFinishedPage);
    });
}

void WizardFlow::RootChanged()
{
    Guarded([this] { FollowRoot(); });
}

void WizardFlow::FollowRoot()
{
    // Next only while there is a map path; the page does not matter.
    SetEnabled("Command2", !view_.RootText().empty());
}

void WizardFlow::Escape()
{
    if (IsEnabled(design::kCancelButton))
        Click(design::kCancelButton);
}

void WizardFlow::CloseBox()
{
    Guarded([this] { Unload(); });
}

void WizardFlow::NextPass()
{
    SetBusy(true);
    currentStep_ = Stepped(currentStep_, +1);
    Front(currentStep_);
    // The one yield: the new page is painted here, and a press already waiting runs now.
    view_.ProcessPendingEvents();
    if (ended_)
        return;
    // Read afresh from here on: a press handled during the yield may have moved it.
    SetEnabled("Command3", currentStep_ > 0);
    SetBusy(false);
    switch (currentStep_) {
    case design::kMapPage:
        view_.FocusRoot();
        FollowRoot();
        break;
    case design::kInstallingPage: {
        InstallProcedure procedure(appDir_, archive_, *this);
        if (procedure.Run(fileops::PathFromUtf8(MapPath())) == InstallResult::ProgramEnded || ended_)
            return;
        NextPass();
        if (ended_)
            return;
        break;
    }
    case design::kFinishedPage:
        SetEnabled("Command1", false);
        SetEnabled("Command3", false);
        SetEnabled("Command2", false);
        SetEnabled("Command4", true);
        break;
    default:
        break;
    }
    SetBusy(false);
}

void WizardFlow::Previous()
{
    currentStep_ = Stepped(currentStep_, -1);
    SetEnabled("Command3", currentStep_ >= 1);
    if (currentStep_ < 0)
        return;
    Front(currentStep_);
    SetEnabled("Command2", true);
    SetEnabled("Command4", false);
}

void WizardFlow::Browse()
{
    // With nothing chosen or typed yet, the dialog opens on the game's maps folder where the
    // user has one; afterwards on the map chosen last.
    std::filesystem::path folder;
    if (lastChosen_.path.empty() && view_.RootText().empty()) {
        const std::filesystem::path documents = view_.DocumentsFolder();
        std::error_code ec;
        if (!documents.empty() && std::filesystem::is_directory(documents / "Warcraft III" / "Maps", ec))
            folder = documents / "Warcraft III" / "Maps";
    }
    // A cancel keeps the file chosen last, as the platform's dialog reports it.
    if (auto chosen = view_.ChooseFile("Warcraft III maps (*.w3m)|*.w3m|", lastChosen_.path, folder))
        lastChosen_ = std::move(*chosen);
    const std::string& title = lastChosen_.title;
    view_.SetText("Root", lastChosen_.path);
    FollowRoot();
    view_.SetText("Command6", "Backup of " + title);
    SetEnabled("Command6", true);
    view_.SetText("installon", "Press Next to Install the VQ MOD on " + title + " map.");
    view_.SetText("Label11", "You have installed succesfuly the VQ MOD on " + title + " map.");
}

void WizardFlow::Backup()
{
    MakeBackup(MapPath());
    SetEnabled("Command6", false);
    ShowBox(texts::kBackupTitle, texts::kBackupDone, MessageIcon::None);
}

std::string WizardFlow::MapPath() const
{
    return TypedMapPath(view_.RootText());
}

bool WizardFlow::IsEnabled(std::string_view control) const
{
    const auto found = enabled_.find(control);
    return found != enabled_.end() && found->second;
}

void WizardFlow::Front(int page)
{
    if (page < 0 || page >= design::kPageCount)
        throw std::out_of_range("There is no page " + std::to_string(page) + " to show.");
    view_.BringToFront(page);
}

void WizardFlow::SetEnabled(std::string_view control, bool enabled)
{
    enabled_.insert_or_assign(std::string(control), enabled);
    view_.SetEnabled(control, enabled);
}

void WizardFlow::SetBusy(bool busy)
{
    // One pointer for the whole program, changed only when it changes: never stacked.
    if (busy_ == busy)
        return;
    busy_ = busy;
    view_.SetBusyPointer(busy);
}

void WizardFlow::ShowBox(std::string_view title, std::string_view text, MessageIcon icon)
{
    view_.ShowMessage({std::string(title), std::string(text), icon});
}

void WizardFlow::ShowBusyPointer()
{
    SetBusy(true);
}

void WizardFlow::ShowRequiredFile(const std::string& message)
{
    ShowBox(texts::kRequiredFileTitle, message, MessageIcon::Critical);
}

void WizardFlow::ShowFinishedPage()
{
    Front(design::kFinishedPage);
    SetEnabled("Command2", true);
}

void WizardFlow::KeepResponsive()
{
    view_.PaintPending();
}

void WizardFlow::WarnTilesetProblem()
{
    ShowBox(texts::kTilesetProblemTitle, texts::kTilesetProblemText, MessageIcon::Critical);
}

void WizardFlow::Unload()
{
    if (ended_)
        return;
    ended_ = true;
    SetBusy(false);
    view_.EndProgram(0);
}

} // namespace vornak::wizard
