#include "wizard/qt/AppInfo.h"

#include <QCoreApplication>
#include <QVariant>

namespace vornak::wizard {

void ApplyAppInfo()
{
    QCoreApplication::setApplicationName(QString::fromLatin1(AppInfo::kInternalName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(AppInfo::kNumericVersion));
    // Qt has no slots for the rest of the record; they travel as properties of the application.
    // (No display name: on some desktops Qt would append it to every window title.)
    QCoreApplication* app = QCoreApplication::instance();
    app->setProperty("ProductName", QString::fromLatin1(AppInfo::kProductName));
    app->setProperty("InternalName", QString::fromLatin1(AppInfo::kInternalName));
    app->setProperty("OriginalFilename", QString::fromLatin1(AppInfo::kOriginalFilename));
    app->setProperty("FileVersion", QString::fromLatin1(AppInfo::kVersionText));
    app->setProperty("ProductVersion", QString::fromLatin1(AppInfo::kVersionText));
}

} // namespace vornak::wizard
