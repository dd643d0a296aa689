#include "support/NetworkGenerator.h"

#include "base/Failure.h"
#include "base/Sql.h"

#include <QAtomicInt>
#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <vector>

namespace zurm::bench {

namespace {

QAtomicInt connectionCounter;

constexpr int kMaxSegments = 32700;
constexpr double kEndNodeFlow = 2.5; // t/h drawn at every end node

// Nominal diameters of the delivered reference series.
constexpr int kNominalDiameters[] = {25,  32,  40,  50,  65,  80,  100, 125, 150, 175, 200, 250,
                                     300, 350, 400, 450, 500, 600, 700, 800, 900, 1000, 1200, 1400};

// The smallest nominal diameter that keeps the velocity of hot water near 1.2 m/s.
int nominalDiameterFor(double flowTonsPerHour)
{
    const double cubicMetresPerSecond = flowTonsPerHour / 3.6 / 970.0;
    const double millimetres = std::sqrt(4.0 * cubicMetresPerSecond / (M_PI * 1.2)) * 1000.0;
    for (int diameter : kNominalDiameters)
        if (diameter >= millimetres)
            return diameter;
    return kNominalDiameters[std::size(kNominalDiameters) - 1];
}

double segmentLength(int segment) { return 5.0 + segment * 37 % 36; }

[[noreturn]] void fail(const QSqlError& error)
{
    throw Failure(QString::fromLatin1(kSqlErrorClass), error.text());
}

void prepare(QSqlQuery& query, const QString& sql)
{
    if (!query.prepare(sql))
        fail(query.lastError());
}

void run(QSqlQuery& query)
{
    if (!query.exec())
        fail(query.lastError());
}

double headerValue(const QString& name)
{
    static const QHash<QString, double> values = {
        {QStringLiteral("ПНапНаУзПод"), 150.0}, {QStringLiteral("РНапНаУз"), 60.0},
        {QStringLiteral("МинТВоды"), 70.0},     {QStringLiteral("МаксТВоды"), 130.0},
        {QStringLiteral("КэШер"), 0.5},         {QStringLiteral("ДолМестПот"), 0.3},
    };
    return values.value(name, 1.0);
}

void fillCalculation(const QSqlDatabase& db, int segmentCount, const NetworkShape& shape)
{
    // Predefined indicators win over user ones.
    const QHash<QString, bool> userEntered = userEnteredIndicators(db);
    Transaction transaction(db);

    execSql(db, QStringLiteral("UPDATE НазвРасч SET НазвРасч=?, РВ=0, NНачУз=0, NузПНапПод=0, NузРНап=0"),
            {QStringLiteral("Сеть из %1 участков").arg(segmentCount)});

    // Header: the user-entered values the template leaves empty.
    for (const ColumnInfo& column : tableColumns(db, QStringLiteral("Заг")))
        if (userEntered.value(column.name, false))
            execSql(db, QStringLiteral("UPDATE Заг SET %1=coalesce(%1, ?)").arg(quoteName(column.name)),
                    {headerValue(column.name)});

    // Nodes on a square raster, with gently varying heights.
    {
        QSqlQuery insert(db);
        prepare(insert, QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y, ГеодВыс) VALUES (?, ?, ?, ?)"));
        for (int node = 0; node <= segmentCount; ++node) {
            insert.bindValue(0, node);
            insert.bindValue(1, 10 + node % 180 * 16);
            insert.bindValue(2, 10 + node / 180 * 16);
            insert.bindValue(3, 100.0 + node % 41 * 0.25);
            run(insert);
        }
    }

    // Flows: every end node draws the same flow, each segment carries what its subtree draws.
    std::vector<int> parent(segmentCount + 1, -1);
    std::vector<int> endNodesBelow(segmentCount + 1, 1);
    for (int segment = 1; segment <= segmentCount; ++segment) {
        parent[segment] = parentNode(segment, shape);
        if (parent[segment] > 0)
            endNodesBelow[parent[segment]] = 0; // has a successor: not an end node
    }
    for (int node = segmentCount; node >= 1; --node)
        if (parent[node] > 0)
            endNodesBelow[parent[node]] += endNodesBelow[node];

    const SegmentInsert segmentInsert = segmentInsertFor(db, userEntered);
    const QList<Fill>& fills = segmentInsert.fills;
    QSqlQuery insert(db);
    prepare(insert, segmentInsert.sql);
    for (int segment = 1; segment <= segmentCount; ++segment) {
        const double flow = endNodesBelow[segment] * kEndNodeFlow;
        insert.bindValue(0, segment);
        insert.bindValue(1, parent[segment]);
        insert.bindValue(2, segment);
        for (qsizetype i = 0; i < fills.size(); ++i) {
            double value = 1.0 + segment % 10 * 0.1;
            switch (fills[i]) {
            case Fill::Length: value = segmentLength(segment); break;
            case Fill::Flow: value = flow; break;
            case Fill::Diameter: value = nominalDiameterFor(flow); break;
            case Fill::Other: break;
            }
            insert.bindValue(int(i) + 3, value);
        }
        run(insert);
    }
    transaction.commit();
}

} // namespace

int parentNode(int segment, const NetworkShape& shape)
{
    if (shape.chainPerMille >= 0) {
        // A fixed hash of the segment number: the same shape on every call.
        auto hash = [](quint32 x) {
            x ^= x >> 16;
            x *= 0x7feb352dU;
            x ^= x >> 15;
            x *= 0x846ca68bU;
            return x ^ (x >> 16);
        };
        if (segment <= 1)
            return 0;
        if (int(hash(quint32(segment)) % 1000) < shape.chainPerMille)
            return segment - 1;
        return int(hash(quint32(segment) + 0x9e3779b9U) % quint32(segment));
    }
    const int length = std::max(1, shape.branchLength);
    const int branch = (segment - 1) / length;
    if ((segment - 1) % length > 0)
        return segment - 1;
    if (branch == 0)
        return 0;
    const int parentBranch = (branch - 1) / 2;
    return parentBranch * length + branch * 7 % length + 1;
}

void generateCalculation(const QString& path, const QString& templatePath, int segmentCount, const NetworkShape& shape)
{
    if (segmentCount < 0 || segmentCount > kMaxSegments)
        throw Failure(QStringLiteral("GeneratorError"), QStringLiteral("segment count out of 0..32700"));
    QFile::remove(path);
    if (!QFile::copy(templatePath, path))
        throw Failure(QStringLiteral("GeneratorError"), QStringLiteral("cannot copy ") + templatePath + QStringLiteral(" to ") + path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    const QString name = QStringLiteral("network-generator-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            const QSqlError error = db.lastError();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            fail(error);
        }
        try {
            fillCalculation(db, segmentCount, shape);
        } catch (...) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

SegmentInsert segmentInsertFor(const QSqlDatabase& db, const QHash<QString, bool>& userEntered)
{
    SegmentInsert out;
    QStringList names = {QStringLiteral("id"), QStringLiteral("НачУзел"), QStringLiteral("КонУзел")};
    for (const ColumnInfo& column : tableColumns(db, QStringLiteral("Табл"))) {
        if (!userEntered.value(column.name, false))
            continue;
        names.append(quoteName(column.name));
        if (column.name.startsWith(QStringLiteral("ДлНаУч")))
            out.fills.append(Fill::Length);
        else if (column.name.startsWith(QStringLiteral("Расх")))
            out.fills.append(Fill::Flow);
        else if (column.name.startsWith(QStringLiteral("Ду")))
            out.fills.append(Fill::Diameter);
        else
            out.fills.append(Fill::Other);
    }
    const QStringList marks(names.size(), QStringLiteral("?"));
    out.sql = QStringLiteral("INSERT INTO Табл (") + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
        + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    return out;
}

QHash<QString, bool> userEnteredIndicators(const QSqlDatabase& db)
{
    QHash<QString, bool> entered;
    QSqlQuery user = selectSql(db, QStringLiteral("SELECT НаимПокСокр, ВводПольз FROM Формулы ORDER BY Nпп, rowid"));
    while (user.next())
        if (!entered.contains(user.value(0).toString()))
            entered.insert(user.value(0).toString(), user.value(1).toBool());
    QSqlQuery predefined = selectSql(db, QStringLiteral("SELECT НаимПокСокр, ВводПольз FROM ФлыПредопрПок ORDER BY rowid"));
    QHash<QString, bool> predefinedEntered;
    while (predefined.next())
        if (!predefinedEntered.contains(predefined.value(0).toString()))
            predefinedEntered.insert(predefined.value(0).toString(), predefined.value(1).toBool());
    entered.insert(predefinedEntered);
    return entered;
}

} // namespace zurm::bench

#include "support/BenchSupport.h"

#include <QFileInfo>

zurm::bench::GeneratedCalculation::GeneratedCalculation(int segments)
    : path(folder.filePath(QStringLiteral("large.mdb")))
{
    generateCalculation(path, QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"), segments);
    data = std::make_unique<DataModule>(QFileInfo(path).absolutePath());
    data->createWorkDatabase(QString(), dialogs);
    data->openCalculation(path);
}
