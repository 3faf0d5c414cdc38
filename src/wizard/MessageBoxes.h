#pragma once

#include <QMessageBox>
#include <QString>

namespace vornak::wizard {

// Everything a message box of this program shows. Every box offers OK only, but the
// buttons are part of the request so that tests can see exactly what a user would.
struct MessageBoxRequest {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

// Modal message boxes sit behind this, so that no test ever blocks on one.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Returns when the user has closed the box.
    virtual void Show(const MessageBoxRequest& request) = 0;
};

} // namespace vornak::wizard
