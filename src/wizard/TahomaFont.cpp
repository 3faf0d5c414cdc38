#include "wizard/TahomaFont.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

namespace vornak::wizard {

namespace {
const QString kFamily = QStringLiteral("Tahoma");

bool HasTahoma()
{
    return QFontDatabase::families().contains(kFamily, Qt::CaseInsensitive);
}
} // namespace

QStringList TahomaFont::DefaultFolders()
{
    return {QStringLiteral("/usr/share/wine/fonts"), QStringLiteral("/usr/lib/wine/fonts"),
            QStringLiteral("/opt/wine/fonts")};
}

bool TahomaFont::Ensure(const QStringList& searchFolders)
{
    if (HasTahoma())
        return true;
    for (const QString& folder : searchFolders) {
        const QDir dir(folder);
        bool added = false;
        // The bold face is a file of its own; without it Qt would embolden the regular one.
        for (const char* file : {"tahoma.ttf", "tahomabd.ttf"}) {
            const QString path = dir.filePath(QString::fromLatin1(file));
            if (QFileInfo::exists(path) && QFontDatabase::addApplicationFont(path) >= 0)
                added = true;
        }
        if (added && HasTahoma())
            return true;
    }
    return false;
}

QFont TahomaFont::Regular()
{
    QFont font(kFamily);
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace vornak::wizard
