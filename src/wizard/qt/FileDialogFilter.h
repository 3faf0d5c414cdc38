#pragma once

#include <QString>

namespace vornak::wizard {

// Turns a "description|pattern|description|pattern|" filter into Qt's
// "description (pattern);;description (pattern)". A description that already ends in
// its pattern in brackets is not given the pattern twice.
QString QtFileFilter(const QString& pipeFilter);

} // namespace vornak::wizard
