#include "wizard/QtMapFileDialog.h"

#include "wizard/FileDialogFilter.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>

namespace vornak::wizard {

QtMapFileDialog::QtMapFileDialog(QWidget* parent)
    : parent_(parent)
{
}

void QtMapFileDialog::SetFilter(const QString& filter)
{
    filter_ = QtFileFilter(filter);
}

void QtMapFileDialog::ShowOpen()
{
    const QString chosen = QFileDialog::getOpenFileName(parent_, QString(), fileName_, filter_);
    // A cancel keeps the file chosen before, as the dialog's own file name box would.
    if (!chosen.isEmpty())
        fileName_ = chosen;
}

QString QtMapFileDialog::FileTitle() const
{
    return fileName_.isEmpty() ? QString() : QFileInfo(fileName_).fileName();
}

} // namespace vornak::wizard
