#include "gui/network/ConsumersTab.h"

#include "gui/entry/CalculationGrid.h"
#include "settings/FontSizes.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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
        captions_.append(caption);
        header->addWidget(caption, 0, column);
        header->addWidget(field, 1, column, Qt::AlignLeft);
        header->setColumnStretch(column, 1);
        const ConsumerTableModel::Limit which = limit.limit;
        connect(field, &QLineEdit::editingFinished, this, [this, which] { applyLimit(which); });
        *limit.field = field;
        ++column;
    }
    layout->addLayout(header);

    grid_ = new CalculationGrid(this);
    grid_->setObjectName(QStringLiteral("DGPotr"));
    grid_->setDialogs(&dialogs);
    grid_->setModel(model_);
    grid_->setItemDelegateForColumn(ConsumerTableModel::Scheme, new SchemeDelegate(grid_));
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    grid_->horizontalHeader()->setStretchLastSection(true);
    model_->refusedInput = [this](const QString& message) { grid_->reportRefusedInput(message); };
    layout->addWidget(grid_, 1);
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
    for (ConsumerTableModel::Limit limit : {ConsumerTableModel::Limit::StaticHead,
                                            ConsumerTableModel::Limit::AllowedPressure,
                                            ConsumerTableModel::Limit::BoilingReserve})
        applyLimit(limit);
}

void ConsumersTab::applyFontSizes(const FontSizes& sizes)
{
    QFont cells = grid_->font();
    cells.setPointSize(sizes.dataCells);
    grid_->setFont(cells);
    grid_->verticalHeader()->setDefaultSectionSize(QFontMetrics(cells).height() + 8);
    QFont titles = grid_->horizontalHeader()->font();
    titles.setPointSize(sizes.columnTitles);
    grid_->horizontalHeader()->setFont(titles);
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
    }
    // Captions wrap into up to four lines, as in the editor's other grids.
    grid_->horizontalHeader()->setMinimumHeight(QFontMetrics(grid_->horizontalHeader()->font()).height() * 4 + 8);
}

} // namespace zurm::gui
