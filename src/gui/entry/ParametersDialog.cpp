#include "gui/entry/ParametersDialog.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "document/NetworkKinds.h"
#include "entry/IndicatorTableModel.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/entry/CaptionHeaderView.h"
#include "gui/entry/PredefinedIndicatorDialog.h"
#include "gui/help/Help.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QHash>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QVBoxLayout>
#include <functional>

namespace zurm::gui {

namespace {

const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");
const QString kStoreContext = QStringLiteral("Ошибка при сохранении параметров расчета.");
const QString kDeleteContext = QStringLiteral("Ошибка при удалении записей.");
const QString kAppendContext = QStringLiteral("Ошибка при добавлении записи.");

constexpr int kFormulaWidth = 360;

QString fieldOf(const QModelIndex& index)
{
    return index.model()->headerData(index.column(), Qt::Horizontal, Qt::UserRole).toString();
}

bool isBooleanCell(const QModelIndex& index)
{
    return index.data(Qt::EditRole).metaType().id() == QMetaType::Bool;
}

// Editing of the user indicators: "Да" / "Нет" chosen from a list for the flags,
// one letter for the type, plain text for names and formulas, a number for Nпп.
class IndicatorDelegate : public GridValueDelegate {
public:
    using GridValueDelegate::GridValueDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (isBooleanCell(index)) {
            auto* box = new QComboBox(parent);
            box->addItems({QStringLiteral("Да"), QStringLiteral("Нет")});
            return box;
        }
        const QString field = fieldOf(index);
        if (field == QStringLiteral("Nпп"))
            return GridValueDelegate::createEditor(parent, option, index);
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        if (field == QStringLiteral("ТипПок")) {
            editor->setMaxLength(1);
            editor->setAlignment(Qt::AlignCenter);
        } else if (field == QStringLiteral("НаимПокСокр")) {
            editor->setMaxLength(255);
        }
        return editor;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            const QVariant value = index.data(Qt::EditRole);
            box->setCurrentIndex(value.isNull() ? -1 : value.toBool() ? 0 : 1);
            return;
        }
        if (fieldOf(index) == QStringLiteral("Nпп")) {
            GridValueDelegate::setEditorData(editor, index);
            return;
        }
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setText(index.data(Qt::EditRole).toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            if (box->currentIndex() >= 0)
                model->setData(index, box->currentIndex() == 0, Qt::EditRole);
            return;
        }
        if (fieldOf(index) == QStringLiteral("Nпп")) {
            GridValueDelegate::setModelData(editor, model, index);
            return;
        }
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            const QVariant old = index.data(Qt::EditRole);
            if (old.isNull() ? line->text().isEmpty() : old.toString() == line->text())
                return; // unchanged: nothing is written
            model->setData(index, line->text(), Qt::EditRole);
        }
    }
};

// The user-indicator grid: Insert, or Down on the last row, adds an indicator.
class IndicatorGrid : public CalculationGrid {
public:
    using CalculationGrid::CalculationGrid;
    std::function<void()> appendRequested;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        const int rows = model() ? model()->rowCount() : 0;
        const bool atEnd = rows == 0 || (currentIndex().isValid() && currentIndex().row() == rows - 1);
        if (plain && appendRequested
            && (event->key() == Qt::Key_Insert || (event->key() == Qt::Key_Down && atEnd))) {
            finishEditing();
            event->accept();
            appendRequested();
            return;
        }
        CalculationGrid::keyPressEvent(event);
    }
};

void setUpIndicatorGrid(QTableView* grid, const IndicatorTableModel* model)
{
    static const QHash<QString, int> widths = {
        {QStringLiteral("Nпп"), 50},          {QStringLiteral("НаимПок"), 320},
        {QStringLiteral("НаимПокСокр"), 200}, {QStringLiteral("ТипПок"), 160},
        {QStringLiteral("Формула"), kFormulaWidth},
    };
    // The column titles are long phrases: they wrap at word boundaries.
    if (!qobject_cast<CaptionHeaderView*>(grid->horizontalHeader())) {
        auto* header = new CaptionHeaderView(grid);
        header->setShowsCaptions(false);
        header->setSectionsClickable(true);
        grid->setHorizontalHeader(header);
    }
    for (int column = 0; column < model->columnCount(); ++column)
        grid->setColumnWidth(column, model->isBooleanField(column) ? 120 : widths.value(model->field(column), 120));
    grid->setWordWrap(false);
}

