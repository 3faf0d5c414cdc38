#pragma once

#include "FakeMapArchive.h"
#include "TestFiles.h"
#include "W3iBuilder.h"
#include "wizard/Form1.h"
#include "wizard/MapFileDialog.h"
#include "wizard/MessageBoxes.h"
#include "wizard/ProgramEnd.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vornak::wizard::test {
namespace fs = std::filesystem;

inline QString PathText(const fs::path& path)
{
    return QString::fromStdU16String(path.u16string());
}

// Records every box; the user presses OK at once.
struct RecordingMessageBoxes : MessageBoxes {
    std::vector<MessageBoxRequest> shown;
    void Show(const MessageBoxRequest& request) override { shown.push_back(request); }
};

// Answers each ShowOpen with the next scripted choice; std::nullopt is a cancel. Like the
// platform dialog it keeps reporting the file chosen last after a cancel.
struct ScriptedFileDialog : MapFileDialog {
    std::deque<std::optional<QString>> answers;
    QString filter;
    QString chosen;

    void SetFilter(const QString& pipeFilter) override { filter = pipeFilter; }
    void ShowOpen() override
    {
        if (!answers.empty() && answers.front())
            chosen = *answers.front();
        if (!answers.empty())
            answers.pop_front();
    }
    QString FileName() const override { return chosen; }
    QString FileTitle() const override { return chosen.section(QLatin1Char('/'), -1); }
};

// The fake archive, with a look into the program while the install extracts.
struct ProbingMapArchive : vornak::test::FakeMapArchive {
    std::function<void()> onExtract;
    void ExtractEntry(const fs::path& map, const std::string& entry, const fs::path& destFolder,
                      bool createFolder) override
    {
        if (onExtract)
            onExtract();
        FakeMapArchive::ExtractEntry(map, entry, destFolder, createFolder);
    }
};

struct RecordingProgramEnd : ProgramEnd {
    std::vector<int> exitCodes;
    void End(int exitCode) override { exitCodes.push_back(exitCode); }
};

// One window per test, in a fresh application folder (holding the list file start-up requires)
// with doubles in every service slot.
class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(appDir / "Data");
        vornak::test::WriteText(appDir / "Data" / "listw3m.txt", "war3map.j\r\nwar3map.w3i\r\n");
    }
    void TearDown() override
    {
        form.reset();
        // A pass that leaves the busy pointer behind would show it over the next test too.
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the busy pointer was left on";
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }

    static std::vector<std::uint8_t> InfoRecord(char tileset)
    {
        vornak::test::W3iBuilder info;
        info.tileset = static_cast<std::uint8_t>(tileset);
        return info.Build();
    }
    static std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }
    static std::string CameraScript(const char* bounds)
    {
        return std::string("function main takes nothing returns nothing\r\n    call SetCameraBounds(") + bounds +
               ")\r\nendfunction\r\n";
    }

    // The five templates an install needs.
    void WriteTemplates()
    {
        const fs::path data = appDir / "Data";
        vornak::test::WriteText(data / "war3map.j", CameraScript("0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0"));
        vornak::test::WriteText(data / "war3map.w3u", "template units");
        vornak::test::WriteText(data / "war3map.wts", "template strings");
        vornak::test::WriteBytes(data / "war3map.w3i", InfoRecord('L'));
        vornak::test::WriteText(data / "war3map.w3c", "template cameras");
    }
    // A map in the fake archive's format with its own camera line and units.
    fs::path WriteMap(const std::string& name, char tileset = 'A')
    {
        const fs::path map = appDir / "maps" / name;
        fs::create_directories(map.parent_path());
        vornak::test::FakeMapArchive::Write(
            map, {{"war3map.j", Bytes(CameraScript("-1.0, -2.0, 3.0, 4.0, -1.0, 4.0, 3.0, -2.0"))},
                  {"war3map.w3i", InfoRecord(tileset)},
                  {"war3map.w3u", Bytes("map units")}});
        return map;
    }

    // Start-up as the program does it: load, and show only when the program goes on.
    bool Start(MapArchive* archiveToUse = nullptr)
    {
        form = std::make_unique<Form1>(
            WizardServices{appDir.path(), boxes, dialog, programEnd, archiveToUse ? *archiveToUse : archive});
        if (!form->Load())
            return false;
        form->show();
        QApplication::setActiveWindow(form.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return true;
    }

    template <class T>
    T* Find(const char* name) const
    {
        T* widget = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
    QLabel* Label(const char* name) const { return Find<QLabel>(name); }
    QLineEdit* Root() const { return Find<QLineEdit>("Root"); }

    // The page the user sees: the frame at a point of the page area no control covers.
    int PageInFront() const
    {
        for (QWidget* widget = form->childAt(455, 235); widget; widget = widget->parentWidget()) {
            if (widget->objectName().startsWith(QLatin1String("FrameStep_")))
                return widget->objectName().mid(10).toInt();
        }
        return -1;
    }
    // Clicks a control where the user would, after checking that nothing covers it there.
    void ClickVisible(QWidget* control)
    {
        ASSERT_NE(control, nullptr);
        const QPoint centre = control->mapTo(form.get(), control->rect().center());
        ASSERT_EQ(form->childAt(centre), control) << control->objectName().toStdString() << " is covered";
        QTest::mouseClick(control, Qt::LeftButton);
    }
    // A press and release already waiting in the queue, as from a fast double click.
    static void QueueClick(QWidget* control)
    {
        const QPointF at = control->rect().center();
        const QPointF global = control->mapToGlobal(at);
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
            QCoreApplication::postEvent(control, new QMouseEvent(type, at, global, Qt::LeftButton, held, {}));
        }
    }
    void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        QTest::keyClick(target, key, modifiers);
        // An access key presses its button the way a click looks: after a short animation.
        if (modifiers & Qt::AltModifier)
            QTest::qWait(150);
    }
    // Four-button row states as "Exit Previous Next Finish", 1 = enabled.
    std::string RowState() const
    {
        std::string state;
        for (const char* name : {"Command1", "Command3", "Command2", "Command4"})
            state += Button(name)->isEnabled() ? '1' : '0';
        return state;
    }
    // The single box shown so far: its title, icon, text (or the part given) and its OK button.
    void ExpectOneBox(const QString& title, QMessageBox::Icon icon, const QString& text) const
    {
        ASSERT_EQ(boxes.shown.size(), 1u);
        const MessageBoxRequest& box = boxes.shown[0];
        EXPECT_EQ(box.title, title);
        EXPECT_EQ(box.icon, icon);
        EXPECT_TRUE(box.text.contains(text)) << box.text.toStdString();
        EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    // Welcome -> map selection -> browse (the given file) -> backup page.
    void GoToBackupPage(const fs::path& map)
    {
        dialog.answers.push_back(PathText(map));
        ClickVisible(Button("Command2"));
        ClickVisible(Button("Command5"));
        ClickVisible(Button("Command2"));
        ASSERT_EQ(PageInFront(), 2);
    }

    vornak::test::TempDir appDir;
    RecordingMessageBoxes boxes;
    ScriptedFileDialog dialog;
    RecordingProgramEnd programEnd;
    ProbingMapArchive archive;
    std::unique_ptr<Form1> form;
};

} // namespace vornak::wizard::test
