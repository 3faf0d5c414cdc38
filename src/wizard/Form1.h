#pragma once

#include "install/InstallerUi.h"
#include "wizard/WizardServices.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vornak::wizard {

// The installer's one window: six pages stacked at one place, a banner band on top and the
// button row below. The handlers move between the pages; the installation itself is
// InstallProcedure's, which reaches the window only through InstallerUi.
class Form1 : public QDialog, public InstallerUi {
    Q_OBJECT

public:
    static constexpr int kPageCount = 6;

    explicit Form1(WizardServices services, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: requires the list file and loads the banner. Returns false when the
    // program has been ended instead (the window must then never be shown).
    bool Load();

    // The event handlers, public so that tests can press a button the designed states never
    // enable (Previous on the welcome page).
    void Command1_Click(); // Exit
    void Command2_Click(); // Next
    void Command3_Click(); // Previous
    void Command4_Click(); // Finish
    void Command5_Click(); // browse
    void Command6_Click(); // backup
    void Command7_Click(); // View Credits
    void Command8_Click(); // Close
    void Root_Change();

    // InstallerUi
    void ShowBusyPointer() override;
    void ShowRequiredFile(const std::string& message) override;
    void ShowFinishedPage() override;
    void Unload() override;
    void WarnTilesetProblem() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void reject() override;

private:
    void BuildWindow();
    void BuildPage0();
    void BuildPage1();
    void BuildPage2();
    void BuildPage3();
    void BuildPage4();
    void BuildPage5();
    void SetTabOrder();

    void NextPass();
    void BringToFront(int page);
    int FrontPage() const;
    void ShowDefaultPointer();
    // Runs one handler; a failure nobody foresaw is reported with its description and
    // ends the program.
    void Guarded(const std::function<void()>& handler);
    void Fail(const QString& description);
    void ShowBox(const QString& title, const QString& text, int icon);

    WizardServices services_;
    std::int16_t currentStep_ = 0;
    std::filesystem::path mpqList_;
    bool busy_ = false;
    bool ended_ = false;

    QLabel* picture1_ = nullptr;
    std::array<QFrame*, kPageCount> frameStep_{};
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* command4_ = nullptr;
    QPushButton* command5_ = nullptr;
    QPushButton* command6_ = nullptr;
    QPushButton* command7_ = nullptr;
    QPushButton* command8_ = nullptr;
    QLineEdit* root_ = nullptr;
    QLabel* installon_ = nullptr;
    QLabel* label11_ = nullptr;
};

} // namespace vornak::wizard
