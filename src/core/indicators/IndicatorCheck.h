#pragma once

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

// Type codes of ТипПок, compared after upper-casing.
inline const QString kHeaderType = QStringLiteral("З");
inline const QString kSupplyType = QStringLiteral("П");
inline const QString kReturnType = QStringLiteral("О");
inline const QString kTotalType = QStringLiteral("И");

// The two predefined indicators whose formulas the user edits.
inline const QString kSupplyLossToEnd = QStringLiteral("ПотНОтИКонПод");
inline const QString kReturnLossToEnd = QStringLiteral("ПотНОтИКонОбр");

// title + "\rСокр. наименование показателя: \"" + name + "\":\r\r"
QString indicatorMessagePrefix(const QString& title, const QString& shortName);
// What every failed check appends to its message before showing it.
QString indicatorCheckClosing();

// The 128 characters of short names in their order: digits, Latin capitals and
// small letters, Cyrillic capitals with Ё after Е, Cyrillic small letters with ё
// after е.
const QString& shortNameAlphabet();
bool isShortNameCharacter(QChar c);
// Fixed columns of Табл, upper-cased; no user indicator may take these names.
const QStringList& reservedColumnNames();

// Removes "[" … "]" comments in one left-to-right pass (comments do not nest,
// an unclosed "[" removes the rest) and cuts the result to 255 characters.
QString StripFormulaComments(const QString& formula);

// One row of Формулы or ФлыПредопрПок as the checks read it.
struct IndicatorRecord {
    QString shortName;                 // НаимПокСокр, empty when Null
    QString type;                      // ТипПок upper-cased, empty when Null
    std::optional<bool> enteredByUser; // ВводПольз; nullopt when Null
    QString formula;                   // Формула with its comments, empty when Null
    bool usedInOnePipe = false;        // ИспПриРасч1трТС (predefined rows; Null counts as false)
    QVariant npp;                      // Nпп (user rows)
};

// The whole catalogue as one check sees it: the network type, the design mode,
// the user indicators in ascending Nпп and the predefined indicators, with
// exact-name indexes so that references are map look-ups.
class IndicatorCatalogue {
public:
    IndicatorCatalogue(int networkType, bool designMode, QList<IndicatorRecord> user,
                       QList<IndicatorRecord> predefined);
    // Reads ТипСети and ОпрД of НазвРасч, Формулы sorted by Nпп and ФлыПредопрПок.
    static IndicatorCatalogue load(const QSqlDatabase& calculation);

    int networkType() const { return networkType_; }
    bool designMode() const { return designMode_; }
    const QList<IndicatorRecord>& user() const { return user_; }
    const QList<IndicatorRecord>& predefined() const { return predefined_; }

    struct Found {
        const IndicatorRecord* record = nullptr;
        bool predefined = false;
        explicit operator bool() const { return record != nullptr; }
    };
    // Exact, case-sensitive: the first user row of that name, else the predefined row.
    Found find(const QString& shortName) const;
    const IndicatorRecord* findPredefined(const QString& shortName) const;
    // Upper-cased comparison with the fixed columns of Табл and every predefined name.
    bool isReservedName(const QString& shortName) const;

private:
    int networkType_ = 0;
    bool designMode_ = false;
    QList<IndicatorRecord> user_;
    QList<IndicatorRecord> predefined_;
    QHash<QString, qsizetype> userIndex_;
    QHash<QString, qsizetype> predefinedIndex_;
    QSet<QString> predefinedUpper_;
};

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
