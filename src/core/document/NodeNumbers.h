#pragma once

// Node numbers as the tables store them. A node number is a 16-bit signed
// integer; a file may hold anything in its fields, and a value that is no such
// integer is an input error that names the value as stored, never a number
// narrowed into the range.

#include <QString>
#include <QVariant>
#include <optional>

namespace zurm {

// The number of a text ("12", " 12 "); otherwise nullopt and the problem:
// "\"2.9\" не является целым числом." or
// "\"65538\" выходит за пределы диапазона целых чисел от -32768 до 32767."
std::optional<qint16> parseNodeNumber(const QString& text, QString& problem);

// A stored value as its text: an integer (also a whole REAL) in decimal, any
// other value as it reads ("2.9", "inf", the text itself); Null is empty.
QString storedValueText(const QVariant& value);

// A stored node number: nullopt with an empty problem for Null, nullopt with
// the problem of parseNodeNumber for a value that is no node number.
std::optional<qint16> storedNodeNumber(const QVariant& value, QString& problem);

} // namespace zurm
