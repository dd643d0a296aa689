#include "gui/network/NetworkEditor.h"
#include "gui/network/NetworkEditorParts.h"

#include "base/Guarded.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/entry/SpreadsheetLoadDialog.h"
#include "gui/network/ConsumersTab.h"
#include "gui/network/SchemaDrawingWindow.h"
#include "gui/network/SchemaView.h"
#include "document/CalculationRow.h"
#include "network/NetworkEditorRules.h"
#include "session/DocumentSession.h"

#include <QItemSelection>
#include <QLineEdit>
#include <QTabWidget>
#include <algorithm>

// The table and selection commands of the network parameters editor.
namespace zurm::gui {

using namespace editorparts;

static CalculationGrid* keyGridOf(NetworkTable table, CalculationGrid* nodes, CalculationGrid* segments,
                                  CalculationGrid* heads)
{
    return table == NetworkTable::Nodes ? nodes : table == NetworkTable::Segments ? segments : heads;
}

void NetworkEditor::deleteMarkedRows(NetworkTable table)
{
    const Variant variant = variantOf(table);
    if (variant.tab >= 0)
        selectTab(variant.tab);
    CalculationGrid* grid = keyGridOf(table, dgUzTS_, dgNU_, dgIsmPNap_);
    auto* model = models_.value(table);
    grid->finishEditing();
    QList<int> marked;
    for (const QModelIndex& index : grid->selectionModel()->selectedRows())
        marked.append(index.row());
    std::sort(marked.begin(), marked.end());
    if (marked.isEmpty()) {
        dialogs_.showMessage(QStringLiteral("Выделите хотя бы одну запись таблицы ") + quoted(variant.table)
                             + QLatin1Char('.'), MessageKind::Warning);
        return;
    }
    if (!dialogs_.askYesNo(kCaption, QStringLiteral("Удалить выделенные записи таблицы ") + quoted(variant.table)
                                          + QLatin1Char('?')))
        return;
    QList<qint64> ids;
    for (int row : marked)
        if (!model->isNewRow(row))
            ids.append(model->rowId(row));
    grid->setUpdatesEnabled(false);
    const bool deleted = guarded(kCommandContext, [&] {
        deleteNetworkRows(session_.data(), table, ids, model);
        model->select();
    });
    grid->clearSelection();
    if (deleted) {
        const int row = rowAfterDelete(marked.last(), int(marked.size()), model->rowCount());
        if (row >= 0)
            setCurrentRow(grid, row);
    }
    grid->setUpdatesEnabled(true);
    if (table == NetworkTable::Nodes || table == NetworkTable::Segments)
        schema_->paintSchema();
}

void NetworkEditor::deleteAllRows(NetworkTable table)
{
    const Variant variant = variantOf(table);
    if (variant.tab >= 0)
        selectTab(variant.tab);
    if (!dialogs_.askYesNo(kCaption, QStringLiteral("Удалить все записи таблицы ") + quoted(variant.table)
                                          + QLatin1Char('?')))
        return;
    auto* model = models_.value(table);
    keyGridOf(table, dgUzTS_, dgNU_, dgIsmPNap_)->finishEditing();
    guarded(kCommandContext, [&] {
        deleteAllNetworkRows(session_.data(), table, model);
        model->select();
    });
    if (table == NetworkTable::Nodes || table == NetworkTable::Segments)
        schema_->paintSchema();
}

void NetworkEditor::markAllRows(NetworkTable table)
{
    const Variant variant = variantOf(table);
    if (variant.tab >= 0)
        selectTab(variant.tab);
    CalculationGrid* grid = keyGridOf(table, dgUzTS_, dgNU_, dgIsmPNap_);
    if (grid->model()->rowCount() == 0)
        return;
    const QModelIndex current = grid->currentIndex();
    grid->selectAll();
    if (current.isValid())
        grid->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void NetworkEditor::selectCurrentNodes(NetworkTable table)
{
    NetworkCommand command(*this);
    CalculationGrid* grid = table == NetworkTable::Nodes          ? dgUzTS_
                            : table == NetworkTable::Segments     ? dgNU_
                            : table == NetworkTable::HeadChanges ? dgIsmPNap_
                                                                  : dgKonMagIdM_;
    const int row = currentRow(grid);
    if (table == NetworkTable::HeadChanges && !leaveRow(grid, row))
        return;
    auto* model = models_.value(table);
    QList<int> nodes;
    auto addNode = [&](const QString& column) {
        const QVariant value = model->value(row, column);
        if (row >= 0 && !value.isNull())
            nodes.append(value.toInt());
    };
    switch (table) {
    case NetworkTable::Nodes: addNode(QStringLiteral("Nуз")); break;
    case NetworkTable::EndNodes: addNode(QStringLiteral("КонУзел")); break;
    case NetworkTable::HeadChanges: addNode(QStringLiteral("Nуз")); break;
    case NetworkTable::Segments:
        addNode(QStringLiteral("НачУзел"));
        addNode(QStringLiteral("КонУзел"));
        break;
    }
    int selected = 0;
    if (!guarded(kCommandContext, [&] {
            selected = selectSchemaNodes(session_.data(), nodes, table == NetworkTable::HeadChanges,
                                         table == NetworkTable::Segments);
        }))
        return;
    schema_->paintSchema();
    schema_->scrollToSelection();
    if (table == NetworkTable::HeadChanges && selected == 0)
        dialogs_.showMessage(QStringLiteral("Узел ") + model->value(row, 0).toString()
                             + QStringLiteral(" не найден на схеме теплосети."), MessageKind::Information);
}

SchemaDrawingWindow* NetworkEditor::drawingWindow()
{
    if (!drawingWindow_)
        drawingWindow_ = new SchemaDrawingWindow(session_, dialogs_, this);
    return drawingWindow_;
}

void NetworkEditor::drawNetworkSchema()
{
    DataSave();
    // A row that could not be saved stays in its grid (it has been explained):
    // drawing would read the tables again and lose it.
    for (NetworkTableModel* model : std::as_const(models_))
        if (model->pendingRow() >= 0)
            return;
    for (CalculationGrid* grid : grids_)
        grid->setUpdatesEnabled(false);
    bool draw = false;
    guarded(kCommandContext, [&] { draw = state_->beginDrawing(startNodeText()); });
    if (draw) {
        reselect();
        UpdateEditorMenus();
        schema_->releaseMap();
        drawing_ = true;
        drawingWindow()->run();
        drawing_ = false;
        guarded(kCommandContext, [&] {
            const QVariant start = CalculationRow(session_.data().calculation()).value(CalculationRow::kStartNode);
            edNachUzTS_->setText(start.isNull() ? QString() : start.toString());
            state_->checkDrawnNetwork(startNodeText());
        });
        schema_->setEditorNetwork(state_->twoPipe() ? 1 : 0, state_->status());
        setWindowTitle(schema_->loadMap());
        guarded(kCommandContext, [&] { state_->finishDrawing(); });
        reselect();
        // The lengths leave both tables on their first rows.
        setCurrentRow(dgUzTS_, 0);
        setCurrentRow(dgNU_, 0);
    }
    for (CalculationGrid* grid : grids_)
        grid->setUpdatesEnabled(true);
    schema_->setFocus();
}

void NetworkEditor::selectNodesByNumbers()
{
    NetworkCommand command(*this);
    if (!schema_->selectNodesByNumbers(QStringLiteral("Выделение узлов на схеме теплосети")))
        return;
    bool none = false;
    guarded(kCommandContext, [&] { none = selectedSchemaNodes(session_.data()).isEmpty(); });
    if (none)
        dialogs_.showMessage(QStringLiteral("Ни один узел не найден на схеме теплосети."), MessageKind::Information);
}

void NetworkEditor::cancelSelection()
{
    NetworkCommand command(*this);
    schema_->clearSelection();
}

void NetworkEditor::findSelectedNodes(int kind)
{
    int count = 0;
    {
        NetworkCommand command(*this);
        QSet<int> nodes;
        if (!guarded(kCommandContext, [&] { nodes = selectedSchemaNodes(session_.data()); }))
            return;
        if (nodes.isEmpty()) {
            dialogs_.showMessage(QStringLiteral("Выделите хотя бы один узел на схеме теплосети."),
                                 MessageKind::Warning);
            return;
        }
        CalculationGrid* grid = kind == 2 ? dgUzTS_ : dgNU_;
        auto* model = static_cast<NetworkTableModel*>(grid->model());
        const int column = kind == 0 ? 1 : kind == 1 ? 2 : 0;
        grid->clearSelection();
        const QList<int> rows = rowsWithNodes(*model, column, nodes);
        QItemSelection selection;
        for (int row : rows)
            selection.select(model->index(row, 0), model->index(row, model->columnCount() - 1));
        grid->selectionModel()->select(selection, QItemSelectionModel::Select);
        count = int(rows.size());
        if (!rows.isEmpty())
            (kind == 2 ? command.nodesRow : command.segmentsRow) = rows.first();
    }
    if (kind != 2)
        selectTab(0);
    static const char* const found[] = {"Количество участков, которые начинаются с выделенных узлов: ",
                                        "Количество участков, которые заканчиваются выделенными узлами: ",
                                        "Количество узлов, которые найдены в таблице \"Узлы теплосети\": "};
    static const char* const none[] = {"Участки, которые начинаются с выделенных узлов, не найдены.",
                                       "Участки, которые заканчиваются выделенными узлами, не найдены.",
                                       "Выделенные узлы не найдены в таблице \"Узлы теплосети\"."};
    dialogs_.showMessage(count > 0 ? QString::fromUtf8(found[kind]) + QString::number(count) + QLatin1Char('.')
                                   : QString::fromUtf8(none[kind]), MessageKind::Information);
}

ConsumerTableModel* NetworkEditor::consumerModel() const
{
    return consumersTab_->model();
}

void NetworkEditor::refreshConsumersTab()
{
    consumersTab_->select(state_->twoPipe());
    const bool shown = consumersTab_->model()->rowCount() > 0;
    const int at = tcTabl_->indexOf(consumersTab_);
    if (shown && at < 0)
        tcTabl_->addTab(consumersTab_, QStringLiteral("Потребители"));
    else if (!shown && at >= 0)
        tcTabl_->removeTab(at);
    actions_.value(QStringLiteral("miEditLoadPotr"))->setEnabled(shown && !session_.data().calculationReadOnly());
}

void NetworkEditor::loadConsumers()
{
    DataSave();
    SpreadsheetLoadDialog dialog(session_.data(), dialogs_, mainProgress_, this, LoadTarget::Consumers);
    if (!guarded(QStringLiteral("Ошибка при открытии окна загрузки данных из Microsoft Excel."),
                 [&] { dialog.prepare(); }))
        return;
    dialog.applyFontSizes(fontSizes_);
    dialog.exec();
    guarded(kCommandContext, [&] { refreshConsumersTab(); });
    selectTab(tcTabl_->indexOf(consumersTab_));
}

} // namespace zurm::gui
