#include "wizard/qt/Form1.h"

#include "wizard/qt/CaptionText.h"
#include "wizard/qt/FileDialogFilter.h"
#include "wizard/qt/TahomaFont.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QShortcutEvent>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace vornak::wizard {

namespace {

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

QString Artwork(std::string_view file)
{
    return QStringLiteral(":/wizard/") + Text(file);
}

QLabel* MakeLabel(const design::Control& control, QWidget* parent)
{
    auto* label = new QLabel(ShownCaption(Text(control.text)), parent);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setBold(control.style & design::Bold);
    font.setUnderline(control.style & design::Underline);
    label->setFont(font);
    label->setForegroundRole(QPalette::ButtonText);
    label->setBackgroundRole(QPalette::Button);
    if (control.colour.kind == design::Colour::Kind::Rgb) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::ButtonText, QColor(control.colour.red, control.colour.green, control.colour.blue));
        label->setPalette(palette);
    }
    label->setAutoFillBackground(!(control.style & design::Transparent));
    label->setAlignment((control.style & design::Centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    if (control.style & design::AutoSize) {
        label->move(control.box.left, control.box.top);
        label->adjustSize();
    } else {
        label->setWordWrap(true);
    }
    return label;
}

} // namespace

Form1::Form1(std::filesystem::path appDir, MapArchive& archive, QWidget* parent)
    : QDialog(parent)
    , flow_(*this, std::move(appDir), archive)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(Text(design::kCaption));
    // Fixed dialog frame: a close box, no minimise or maximise box, no resizing.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(design::kClientWidth, design::kClientHeight);
    setSizeGripEnabled(false);
    setWindowIcon(QIcon(Artwork(design::kIcon)));
    setFont(TahomaFont::Regular());
    setBackgroundRole(QPalette::Button);

    std::size_t pages = 0;
    for (const design::Control& control : design::Controls()) {
        QWidget* page = control.page < 0 ? nullptr : pages_.at(static_cast<std::size_t>(control.page));
        QWidget* widget = Make(control, page ? page : this);
        widget->setObjectName(Text(control.name));
        // An auto-sized label has placed itself; its text gives its size.
        if (!(control.style & design::AutoSize))
            widget->setGeometry(control.box.left, control.box.top, control.box.width, control.box.height);
        if (control.style & design::Disabled)
            widget->setEnabled(false);
        if (control.kind == design::Kind::Page)
            pages_.at(pages++) = static_cast<QFrame*>(widget);
        widgets_.emplace(control.name, widget);
    }
    static_cast<QPushButton*>(Widget(design::kDefaultButton))->setDefault(true);
    const auto order = design::TabOrder();
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(Widget(order[i]), Widget(order[i + 1]));
}

QWidget* Form1::Make(const design::Control& control, QWidget* parent)
{
    switch (control.kind) {
    case design::Kind::Label:
        return MakeLabel(control, parent);
    case design::Kind::Button: {
        auto* button = new QPushButton(Text(control.text), parent);
        const std::string name(control.name);
        connect(button, &QPushButton::clicked, this, [this, name] { flow_.Click(name); });
        if (control.page >= 0)
            button->installEventFilter(this);
        return button;
    }
    case design::Kind::TextBox: {
        auto* edit = new QLineEdit(parent);
        connect(edit, &QLineEdit::textEdited, this, [this] { flow_.RootChanged(); });
        return edit;
    }
    case design::Kind::Page:
    case design::Kind::Rule: {
        auto* frame = new QFrame(parent);
        if (control.kind == design::Kind::Rule) {
            frame->setFrameShape(QFrame::HLine);
            frame->setFrameShadow(QFrame::Sunken);
            return frame;
        }
        frame->setFrameShape(QFrame::NoFrame);
        // A page covers the ones under it completely.
        frame->setBackgroundRole(QPalette::Button);
        frame->setAutoFillBackground(true);
        return frame;
    }
    case design::Kind::PictureBox:
    case design::Kind::Image: {
        auto* picture = new QLabel(parent);
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (control.kind == design::Kind::Image) {
            picture->setPixmap(QPixmap(Artwork(control.text)));
        } else {
            picture->setBackgroundRole(QPalette::Button);
            picture->setAutoFillBackground(true);
        }
        return picture;
    }
    case design::Kind::Line: {
        auto* line = new QWidget(parent);
        line->setBackgroundRole(control.colour.kind == design::Colour::Kind::Highlight ? QPalette::Highlight
                                                                                       : QPalette::WindowText);
        line->setAutoFillBackground(true);
        return line;
    }
    }
    throw std::logic_error("A control of an unknown kind: " + std::string(control.name));
}

QWidget* Form1::Widget(std::string_view name) const
{
    const auto found = widgets_.find(name);
    if (found == widgets_.end())
        throw std::out_of_range("The window has no control named '" + std::string(name) + "'.");
    return found->second;
}

