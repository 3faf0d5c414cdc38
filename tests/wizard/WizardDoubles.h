#pragma once

#include "FakeMapArchive.h"
#include "wizard/MapFileDialog.h"
#include "wizard/MessageBoxes.h"
#include "wizard/ProgramEnd.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace vornak::wizard::test {

// Records every box; the user "presses OK" at once. onShow runs while the box is up.
class RecordingMessageBoxes : public MessageBoxes {
public:
    std::vector<MessageBoxRequest> shown;
    std::function<void(const MessageBoxRequest&)> onShow;

    void Show(const MessageBoxRequest& request) override
    {
        shown.push_back(request);
        if (onShow)
            onShow(request);
    }
};

// Answers each ShowOpen with the next scripted choice; std::nullopt is a cancel. Like the
// platform dialog it keeps reporting the file chosen last after a cancel.
class ScriptedFileDialog : public MapFileDialog {
public:
    std::deque<std::optional<QString>> answers;
    QStringList filters;
    int opened = 0;

    void SetFilter(const QString& filter) override { filters << filter; }
    void ShowOpen() override
    {
        ++opened;
        if (answers.empty())
            return;
        const std::optional<QString> answer = answers.front();
        answers.pop_front();
        if (answer)
            fileName_ = *answer;
    }
    QString FileName() const override { return fileName_; }
    QString FileTitle() const override { return fileName_.section(QLatin1Char('/'), -1); }

private:
    QString fileName_;
};

// The fake archive, with a look into the program while the install extracts.
class ProbingMapArchive : public vornak::test::FakeMapArchive {
public:
    std::function<void()> onExtract;

    void ExtractEntry(const std::filesystem::path& map, const std::string& entry,
                      const std::filesystem::path& destFolder, bool createFolder) override
    {
        if (onExtract)
            onExtract();
        FakeMapArchive::ExtractEntry(map, entry, destFolder, createFolder);
    }
};

class RecordingProgramEnd : public ProgramEnd {
public:
    std::vector<int> exitCodes;
    void End(int exitCode) override { exitCodes.push_back(exitCode); }
    bool Ended() const { return !exitCodes.empty(); }
};

} // namespace vornak::wizard::test
