#include "gui/network/ConsumersTab.h"

#include "gui/entry/CalculationGrid.h"
#include "settings/FontSizes.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

// The scheme is chosen from its four names; the empty item clears it.
class SchemeDelegate : public GridValueDelegate {
public:
    using GridValueDelegate::GridValueDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* box = new QComboBox(parent);
        box->setObjectName(QStringLiteral("cbSchemePris"));
        box->addItem(QString());
        box->addItems(connectionSchemeNames());
        auto* self = const_cast<SchemeDelegate*>(this);
        // A choice is the edit: the cell takes it at once.
        connect(box, &QComboBox::activated, self, [self, box] {
            emit self->commitData(box);
            emit self->closeEditor(box);
        });
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* box = qobject_cast<QComboBox*>(editor))
            box->setCurrentIndex(qMax(0, box->findText(index.data(Qt::EditRole).toString())));
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        auto* box = qobject_cast<QComboBox*>(editor);
        if (!box)
            return;
        const QString chosen = box->currentText();
        if (chosen == index.data(Qt::EditRole).toString())
            return;
        model->setData(index, chosen.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(chosen),
                       Qt::EditRole);
    }
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        editor->setGeometry(option.rect);
    }
};

} // namespace

ConsumersTab::ConsumersTab(DataModule& data, UserDialogs& dialogs, QWidget* parent) : QWidget(parent), data_(data)
{
    setObjectName(QStringLiteral("tsPotr"));
    model_ = new ConsumerTableModel(data, dialogs, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);

    auto* header = new QGridLayout;
    header->setContentsMargins(4, 0, 4, 0);
    header->setHorizontalSpacing(16);
    const struct {
        QLineEdit** field;
        const char* name;
        const char* caption;
        ConsumerTableModel::Limit limit;
    } limits[] = {
        {&edStatNapor_, "edStatNapor", "Статический напор, м.", ConsumerTableModel::Limit::StaticHead},
        {&edDopDavl_, "edDopDavlMS", "Допустимое давление в системах потребителей, м вод. ст.",
         ConsumerTableModel::Limit::AllowedPressure},
        {&edZapasKip_, "edZapasKip", "Запас до вскипания, м.", ConsumerTableModel::Limit::BoilingReserve},
    };
    int column = 0;
    for (const auto& limit : limits) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QString::fromLatin1(limit.name));
        field->setAlignment(Qt::AlignCenter);
        auto* caption = new QLabel(QString::fromUtf8(limit.caption), this);
        caption->setWordWrap(true);
        caption->setBuddy(field);
        caption->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        header->addWidget(caption, 0, column);
        header->addWidget(field, 1, column, Qt::AlignLeft);
        header->setColumnStretch(column, 1);
        const ConsumerTableModel::Limit which = limit.limit;
        connect(field, &QLineEdit::editingFinished, this, [this, which] { applyLimit(which); });
        *limit.field = field;
        ++column;
    }
    layout->addLayout(header);

    // As in the editor's other tabs, the key stays in sight on the left while
    // the values scroll.
    pair_ = new QSplitter(Qt::Horizontal, this);
    QSplitter* pair = pair_;
    auto makeGrid = [&](const char* name) {
        auto* grid = new CalculationGrid(pair);
        grid->setObjectName(QString::fromLatin1(name));
        grid->setDialogs(&dialogs);
        grid->setModel(model_);
        grid->verticalHeader()->hide();
        grid->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
        grid->horizontalHeader()->setStretchLastSection(true);
        pair->addWidget(grid);
        return grid;
    };
    keyGrid_ = makeGrid("DGPotrKonUz");
    grid_ = makeGrid("DGPotr");
    for (int column = 0; column < ConsumerTableModel::ColumnCount; ++column)
        keyGrid_->setColumnHidden(column, column != ConsumerTableModel::Node);
    grid_->setColumnHidden(ConsumerTableModel::Node, true);
    grid_->setItemDelegateForColumn(ConsumerTableModel::Scheme, new SchemeDelegate(grid_));
    pair->setStretchFactor(0, 0);
    pair->setStretchFactor(1, 1);
    keyGrid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(keyGrid_->verticalScrollBar(), &QScrollBar::valueChanged, grid_->verticalScrollBar(), &QScrollBar::setValue);
    connect(grid_->verticalScrollBar(), &QScrollBar::valueChanged, keyGrid_->verticalScrollBar(), &QScrollBar::setValue);
    for (CalculationGrid* grid : {keyGrid_, grid_}) {
        CalculationGrid* other = grid == keyGrid_ ? grid_ : keyGrid_;
        connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [other](const QModelIndex& current) {
                    if (!current.isValid() || other->currentIndex().row() == current.row())
                        return;
                    int column = other->currentIndex().isValid() ? other->currentIndex().column() : -1;
                    if (column < 0 || other->isColumnHidden(column)) {
                        column = 0;
                        while (column < ConsumerTableModel::ColumnCount - 1 && other->isColumnHidden(column))
                            ++column;
                    }
                    other->selectionModel()->setCurrentIndex(other->model()->index(current.row(), column),
                                                             QItemSelectionModel::ClearAndSelect);
                });
    }
    connect(pair, &QSplitter::splitterMoved, this, [this] { grid_->finishEditing(); });
    model_->refusedInput = [this](const QString& message) { grid_->reportRefusedInput(message); };
    layout->addWidget(pair, 1);
    sizeColumns();
}

