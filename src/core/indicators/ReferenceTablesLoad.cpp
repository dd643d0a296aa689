#include "indicators/ReferenceTables.h"

#include "base/Sql.h"

#include <QSqlQuery>
#include <QVariant>

namespace zurm {

namespace {
std::optional<double> field(const QSqlQuery& query, int column)
{
    const QVariant value = query.value(column);
    if (value.isNull())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}
} // namespace

ReferenceTables ReferenceTables::load(const QSqlDatabase& reference)
{
    std::vector<DiameterRow> diameters;
    QSqlQuery d = selectSql(reference, QStringLiteral(
        "SELECT [УслДиамТрПр], [ВнутрДиамТрПр] FROM [ДиамТрПр] ORDER BY rowid"));
    while (d.next())
        diameters.push_back({field(d, 0), field(d, 1)});

    std::vector<DensityRow> densities;
    QSqlQuery w = selectSql(reference, QStringLiteral("SELECT [Т], [Плотность] FROM [ПлВодыОтТ] ORDER BY rowid"));
    while (w.next())
        densities.push_back({field(w, 0), field(w, 1)});

    std::vector<CorrectionRow> corrections;
    QSqlQuery c = selectSql(reference, QStringLiteral(
        "SELECT [УслДиамТрПр], [ЭквШер], [Коэф] FROM [ПопрКоэфКУдПот] ORDER BY rowid"));
    while (c.next())
        corrections.push_back({field(c, 0), field(c, 1), field(c, 2)});

    return ReferenceTables(std::move(diameters), std::move(densities), std::move(corrections));
}

} // namespace zurm
