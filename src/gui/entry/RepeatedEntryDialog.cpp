#include "gui/entry/RepeatedEntryDialog.h"

#include "base/Guarded.h"
#include "base/UserDialogs.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/help/Help.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QScrollBar>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

const QString kWriteContext = QStringLiteral("Ошибка при вводе повторяющихся данных.");
const QString kMarkContext = QStringLiteral("Ошибка при заполнении участков.");

} // namespace

RepeatedEntryDialog::RepeatedEntryDialog(DataModule& data, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), data_(data), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("TVvPovtDForm"));
    setWindowTitle(QStringLiteral("Ввод повторяющихся данных"));
    setModal(true);
    model_ = new MarkedSegmentsModel(data_, this);

    auto* layout = new QVBoxLayout(this);
    auto* menu = new QMenuBar(this);
    menu->setObjectName(QStringLiteral("MainMenu1"));
    layout->setMenuBar(menu);

    auto* panels = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral(" Заполнение участков:"), this));
    grid_ = new CalculationGrid(this);
    grid_->setObjectName(QStringLiteral("DGZapolU"));
    grid_->setDialogs(&dialogs_);
    grid_->setModel(model_);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid_->verticalHeader()->hide();
    grid_->installEventFilter(this);
    // The three columns are shown whole: the grid is as wide as their captions.
    {
        int width = grid_->frameWidth() * 2 + grid_->verticalScrollBar()->sizeHint().width();
        for (int column = 0; column < model_->columnCount(); ++column) {
            const int caption = grid_->horizontalHeader()->fontMetrics().horizontalAdvance(
                                    model_->headerData(column, Qt::Horizontal).toString())
                + 28;
            grid_->setColumnWidth(column, caption);
            width += caption;
        }
        grid_->setMinimumWidth(width);
    }
    left->addWidget(grid_, 1);
    panels->addLayout(left, 1);

    auto* lines = new QGridLayout;
    lines->addWidget(new QLabel(QStringLiteral("Показатель"), this), 0, 0);
    lines->addWidget(new QLabel(QStringLiteral("Число"), this), 0, 2);
    lines->addWidget(new QLabel(QStringLiteral("Показатель"), this), 0, 3);
    for (int k = 0; k < kAssignmentLines; ++k) {
        const QString n = QString::number(k + 1);
        targets_[k] = new QComboBox(this);
        targets_[k]->setObjectName(QStringLiteral("cbPok1") + n);
        numbers_[k] = new QLineEdit(this);
        numbers_[k]->setObjectName(QStringLiteral("edDbl") + n);
        sources_[k] = new QComboBox(this);
        sources_[k]->setObjectName(QStringLiteral("cbPok2") + n);
        for (QComboBox* box : {targets_[k], sources_[k]}) {
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            box->setMinimumContentsLength(14);
            box->installEventFilter(this);
            box->lineEdit()->installEventFilter(this);
        }
        // A number empties the line's source, a source its number.
        connect(numbers_[k], &QLineEdit::editingFinished, this, [this, k] {
            if (!numbers_[k]->text().isEmpty()) {
                sources_[k]->setCurrentIndex(-1);
                sources_[k]->setEditText(QString());
            }
        });
        lines->addWidget(targets_[k], k + 1, 0);
        lines->addWidget(new QLabel(QStringLiteral("="), this), k + 1, 1);
        lines->addWidget(numbers_[k], k + 1, 2);
        lines->addWidget(sources_[k], k + 1, 3);
    }
    lines->setRowStretch(kAssignmentLines + 1, 1);
    panels->addLayout(lines);
    layout->addLayout(panels, 1);
    status_ = new QStatusBar(this);
    layout->addWidget(status_);

    QMenu* marks = menu->addMenu(QStringLiteral("Заполнение участков"));
    marks->setObjectName(QStringLiteral("miZapolU"));
    auto add = [this](QMenu* m, const char* name, const QString& text, auto handler) {
        QAction* action = m->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    add(marks, "miZapolUYesForAll", QStringLiteral("\"Да\" для всех"), [this] { markAll(MarkChange::Set); });
    add(marks, "miZapolUNoForAll", QStringLiteral("\"Нет\" для всех"), [this] { markAll(MarkChange::Clear); });
    add(marks, "miZapolUInvertD", QStringLiteral("Изменить значения на противоположные"),
        [this] { markAll(MarkChange::Toggle); });
    add(marks, "miZapolUSelAll", QStringLiteral("Выделить все записи"), [this] { selectAllRows(); });
    auto addTop = [this, menu](const char* name, const QString& text, auto handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
    };
    addTop("miVvD", QStringLiteral("Ввести данные"), [this] { writeData(); });
    addTop("miClose", QStringLiteral("Закрыть"), [this] { close(); });
    addTop("miHlp", QStringLiteral("?"), [this] { showHelp(this, QStringLiteral("GR/VvPovtDan.htm")); });

    connect(grid_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == MarkedSegmentsModel::kMarkColumn)
            toggleRow(index.row());
    });
}

