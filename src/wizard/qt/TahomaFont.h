#pragma once

#include <QFont>
#include <QStringList>

namespace vornak::wizard {

// The window's font, Tahoma 8.25 pt. Where the system has no Tahoma, the metric-compatible
// copy that Wine ships is registered with the application; without either, Qt's own
// substitute is used and nothing is reported.
class TahomaFont {
public:
    // Registers the font files at most once; returns true when Tahoma is available.
    static bool Ensure(const QStringList& searchFolders = DefaultFolders());
    static QFont Regular();
    static QStringList DefaultFolders();
};

} // namespace vornak::wizard
