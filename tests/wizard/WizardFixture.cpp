#include "WizardFixture.h"

#include "W3iBuilder.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTest>

namespace vornak::wizard::test {
namespace fs = std::filesystem;

QString PathText(const fs::path& path)
{
    const std::u8string utf8 = path.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(utf8.data()), static_cast<qsizetype>(utf8.size()));
}

void WizardTest::SetUp()
{
    fs::create_directories(appDir / "Data");
    WriteListFile();
}

void WizardTest::TearDown()
{
    form.reset();
    // A pass that leaves the busy pointer behind would show it over the next test too.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the busy pointer was left on";
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

void WizardTest::WriteListFile()
{
    vornak::test::WriteText(appDir / "Data" / "listw3m.txt", "war3map.j\r\nwar3map.w3i\r\n");
}

namespace {
std::vector<std::uint8_t> InfoRecord(char tileset)
{
    vornak::test::W3iBuilder info;
    info.tileset = static_cast<std::uint8_t>(tileset);
    return info.Build();
}

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}
} // namespace

void WizardTest::WriteTemplates()
{
    const fs::path data = appDir / "Data";
    vornak::test::WriteText(data / "war3map.j",
                            "function main takes nothing returns nothing\r\n"
                            "    call SetCameraBounds(0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0)\r\n"
                            "endfunction\r\n");
    vornak::test::WriteText(data / "war3map.w3u", "template units");
    vornak::test::WriteText(data / "war3map.wts", "template strings");
    vornak::test::WriteBytes(data / "war3map.w3i", InfoRecord('L'));
    vornak::test::WriteText(data / "war3map.w3c", "template cameras");
}

fs::path WizardTest::WriteMap(const std::string& name, char tileset)
{
    const fs::path map = appDir / "maps" / name;
    fs::create_directories(map.parent_path());
    vornak::test::FakeMapArchive::Write(
        map, {{"war3map.j", Bytes("function main takes nothing returns nothing\r\n"
                                  "    call SetCameraBounds(-1.0, -2.0, 3.0, 4.0, -1.0, 4.0, 3.0, -2.0)\r\n"
                                  "endfunction\r\n")},
              {"war3map.w3u", Bytes("map units")},
              {"war3map.wts", Bytes("map strings")},
              {"war3map.w3i", InfoRecord(tileset)},
              {"war3map.w3c", Bytes("map cameras")},
              {"war3map.w3e", Bytes("terrain")}});
    return map;
}

bool WizardTest::Start()
{
    return Start(archive);
}

bool WizardTest::Start(MapArchive& archiveToUse)
{
    form = std::make_unique<Form1>(WizardServices{appDir.path(), boxes, dialog, programEnd, archiveToUse});
    if (!form->Load())
        return false;
    form->show();
    QApplication::setActiveWindow(form.get());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    return true;
}

int WizardTest::PageInFront() const
{
    for (QWidget* widget = form->childAt(455, 235); widget; widget = widget->parentWidget()) {
        if (widget->objectName().startsWith(QLatin1String("FrameStep_")))
            return widget->objectName().mid(10).toInt();
    }
    return -1;
}

void WizardTest::ClickVisible(QWidget* control)
{
    ASSERT_NE(control, nullptr);
    const QPoint centre = control->mapTo(form.get(), control->rect().center());
    ASSERT_EQ(form->childAt(centre), control) << control->objectName().toStdString() << " is covered";
    QTest::mouseClick(control, Qt::LeftButton);
}

void WizardTest::PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
    QTest::keyClick(target, key, modifiers);
    // An access key presses its button the way a click looks: after a short animation.
    if (modifiers & Qt::AltModifier)
        QTest::qWait(150);
}

std::string WizardTest::RowState() const
{
    std::string state;
    for (const char* name : {"Command1", "Command3", "Command2", "Command4"})
        state += Button(name)->isEnabled() ? '1' : '0';
    return state;
}

void WizardTest::GoToBackupPage(const fs::path& map)
{
    dialog.answers.push_back(PathText(map));
    ClickVisible(Button("Command2"));
    ClickVisible(Button("Command5"));
    ClickVisible(Button("Command2"));
    ASSERT_EQ(PageInFront(), 2);
}

} // namespace vornak::wizard::test
