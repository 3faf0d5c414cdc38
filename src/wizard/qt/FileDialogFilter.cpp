#include "wizard/qt/FileDialogFilter.h"

#include <QStringList>

namespace vornak::wizard {

QString QtFileFilter(const QString& pipeFilter)
{
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        // Qt separates several patterns with spaces, the pipe form with semicolons.
        const QString patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        const QString bracketed = QLatin1Char('(') + patterns + QLatin1Char(')');
        if (description.endsWith(bracketed))
            entries << description;
        else if (description.isEmpty())
            entries << patterns + QLatin1Char(' ') + bracketed;
        else
            entries << description + QLatin1Char(' ') + bracketed;
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace vornak::wizard