// The formula column takes the width the other columns leave in the grid.
void fitFormulaColumn(QTableView* grid, const IndicatorTableModel* model)
{
    const int formula = model->fieldIndex(QStringLiteral("Формула"));
    if (formula < 0)
        return;
    int others = 0;
    for (int column = 0; column < model->columnCount(); ++column)
        if (column != formula && !grid->isColumnHidden(column))
            others += grid->columnWidth(column);
    grid->setColumnWidth(formula, qMax(kFormulaWidth, grid->viewport()->width() - others));
}

} // namespace

ParametersDialog::ParametersDialog(DataModule& data, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), data_(data), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("TParRForm"));
    setWindowTitle(QStringLiteral("Параметры расчета"));
    setMinimumSize(640, 480);
    // Sized to the screen, so that both catalogues show many rows and the
    // formulas their whole text.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 900, 640);
    resize(qMax(minimumWidth(), available.width() * 9 / 10), qMax(minimumHeight(), available.height() * 17 / 20));
    setModal(true);

    userModel_ = new IndicatorTableModel(data_, IndicatorTable::User, this);
    predefinedModel_ = new IndicatorTableModel(data_, IndicatorTable::Predefined, this);
    userModel_->writeFailed = [this](const Failure& failure) {
        dialogs_.showMessage(errorReport(kSaveContext, failure), MessageKind::Error);
    };
    predefinedEditor_ = new PredefinedIndicatorDialog(dialogs_, this);

    auto* layout = new QVBoxLayout(this);
    auto* menu = new QMenuBar(this);
    menu->setObjectName(QStringLiteral("MainMenu1"));
    layout->setMenuBar(menu);

    // Network type and the two options.
    auto* typeLine = new QHBoxLayout;
    auto* typeLabel = new QLabel(QStringLiteral("Тип сети:"), this);
    cbTipSeti_ = new QComboBox(this);
    cbTipSeti_->setObjectName(QStringLiteral("cbTipSeti"));
    cbTipSeti_->addItems({QStringLiteral("Однотрубная"), QStringLiteral("Двухтрубная")});
    typeLabel->setBuddy(cbTipSeti_);
    typeLine->addWidget(typeLabel);
    typeLine->addWidget(cbTipSeti_);
    typeLine->addStretch(1);
    layout->addLayout(typeLine);
    cbOprD_ = new QCheckBox(
        QStringLiteral("Определить диаметры трубопровода по заданным напорам в конечных узлах сети"), this);
    cbOprD_->setObjectName(QStringLiteral("cbOprD"));
    layout->addWidget(cbOprD_);
    cbRasRash_ = new QCheckBox(
        QStringLiteral("Вычислять расход воды для каждого участка по заданным расходам в конечных узлах сети"), this);
    cbRasRash_->setObjectName(QStringLiteral("cbRasRash"));
    layout->addWidget(cbRasRash_);

    // The two catalogues, one above the other.
    spPok_ = new QSplitter(Qt::Vertical, this);
    spPok_->setObjectName(QStringLiteral("spPok"));
    spPok_->setChildrenCollapsible(false);
    auto* pnPredoprPok = new QWidget(spPok_);
    auto* predefinedLayout = new QVBoxLayout(pnPredoprPok);
    predefinedLayout->setContentsMargins(0, 0, 0, 0);
    predefinedLayout->addWidget(new QLabel(QStringLiteral("  Предопределенные показатели расчета:"), pnPredoprPok));
    dgPredoprPok_ = new QTableView(pnPredoprPok);
    dgPredoprPok_->setObjectName(QStringLiteral("DGPredoprPok"));
    dgPredoprPok_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dgPredoprPok_->setSelectionMode(QAbstractItemView::SingleSelection);
    dgPredoprPok_->setModel(predefinedModel_);
    // Long names and formulas show whole in the cells' tooltips.
    dgPredoprPok_->setItemDelegate(new GridValueDelegate(dgPredoprPok_));
    setUpIndicatorGrid(dgPredoprPok_, predefinedModel_);
    predefinedLayout->addWidget(dgPredoprPok_);

    auto* pnPok = new QWidget(spPok_);
    auto* userLayout = new QVBoxLayout(pnPok);
    userLayout->setContentsMargins(0, 0, 0, 0);
    userLayout->addWidget(new QLabel(QStringLiteral("  Показатели расчета:"), pnPok));
    auto* grid = new IndicatorGrid(pnPok);
    grid->appendRequested = [this] { appendIndicator(); };
    dgPok_ = grid;
    dgPok_->setObjectName(QStringLiteral("DGPok"));
    dgPok_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    dgPok_->setItemDelegate(new IndicatorDelegate(dgPok_));
    dgPok_->setDialogs(&dialogs_);
    dgPok_->setModel(userModel_);
    setUpIndicatorGrid(dgPok_, userModel_);
    userLayout->addWidget(dgPok_);
    spPok_->addWidget(pnPredoprPok);
    spPok_->addWidget(pnPok);
    layout->addWidget(spPok_, 1);

    createMenu(menu);

    // An edit in progress is applied when the grid changes size.
    connect(spPok_, &QSplitter::splitterMoved, this, [this] { dgPok_->finishEditing(); });
    connect(dgPok_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                userRowChanged(current.row(), previous.row());
            });
    connect(dgPredoprPok_, &QAbstractItemView::doubleClicked, this, [this] { editCurrentPredefined(); });
}

