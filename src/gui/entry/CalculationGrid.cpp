#include "gui/entry/CalculationGrid.h"

#include "base/UserDialogs.h"
#include "gui/platform/WidgetDialogs.h"
#include "platform/NumberText.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QLineEdit>
#include <QToolTip>

namespace zurm::gui {

namespace {
constexpr int kUpCode = 38;
constexpr int kDownCode = 40;
constexpr int kTextLimit = 255;

bool isTextCell(const QModelIndex& index)
{
    return index.data(Qt::EditRole).metaType().id() == QMetaType::QString;
}

bool startsTyping(const QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint();
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

void CalculationGrid::keyboardSearch(const QString&)
{
    // Typed text edits the current cell; it never moves the cursor.
}

void CalculationGrid::reportRefusedInput(const QString& message)
{
    // The editor is closing when its text is refused: the message waits until
    // the view has finished with it.
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            if (dialogs_) {
                dialogs_->showMessage(message, MessageKind::Warning);
            } else {
                WidgetDialogs own(window());
                own.showMessage(message, MessageKind::Warning);
            }
        },
        Qt::QueuedConnection);
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
    if (startsTyping(event) && !editing() && currentIndex().isValid()) {
        // A click on the selected cell opens its editor only after the
        // double-click interval, and until then the view would refuse to edit
        // on a key. Cancelling that wait lets the key open the editor now.
        QTableView::edit(currentIndex(), QAbstractItemView::CurrentChanged, nullptr);
    }
    QTableView::keyPressEvent(event);
}

QString GridValueDelegate::numberText(double value)
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', QLocale::FloatingPointShortest);
}

QString GridValueDelegate::notANumberMessage(const QString& text)
{
    return typedNumberRefusal(text);
}

void GridValueDelegate::refuse(const QString& message) const
{
    if (auto* grid = qobject_cast<CalculationGrid*>(parent()))
        grid->reportRefusedInput(message);
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
    if (isTextCell(index))
        editor->setMaxLength(kTextLimit);
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
    } else if (line->text().isEmpty()) {
        // An emptied cell holds no value.
        if (old.isNull())
            return;
        value = QVariant(QMetaType::fromType<double>());
    } else {
        const std::optional<double> number = parseTypedReal(line->text());
        if (!number) {
            refuse(notANumberMessage(line->text()));
            return;
        }
        if (!old.isNull() && old.toDouble() == *number)
            return;
        value = *number;
    }
    model->setData(index, value, Qt::EditRole);
}

void GridValueDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const
{
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line || !isTextCell(index))
        return;
    // A long text is edited whole: the editor grows to the right, up to the
    // visible width of the grid.
    const QWidget* area = editor->parentWidget();
    const int needed = line->fontMetrics().horizontalAdvance(index.data(Qt::EditRole).toString()) + 16;
    QRect rect = editor->geometry();
    const int room = area ? area->width() - rect.left() : rect.width();
    if (needed > rect.width() && room > rect.width())
        rect.setWidth(qMin(needed, room));
    editor->setGeometry(rect);
}

bool GridValueDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                  const QModelIndex& index)
{
    if (event && event->type() == QEvent::ToolTip && index.isValid()
        && !index.data(Qt::ToolTipRole).isValid()) {
        // A text cut short by its column shows whole in the tooltip.
        const QString text = displayText(index.data(Qt::DisplayRole), option.locale);
        if (!text.isEmpty() && option.fontMetrics.horizontalAdvance(text) + 8 > option.rect.width()) {
            // Rich text, so that the tooltip wraps a long formula into lines.
            QToolTip::showText(event->globalPos(), QStringLiteral("<p>") + text.toHtmlEscaped() + QStringLiteral("</p>"),
                               view);
            return true;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace zurm::gui
