#include "wizard/WizardProgram.h"

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
    vornak::wizard::WizardProgram program(ApplicationFolder());
    if (!program.window().Load())
        return 0;
    program.window().show();
    return app.exec();
}
