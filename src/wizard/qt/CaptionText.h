#pragma once

#include <QString>

namespace vornak::wizard {

// What a label shows for a designed caption: "&&" is one ampersand and a single "&" only
// marks an access key, which a label without a partner control does not show.
QString ShownCaption(const QString& caption);

} // namespace vornak::wizard
