#pragma once

// Pieces shared by the compiled and the literal evaluation of an indicator:
// the message texts and the storing of a result.

#include "indicators/IndicatorRecords.h"

#include <QString>

namespace zurm::indicator_evaluation {

inline constexpr int kMaxFormulaLength = 255;

QString notANumberMessage(const QString& run);
QString tooManyOperandsMessage();
QString notFilledMessage(const QString& name);
QString emptyFormulaMessage();

// A reference to a name that is no column of the record: the run's general
// error handling gets it, as reading a missing field would.
[[noreturn]] void throwMissingColumn(const QString& name);
// The records do not match the columns an indicator was compiled for.
[[noreturn]] void throwRecordMismatch(const QString& shortName);

// Removes every space and turns every "," into ".".
QString normalisedFormula(const QString& formula);

inline bool isNumberCharacter(QChar c) { return (c >= u'0' && c <= u'9') || c == u'.'; }

// Stores a result in column `column` of the record (segment results as the file
// keeps them, header results in full).
void storeResult(IndicatorVariant variant, RecordValues& values, int column, const QString& shortName,
                 double result);

} // namespace zurm::indicator_evaluation
