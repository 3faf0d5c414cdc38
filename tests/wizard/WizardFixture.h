#pragma once

#include "FakeMapArchive.h"
#include "TestFiles.h"
#include "WizardDoubles.h"
#include "wizard/Form1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <ostream>

QT_BEGIN_NAMESPACE
// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vornak::wizard::test {

// One window per test, in a fresh application folder with doubles in every service slot.
class WizardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The list file that start-up requires, and the five templates an install needs.
    void WriteListFile();
    void WriteTemplates();
    // A map in the fake archive's format holding the five entries, with its own camera line.
    std::filesystem::path WriteMap(const std::string& name, char tileset = 'A');

    // Start-up as the program does it: load, and show only when the program goes on.
    bool Start();
    bool Start(MapArchive& archiveToUse);

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
    int PageInFront() const;
    // Clicks a control where the user would, after checking that nothing covers it there.
    void ClickVisible(QWidget* control);
    void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Four-button row states as "Exit Previous Next Finish", 1 = enabled.
    std::string RowState() const;

    // Welcome -> map selection -> browse (the given file) -> backup page.
    void GoToBackupPage(const std::filesystem::path& map);

    vornak::test::TempDir appDir;
    RecordingMessageBoxes boxes;
    ScriptedFileDialog dialog;
    RecordingProgramEnd programEnd;
    ProbingMapArchive archive;
    std::unique_ptr<Form1> form;
};

QString PathText(const std::filesystem::path& path);

} // namespace vornak::wizard::test
