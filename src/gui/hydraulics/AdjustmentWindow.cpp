#include "gui/hydraulics/AdjustmentWindow.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/help/Help.h"
#include "output/AdjustmentOutput.h"
#include "platform/NumberText.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace zurm::gui {

namespace {

const QString kHelpTopic = QStringLiteral("GR/NalRas.htm");
const QString kSettingsContext = QStringLiteral("Ошибка при записи постоянных наладочного расчета.");
const QString kComputeContext = QStringLiteral("Ошибка при наладочном расчете.");

// The window's columns: those of the outputs, the orifices as one "d × n".
constexpr int kOrificesColumn = -2;
const int kShownColumns[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, kOrificesColumn, 16};
constexpr int kShownCount = int(std::size(kShownColumns));
constexpr int kRemarkOutputColumn = 16;

// Object names of the constants' fields, in the order of adjustmentConstants().
const char* const kConstantNames[] = {"edKDiafr", "edKSopla",   "edKGorl",    "edKNapEl",
                                      "edKSmesh", "edMinDDiafr", "edMinDSopla"};

QString numberShown(double value)
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

// ---------------------------------------------------------------- rows

void AdjustmentRowsModel::setRows(std::vector<InputAdjustment> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int AdjustmentRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int AdjustmentRowsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kShownCount;
}

QVariant AdjustmentRowsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()) || index.column() >= kShownCount)
        return {};
    const int column = kShownColumns[index.column()];
    const std::vector<AdjustmentColumn>& columns = adjustmentColumns();
    if (role == Qt::TextAlignmentRole) {
        const bool text = column != kOrificesColumn && columns[size_t(column)].decimals < 0;
        return QVariant::fromValue(Qt::AlignVCenter | (text ? Qt::AlignLeft : Qt::AlignHCenter));
    }
    if (role != Qt::DisplayRole)
        return {};
    const InputAdjustment& row = rows_[size_t(index.row())];
    if (column == kOrificesColumn) {
        if (!row.orifices)
            return QString();
        QLocale locale = QLocale::system();
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale.toString(row.orifices->diameter, 'f', 2) + QStringLiteral(" × ")
               + QString::number(row.orifices->count);
    }
    return adjustmentText(row, column, userDecimalPoint());
}

QVariant AdjustmentRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section >= kShownCount)
        return {};
    const int column = kShownColumns[section];
    return column == kOrificesColumn ? QStringLiteral("Диафрагма d × n, мм")
                                     : adjustmentColumns()[size_t(column)].caption;
}

// ---------------------------------------------------------------- elevators

void ElevatorsModel::setElevators(std::vector<Elevator> elevators)
{
    beginResetModel();
    elevators_ = std::move(elevators);
    endResetModel();
}

int ElevatorsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(elevators_.size());
}

int ElevatorsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant ElevatorsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(elevators_.size()) || index.column() > 1)
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const Elevator& elevator = elevators_[size_t(index.row())];
    return index.column() == 0 ? QVariant(elevator.number) : QVariant(elevator.throat);
}

QVariant ElevatorsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return section == 0 ? QStringLiteral("№ элеватора") : section == 1 ? QStringLiteral("dг, мм") : QVariant();
}

Qt::ItemFlags ElevatorsModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? QAbstractTableModel::flags(index) | Qt::ItemIsEditable : Qt::NoItemFlags;
}

bool ElevatorsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.row() >= int(elevators_.size()))
        return false;
    std::vector<Elevator> changed = elevators_;
    Elevator& elevator = changed[size_t(index.row())];
    QString problem;
    bool ok = !value.isNull();
    const double number = value.toDouble(&ok);
    if (index.column() == 0) {
        if (!ok || number != std::floor(number) || number < 1 || number > 32767)
            problem = QStringLiteral("Номер элеватора должен быть целым числом от 1 до 32767.");
        else
            elevator.number = int(number);
    } else if (!ok || !(number > 0)) {
        problem = QStringLiteral("Диаметр горловины элеватора должен быть числом больше нуля.");
    } else {
        elevator.throat = number;
    }
    emit edited(changed, problem);
    return problem.isEmpty();
}

