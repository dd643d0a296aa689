#pragma once

// The indicator catalogue of a calculation: the user indicators of Формулы
// and the predefined indicators of ФлыПредопрПок, read once and looked up by
// exact name. The definition check and the calculation order both work on it.

#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace zurm {

// Type codes of ТипПок, compared after upper-casing.
inline const QString kHeaderType = QStringLiteral("З");
inline const QString kSupplyType = QStringLiteral("П");
inline const QString kReturnType = QStringLiteral("О");
inline const QString kTotalType = QStringLiteral("И");

// The two predefined indicators whose formulas the user edits.
inline const QString kSupplyLossToEnd = QStringLiteral("ПотНОтИКонПод");
inline const QString kReturnLossToEnd = QStringLiteral("ПотНОтИКонОбр");

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

} // namespace zurm
