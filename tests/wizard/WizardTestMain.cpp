#include "wizard/qt/TahomaFont.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // No display in CI: the window is driven offscreen unless a platform is chosen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vornak::wizard::TahomaFont::Ensure();
    QApplication::setFont(vornak::wizard::TahomaFont::Regular());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