// ---------------------------------------------------------------- window

AdjustmentWindow::AdjustmentWindow(DataModule& data, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), data_(data), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("TNalRasForm"));
    setWindowTitle(QStringLiteral("Наладочный расчет"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* menu = new QMenuBar(this);
    menu->setObjectName(QStringLiteral("MainMenu1"));
    layout->setMenuBar(menu);
    auto add = [this, menu](const char* name, const QString& text, auto handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
    };
    add("miSaveCSV", QStringLiteral("Сохранить в CSV..."), [this] { saveTable(false); });
    add("miSaveXLSX", QStringLiteral("Сохранить в Microsoft Excel..."), [this] { saveTable(true); });
    add("miClose", QStringLiteral("Закрыть"), [this] { close(); });
    add("miHlp", QStringLiteral("?"), [this] { showHelp(this, kHelpTopic); });

    auto* top = new QHBoxLayout;
    auto* constantsBox = new QGroupBox(QStringLiteral("Постоянные расчета"), this);
    constantsBox->setObjectName(QStringLiteral("gbConstants"));
    auto* form = new QFormLayout(constantsBox);
    const std::vector<AdjustmentConstant>& constants = adjustmentConstants();
    for (size_t i = 0; i < constants.size(); ++i) {
        auto* field = new QLineEdit(constantsBox);
        field->setObjectName(QString::fromLatin1(kConstantNames[i]));
        field->setAlignment(Qt::AlignRight);
        field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12);
        connect(field, &QLineEdit::editingFinished, this, [this, i] { constantEdited(int(i)); });
        form->addRow(constants[i].caption + QLatin1Char(':'), field);
        constants_.push_back(field);
    }
    top->addWidget(constantsBox);

    auto* elevatorsBox = new QGroupBox(QStringLiteral("Элеваторы"), this);
    elevatorsBox->setObjectName(QStringLiteral("gbElevators"));
    auto* elevatorsLayout = new QVBoxLayout(elevatorsBox);
    elevators_ = new ElevatorsModel(this);
    elevatorsGrid_ = new CalculationGrid(elevatorsBox);
    elevatorsGrid_->setObjectName(QStringLiteral("DGElevators"));
    elevatorsGrid_->setDialogs(&dialogs_);
    elevatorsGrid_->setModel(elevators_);
    elevatorsGrid_->verticalHeader()->hide();
    elevatorsGrid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    elevatorsGrid_->horizontalHeader()->setStretchLastSection(true);
    elevatorsLayout->addWidget(elevatorsGrid_, 1);
    auto* buttons = new QHBoxLayout;
    auto* addButton = new QPushButton(QStringLiteral("Добавить"), elevatorsBox);
    addButton->setObjectName(QStringLiteral("btAddElevator"));
    auto* deleteButton = new QPushButton(QStringLiteral("Удалить"), elevatorsBox);
    deleteButton->setObjectName(QStringLiteral("btDeleteElevator"));
    for (QPushButton* button : {addButton, deleteButton}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    elevatorsLayout->addLayout(buttons);
    connect(addButton, &QPushButton::clicked, this, [this] { addElevator(); });
    connect(deleteButton, &QPushButton::clicked, this, [this] { deleteElevator(); });
    // A refused edit is said once the editor has closed; the series shown
    // goes back to the stored one.
    connect(elevators_, &ElevatorsModel::edited, this,
            [this](const std::vector<Elevator>& elevators, const QString& problem) {
                AdjustmentSettings changed = settings_;
                changed.elevators = elevators;
                // The series is shown anew once the grid has finished with its editor.
                apply(changed, problem, true);
                QMetaObject::invokeMethod(this, [this] { elevators_->setElevators(settings_.elevators); },
                                          Qt::QueuedConnection);
            });
    top->addWidget(elevatorsBox);
    // The remark of the current input, whole, under the grid: there it is
    // the last column, often beyond the window's edge.
    auto* remarkBox = new QGroupBox(QStringLiteral("Примечание"), this);
    remarkBox->setObjectName(QStringLiteral("gbRemark"));
    auto* remarkLayout = new QVBoxLayout(remarkBox);
    remark_ = new QLabel(remarkBox);
    remark_->setObjectName(QStringLiteral("lbRemark"));
    remark_->setWordWrap(true);
    remark_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    remark_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    remarkLayout->addWidget(remark_, 1);
    top->addStretch(1);
    layout->addLayout(top);

    rows_ = new AdjustmentRowsModel(this);
    grid_ = new CalculationGrid(this);
    grid_->setObjectName(QStringLiteral("DGNalRas"));
    grid_->setDialogs(&dialogs_);
    grid_->setModel(rows_);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->verticalHeader()->hide();
    layout->addWidget(grid_, 1);
    layout->addWidget(remarkBox);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { showRemark(); });
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("lbSummary"));
    layout->addWidget(summary_);
    resize(1200, 720);
}

