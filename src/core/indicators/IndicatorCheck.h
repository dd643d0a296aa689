#pragma once

#include "indicators/IndicatorCatalogue.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace zurm {

class DataModule;
class Progress;
class UserDialogs;

// Section titles that open every message of the definition check.
inline const QString kUserIndicatorsTitle = QStringLiteral("Показатели расчета:");
inline const QString kPredefinedIndicatorsTitle = QStringLiteral("Предопределенные показатели расчета:");

// title + "\rСокр. наименование показателя: \"" + name + "\":\r\r"
QString indicatorMessagePrefix(const QString& title, const QString& shortName);
// What every failed check appends to its message before showing it.
QString indicatorCheckClosing();

// The 128 characters of short names: digits, Latin capitals and small letters,
// Cyrillic capitals and small letters with Ё and ё.
bool isShortNameCharacter(QChar c);

// Checks the references of one formula (comments already removed) of the
// indicator `shortName` whose own type is `ownType`. Returns the message of the
// first fault, empty when the formula passes.
QString CheckFormulaReferences(const IndicatorCatalogue& catalogue, const QString& title, const QString& shortName,
                               const QString& formula, const QString& ownType);

enum class IndicatorCheckPhase { Passed, NamesAndTypes, UserFormulas, PredefinedFormulas, CalculationOrder };

struct IndicatorCheckResult {
    bool valid = false;
    IndicatorCheckPhase failedPhase = IndicatorCheckPhase::Passed;
    QString message;      // the fault without the closing instruction; empty when valid
    QString shownMessage; // the text shown to the user; empty when valid
    // The Формулы row the parameters grid is to stand on: its 0-based position in
    // ascending Nпп order, its Nпп and short name. Set for faults of the names
    // and types and of the user formulas only.
    std::optional<int> offendingRow;
    QVariant offendingNpp;
    QString offendingShortName;
};

// Names and types, user formulas and the two predefined formulas, stopping at
// the first fault. Reads and writes nothing.
IndicatorCheckResult CheckIndicatorDefinitions(const IndicatorCatalogue& catalogue);

// The whole-catalogue check of the open calculation: the definitions, then the
// calculation order (written into ПриорЗ, ПриорП, ПриорОИ). On a fault shows one
// message closed by the instruction to open "Данные / Параметры расчета" and
// returns false. The busy cursor is shown while it works. Database failures
// throw Failure (the order tables stay as they were).
bool CheckIndicators(DataModule& data, UserDialogs& dialogs, Progress& progress,
                     IndicatorCheckResult* details = nullptr);

} // namespace zurm
