#include "wizard/AppInfo.h"
#include "wizard/ArchiveFactory.h"
#include "wizard/Form1.h"
#include "wizard/ProcessEnd.h"
#include "wizard/QtMapFileDialog.h"
#include "wizard/QtMessageBoxes.h"
#include "wizard/TahomaFont.h"

#include <QApplication>

#include <filesystem>

namespace {
std::filesystem::path ApplicationFolder()
{
    const QByteArray utf8 = QCoreApplication::applicationDirPath().toUtf8();
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    vornak::wizard::ApplyAppInfo();
    vornak::wizard::TahomaFont::Ensure();
    // Message boxes and the file dialog use the window's font too.
    QApplication::setFont(vornak::wizard::TahomaFont::Regular());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/wizard/vornak-icon.png")));

    vornak::wizard::QtMessageBoxes boxes;
    vornak::wizard::QtMapFileDialog fileDialog;
    vornak::wizard::ProcessEnd programEnd;
    const auto appDir = ApplicationFolder();
    const auto archive = vornak::wizard::MakeMapArchive(appDir);

    vornak::wizard::Form1 window({appDir, boxes, fileDialog, programEnd, *archive});
    boxes.SetParent(&window);
    fileDialog.SetParent(&window);
    if (!window.Load())
        return 0;
    window.show();
    return app.exec();
}
