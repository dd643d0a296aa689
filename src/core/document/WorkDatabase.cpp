#include "document/WorkDatabase.h"

namespace zurm {

const QStringList& workDatabaseStatements()
{
    static const QStringList statements = {
        QStringLiteral("CREATE TABLE ВКол (ПНом integer, НаимПок text(100))"),
        QStringLiteral("CREATE TABLE КопПоля (Наим text(51))"),
        QStringLiteral("CREATE TABLE ВКолЗаг (П1 text(1))"),
        QStringLiteral("CREATE TABLE ВКолТабл (П1 text(1))"),
        QStringLiteral("CREATE TABLE ЗависимостьПоказателей (Показатель text(50), ЗависитОт text(50))"),
        QStringLiteral("CREATE TABLE ВыделПрямоуг (x1 smallint, y1 smallint, x2 smallint, y2 smallint)"),
        QStringLiteral("CREATE TABLE ВыделУзлыТС (Nуз smallint PRIMARY KEY)"),
        QStringLiteral("CREATE TABLE У1 (Nуз smallint)"),
        QStringLiteral("CREATE TABLE У2 (Nуз smallint)"),
        QStringLiteral("CREATE TABLE УдУзлы (Nуз smallint)"),
        QStringLiteral("CREATE TABLE КонМагВ (КонУзел smallint, ПНапЗПод float, РНапЗ float, ДельтаТ float)"),
        QStringLiteral("CREATE TABLE ПереимУз (Nуз smallint PRIMARY KEY, НовыйNуз smallint, Рез text(100))"),
    };
    return statements;
}

} // namespace zurm
