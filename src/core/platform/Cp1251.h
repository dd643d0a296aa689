#pragma once

#include <QByteArray>
#include <QString>

namespace zurm {

// The single-byte Cyrillic code page (Windows-1251) in which short names are
// held and the calculation text is written. Characters the code page lacks
// become "?".
QByteArray toCp1251(const QString& text);
QString fromCp1251(const QByteArray& bytes);
// The text as it survives a round trip through the code page.
QString throughCp1251(const QString& text);
// True when every character of the text exists in the code page.
bool fitsCp1251(const QString& text);

} // namespace zurm
