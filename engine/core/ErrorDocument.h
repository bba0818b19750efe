#pragma once

#include "common/ECTError.h"

#include <QJsonDocument>

namespace oxa {

// The error as the document a result callback receives: {"error": {...}},
// the same form whatever part of the engine reports it.
QJsonDocument errorDocument(ect::ECTError const& error);

} // namespace oxa
