#include "wizard/QtMessageBoxes.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QWidget>

namespace vornak::wizard {

QtMessageBoxes::QtMessageBoxes(QWidget* parent)
    : parent_(parent)
{
}

void QtMessageBoxes::Show(const MessageBoxRequest& request)
{
    // Before the window is shown (start-up) the box stands on its own, centred on the screen.
    QWidget* owner = parent_ && parent_->isVisible() ? parent_ : nullptr;
    QMessageBox box(request.icon, request.title, request.text, request.buttons, owner);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setTextFormat(Qt::PlainText);
    // A box may come up while the install shows the busy pointer; the user must still
    // see an ordinary pointer to answer it.
    // The one override is changed and changed back, never stacked.
    const QCursor* busy = QGuiApplication::overrideCursor();
    const Qt::CursorShape shape = busy ? busy->shape() : Qt::ArrowCursor;
    if (busy)
        QGuiApplication::changeOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy)
        QGuiApplication::changeOverrideCursor(shape);
}

} // namespace vornak::wizard
