#pragma once

// zurm-calc --convert: a file of the earlier versions (Microsoft Access) into
// a new SQLite file.

#include <QByteArray>
#include <QString>
#include <optional>

#include "document/DataModule.h"

namespace zurm::cli {

// Converts `oldFile` into `newFile`, which must not exist, and says which kind
// of file the old one was. Returns the exit code: 0 converted, 1 the old file
// or the writing failed (or the converted calculation's indicators are wrong),
// 2 a refused place or code page.
// With `expected`, another kind of old file is refused (exit 1) and nothing is
// written.
int convert(const QString& oldFile, const QString& newFile, const QByteArray& jet3Charset,
            const std::optional<DatabaseKind>& expected = std::nullopt);

} // namespace zurm::cli
