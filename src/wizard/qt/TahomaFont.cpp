#include "wizard/qt/TahomaFont.h"

#include "wizard/flow/WizardDesign.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

namespace vornak::wizard {

namespace {
const QString kFamily = QString::fromLatin1(design::kFontFamily.data(), design::kFontFamily.size());

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
        // Only the regular face: Wine's bold file has bold spacing but regular-weight glyphs, so
        // bold labels would not look bold. Qt emboldens the regular face instead.
        const QString path = QDir(folder).filePath(QStringLiteral("tahoma.ttf"));
        if (QFileInfo::exists(path) && QFontDatabase::addApplicationFont(path) >= 0 && HasTahoma())
            return true;
    }
    return false;
}

QFont TahomaFont::Regular()
{
    QFont font(kFamily);
    font.setPointSizeF(design::kFontPoints);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace vornak::wizard
