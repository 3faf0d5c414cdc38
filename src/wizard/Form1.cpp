#include "wizard/Form1.h"

#include "install/AppPaths.h"
#include "base/FileOps.h"
#include "install/InstallError.h"
#include "install/InstallProcedure.h"
#include "install/InstallTexts.h"
#include "install/MapBackup.h"
#include "wizard/CaptionText.h"
#include "wizard/MapFileDialog.h"
#include "wizard/MessageBoxes.h"
#include "wizard/ProgramEnd.h"
#include "wizard/TahomaFont.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QShortcutEvent>

#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vornak::wizard {

namespace {

// Texts the window shows. Typos are the product's own and stay as they are.
const char* const kCaption = "Vornak MOD Installer";
const char* const kListFileSuffix = "\\Data\\listw3m.txt";
const char* const kBannerSuffix = "\\banner.gif";
const char* const kDialogFilter = "Warcraft III maps (*.w3m)|*.w3m|";
const char* const kWelcome =
    "Thanks for downloading this MOD. This modification allows you to be the Vornak of a Warcraft III "
    "game. This means that you will be the director of a game and will be able to control every aspect "
    "of the gameplay in Real-Time, from the creation and modification of units to change the weather "
    "time or the music. You will be able to spawn your imagination to the other players in any role "
    "adventure you can imagine.";
const char* const kWebAddress = "http://www.vornakmod-project.example";

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path PathFromText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::int16_t Stepped(std::int16_t step, int delta)
{
    const int next = step + delta;
    if (next < std::numeric_limits<std::int16_t>::min() || next > std::numeric_limits<std::int16_t>::max())
        throw std::overflow_error("Overflow: the step index left the range of a 16-bit integer.");
    return static_cast<std::int16_t>(next);
}

struct LabelStyle {
    bool bold = false;
    bool underline = false;
    std::optional<QColor> colour;
    bool transparent = false;
    bool autoSize = false;
    bool centred = false;