QLineEdit* ConsumersTab::field(ConsumerTableModel::Limit limit) const
{
    switch (limit) {
    case ConsumerTableModel::Limit::StaticHead: return edStatNapor_;
    case ConsumerTableModel::Limit::AllowedPressure: return edDopDavl_;
    case ConsumerTableModel::Limit::BoilingReserve: return edZapasKip_;
    }
    return edStatNapor_;
}

void ConsumersTab::select(bool twoPipe)
{
    model_->select();
    for (int column : {ConsumerTableModel::Scheme, ConsumerTableModel::SystemLoss,
                       ConsumerTableModel::MixedTemperature, ConsumerTableModel::RequiredHead})
        grid_->setColumnHidden(column, !twoPipe);
    const bool readOnly = data_.calculationReadOnly();
    for (QLineEdit* edit : {edStatNapor_, edDopDavl_, edZapasKip_})
        edit->setReadOnly(readOnly);
    showLimits();
}

void ConsumersTab::showLimits()
{
    const PressureLimits& limits = model_->pressureLimits();
    edStatNapor_->setText(limits.staticHead ? GridValueDelegate::numberText(*limits.staticHead) : QString());
    edDopDavl_->setText(GridValueDelegate::numberText(limits.allowedPressure));
    edZapasKip_->setText(GridValueDelegate::numberText(limits.boilingReserve));
}

void ConsumersTab::applyLimit(ConsumerTableModel::Limit limit)
{
    QLineEdit* edit = field(limit);
    if (!edit->isModified() || edit->isReadOnly())
        return;
    model_->setPressureLimit(limit, edit->text());
    // The stored value is shown again: the typed one in the program's form,
    // or the old one when the text was refused.
    const PressureLimits& limits = model_->pressureLimits();
    switch (limit) {
    case ConsumerTableModel::Limit::StaticHead:
        edit->setText(limits.staticHead ? GridValueDelegate::numberText(*limits.staticHead) : QString());
        break;
    case ConsumerTableModel::Limit::AllowedPressure:
        edit->setText(GridValueDelegate::numberText(limits.allowedPressure));
        break;
    case ConsumerTableModel::Limit::BoilingReserve:
        edit->setText(GridValueDelegate::numberText(limits.boilingReserve));
        break;
    }
}

void ConsumersTab::finishEditing()
{
    grid_->finishEditing();
    keyGrid_->finishEditing();
    for (ConsumerTableModel::Limit limit : {ConsumerTableModel::Limit::StaticHead,
                                            ConsumerTableModel::Limit::AllowedPressure,
                                            ConsumerTableModel::Limit::BoilingReserve})
        applyLimit(limit);
}

void ConsumersTab::applyFontSizes(const FontSizes& sizes)
{
    for (CalculationGrid* grid : {keyGrid_, grid_}) {
        QFont cells = grid->font();
        cells.setPointSize(sizes.dataCells);
        grid->setFont(cells);
        grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(cells).height() + 8);
        QFont titles = grid->horizontalHeader()->font();
        titles.setPointSize(sizes.columnTitles);
        grid->horizontalHeader()->setFont(titles);
    }
    fontScale_ = qMax(sizes.dataCells, sizes.columnTitles) / 10.0;
    sizeColumns();
}

void ConsumersTab::sizeColumns()
{
    const QFontMetrics cells(grid_->font());
    int schemeWidth = 0;
    for (const QString& name : connectionSchemeNames())
        schemeWidth = qMax(schemeWidth, cells.horizontalAdvance(name));
    for (int column = 0; column < ConsumerTableModel::ColumnCount; ++column) {
        int width = int(130 * fontScale_);
        if (column == ConsumerTableModel::Node)
            width = int(90 * fontScale_);
        else if (column == ConsumerTableModel::Name)
            width = int(220 * fontScale_);
        else if (column == ConsumerTableModel::Scheme)
            width = schemeWidth + 40; // room for the drop-down's arrow
        grid_->setColumnWidth(column, width);
        keyGrid_->setColumnWidth(column, width);
    }
    // Captions wrap into up to four lines, as in the editor's other grids.
    for (CalculationGrid* grid : {keyGrid_, grid_})
        grid->horizontalHeader()->setMinimumHeight(QFontMetrics(grid->horizontalHeader()->font()).height() * 4 + 8);
    // The key grid always shows its column whole.
    const int keyWidth = int(90 * fontScale_) + 2 * keyGrid_->frameWidth();
    keyGrid_->setMinimumWidth(keyWidth);
    pair_->setSizes({keyWidth, 10 * keyWidth});
}

} // namespace zurm::gui
