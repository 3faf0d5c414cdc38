#include "base/FileOps.h"
#include "wizard/qt/WizardProgram.h"

#include <QApplication>

#include <filesystem>

namespace {
std::filesystem::path ApplicationFolder()
{
    const QByteArray utf8 = QCoreApplication::applicationDirPath().toUtf8();
    return vornak::fileops::PathFromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    vornak::wizard::WizardProgram program(ApplicationFolder());
    if (!program.window().Load())
        return 0;
    program.window().show();
    return app.exec();
}