ParametersDialog::~ParametersDialog() = default;

void ParametersDialog::createMenu(QMenuBar* menu)
{
    QMenu* predefined = menu->addMenu(QStringLiteral("Предопределенные показатели"));
    predefined->setObjectName(QStringLiteral("miPredoprPok"));
    QAction* editCurrent = predefined->addAction(QStringLiteral("Изменить текущий показатель"));
    editCurrent->setObjectName(QStringLiteral("miPredoprPokEditCurr"));
    connect(editCurrent, &QAction::triggered, this, [this] { editCurrentPredefined(); });

    QMenu* user = menu->addMenu(QStringLiteral("Показатели"));
    user->setObjectName(QStringLiteral("miPok"));
    QAction* selectAll = user->addAction(QStringLiteral("Выделить все записи"));
    selectAll->setObjectName(QStringLiteral("miPokSelectAll"));
    connect(selectAll, &QAction::triggered, this, [this] { selectAllIndicators(); });
    QAction* remove = user->addAction(QStringLiteral("Удалить записи"));
    remove->setObjectName(QStringLiteral("miPokDelete"));
    connect(remove, &QAction::triggered, this, [this] { deleteSelectedIndicators(); });
    QAction* removeAll = user->addAction(QStringLiteral("Удалить все записи"));
    removeAll->setObjectName(QStringLiteral("miPokDeleteAll"));
    connect(removeAll, &QAction::triggered, this, [this] { deleteAllIndicators(); });

    QAction* save = menu->addAction(QStringLiteral("Сохранить и закрыть"));
    save->setObjectName(QStringLiteral("miSaveAndClose"));
    connect(save, &QAction::triggered, this, [this] { saveAndClose(); });

    QAction* help = menu->addAction(QStringLiteral("?"));
    help->setObjectName(QStringLiteral("miHlp"));
    connect(help, &QAction::triggered, this, [this] { showHelp(this, QStringLiteral("GR/VvParR.htm")); });
}

// ---------------------------------------------------------------- opening

