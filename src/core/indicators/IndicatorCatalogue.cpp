#include "indicators/IndicatorCatalogue.h"

#include "base/Sql.h"
#include "document/CalculationRow.h"

#include <QSqlQuery>

namespace zurm {

namespace {

// Formulas are held as single-byte Windows-1251 text of this length.
constexpr qsizetype kFormulaLength = 255;

QString textOf(const QVariant& value) { return value.isNull() ? QString() : value.toString(); }

std::optional<bool> flagOf(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toBool();
}

} // namespace

const QStringList& reservedColumnNames()
{
    static const QStringList names{QStringLiteral("ID"), QStringLiteral("НАЧУЗЕЛ"), QStringLiteral("КОНУЗЕЛ"),
                                   QStringLiteral("ПРИМЕЧАНИЕ")};
    return names;
}

QString StripFormulaComments(const QString& formula)
{
    QString result;
    result.reserve(formula.size());
    bool copying = true;
    for (const QChar c : formula) {
        if (c == u'[') {
            copying = false;
        } else if (c == u']') {
            if (copying)
                result.append(c);
            copying = true;
        } else if (copying) {
            result.append(c);
        }
    }
    result.truncate(kFormulaLength);
    return result;
}

IndicatorCatalogue::IndicatorCatalogue(int networkType, bool designMode, QList<IndicatorRecord> user,
                                       QList<IndicatorRecord> predefined)
    : networkType_(networkType), designMode_(designMode), user_(std::move(user)), predefined_(std::move(predefined))
{
    userIndex_.reserve(user_.size());
    for (qsizetype i = 0; i < user_.size(); ++i) {
        if (!user_[i].shortName.isEmpty() && !userIndex_.contains(user_[i].shortName))
            userIndex_.insert(user_[i].shortName, i);
    }
    predefinedIndex_.reserve(predefined_.size());
    for (qsizetype i = 0; i < predefined_.size(); ++i) {
        const QString& name = predefined_[i].shortName;
        if (name.isEmpty())
            continue;
        if (!predefinedIndex_.contains(name))
            predefinedIndex_.insert(name, i);
        predefinedUpper_.insert(name.toUpper());
    }
}

IndicatorCatalogue IndicatorCatalogue::load(const QSqlDatabase& calculation)
{
    const CalculationRow::NetworkParameters parameters = CalculationRow(calculation).networkParameters();
    const int networkType = parameters.type();
    const bool designMode = parameters.designMode;

    QList<IndicatorRecord> user;
    {
        QSqlQuery rows = selectSql(calculation,
                                   QStringLiteral("SELECT [Nпп], [НаимПокСокр], [ТипПок], [ВводПольз], [Формула] "
                                                  "FROM [Формулы] ORDER BY [Nпп], rowid"));
        while (rows.next()) {
            IndicatorRecord record;
            record.npp = rows.value(0);
            record.shortName = textOf(rows.value(1));
            record.type = textOf(rows.value(2)).toUpper();
            record.enteredByUser = flagOf(rows.value(3));
            record.formula = textOf(rows.value(4));
            user.append(std::move(record));
        }
    }

    QList<IndicatorRecord> predefined;
    {
        QSqlQuery rows = selectSql(calculation,
                                   QStringLiteral("SELECT [НаимПокСокр], [ТипПок], [ВводПольз], [Формула], "
                                                  "[ИспПриРасч1трТС] FROM [ФлыПредопрПок] "
                                                  "ORDER BY [НаимПокСокр], rowid"));
        while (rows.next()) {
            IndicatorRecord record;
            record.shortName = textOf(rows.value(0));
            record.type = textOf(rows.value(1)).toUpper();
            record.enteredByUser = flagOf(rows.value(2));
            record.formula = textOf(rows.value(3));
            record.usedInOnePipe = flagOf(rows.value(4)).value_or(false);
            predefined.append(std::move(record));
        }
    }
    return IndicatorCatalogue(networkType, designMode, std::move(user), std::move(predefined));
}

IndicatorCatalogue::Found IndicatorCatalogue::find(const QString& shortName) const
{
    if (const auto it = userIndex_.constFind(shortName); it != userIndex_.cend())
        return {&user_[*it], false};
    if (const IndicatorRecord* record = findPredefined(shortName))
        return {record, true};
    return {};
}

const IndicatorRecord* IndicatorCatalogue::findPredefined(const QString& shortName) const
{
    const auto it = predefinedIndex_.constFind(shortName);
    return it == predefinedIndex_.cend() ? nullptr : &predefined_[*it];
}

bool IndicatorCatalogue::isReservedName(const QString& shortName) const
{
    const QString upper = shortName.toUpper();
    return reservedColumnNames().contains(upper) || predefinedUpper_.contains(upper);
}

} // namespace zurm
