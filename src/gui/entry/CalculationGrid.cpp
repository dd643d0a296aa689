#include "gui/entry/CalculationGrid.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <cmath>

namespace zurm::gui {

namespace {
constexpr int kUpCode = 38;
constexpr int kDownCode = 40;
constexpr int kTextLimit = 255;

bool isTextCell(const QModelIndex& index)
{
    return index.data(Qt::EditRole).metaType().id() == QMetaType::QString;
}
} // namespace

CalculationGrid::CalculationGrid(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setWordWrap(false);
    setItemDelegate(new GridValueDelegate(this));
}

void CalculationGrid::finishEditing()
{
    if (!editing())
        return;
    // Leaving the cell applies the editor's text, as moving to another cell would.
    const QModelIndex current = currentIndex();
    currentChanged(current, current);
}

void CalculationGrid::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool up = key == Qt::Key_Up && !(event->modifiers() & Qt::ControlModifier);
    const bool down = key == Qt::Key_Down && !(event->modifiers() & Qt::ControlModifier);
    emit navigationKey(up ? kUpCode : down ? kDownCode : 0);
    // Ctrl+End goes to the last row of the table, not of the rows read so far.
    if (key == Qt::Key_End && (event->modifiers() & Qt::ControlModifier) && model()) {
        while (model()->canFetchMore(QModelIndex()))
            model()->fetchMore(QModelIndex());
    }
    if ((up || down) && model() && currentIndex().isValid()) {
        const int row = currentIndex().row();
        if (down && row == model()->rowCount() - 1 && model()->canFetchMore(QModelIndex()))
            model()->fetchMore(QModelIndex());
        if ((up && row == 0) || (down && row == model()->rowCount() - 1)) {
            finishEditing();
            event->accept();
            emit edgeReached(row);
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

QString GridValueDelegate::numberText(double value)
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', QLocale::FloatingPointShortest);
}

std::optional<QVariant> GridValueDelegate::parseNumber(const QString& text)
{
    QString clean = text;
    clean.remove(QLatin1Char(' '));
    clean.remove(QChar(0x00A0));
    clean.replace(QLatin1Char(','), QLatin1Char('.'));
    if (clean.isEmpty())
        return QVariant(QMetaType::fromType<double>());
    bool ok = false;
    const double value = QLocale::c().toDouble(clean, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return QVariant(value);
}

QString GridValueDelegate::displayText(const QVariant& value, const QLocale& locale) const
{
    if (value.isNull())
        return {};
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return numberText(value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
        // Node numbers and keys are never grouped by thousands.
        return QString::number(value.toLongLong());
    default:
        return QStyledItemDelegate::displayText(value, locale);
    }
}

QWidget* GridValueDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setAlignment(Qt::AlignCenter);
    if (isTextCell(index)) {
        editor->setMaxLength(kTextLimit);
    } else {
        static const QRegularExpression numberPattern(
            QStringLiteral("^[-+]?[0-9 \\x{00A0}]*[.,]?[0-9]*([eE][-+]?[0-9]*)?$"));
        editor->setValidator(new QRegularExpressionValidator(numberPattern, editor));
    }
    return editor;
}

void GridValueDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    const QVariant value = index.data(Qt::EditRole);
    line->setText(isTextCell(index) || value.isNull() ? value.toString() : numberText(value.toDouble()));
}

void GridValueDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    const QVariant old = index.data(Qt::EditRole);
    QVariant value;
    if (isTextCell(index)) {
        const QString text = line->text().left(kTextLimit);
        value = text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
        if (old.isNull() == value.isNull() && old.toString() == value.toString())
            return;
    } else {
        const std::optional<QVariant> number = parseNumber(line->text());
        if (!number)
            return; // not a number: the cell keeps its value
        value = *number;
        if (old.isNull() == value.isNull() && (value.isNull() || old.toDouble() == value.toDouble()))
            return;
    }
    model->setData(index, value, Qt::EditRole);
}

} // namespace zurm::gui
