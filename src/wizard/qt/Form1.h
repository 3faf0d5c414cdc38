#pragma once

#include "archive/MapArchive.h"
#include "wizard/flow/WizardDesign.h"
#include "wizard/flow/WizardFlow.h"
#include "wizard/flow/WizardView.h"

#include <QDialog>

#include <array>
#include <filesystem>
#include <map>
#include <string>

class QFrame;

namespace vornak::wizard {

// The installer's window in Qt Widgets: made from WizardDesign, driven by WizardFlow, to
// which it passes every press, key and the close box.
class Form1 : public QDialog, public WizardView {
    Q_OBJECT

public:
    Form1(std::filesystem::path appDir, MapArchive& archive, QWidget* parent = nullptr);

    // Start-up. False when the program has been ended instead: never show the window then.
    bool Load() { return flow_.Start(); }
    WizardFlow& flow() { return flow_; }

    // WizardView
    void BringToFront(int page) override;
    void SetEnabled(std::string_view control, bool enabled) override;
    void SetText(std::string_view control, const std::string& text) override;
    std::string RootText() const override;
    void FocusRoot() override;
    bool ShowBanner(const std::filesystem::path& picture) override;
    void SetBusyPointer(bool busy) override;
    void ProcessPendingEvents() override;
    void PaintPending() override;
    void ShowMessage(const MessageBoxRequest& box) override;
    std::optional<ChosenFile> ChooseFile(const std::string& filter, const std::string& current,
                                         const std::filesystem::path& folder) override;
    std::filesystem::path DocumentsFolder() const override;
    void EndProgram(int exitCode) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void reject() override;

private:
    QWidget* Make(const design::Control& control, QWidget* parent);
    QWidget* Widget(std::string_view name) const;
    // Next is the default button while it is enabled, else Finish; a focus taken from a disabled
    // or covered control goes to it as soon as it is enabled.
    void SettleDefaultButton();

    WizardFlow flow_;
    std::map<std::string, QWidget*, std::less<>> widgets_;
    std::array<QFrame*, design::kPageCount> pages_{};
    int front_ = -1;
    bool focusOwed_ = false;
};

} // namespace vornak::wizard