void ParametersDialog::prepare(std::optional<int> userRow, const QString& userShortName)
{
    const QVariantList row = CalculationRow(data_.calculation())
                                 .read({CalculationRow::kNetworkType, CalculationRow::kDesignMode,
                                        CalculationRow::kDistributeFlows});
    storedNetworkType_.reset();
    bool designMode = false;
    bool distributeFlows = false;
    if (!row.isEmpty()) {
        if (!row[0].isNull())
            storedNetworkType_ = row[0].toInt();
        designMode = row[1].toBool();
        distributeFlows = row[2].toBool();
    }
    // A stored type that is neither of the two shows no item and is kept as it is.
    const int type = storedNetworkType_.value_or(-1);
    cbTipSeti_->setCurrentIndex(type == kOnePipe || type == kTwoPipe ? type : -1);
    cbOprD_->setChecked(designMode);
    cbRasRash_->setChecked(distributeFlows);

    dgPok_->clearSelection();
    predefinedModel_->reload();
    userModel_->reload();

    if (predefinedModel_->rowCount() > 0)
        dgPredoprPok_->setCurrentIndex(predefinedModel_->index(0, 0));
    int current = 0;
    if (userRow && *userRow >= 0 && *userRow < userModel_->rowCount()) {
        current = *userRow;
        if (userModel_->shortName(current) != userShortName) {
            // The table changed since the check: look the indicator up by its name.
            current = 0;
            for (int r = 0; r < userModel_->rowCount(); ++r)
                if (userModel_->shortName(r) == userShortName) {
                    current = r;
                    break;
                }
        }
    }
    if (userModel_->rowCount() > 0) {
        dgPok_->setCurrentIndex(userModel_->index(current, 0));
        dgPok_->scrollTo(userModel_->index(current, 0));
    }
    dgPok_->clearSelection();
    dgPok_->setFocus();
}

void ParametersDialog::applyFontSizes(const FontSizes& sizes)
{
    const std::pair<QTableView*, const IndicatorTableModel*> grids[] = {{dgPredoprPok_, predefinedModel_},
                                                                        {dgPok_, userModel_}};
    for (const auto& [grid, model] : grids) {
        QFont cells = grid->font();
        cells.setPointSize(sizes.dataCells);
        grid->setFont(cells);
        grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(cells).height() + 6);
        QFont titles = grid->horizontalHeader()->font();
        titles.setPointSize(sizes.columnTitles);
        grid->horizontalHeader()->setFont(titles);
        // A title word never wider than its column.
        setUpIndicatorGrid(grid, model);
        if (const auto* header = qobject_cast<const CaptionHeaderView*>(grid->horizontalHeader()))
            for (int column = 0; column < model->columnCount(); ++column)
                grid->setColumnWidth(column, qMax(grid->columnWidth(column), header->minimumSectionWidth(column)));
    }
    fitFormulaColumns();
}

// ---------------------------------------------------------------- rows

void ParametersDialog::setUserCurrentRow(int row)
{
    if (row < 0 || row >= userModel_->rowCount())
        return;
    const QModelIndex current = dgPok_->currentIndex();
    const int column = current.isValid() ? current.column() : 0;
    dgPok_->selectionModel()->setCurrentIndex(userModel_->index(row, column), QItemSelectionModel::NoUpdate);
    dgPok_->scrollTo(userModel_->index(row, column));
}

void ParametersDialog::userRowChanged(int current, int previous)
{
    // A row added and left without any value is taken away again, as if it had
    // never been added.
    const std::optional<int> untouched = userModel_->untouchedRow();
    if (!untouched || previous != *untouched || current == previous)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            const std::optional<int> row = userModel_->untouchedRow();
            if (!row || dgPok_->currentIndex().row() == *row)
                return;
            guardedStep(dialogs_, kDeleteContext, [&] { userModel_->discardUntouchedRow(); });
        },
        Qt::QueuedConnection);
}

