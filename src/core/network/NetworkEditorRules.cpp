#include "network/NetworkEditorRules.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "document/NetworkKinds.h"
#include "hydraulics/TopologyCheck.h"
#include "network/MapCommands.h"
#include "network/SchemaData.h"
#include "network/SegmentLengths.h"

#include <QSqlQuery>
#include <algorithm>

namespace zurm {

namespace {

const QString kNotChecked = QStringLiteral("Проверка параметров теплосети не выполнена.");
const QString kEmptyNetwork = QStringLiteral("Таблица \"Участки теплосети\" пуста.");
const QString kHeadAtStart = QStringLiteral("Начальный узел теплосети не должен присутствовать в таблице "
                                            "\"Изменение полного напора в узлах теплосети\".");

QString tableOf(NetworkTable table)
{
    switch (table) {
    case NetworkTable::Nodes: return QStringLiteral("[УзлыТС]");
    case NetworkTable::Segments: return QStringLiteral("[Табл]");
    case NetworkTable::HeadChanges: return QStringLiteral("[ИзмПНапВУзлахТС]");
    case NetworkTable::EndNodes: return QStringLiteral("[КонМаг]");
    }
    return {};
}

} // namespace

QString networkStatusText(int status, const QString& message)
{
    switch (status) {
    case kNetworkCorrect: return {};
    case kNetworkEmpty: return kEmptyNetwork;
    case kNetworkHeadAtStart: return kHeadAtStart;
    default: return message;
    }
}

NetworkEditorState::NetworkEditorState(DataModule& data, UserDialogs& dialogs, Progress& progress)
    : data_(data), dialogs_(dialogs), progress_(progress)
{
}

void NetworkEditorState::open(int status, const QString& message)
{
    status_ = status;
    message_ = message;
    const CalculationRow::NetworkParameters parameters = CalculationRow(data_.calculation()).networkParameters();
    twoPipe_ = parameters.type() == kTwoPipe;
    designMode_ = parameters.designMode;
    manualFill_ = status == kNetworkEmpty || status == kNetworkError;
    endNodeEditing_ = false;

    supplyFlowCaption = QStringLiteral("РасхПод");
    returnFlowCaption = QStringLiteral("РасхОбр");
    QSqlQuery query = selectSql(data_.calculation(), QStringLiteral("SELECT [НаимПокСокр], [НаимПок], [ВводПольз] "
                                                                    "FROM [ФлыПредопрПок]"));
    while (query.next()) {
        const QString shortName = query.value(0).toString();
        if (shortName == QStringLiteral("ДлНаУчОбр")) {
            returnLengthEntered = query.value(2).toBool();
        } else if (shortName == QStringLiteral("РасхОбр")) {
            returnFlowCaption = query.value(1).toString();
            returnFlowEntered = query.value(2).toBool();
        } else if (shortName == QStringLiteral("РасхПод")) {
            supplyFlowCaption = query.value(1).toString();
        }
    }
}

NetworkEditorState::Columns NetworkEditorState::columns() const
{
    Columns c;
    if (!twoPipe_)
        return c;
    c.returnLength = returnLengthEntered;
    c.returnFlow = returnFlowEntered;
    c.givenSupplyHead = designMode_;
    c.givenAvailableHead = designMode_;
    c.temperatureDifference = true;
    return c;
}

NetworkEditorState::Menus NetworkEditorState::menus(int endNodeRows) const
{
    Menus m;
    m.manualCommands = manualFill_;
    m.keyGridsEditable = manualFill_;
    m.selectionCommands = !manualFill_;
    m.autoFillEndNodes = endNodeRows >= 2 && endNodeEditing_;
    m.endNodesEditable = endNodeEditing_;
    m.endNodeHint = endNodeEditing_
        ? QStringLiteral("Теперь можно править таблицу \"Конечные узлы теплосети\".")
        : QStringLiteral("Выполните команду [Схема теплосети / Править таблицу \"Конечные узлы теплосети\"], "
                         "чтобы изменить данные в этой таблице.");
    return m;
}

void NetworkEditorState::noteMenusApplied(const QObject* source)
{
    if (endNodeEditing_)
        data_.noteInputChanged(source);
}

void NetworkEditorState::switchManualFillOn()
{
    if (manualFill_)
        return;
    storeNetworkStatus(data_, kNetworkError, kNotChecked);
    status_ = kNetworkError;
    message_ = kNotChecked;
    manualFill_ = true;
    endNodeEditing_ = false;
}

bool NetworkEditorState::switchEndNodeEditingOn(const QString& startNodeText)
{
    if (endNodeEditing_)
        return true;
    if (manualFill_) {
        const TopologyResult result = ParTSCorrF(data_, progress_, startNodeText);
        status_ = result.status;
        message_ = result.message;
        if (status_ == kNetworkCorrect)
            manualFill_ = false;
        else
            dialogs_.showMessage(networkStatusText(status_, message_), MessageKind::Error);
    }
    endNodeEditing_ = !manualFill_;
    return endNodeEditing_;
}

int NetworkEditorState::close(const QString& startNodeText)
{
    if (manualFill_) {
        const TopologyResult result = ParTSCorrF(data_, progress_, startNodeText);
        status_ = result.status;
        message_ = result.message;
    }
    if (status_ == kNetworkCorrect || status_ == kNetworkHeadAtStart) {
        TopologyResult decided{kNetworkCorrect, QString()};
        applyHeadChangeRule(data_, decided);
        status_ = decided.status;
        message_.clear();
    }
    if (status_ != kNetworkCorrect)
        dialogs_.showMessage(networkStatusText(status_, message_), MessageKind::Error);
    storeNetworkStatus(data_, status_, message_);
    const QString unknown = unknownHeadChangeNodes(data_);
    if (!unknown.isEmpty())
        dialogs_.showMessage(unknown, MessageKind::Warning);
    return status_;
}

bool NetworkEditorState::beginDrawing(const QString& startNodeText)
{
    const TopologyResult result = ParTSCorrF(data_, progress_, startNodeText);
    const QSqlDatabase db = data_.calculation();
    const bool hasRows = selectValue(db, QStringLiteral("SELECT 1 FROM УзлыТС UNION ALL SELECT 1 FROM Табл LIMIT 1")).isValid();
    if (hasRows && result.status != kNetworkCorrect) {
        const QString question = result.status == kNetworkEmpty
            ? kEmptyNetwork + QStringLiteral("\r\rДля рисования схемы теплосети необходимо очистить таблицу \"Узлы "
                                             "теплосети\".\rОчистить таблицу \"Узлы теплосети\"?")
            : result.message + QStringLiteral("\r\rДля рисования схемы теплосети необходимо очистить таблицы \"Узлы "
                                              "теплосети\", \"Участки теплосети\".\rОчистить таблицы \"Узлы "
                                              "теплосети\", \"Участки теплосети\"?");
        if (!dialogs_.askYesNo(QStringLiteral("ЗУРМ"), question))
            return false;
        Transaction transaction(db);
        if (result.status == kNetworkError)
            execSql(db, QStringLiteral("DELETE FROM Табл"));
        // Head changes would otherwise attach to the new nodes of the same numbers.
        execSql(db, QStringLiteral("DELETE FROM ИзмПНапВУзлахТС"));
        execSql(db, QStringLiteral("DELETE FROM УзлыТС"));
        transaction.commit();
        data_.noteInputChanged(nullptr);
    }
    manualFill_ = false;
    endNodeEditing_ = false;
    return true;
}

void NetworkEditorState::checkDrawnNetwork(const QString& startNodeText)
{
    const TopologyResult result = ParTSCorrF(data_, progress_, startNodeText);
    status_ = result.status;
    message_ = result.message;
}

void NetworkEditorState::finishDrawing()
{
    if (readMapScale(data_).lengthsFromScale) {
        progress_.setBusy(true);
        progress_.setStatus(QStringLiteral("Вычисление длины участков сети."));
        QString refusal;
        try {
            refusal = ComputeLengthsFromScale(data_);
        } catch (...) {
            progress_.setStatus(QString());
            progress_.setBusy(false);
            throw;
        }
        progress_.setStatus(QString());
        progress_.setBusy(false);
        if (!refusal.isEmpty())
            dialogs_.showMessage(refusal, MessageKind::Warning);
    }
    if (status_ != kNetworkCorrect)
        dialogs_.showMessage(networkStatusText(status_, message_), MessageKind::Error);
}

QString unknownHeadChangeNodes(DataModule& data)
{
    QStringList nodes;
    QSqlQuery query = selectSql(data.calculation(),
                                QStringLiteral("SELECT DISTINCT h.[Nуз] FROM [ИзмПНапВУзлахТС] h WHERE NOT EXISTS "
                                               "(SELECT 1 FROM [УзлыТС] n WHERE n.[Nуз] = h.[Nуз]) ORDER BY h.[Nуз]"));
    while (query.next())
        nodes.append(query.value(0).toString());
    if (nodes.isEmpty())
        return {};
    const QString table = QStringLiteral(" таблицы \"Изменение полного напора в узлах теплосети\" ");
    if (nodes.size() == 1)
        return QStringLiteral("Узел ") + nodes[0] + table + QStringLiteral("не найден в таблице \"Узлы теплосети\".");
    return QStringLiteral("Узлы ") + nodes.join(QStringLiteral(", ")) + table
           + QStringLiteral("не найдены в таблице \"Узлы теплосети\".");
}

void deleteNetworkRows(DataModule& data, NetworkTable table, const QList<qint64>& rowIds, const QObject* source)
{
    if (rowIds.isEmpty())
        return;
    data.noteInputChanged(source);
    const QSqlDatabase db = data.calculation();
    Transaction transaction(db);
    QSqlQuery remove = prepareSql(db, QStringLiteral("DELETE FROM ") + tableOf(table) + QStringLiteral(" WHERE rowid=?"));
    for (qint64 id : rowIds) {
        remove.bindValue(0, id);
        execPrepared(remove);
    }
    transaction.commit();
}

void deleteAllNetworkRows(DataModule& data, NetworkTable table, const QObject* source)
{
    data.noteInputChanged(source);
    execSql(data.calculation(), QStringLiteral("DELETE FROM ") + tableOf(table));
}

int rowAfterDelete(int lastMarked, int deleted, int remaining)
{
    if (remaining <= 0)
        return -1;
    const int p = lastMarked + 1 - deleted; // rows before the one that followed the block
    return p >= remaining ? remaining - 1 : p;
}

QSet<int> selectedSchemaNodes(DataModule& data)
{
    const std::vector<int> nodes = readSchemaSelection(data.work()).nodes;
    return QSet<int>(nodes.begin(), nodes.end());
}

int selectSchemaNodes(DataModule& data, const QList<int>& nodes, bool onlyExisting, bool rectangle)
{
    struct Place {
        int node, x, y;
    };
    QList<Place> places;
    for (int node : nodes) {
        QSqlQuery query = selectSql(data.calculation(), QStringLiteral("SELECT x, y FROM [УзлыТС] WHERE [Nуз]=?"), {node});
        if (query.next())
            places.append({node, query.value(0).toInt(), query.value(1).toInt()});
        else if (!onlyExisting)
            places.append({node, 0, 0});
    }
    const QSqlDatabase work = data.work();
    Transaction transaction(work);
    clearSchemaSelection(work);
    QSet<int> added;
    for (const Place& place : places)
        if (!added.contains(place.node)) {
            addSelectedNode(work, place.node);
            added.insert(place.node);
        }
    if (rectangle && places.size() == 2 && (places[0].x != places[1].x || places[0].y != places[1].y))
        setSelectionRect(work, {std::min(places[0].x, places[1].x), std::min(places[0].y, places[1].y),
                                std::max(places[0].x, places[1].x), std::max(places[0].y, places[1].y)});
    transaction.commit();
    return int(added.size());
}

QList<int> rowsWithNodes(const NetworkTableModel& model, int column, const QSet<int>& nodes)
{
    QList<int> rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QVariant value = model.value(row, column);
        if (!value.isNull() && nodes.contains(int(qint16(value.toInt()))))
            rows.append(row);
    }
    return rows;
}

} // namespace zurm