void Form1::BringToFront(int page)
{
    QFrame* front = pages_.at(static_cast<std::size_t>(page));
    // The keys must not reach a control that is now covered.
    QWidget* focus = QApplication::focusWidget();
    for (QFrame* covered : pages_) {
        if (covered != front && focus && covered->isAncestorOf(focus))
            focusOwed_ = true;
    }
    front->raise();
    // Covered pages take no keys: Tab walks the page in front alone, and no access key presses
    // a button the user cannot see. Their controls keep their own enabled state for later.
    for (QFrame* other : pages_)
        other->setEnabled(other == front);
    front_ = page;
    SettleDefaultButton();
}

void Form1::SetEnabled(std::string_view control, bool enabled)
{
    QWidget* widget = Widget(control);
    // Qt passes the focus of a disabled control on to the next in the chain, maybe Exit or a
    // button of a covered page, which Enter would then press: it goes to the default button.
    if (!enabled && widget->hasFocus())
        focusOwed_ = true;
    widget->setEnabled(enabled);
    SettleDefaultButton();
}

void Form1::SettleDefaultButton()
{
    auto* next = static_cast<QPushButton*>(Widget(design::kDefaultButton));
    auto* finish = static_cast<QPushButton*>(Widget(design::kFinishButton));
    QPushButton* defaultButton = !next->isEnabled() && finish->isEnabled() ? finish : next;
    defaultButton->setDefault(true);
    if (focusOwed_ && defaultButton->isEnabled()) {
        defaultButton->setFocus();
        focusOwed_ = false;
    }
}

void Form1::SetText(std::string_view control, const std::string& text)
{
    QWidget* widget = Widget(control);
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(ShownCaption(Text(text)));
    else if (auto* button = qobject_cast<QPushButton*>(widget))
        button->setText(Text(text));
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(Text(text));
}

std::string Form1::RootText() const
{
    return Utf8(static_cast<QLineEdit*>(Widget("Root"))->text());
}

void Form1::FocusRoot()
{
    Widget("Root")->setFocus();
}

bool Form1::ShowBanner(const std::filesystem::path& picture)
{
    QPixmap pixmap;
    if (!pixmap.load(QString::fromStdU16String(picture.u16string())))
        return false;
    static_cast<QLabel*>(Widget("Picture1"))->setPixmap(pixmap);
    return true;
}

void Form1::SetBusyPointer(bool busy)
{
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void Form1::ProcessPendingEvents()
{
    QCoreApplication::processEvents();
}

void Form1::PaintPending()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Form1::ShowMessage(const MessageBoxRequest& request)
{
    // Before the window is shown (start-up) the box stands on its own, centred on the screen.
    QMessageBox box(request.icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    Text(request.title), Text(request.text), QMessageBox::Ok, isVisible() ? this : nullptr);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setTextFormat(Qt::PlainText);
    // A box may come up while the install shows the busy pointer; the user must still see an
    // ordinary pointer to answer it. The one override is changed and changed back, never stacked.
    const QCursor* busy = QGuiApplication::overrideCursor();
    const Qt::CursorShape shape = busy ? busy->shape() : Qt::ArrowCursor;
    if (busy)
        QGuiApplication::changeOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy)
        QGuiApplication::changeOverrideCursor(shape);
}

std::optional<ChosenFile> Form1::ChooseFile(const std::string& filter, const std::string& current,
                                            const std::filesystem::path& folder)
{
    const QString start = current.empty() ? QString::fromStdU16String(folder.u16string()) : Text(current);
    const QString chosen = QFileDialog::getOpenFileName(this, QString(), start, QtFileFilter(Text(filter)));
    if (chosen.isEmpty())
        return std::nullopt;
    return ChosenFile{Utf8(chosen), Utf8(QFileInfo(chosen).fileName())};
}

std::filesystem::path Form1::DocumentsFolder() const
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return std::filesystem::path(documents.toStdU16String());
}

void Form1::EndProgram(int exitCode)
{
    std::fflush(nullptr);
    // Leaving through exit() rather than the event loop: the handler that asked for the end
    // must not go on, and nothing of the window is needed any more.
    std::exit(exitCode);
}

void Form1::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        flow_.Escape();
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
    flow_.CloseBox();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // Buttons of different pages may share an access key ("View &Credits", "&Close"); the
    // one on the page in front takes it.
    if (event->type() == QEvent::Shortcut && static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        const QKeySequence key = static_cast<QShortcutEvent*>(event)->key();
        if (front_ >= 0) {
            for (QPushButton* button : pages_[static_cast<std::size_t>(front_)]->findChildren<QPushButton*>()) {
                if (button->shortcut() == key && button->isEnabled()) {
                    button->setFocus(Qt::ShortcutFocusReason);
                    button->click();
                    break;
                }
            }
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vornak::wizard
