#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel placeholder("Vornak MOD Installer");
    placeholder.show();
    return app.exec();
}