void ParametersDialog::appendIndicator()
{
    dgPok_->finishEditing();
    if (const std::optional<int> untouched = userModel_->untouchedRow()) {
        // One empty row at a time: the cursor goes to the one already added.
        setUserCurrentRow(*untouched);
        return;
    }
    int row = -1;
    if (!guardedStep(dialogs_, kAppendContext, [&] { row = userModel_->appendRow(); }))
        return;
    const QModelIndex current = dgPok_->currentIndex();
    const int column = current.isValid() ? current.column() : userModel_->fieldIndex(QStringLiteral("НаимПок"));
    dgPok_->setCurrentIndex(userModel_->index(row, column));
    dgPok_->scrollTo(userModel_->index(row, column));
}

// ---------------------------------------------------------------- menu commands

void ParametersDialog::editCurrentPredefined()
{
    const QModelIndex current = dgPredoprPok_->currentIndex();
    if (!current.isValid())
        return;
    predefinedEditor_->load(*predefinedModel_, current.row());
    predefinedEditor_->exec();
}

void ParametersDialog::selectAllIndicators()
{
    const QModelIndex current = dgPok_->currentIndex();
    dgPok_->selectAll();
    if (current.isValid())
        dgPok_->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void ParametersDialog::deleteSelectedIndicators()
{
    dgPok_->finishEditing();
    QList<int> rows;
    for (const QModelIndex& index : dgPok_->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty()) {
        dialogs_.showMessage(QStringLiteral("Выделите хотя бы одну запись."), MessageKind::Warning);
        return;
    }
    if (!dialogs_.askYesNo(kApplicationTitle, QStringLiteral("Удалить выделенные записи?")))
        return;
    const int column = dgPok_->currentIndex().isValid() ? dgPok_->currentIndex().column() : 0;
    std::optional<int> next;
    guardedStep(dialogs_, kDeleteContext, [&] { next = userModel_->deleteRows(rows); });
    dgPok_->clearSelection();
    if (next) {
        dgPok_->selectionModel()->setCurrentIndex(userModel_->index(*next, column), QItemSelectionModel::NoUpdate);
        dgPok_->scrollTo(userModel_->index(*next, column));
    }
}

void ParametersDialog::deleteAllIndicators()
{
    if (!dialogs_.askYesNo(kApplicationTitle, QStringLiteral("Удалить все записи?")))
        return;
    // An edit in progress is dropped with the rows: re-reading the table closes
    // the editor without applying it.
    guardedStep(dialogs_, kDeleteContext, [&] { userModel_->deleteAllRows(); });
}

void ParametersDialog::saveAndClose()
{
    close();
}

// ---------------------------------------------------------------- closing

void ParametersDialog::done(int result)
{
    storeOptions();
    QDialog::done(result);
}

void ParametersDialog::storeOptions()
{
    // The edit in progress is posted; a row added and left empty is not kept.
    dgPok_->finishEditing();
    guardedStep(dialogs_, kSaveContext, [&] { userModel_->discardUntouchedRow(); });
    // A failure is reported and the dialog closes all the same: the command
    // re-checks what the file holds.
    guardedStep(dialogs_, kStoreContext, [&] {
        const int index = cbTipSeti_->currentIndex();
        const QVariant type = index >= 0 ? QVariant(index)
                              : storedNetworkType_ ? QVariant(*storedNetworkType_)
                                                   : QVariant(QMetaType::fromType<int>());
        CalculationRow(data_.calculation())
            .write({CalculationRow::kNetworkType, CalculationRow::kDesignMode, CalculationRow::kDistributeFlows},
                   {type, cbOprD_->isChecked() ? 1 : 0, cbRasRash_->isChecked() ? 1 : 0});
    });
}

void ParametersDialog::resizeEvent(QResizeEvent* event)
{
    dgPok_->finishEditing();
    QDialog::resizeEvent(event);
    fitFormulaColumns();
}

void ParametersDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitFormulaColumns();
}

void ParametersDialog::fitFormulaColumns()
{
    fitFormulaColumn(dgPredoprPok_, predefinedModel_);
    fitFormulaColumn(dgPok_, userModel_);
}

} // namespace zurm::gui
