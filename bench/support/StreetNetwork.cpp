#include "support/StreetNetwork.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "hydraulics/TopologyCheck.h"
#include "support/BenchSupport.h"
#include "support/NetworkGenerator.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

namespace zurm::bench {

namespace {

QAtomicInt connectionCounter;

constexpr int kMaxNodes = 32701; // node numbers 0 .. 32 700

constexpr int kNominalDiameters[] = {32,  40,  50,  65,  80,  100, 125, 150, 175, 200, 250, 300,
                                     350, 400, 450, 500, 600, 700, 800, 900, 1000, 1200, 1400};

// The smallest nominal diameter that keeps the velocity of hot water at about 1.2 m/s.
int nominalDiameterFor(double flowTonsPerHour)
{
    const double cubicMetresPerSecond = flowTonsPerHour / 3.6 / 960.0;
    const double millimetres = std::sqrt(4.0 * cubicMetresPerSecond / (M_PI * 1.2)) * 1000.0;
    for (int diameter : kNominalDiameters)
        if (diameter >= millimetres)
            return diameter;
    return kNominalDiameters[std::size(kNominalDiameters) - 1];
}

[[noreturn]] void fail(const QSqlError& error) { throw Failure(QString::fromLatin1(kSqlErrorClass), error.text()); }

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

// The tree in creation order: node 0 is the source, node i > 0 hangs below parent[i].
struct StreetTree {
    std::vector<int> parent;
    std::vector<double> length; // m, of the segment ending at the node
    std::vector<double> load;   // t/h drawn at an end node, 0 elsewhere
    std::vector<int> x, y;
    std::vector<int> depth; // segments from the source
};

struct PendingStreet {
    int from; // node the street leaves
    int level; // 0 trunk, 1 street, 2 lane, 3 alley
    int dx, dy;
};

StreetTree growStreets(int nodes, std::mt19937& random)
{
    StreetTree t;
    t.parent.assign(1, -1);
    t.length.assign(1, 0.0);
    t.load.assign(1, 0.0);
    t.x.assign(1, 200);
    t.y.assign(1, 16000);
    t.depth.assign(1, 0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto between = [&](double low, double high) { return low + (high - low) * unit(random); };
    auto whole = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    auto add = [&](int from, double metres, int dx, int dy) {
        const int node = int(t.parent.size());
        t.parent.push_back(from);
        t.length.push_back(std::round(metres * 2.0) / 2.0);
        t.load.push_back(0.0);
        const int pixels = int(metres / 4.0);
        t.x.push_back(std::clamp(t.x[size_t(from)] + dx * pixels, 0, 32000));
        t.y.push_back(std::clamp(t.y[size_t(from)] + dy * pixels, 0, 32000));
        t.depth.push_back(t.depth[size_t(from)] + 1);
        return node;
    };

    // Longer trunks for larger networks, so the deepest mains reach about 200 segments.
    const int trunkLength = std::clamp(nodes / 250, 15, 110);
    const int streetLength[] = {trunkLength, 0, 0, 0};
    const double sideStreetChance[] = {0.55, 0.22, 0.10, 0.0};
    constexpr double kServiceChance = 0.6;
    constexpr int kMaxDepth = 195;

    std::deque<PendingStreet> pending{{0, 0, 1, 0}};
    std::vector<int> streetNodes{0};
    while (int(t.parent.size()) < nodes) {
        if (pending.empty()) {
            // Every street is laid: open another one from some street node not too deep.
            const int from = streetNodes[size_t(whole(0, int(streetNodes.size()) - 1))];
            if (t.depth[size_t(from)] < kMaxDepth - 20)
                pending.push_back({from, whole(1, 2), 0, whole(0, 1) ? 1 : -1});
            continue;
        }
        const PendingStreet street = pending.front();
        pending.pop_front();
        int segments = street.level == 0 ? streetLength[0]
                       : street.level == 1 ? whole(15, 45)
                       : street.level == 2 ? whole(5, 20)
                                           : whole(3, 10);
        segments = std::min(segments, kMaxDepth - 1 - t.depth[size_t(street.from)]);
        int at = street.from;
        for (int k = 0; k < segments && int(t.parent.size()) < nodes; ++k) {
            at = add(at, between(30.0, 200.0), street.dx, street.dy);
            streetNodes.push_back(at);
            const bool last = k + 1 == segments;
            if (!last && int(t.parent.size()) < nodes && unit(random) < kServiceChance) {
                const int side = whole(0, 1) ? 1 : -1;
                const int building = add(at, between(20.0, 60.0), street.dy * side, street.dx * side);
                t.load[size_t(building)] = between(0.3, 6.0);
            }
            if (!last && street.level < 3 && unit(random) < sideStreetChance[street.level]) {
                const int side = whole(0, 1) ? 1 : -1;
                pending.push_back({at, street.level + 1, street.dy * side, street.dx * side});
            }
        }
    }
    // Every node without a successor is a building (a street that ends draws too).
    std::vector<char> hasChild(t.parent.size(), 0);
    for (size_t i = 1; i < t.parent.size(); ++i)
        hasChild[size_t(t.parent[i])] = 1;
    for (size_t i = 1; i < t.parent.size(); ++i)
        if (!hasChild[i] && t.load[i] == 0.0)
            t.load[i] = between(0.3, 6.0);
    return t;
}

double headerValue(const QString& name)
{
    static const QHash<QString, double> values = {
        {QStringLiteral("ПНапНаУзПод"), 160.0}, {QStringLiteral("РНапНаУз"), 80.0},
        {QStringLiteral("МинТВоды"), 70.0},     {QStringLiteral("МаксТВоды"), 130.0},
        {QStringLiteral("КэШер"), 0.5},         {QStringLiteral("ДолМестПот"), 0.3},
    };
    return values.value(name, 1.0);
}

void fillCalculation(const QSqlDatabase& db, const StreetTree& tree, const std::vector<int>& label,
                     const StreetNetworkOptions& options)
{
    // Predefined indicators win over user ones.
    const QHash<QString, bool> userEntered = userEnteredIndicators(db);
    const int nodes = int(tree.parent.size());
    Transaction transaction(db);

    execSql(db,
            QStringLiteral("UPDATE НазвРасч SET НазвРасч=?, РВ=0, ТипСети=1, ОпрД=0, РасчРасх=?, NНачУз=0, "
                           "NузПНапПод=0, NузРНап=0"),
            {QStringLiteral("Квартальная сеть из %1 узлов").arg(nodes), options.flowsOnEndSegmentsOnly ? 1 : 0});
    for (const ColumnInfo& column : tableColumns(db, QStringLiteral("Заг")))
        if (userEntered.value(column.name, false))
            execSql(db, QStringLiteral("UPDATE Заг SET %1=?").arg(quoteName(column.name)), {headerValue(column.name)});

    {
        QSqlQuery insert(db);
        prepare(insert, QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y, ГеодВыс) VALUES (?, ?, ?, ?)"));
        for (int i = 0; i < nodes; ++i) {
            const int x = tree.x[size_t(i)];
            const int y = tree.y[size_t(i)];
            const double height = 120.0 + 14.0 * std::sin(x / 900.0) + 9.0 * std::cos(y / 650.0) + (x + y) % 7 * 0.1;
            insert.bindValue(0, label[size_t(i)]);
            insert.bindValue(1, x);
            insert.bindValue(2, y);
            insert.bindValue(3, std::round(height * 100.0) / 100.0);
            run(insert);
        }
    }

    // Flow of each segment: what the buildings below it draw.
    std::vector<double> flow(tree.load);
    std::vector<char> endNode(size_t(nodes), 1);
    for (int i = nodes - 1; i >= 1; --i) {
        flow[size_t(tree.parent[size_t(i)])] += flow[size_t(i)];
        endNode[size_t(tree.parent[size_t(i)])] = 0;
    }

    const SegmentInsert segmentInsert = segmentInsertFor(db, userEntered);
    const QList<Fill>& fills = segmentInsert.fills;
    QSqlQuery insert(db);
    prepare(insert, segmentInsert.sql);
    for (int i = 1; i < nodes; ++i) {
        const double q = std::round(flow[size_t(i)] * 1000.0) / 1000.0;
        insert.bindValue(0, i);
        insert.bindValue(1, label[size_t(tree.parent[size_t(i)])]);
        insert.bindValue(2, label[size_t(i)]);
        for (qsizetype f = 0; f < fills.size(); ++f) {
            QVariant value = 1.0;
            switch (fills[f]) {
            case Fill::Length: value = tree.length[size_t(i)]; break;
            case Fill::Flow:
                value = (!options.flowsOnEndSegmentsOnly || endNode[size_t(i)]) ? QVariant(q)
                                                                                  : QVariant(QMetaType::fromType<double>());
                break;
            case Fill::Diameter: value = nominalDiameterFor(flow[size_t(i)]); break;
            case Fill::Other: break;
            }
            insert.bindValue(int(f) + 3, value);
        }
        run(insert);
    }
    transaction.commit();
}

void withConnection(const QString& path, const std::function<void(const QSqlDatabase&)>& work)
{
    const QString name = QStringLiteral("street-network-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        try {
            if (!db.open())
                fail(db.lastError());
            work(db);
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

} // namespace

StreetNetworkSummary generateStreetCalculation(const QString& path, const QString& templatePath,
                                               const QString& programFolder, const StreetNetworkOptions& options)
{
    if (options.nodes < 2 || options.nodes > kMaxNodes)
        throw Failure(QStringLiteral("GeneratorError"), QStringLiteral("node count out of 2..32701"));
    QFile::remove(path);
    if (!QFile::copy(templatePath, path))
        throw Failure(QStringLiteral("GeneratorError"), QStringLiteral("cannot copy ") + templatePath + QStringLiteral(" to ") + path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    std::mt19937 random(options.seed);
    const StreetTree tree = growStreets(options.nodes, random);
    std::vector<int> label(tree.parent.size());
    std::iota(label.begin(), label.end(), 0);
    if (options.shuffleNodeNumbers)
        std::shuffle(label.begin() + 1, label.end(), random);
    withConnection(path, [&](const QSqlDatabase& db) { fillCalculation(db, tree, label, options); });

    {
        QuietDialogs dialogs;
        SilentProgress progress;
        DataModule data(programFolder);
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(path);
        data.loadCalculationDoneFlag();
        TopologyResult topology = ParTSCorrF(data, progress, QStringLiteral("0"));
        applyHeadChangeRule(data, topology);
        storeNetworkStatus(data, topology.status, topology.message);
        if (topology.status != kNetworkCorrect)
            throw Failure(QStringLiteral("GeneratorError"),
                          QStringLiteral("network status %1: %2").arg(topology.status).arg(topology.message));
    }

    StreetNetworkSummary summary;
    summary.nodes = int(tree.parent.size());
    summary.segments = summary.nodes - 1;
    std::vector<char> hasChild(tree.parent.size(), 0);
    for (size_t i = 1; i < tree.parent.size(); ++i) {
        hasChild[size_t(tree.parent[i])] = 1;
        summary.totalLength += tree.length[i];
    }
    for (size_t i = 1; i < tree.parent.size(); ++i)
        if (!hasChild[i]) {
            ++summary.endNodes;
            summary.longestMain = std::max(summary.longestMain, tree.depth[i]);
            summary.mainRows += tree.depth[i];
        }
    return summary;
}

namespace {

struct GeneratedStreets {
    QString path;
    StreetNetworkSummary summary;
};

const GeneratedStreets& generatedStreets(int nodes)
{
    static QTemporaryDir folder;
    static QMap<int, GeneratedStreets> files;
    if (!files.contains(nodes)) {
        GeneratedStreets generated;
        generated.path = folder.filePath(QStringLiteral("streets-%1.mdb").arg(nodes));
        StreetNetworkOptions options;
        options.nodes = nodes;
        generated.summary = generateStreetCalculation(generated.path, QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"),
                                                      QStringLiteral(ZURM_BIN_DIR), options);
        files.insert(nodes, generated);
    }
    return files[nodes];
}

} // namespace

const QString& streetCalculation(int nodes) { return generatedStreets(nodes).path; }

const StreetNetworkSummary& streetCalculationSummary(int nodes) { return generatedStreets(nodes).summary; }

} // namespace zurm::bench
