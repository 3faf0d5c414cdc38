#include "wizard/qt/WizardProgram.h"

#include "wizard/flow/ArchiveFactory.h"
#include "wizard/qt/AppInfo.h"
#include "wizard/qt/TahomaFont.h"

#include <QApplication>
#include <QIcon>

namespace vornak::wizard {

namespace {

// Runs before any widget exists, so every one of them, message boxes and the file dialog
// included, gets the window's font.
std::unique_ptr<MapArchive> ConfigureApplication(const std::filesystem::path& appDir)
{
    ApplyAppInfo();
    TahomaFont::Ensure();
    QApplication::setFont(TahomaFont::Regular());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/wizard/vornak-icon.png")));
    return MakeMapArchive(appDir);
}

} // namespace

WizardProgram::WizardProgram(const std::filesystem::path& appDir)
    : archive_(ConfigureApplication(appDir))
    , window_(appDir, *archive_)
{
}

} // namespace vornak::wizard
