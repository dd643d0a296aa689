// The drawing operations on the generated street network of 32 700 nodes:
// each operation (without the repaint), and the undo of each. Every iteration
// undoes what it did, so all run on the same network. The worst cases are
// deleting the whole network from the start node and moving every node, and
// the operations on many selected nodes. Goal: at most 0.2 s for each
// operation and for each undo. The lengths from the map scale go over every
// segment once, when the drawing window closes.
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "network/SchemaData.h"
#include "network/SchemaEditHistory.h"
#include "network/SchemaEditing.h"
#include "network/SegmentLengths.h"
#include "support/BenchSupport.h"
#include "support/StreetNetwork.h"

#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>
#include <functional>

namespace {

constexpr int kNodes = 32700;
const QSize kPicture(30000, 30000);

enum class Measured { Operation, Undo };

void run(benchmark::State& state, Measured measured, const std::function<void(zurm::SchemaEditing&, zurm::DataModule&)>& prepare,
         const std::function<void(zurm::SchemaEditing&)>& operation)
{
    // A copy of its own: the benches change the network.
    const QString& original = zurm::bench::streetCalculation(kNodes);
    const QString path = QFileInfo(original).absolutePath() + QStringLiteral("/editing.gdb");
    QFile::remove(path);
    QFile::copy(original, path);
    zurm::bench::QuietDialogs dialogs;
    zurm::DataModule data(QFileInfo(path).absolutePath());
    data.createWorkDatabase(QString(), dialogs);
    data.openCalculation(path);
    zurm::SchemaEditHistory history;
    zurm::SchemaEditing editing(data, dialogs, &history);
    for (auto _ : state) {
        state.PauseTiming();
        prepare(editing, data);
        if (measured == Measured::Operation)
            state.ResumeTiming();
        operation(editing);
        if (measured == Measured::Operation)
            state.PauseTiming();
        else
            state.ResumeTiming();
        if (!history.undo(data)) {
            state.SkipWithError("nothing to undo");
            return;
        }
        if (measured == Measured::Undo)
            state.PauseTiming();
        state.ResumeTiming();
    }
    state.counters["nodes"] = zurm::selectValue(data.calculation(), QStringLiteral("SELECT count(*) FROM УзлыТС")).toDouble();
}

// A node in the middle of a street: one segment enters it, one leaves it.
int streetNode(zurm::DataModule& data)
{
    return zurm::selectValue(data.calculation(),
                             QStringLiteral("SELECT НачУзел FROM Табл WHERE НачУзел <> 0 GROUP BY НачУзел "
                                            "HAVING count(*) = 1 ORDER BY НачУзел LIMIT 1 OFFSET 500"))
        .toInt();
}

void selectOnly(zurm::DataModule& data, int node)
{
    zurm::clearSchemaSelection(data.work());
    zurm::addSelectedNode(data.work(), node);
}

// Selects the nodes the query gives.
void selectAll(zurm::DataModule& data, const QString& sql)
{
    std::vector<int> nodes;
    QSqlQuery query = zurm::selectSql(data.calculation(), sql);
    while (query.next())
        nodes.push_back(query.value(0).toInt());
    zurm::clearSchemaSelection(data.work());
    zurm::execSql(data.work(), QStringLiteral("INSERT INTO ВыделУзлыТС (Nуз) SELECT value FROM json_each(?)"),
                  {zurm::jsonNumbers(nodes)});
}

// Every node in the middle of a street.
const QString kStreetNodes = QStringLiteral("SELECT НачУзел FROM Табл WHERE НачУзел <> 0 GROUP BY НачУзел HAVING count(*) = 1");

// Where the group move presses: a corner of the rectangle of all nodes.
QPoint groupCorner;

void registerAll()
{
    struct Case {
        const char* name;
        std::function<void(zurm::SchemaEditing&, zurm::DataModule&)> prepare;
        std::function<void(zurm::SchemaEditing&)> operation;
    };
    static const std::vector<Case> cases{
        {"DrawSegment", [](zurm::SchemaEditing&, zurm::DataModule& d) { selectOnly(d, streetNode(d)); },
         [](zurm::SchemaEditing& e) { e.mousePress({29000, 29000}, zurm::kModeDrawSegment, kPicture); }},
        {"AddNode", [](zurm::SchemaEditing&, zurm::DataModule& d) { selectOnly(d, streetNode(d)); },
         [](zurm::SchemaEditing& e) { e.OperAddUz(); }},
        {"DeleteNode", [](zurm::SchemaEditing&, zurm::DataModule& d) { selectOnly(d, streetNode(d)); },
         [](zurm::SchemaEditing& e) { e.OperDelSelUz(); }},
        {"DeleteAllNodesFromStart", [](zurm::SchemaEditing&, zurm::DataModule& d) { selectOnly(d, 0); },
         [](zurm::SchemaEditing& e) { e.OperDelPartTS(); }},
        // A thousand street nodes deleted first (and kept deleted): their
        // numbers are free for a thousand new nodes before all nodes.
        {"AddNodesAllSelected",
         [](zurm::SchemaEditing& e, zurm::DataModule& d) {
             selectAll(d, kStreetNodes + QStringLiteral(" LIMIT 1000"));
             e.OperDelSelUz();
             e.OperSelAllUz();
         },
         [](zurm::SchemaEditing& e) { e.OperAddUz(); }},
        {"DeleteStreetNodes", [](zurm::SchemaEditing&, zurm::DataModule& d) { selectAll(d, kStreetNodes); },
         [](zurm::SchemaEditing& e) { e.OperDelSelUz(); }},
        // 1 → 32700, then 2 → 1, 3 → 2, …: a thousand renamings that all succeed.
        {"Rename1000Nodes",
         [](zurm::SchemaEditing& e, zurm::DataModule& d) {
             selectAll(d, QStringLiteral("SELECT Nуз FROM УзлыТС WHERE Nуз BETWEEN 1 AND 1000"));
             e.OperRenameSelUz();
             zurm::execSql(d.work(), QStringLiteral("UPDATE ПереимУз SET НовыйNуз = CASE Nуз WHEN 1 THEN 32700 ELSE Nуз - 1 END"));
         },
         [](zurm::SchemaEditing& e) { e.renameNodes(); }},
        {"RenameNode",
         [](zurm::SchemaEditing& e, zurm::DataModule& d) {
             selectOnly(d, streetNode(d));
             e.OperRenameSelUz();
             zurm::execSql(d.work(), QStringLiteral("UPDATE ПереимУз SET НовыйNуз = 32700"));
         },
         [](zurm::SchemaEditing& e) { e.renameNodes(); }},
        {"MoveAllNodes",
         [](zurm::SchemaEditing& e, zurm::DataModule& d) {
             e.OperSelAllUz();
             const zurm::SelectionRect rect = zurm::readSchemaSelection(d.work()).rect.value_or(zurm::SelectionRect{});
             groupCorner = QPoint(rect.x2, rect.y2);
         },
         [](zurm::SchemaEditing& e) {
             e.mouseRelease(groupCorner, groupCorner - QPoint(1, 1), zurm::kModeMoveSelection, kPicture);
         }},
    };
    for (const Case& c : cases) {
        for (const Measured measured : {Measured::Operation, Measured::Undo}) {
            const std::string name = std::string(c.name) + (measured == Measured::Undo ? "/Undo" : "");
            benchmark::RegisterBenchmark(name.c_str(), [&c, measured](benchmark::State& state) {
                run(state, measured, c.prepare, c.operation);
            })->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
        }
    }
}

const int registered = (registerAll(), 0);

void LengthsFromScale(benchmark::State& state)
{
    const QString& original = zurm::bench::streetCalculation(kNodes);
    const QString path = QFileInfo(original).absolutePath() + QStringLiteral("/lengths.gdb");
    QFile::remove(path);
    QFile::copy(original, path);
    zurm::bench::QuietDialogs dialogs;
    zurm::DataModule data(QFileInfo(path).absolutePath());
    data.openCalculation(path);
    zurm::CalculationRow(data.calculation()).setValue(zurm::CalculationRow::kMapScale, 250);
    for (auto _ : state)
        if (!zurm::ComputeLengthsFromScale(data).isEmpty())
            state.SkipWithError("no lengths");
}
BENCHMARK(LengthsFromScale)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
