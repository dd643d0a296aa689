#pragma once

#include <QStringList>

namespace zurm {

// The statements that create the work database, in their order.
const QStringList& workDatabaseStatements();

} // namespace zurm
