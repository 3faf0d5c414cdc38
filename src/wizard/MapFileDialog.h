#pragma once

#include <QString>

namespace vornak::wizard {

// The open-file dialog, used the way a common dialog control is: set the filter, show it,
// then read what it reports. After a cancel it still reports the file chosen last.
class MapFileDialog {
public:
    virtual ~MapFileDialog() = default;
    // Filter in "description|pattern|" form.
    virtual void SetFilter(const QString& filter) = 0;
    // Modal; returns when the user has closed the dialog, chosen or cancelled.
    virtual void ShowOpen() = 0;
    // Full path of the chosen file; empty when none was ever chosen.
    virtual QString FileName() const = 0;
    // The chosen file's name without its folder.
    virtual QString FileTitle() const = 0;
};

} // namespace vornak::wizard