QString AdjustmentWindow::prepare()
{
    if (data_.settingsOpen()) {
        ensureAdjustmentSettingsTables(data_.settings());
        settings_ = readAdjustmentSettings(data_.settings());
    }
    AdjustmentTable table = adjustInputs(data_.calculation(), data_.calculationDone(), settings_);
    if (!table.refusal.isEmpty())
        return table.refusal;
    showSettings();
    showRows(std::move(table.rows));
    return {};
}

void AdjustmentWindow::applyFontSizes(const FontSizes& sizes)
{
    // The constants and the remark are data as much as the grids are: the
    // whole window reads at the size of the data grids, its menu too, as the
    // main window's does.
    QFont whole = font();
    whole.setPointSize(sizes.dataCells);
    setFont(whole);
    for (QLineEdit* field : constants_)
        field->setMaximumWidth(QFontMetrics(whole).horizontalAdvance(QStringLiteral("0000000000")) + 12);
    // Larger letters want a larger window, as far as the screen allows.
    if (const QScreen* screen = this->screen()) {
        const QSize room = screen->availableGeometry().size();
        const double scale = std::max(1.0, sizes.dataCells / 10.0);
        resize(std::min(room.width(), int(1200 * std::min(scale, 1.3))), std::min(room.height(), int(720 * scale)));
    }
    for (CalculationGrid* grid : {grid_, elevatorsGrid_}) {
        QFont cells = grid->font();
        cells.setPointSize(sizes.dataCells);
        grid->setFont(cells);
        grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(cells).height() + 6);
        QFont titles = grid->horizontalHeader()->font();
        titles.setPointSize(sizes.columnTitles);
        grid->horizontalHeader()->setFont(titles);
    }
    // The captions are short, the values of a row are kept on one line.
    grid_->resizeColumnsToContents();
    elevatorsGrid_->resizeColumnsToContents();
    // The series is shown whole in width: the grid is as wide as its two columns.
    int width = elevatorsGrid_->frameWidth() * 2 + elevatorsGrid_->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < elevators_->columnCount(); ++column)
        width += elevatorsGrid_->columnWidth(column) + 12;
    elevatorsGrid_->setMinimumWidth(width);
    elevatorsGrid_->setMaximumWidth(width);
}

void AdjustmentWindow::showSettings()
{
    const std::vector<AdjustmentConstant>& constants = adjustmentConstants();
    for (size_t i = 0; i < constants.size(); ++i)
        constants_[i]->setText(numberShown(settings_.*constants[i].value));
    elevators_->setElevators(settings_.elevators);
}

void AdjustmentWindow::constantEdited(int index)
{
    const AdjustmentConstant& constant = adjustmentConstants()[size_t(index)];
    QLineEdit* field = constants_[size_t(index)];
    const std::optional<double> typed = parseTypedReal(field->text());
    if (typed && *typed == settings_.*constant.value)
        return;
    AdjustmentSettings changed = settings_;
    QString problem;
    if (typed)
        changed.*constant.value = *typed;
    else
        problem = QStringLiteral("Параметр \"") + constant.caption + QStringLiteral("\" должен быть числом больше нуля.");
    if (!apply(changed, problem)) {
        showSettings();
        field->setFocus();
        field->selectAll();
    }
}