    LabelStyle& Bold() { bold = true; return *this; }
    LabelStyle& Underlined(bool on) { underline = on; return *this; }
    LabelStyle& Colour(const QColor& c) { colour = c; return *this; }
    LabelStyle& Transparent() { transparent = true; return *this; }
    LabelStyle& AutoSize() { autoSize = true; return *this; }
    LabelStyle& Centred() { centred = true; return *this; }
};

QLabel* AddLabel(QWidget* parent, const char* name, int left, int top, int width, int height,
                 const QString& caption, const LabelStyle& style)
{
    auto* label = new QLabel(ShownCaption(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setBold(style.bold);
    font.setUnderline(style.underline);
    label->setFont(font);
    label->setForegroundRole(QPalette::ButtonText);
    label->setBackgroundRole(QPalette::Button);
    if (style.colour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::ButtonText, *style.colour);
        label->setPalette(palette);
    }
    label->setAutoFillBackground(!style.transparent);
    label->setAlignment((style.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    label->move(left, top);
    if (style.autoSize) {
        label->adjustSize();
    } else {
        label->setWordWrap(true);
        label->resize(width, height);
    }
    return label;
}

QLabel* AddPicture(QWidget* parent, const char* name, int left, int top, int width, int height,
                   const char* resource)
{
    auto* picture = new QLabel(parent);
    picture->setObjectName(QString::fromLatin1(name));
    picture->setGeometry(left, top, width, height);
    picture->setPixmap(QPixmap(QString::fromLatin1(resource)));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return picture;
}

QWidget* AddLine(QWidget* parent, const char* name, int x1, int x2, int y, QPalette::ColorRole role)
{
    // A one-pixel horizontal line; its last point is not drawn, as with a pen's line.
    auto* line = new QWidget(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setGeometry(x1, y, x2 - x1, 1);
    line->setBackgroundRole(role);
    line->setAutoFillBackground(true);
    return line;
}

QPushButton* AddButton(QWidget* parent, const char* name, int left, int top, int width, int height,
                       const char* caption)
{
    auto* button = new QPushButton(Text(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, top, width, height);
    return button;
}

const LabelStyle kRegular{};
const LabelStyle kBold = LabelStyle().Bold();

} // namespace

Form1::Form1(WizardServices services, QWidget* parent)
    : QDialog(parent)
    , services_(services)
{
    BuildWindow();
}

Form1::~Form1()
{
    ShowDefaultPointer();
}

void Form1::BuildWindow()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(Text(kCaption));
    // Fixed dialog frame: a close box, no minimise or maximise box, no resizing.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(482, 293);
    setSizeGripEnabled(false);
    setWindowIcon(QIcon(QStringLiteral(":/wizard/vornak-icon.png")));
    setFont(TahomaFont::Regular());
    setBackgroundRole(QPalette::Button);

    picture1_ = new QLabel(this);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setGeometry(0, 0, 481, 75);
    picture1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture1_->setBackgroundRole(QPalette::Button);
    picture1_->setAutoFillBackground(true);

    for (int page = 0; page < kPageCount; ++page) {
        auto* frame = new QFrame(this);
        frame->setObjectName(QStringLiteral("FrameStep_%1").arg(page));
        frame->setFrameShape(QFrame::NoFrame);
        frame->setGeometry(18, 84, 441, 155);
        // A page covers the ones under it completely.
        frame->setBackgroundRole(QPalette::Button);
        frame->setAutoFillBackground(true);
        frameStep_[static_cast<std::size_t>(page)] = frame;
    }

    auto* frame1 = new QFrame(this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setGeometry(16, 246, 445, 3);
    frame1->setFrameShape(QFrame::HLine);
    frame1->setFrameShadow(QFrame::Sunken);

    command1_ = AddButton(this, "Command1", 16, 260, 109, 23, "E&xit");
    command3_ = AddButton(this, "Command3", 208, 260, 79, 23, "<< &Previous");
    command2_ = AddButton(this, "Command2", 288, 260, 79, 23, "&Next >>");
    command4_ = AddButton(this, "Command4", 378, 260, 85, 23, "&Finish!");
    command2_->setDefault(true);
    command3_->setEnabled(false);
    command4_->setEnabled(false);

    BuildPage0();
    BuildPage1();
    BuildPage2();
    BuildPage3();
    BuildPage4();
    BuildPage5();
    SetTabOrder();

    connect(command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(command3_, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(command4_, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(command5_, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(command6_, &QPushButton::clicked, this, [this] { Command6_Click(); });
    connect(command7_, &QPushButton::clicked, this, [this] { Command7_Click(); });
    connect(command8_, &QPushButton::clicked, this, [this] { Command8_Click(); });
    connect(root_, &QLineEdit::textChanged, this, [this] { Root_Change(); });
    command7_->installEventFilter(this);
    command8_->installEventFilter(this);
}

void Form1::BuildPage0()
{
    QWidget* page = frameStep_[0];
    AddLabel(page, "Label1", 14, 6, 155, 15, Text("Welcome to the Vornak MOD \xC2\xA9"), kBold);
    AddLabel(page, "Label8", 170, 6, 51, 13, Text("Iker Lanza"),
             LabelStyle().Bold().Colour(QColor(0, 0, 255)).AutoSize());
    AddLabel(page, "Label14", 224, 6, 3, 13, Text("."), LabelStyle().Bold().Colour(QColor(0, 0, 0)).AutoSize());
    AddLabel(page, "Label3", 12, 32, 413, 69, Text(kWelcome), kRegular);
    AddLabel(page, "Label4", 12, 108, 413, 15,
             Text("This Wizard will guide you to install the MOD into any map you wish succesfully."), kRegular);
    AddLabel(page, "Label5", 12, 130, 413, 15, Text("Press Next to follow the installation instructions."),
             kRegular);
}

void Form1::BuildPage1()
{
    QWidget* page = frameStep_[1];
    AddLabel(page, "Label2", 14, 6, 413, 15, Text("Select a map"), kBold);
    AddLabel(page, "Label6", 14, 28, 369, 13,
             Text("Select a Warcraft III map (*.w3m) to install the Vornak MOD into it:"), LabelStyle().AutoSize());
    root_ = new QLineEdit(page);
    root_->setObjectName(QStringLiteral("Root"));
    root_->setGeometry(14, 50, 329, 21);
    command5_ = AddButton(page, "Command5", 350, 50, 33, 21, ". . .");
}

void Form1::BuildPage2()
{
    QWidget* page = frameStep_[2];
    AddLabel(page, "Label10", 14, 6, 413, 15, Text("Install"), kBold);
    AddLabel(page, "Label7", 14, 30, 415, 15, Text("IMPORTANT:"), kRegular);
    AddLabel(page, "Label9", 14, 48, 415, 29,
             Text("We recommend you to BACKUP the selected map. Anyway, if you open the map once the VQ MOD is "
                  "installed and you save it, the VQ MOD will be uninstalled."),
             kRegular);
    command6_ = AddButton(page, "Command6", 102, 82, 249, 23, "Backup");
    installon_ = AddLabel(page, "installon", 14, 120, 415, 15, Text("Install on?"), kRegular);
}

void Form1::BuildPage3()
{
    QWidget* page = frameStep_[3];
    AddLabel(page, "Label20", 12, 42, 413, 15, Text("Installing..."), LabelStyle().Bold().Centred());
    AddPicture(page, "Image2", 202, 66, 32, 32, ":/wizard/image2.jpg");
}

void Form1::BuildPage4()
{
    QWidget* page = frameStep_[4];
    // The line runs behind the row of pictures and joins them.
    AddLine(page, "Line1", 50, 392, 100, QPalette::Highlight);
    const LabelStyle clear = LabelStyle().Transparent();
    AddLabel(page, "Label12", 14, 6, 413, 15, Text("Vornak MOD succesfully installed!"),
             LabelStyle().Bold().Colour(QColor(0, 192, 0)).Transparent());
    label11_ = AddLabel(page, "Label11", 14, 30, 415, 15, Text("You have installed the VQ MOD in"), clear);
    AddLabel(page, "Label13", 14, 48, 415, 29,
             Text("Thank you for downloading and install this mod. If you have any questions or you find bugs on "
                  "this modification, please contact us."),
             clear);
    AddPicture(page, "Image5", 28, 88, 47, 30, ":/wizard/image5.gif");
    AddPicture(page, "Image4", 202, 80, 50, 50, ":/wizard/image4.gif");
    AddPicture(page, "Image3", 368, 88, 47, 30, ":/wizard/image3.gif");
    AddLabel(page, "Label15", 14, 136, 412, 13,
             Text("Please, Visit our web at ") + Text(kWebAddress) + Text(" and visit our forums."),
             LabelStyle().Colour(QColor(0, 0, 192)).Transparent().AutoSize());
    // Buttons stand above the labels whose boxes they share.
    command7_ = AddButton(page, "Command7", 346, 0, 95, 21, "View &Credits");
}

void Form1::BuildPage5()
{
    QWidget* page = frameStep_[5];
    AddLabel(page, "Label18", 14, 6, 413, 15, Text("Vornak MOD Credits:"),
             LabelStyle().Bold().Colour(QColor(0, 0, 255)).Transparent());
    AddPicture(page, "Image6", 206, 6, 47, 28, ":/wizard/image6.gif");
    AddLine(page, "Line2", 112, 420, 40, QPalette::WindowText);

    struct Credit {
        int index;
        int left;
        int top;
        const char* text;
        QColor colour;
        bool heading;
    };
    const QColor red(255, 0, 0), pink(255, 128, 128), green(0, 128, 0), lightGreen(0, 192, 0);
    const QColor purple(192, 0, 192), magenta(255, 0, 255), navy(0, 0, 192), lavender(128, 128, 255);
    const QColor black(0, 0, 0), grey(128, 128, 128), olive(64, 64, 0), lightOlive(128, 128, 0);
    const Credit credits[] = {
        {0, 14, 32, "VQ MOD Leader:", red, true},
        {1, 14, 44, "Iker Lanza", pink, false},
        {7, 14, 66, "VQ System", green, true},
        {8, 14, 78, "Marta Quiles", lightGreen, false},
        {9, 14, 94, "Manuals && Guides", purple, true},
        {10, 14, 106, "Ada Morel", magenta, false},
        {2, 148, 66, "Mappers:", navy, true},
        {3, 148, 78, "Nora Vidal", lavender, false},
        {4, 148, 90, "Pau Serra", lavender, false},
        {5, 148, 102, "Lena Brandt", lavender, false},
        {6, 148, 114, "Tomas Riva", lavender, false},
        {13, 238, 66, "Special Thanks", black, true},
        {14, 238, 78, "Rui Costa", grey, false},
        {15, 238, 90, "Elsa Marin", grey, false},
        {16, 238, 102, "Hugo Terra", grey, false},
        {17, 238, 114, "Iris Nolan", grey, false},
        {18, 238, 126, "Oscar Bel", grey, false},
        {11, 350, 66, "Skins pack", olive, true},
        {12, 350, 78, "Dani Roca", lightOlive, false},
    };
    for (const Credit& credit : credits) {
        const QByteArray name = QStringLiteral("Label17_%1").arg(credit.index).toLatin1();
        AddLabel(page, name.constData(), credit.left, credit.top, 0, 0, Text(credit.text),
                 LabelStyle().Bold().Underlined(credit.heading).Colour(credit.colour).Transparent().AutoSize());
    }
    command8_ = AddButton(page, "Command8", 346, 0, 95, 21, "&Close");
}

void Form1::SetTabOrder()
{
    QWidget* const order[] = {command1_, command2_, command3_, command4_, root_,
                              command5_, command6_, command8_, command7_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

bool Form1::Load()
{
    Guarded([this] {
        mpqList_ = AppPath(services_.appDir, kListFileSuffix);
        const std::filesystem::path banner = AppPath(services_.appDir, kBannerSuffix);
        if (!fileops::FileExists(mpqList_)) {
            ShowRequiredFile(std::string(texts::kMissingListFile));
            Unload();
            return;
        }
        if (fileops::FileExists(banner)) {
            QPixmap picture;
            if (!picture.load(QString::fromStdU16String(banner.u16string())))
                throw InstallError("The picture '" + fileops::Display(banner) +
                                   "' cannot be loaded: it is not a picture this program can show.");
            picture1_->setPixmap(picture);
        }
        currentStep_ = 0;
        BringToFront(0);
    });
    return !ended_;
}

void Form1::Command1_Click()
{
    Guarded([this] { Unload(); });
}

void Form1::Command4_Click()
{
    Guarded([this] { Unload(); });
}

void Form1::Command2_Click()
{
    Guarded([this] { NextPass(); });
}

void Form1::NextPass()
{
    ShowBusyPointer();
    currentStep_ = Stepped(currentStep_, +1);
    BringToFront(currentStep_);
    // The one yield: the new page is painted here, and any press already waiting runs now.
    QCoreApplication::processEvents();
    if (ended_)
        return;
    command3_->setEnabled(currentStep_ > 0);
    ShowDefaultPointer();
    // Read afresh: a handler that ran during the yield may have moved it.
    switch (currentStep_) {
    case 1:
        root_->setFocus();
        command2_->setEnabled(!root_->text().isEmpty());
        break;
    case 3: {
        InstallProcedure procedure(services_.appDir, services_.archive, *this);
        if (procedure.Run(PathFromText(root_->text())) == InstallResult::ProgramEnded || ended_)
            return;
        NextPass();
        if (ended_)
            return;
        break;
    }
    case 4:
        command1_->setEnabled(false);
        command3_->setEnabled(false);
        command2_->setEnabled(false);
        command4_->setEnabled(true);
        break;
    default:
        break;
    }
    ShowDefaultPointer();
}

void Form1::Command3_Click()
{
    Guarded([this] {
        currentStep_ = Stepped(currentStep_, -1);
        if (currentStep_ >= 1) {
            command3_->setEnabled(true);
        } else {
            command3_->setEnabled(false);
            if (currentStep_ < 0)
                return;
        }
        BringToFront(currentStep_);
        command2_->setEnabled(true);
        command4_->setEnabled(false);
    });
}

void Form1::Command5_Click()
{
    Guarded([this] {
        MapFileDialog& dialog = services_.fileDialog;
        dialog.SetFilter(Text(kDialogFilter));
        dialog.ShowOpen();
        root_->setText(dialog.FileName());
        command6_->setText(QStringLiteral("Backup of ") + dialog.FileTitle());
        command6_->setEnabled(true);
        installon_->setText(
            ShownCaption(QStringLiteral("Press Next to Install the VQ MOD on ") + dialog.FileTitle() + QStringLiteral(" map.")));
        label11_->setText(ShownCaption(QStringLiteral("You have installed succesfuly the VQ MOD on ") +
                                       dialog.FileTitle() + QStringLiteral(" map.")));
    });
}

void Form1::Command6_Click()
{
    Guarded([this] {
        MakeBackup(root_->text().toStdString());
        // Disabling the focused button would pass the focus on to a button of a covered page,
        // which Enter would then press; Enter stays with Next instead.
        if (command6_->hasFocus())
            command2_->setFocus();
        command6_->setEnabled(false);
        ShowBox(Text(texts::kBackupTitle), Text(texts::kBackupDone), QMessageBox::NoIcon);
    });
}

void Form1::Command7_Click()
{
    Guarded([this] { BringToFront(5); });
}

void Form1::Command8_Click()
{
    Guarded([this] { BringToFront(4); });
}

void Form1::Root_Change()
{
    Guarded([this] { command2_->setEnabled(!root_->text().isEmpty()); });
}

void Form1::ShowBusyPointer()
{
    // One override for the whole program, set once however often it is asked for.
    if (!busy_) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        busy_ = true;
    }
}

void Form1::ShowDefaultPointer()
{
    if (busy_) {
        QGuiApplication::restoreOverrideCursor();
        busy_ = false;
    }
}

void Form1::ShowRequiredFile(const std::string& message)
{
    ShowBox(Text(texts::kRequiredFileTitle), QString::fromStdString(message), QMessageBox::Critical);
}

void Form1::ShowFinishedPage()
{
    BringToFront(4);
    command2_->setEnabled(true);
}

void Form1::WarnTilesetProblem()
{
    ShowBox(Text(texts::kTilesetProblemTitle), Text(texts::kTilesetProblemText), QMessageBox::Critical);
}

void Form1::Unload()
{
    if (ended_)
        return;
    ended_ = true;
    ShowDefaultPointer();
    services_.programEnd.End(0);
}

void Form1::BringToFront(int page)
{
    if (page < 0 || page >= kPageCount)
        throw std::out_of_range("There is no page " + std::to_string(page) + " to show.");
    frameStep_[static_cast<std::size_t>(page)]->raise();
}

int Form1::FrontPage() const
{
    // Raising a frame moves it to the end of its parent's children: the last page there is on top.
    int front = -1;
    qsizetype frontAt = -1;
    const QObjectList& siblings = children();
    for (int page = 0; page < kPageCount; ++page) {
        const qsizetype at = siblings.indexOf(frameStep_[static_cast<std::size_t>(page)]);
        if (at > frontAt) {
            frontAt = at;
            front = page;
        }
    }
    return front;
}

void Form1::Guarded(const std::function<void()>& handler)
{
    // After the end nothing of the program runs any more.
    if (ended_)
        return;
    try {
        handler();
    } catch (const std::exception& error) {
        Fail(QString::fromStdString(error.what()));
    } catch (...) {
        Fail(QStringLiteral("An unexpected failure stopped the installer."));
    }
}

void Form1::Fail(const QString& description)
{
    ShowDefaultPointer();
    ShowBox(Text(kCaption), description, QMessageBox::Critical);
    if (ended_)
        return;
    ended_ = true;
    services_.programEnd.End(1);
}

void Form1::ShowBox(const QString& title, const QString& text, int icon)
{
    services_.boxes.Show({title, text, static_cast<QMessageBox::Icon>(icon), QMessageBox::Ok});
}

void Form1::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Escape is Exit's key, and only while Exit can be pressed.
        if (command1_->isEnabled())
            command1_->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form1::reject()
{
    // The dialog's own way out is not used: Exit, Finish and the close box end the program.
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    Guarded([this] { Unload(); });
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // "View &Credits" and "&Close" share their access key; the page in front decides which
    // of the two Alt+C presses.
    if ((watched == command7_ || watched == command8_) && event->type() == QEvent::Shortcut &&
        static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        QPushButton* front = nullptr;
        if (FrontPage() == 4)
            front = command7_;
        else if (FrontPage() == 5)
            front = command8_;
        if (front) {
            front->setFocus(Qt::ShortcutFocusReason);
            front->click();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vornak::wizard