int RepeatedEntryDialog::prepare()
{
    model_->reload();
    const RepeatedEntryLists lists = repeatedEntryLists(data_);
    for (int k = 0; k < kAssignmentLines; ++k) {
        targets_[k]->clear();
        targets_[k]->addItems(lists.targets);
        targets_[k]->setCurrentIndex(-1);
        sources_[k]->clear();
        sources_[k]->addItems(lists.sources);
        sources_[k]->setCurrentIndex(-1);
    }
    if (model_->rowCount() > 0)
        grid_->setCurrentIndex(model_->index(0, MarkedSegmentsModel::kMarkColumn));
    return model_->rowCount();
}

void RepeatedEntryDialog::applyFontSizes(const FontSizes& sizes)
{
    QFont cells = grid_->font();
    cells.setPointSize(sizes.dataCells);
    grid_->setFont(cells);
    grid_->verticalHeader()->setDefaultSectionSize(QFontMetrics(cells).height() + 6);
    QFont titles = grid_->horizontalHeader()->font();
    titles.setPointSize(sizes.columnTitles);
    grid_->horizontalHeader()->setFont(titles);
}

void RepeatedEntryDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    status_->clearMessage();
    const int row = std::max(grid_->currentIndex().row(), 0);
    if (model_->rowCount() > 0)
        grid_->setCurrentIndex(model_->index(row, MarkedSegmentsModel::kMarkColumn));
    grid_->setFocus();
}

bool RepeatedEntryDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        spacePressed();
        return true;
    }
    if (event->type() == QEvent::FocusOut) {
        for (int k = 0; k < kAssignmentLines; ++k) {
            if (watched == targets_[k] || watched == targets_[k]->lineEdit()) {
                checkBox(targets_[k]);
            } else if (watched == sources_[k] || watched == sources_[k]->lineEdit()) {
                checkBox(sources_[k]);
                if (!sources_[k]->currentText().isEmpty())
                    numbers_[k]->clear();
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The typed text becomes the list's spelling, or is emptied when no item matches.
void RepeatedEntryDialog::checkBox(QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    const int found = MatchComboItem(items, box->currentText());
    box->setCurrentIndex(found);
    box->setEditText(found < 0 ? QString() : items[found]);
}

void RepeatedEntryDialog::changeMarks(MarkChange change, const std::optional<QList<qint64>>& ids)
{
    const QModelIndex current = grid_->currentIndex();
    QList<int> selected;
    for (const QModelIndex& index : grid_->selectionModel()->selectedRows())
        selected.append(index.row());
    setEnabled(false);
    guardedStep(dialogs_, kMarkContext, [&] {
        zurm::changeMarks(data_, change, ids, this);
        model_->reload();
    });
    setEnabled(true);
    if (current.isValid())
        grid_->setCurrentIndex(model_->index(current.row(), current.column()));
    for (const int row : selected)
        grid_->selectionModel()->select(model_->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    status_->clearMessage();
    grid_->setFocus();
}

void RepeatedEntryDialog::markAll(MarkChange change)
{
    changeMarks(change, std::nullopt);
}

void RepeatedEntryDialog::toggleRow(int row)
{
    if (row >= 0 && row < model_->rowCount())
        changeMarks(MarkChange::Toggle, QList<qint64>{model_->idAt(row)});
}

// Several selected rows are toggled together; otherwise the current row, when
// the mark column is current.
void RepeatedEntryDialog::spacePressed()
{
    const QModelIndexList rows = grid_->selectionModel()->selectedRows();
    if (rows.size() > 1) {
        QList<qint64> ids;
        for (const QModelIndex& index : rows)
            ids.append(model_->idAt(index.row()));
        changeMarks(MarkChange::Toggle, ids);
    } else if (grid_->currentIndex().column() == MarkedSegmentsModel::kMarkColumn) {
        toggleRow(grid_->currentIndex().row());
    }
}

void RepeatedEntryDialog::selectAllRows()
{
    const QModelIndex current = grid_->currentIndex();
    grid_->selectAll();
    if (current.isValid())
        grid_->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void RepeatedEntryDialog::writeData()
{
    setCursor(Qt::WaitCursor);
    setEnabled(false);
    QList<AssignmentLine> lines;
    for (int k = 0; k < kAssignmentLines; ++k) {
        checkBox(targets_[k]);
        checkBox(sources_[k]);
        if (!numbers_[k]->text().isEmpty()) {
            sources_[k]->setCurrentIndex(-1);
            sources_[k]->setEditText(QString());
        }
        lines.append({targets_[k]->currentText(), numbers_[k]->text(), sources_[k]->currentText()});
    }
    // A number typed wrongly is a typing error of its field, refused before
    // any segment is touched.
    if (const std::optional<int> bad = firstLineNotANumber(lines)) {
        setEnabled(true);
        unsetCursor();
        dialogs_.showMessage(lineNotANumberMessage(lines, *bad), MessageKind::Warning);
        numbers_[*bad]->setFocus();
        numbers_[*bad]->selectAll();
        return;
    }
    const int row = grid_->currentIndex().row();
    const int column = std::max(grid_->currentIndex().column(), 0);
    const bool written = guardedStep(dialogs_, kWriteContext, [&] {
        writeAssignments(data_, lines, this);
        model_->reload();
    });
    if (row >= 0 && row < model_->rowCount())
        grid_->setCurrentIndex(model_->index(row, column));
    status_->clearMessage();
    setEnabled(true);
    unsetCursor();
    if (written)
        dialogs_.showMessage(QStringLiteral("Данные введены успешно."), MessageKind::Information);
}

} // namespace zurm::gui