void AdjustmentWindow::addElevator()
{
    AdjustmentSettings changed = settings_;
    const Elevator last = changed.elevators.empty() ? Elevator{0, 0} : changed.elevators.back();
    changed.elevators.push_back({last.number + 1, std::floor(last.throat) + 10});
    if (apply(changed)) {
        elevatorsGrid_->setCurrentIndex(elevators_->index(elevators_->rowCount() - 1, 1));
        elevatorsGrid_->setFocus();
    }
}

void AdjustmentWindow::deleteElevator()
{
    const int row = elevatorsGrid_->currentIndex().row();
    if (row < 0 || row >= int(settings_.elevators.size()))
        return;
    AdjustmentSettings changed = settings_;
    changed.elevators.erase(changed.elevators.begin() + row);
    if (apply(changed) && elevators_->rowCount() > 0)
        elevatorsGrid_->setCurrentIndex(elevators_->index(std::min(row, elevators_->rowCount() - 1), 0));
}

bool AdjustmentWindow::apply(const AdjustmentSettings& settings, const QString& givenProblem, bool fromGrid)
{
    AdjustmentSettings sorted = settings;
    std::sort(sorted.elevators.begin(), sorted.elevators.end(),
              [](const Elevator& a, const Elevator& b) { return a.number < b.number; });
    const QString problem = givenProblem.isEmpty() ? adjustmentSettingsProblem(sorted) : givenProblem;
    if (!problem.isEmpty()) {
        if (fromGrid)
            elevatorsGrid_->reportRefusedInput(problem);
        else
            dialogs_.showMessage(problem, MessageKind::Warning);
        return false;
    }
    if (data_.settingsOpen()
        && !guardedStep(dialogs_, kSettingsContext, [&] { writeAdjustmentSettings(data_.settings(), sorted); }))
        return false;
    settings_ = sorted;
    if (!fromGrid)
        elevators_->setElevators(settings_.elevators);
    recompute();
    return true;
}

void AdjustmentWindow::recompute()
{
    guardedStep(dialogs_, kComputeContext, [&] {
        AdjustmentTable table = adjustInputs(data_.calculation(), data_.calculationDone(), settings_);
        showRows(std::move(table.rows));
    });
}

void AdjustmentWindow::showRows(std::vector<InputAdjustment> rows)
{
    const QModelIndex current = grid_->currentIndex();
    rows_->setRows(std::move(rows));
    if (rows_->rowCount() > 0)
        grid_->setCurrentIndex(rows_->index(std::min(std::max(current.row(), 0), rows_->rowCount() - 1),
                                            std::max(current.column(), 0)));
    showRemark();
    int orifices = 0, elevators = 0, remarks = 0;
    for (const InputAdjustment& row : rows_->rows()) {
        orifices += row.device == AdjustmentDevice::Orifice ? 1 : 0;
        elevators += row.device == AdjustmentDevice::Elevator ? 1 : 0;
        remarks += row.remark.isEmpty() ? 0 : 1;
    }
    summary_->setText(QStringLiteral("Конечных узлов: %1; вводов с диафрагмой: %2; с элеватором: %3; с примечанием: %4.")
                          .arg(rows_->rowCount())
                          .arg(orifices)
                          .arg(elevators)
                          .arg(remarks));
}

void AdjustmentWindow::saveTable(bool workbook)
{
    saveAdjustmentTable(data_, dialogs_, rows_->rows(), workbook);
}

void AdjustmentWindow::showRemark()
{
    const int row = grid_->currentIndex().row();
    if (row < 0 || row >= rows_->rowCount()) {
        remark_->clear();
        return;
    }
    const InputAdjustment& input = rows_->rows()[size_t(row)];
    QString text = QStringLiteral("Узел ") + QString::number(input.conditions.node);
    if (!input.consumer.isEmpty())
        text += QStringLiteral(", ") + input.consumer;
    text += QStringLiteral(": ") + (input.remark.isEmpty() ? QStringLiteral("замечаний нет.") : input.remark);
    remark_->setText(text);
}

} // namespace zurm::gui
