#pragma once

#include <QStyledItemDelegate>
#include <QTableView>

namespace zurm::gui {

// A grid of the main window. It reports the navigation keys pressed in it (the
// row save needs to know whether the user moved up or down) and a press of Up on
// the first row or Down on the last, where the cursor cannot move but a pending
// edit of the row is still to be saved.
class CalculationGrid : public QTableView {
    Q_OBJECT
public:
    explicit CalculationGrid(QWidget* parent = nullptr);

    // Applies an open editor's text to the model and leaves cell-editing mode.
    void finishEditing();
    bool editing() const { return state() == QAbstractItemView::EditingState; }

signals:
    // 38 for Up, 40 for Down, 0 for any other key.
    void navigationKey(int code);
    // Up on the first row or Down on the last row.
    void edgeReached(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Editing of grid values: numbers are typed with "." or "," as decimal point and
// spaces are ignored; an empty cell is a Null value; text is at most 255
// characters. A cell left unchanged writes nothing.
class GridValueDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant& value, const QLocale& locale) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // The value typed text stands for in a number column; nullopt when it is no number.
    static std::optional<QVariant> parseNumber(const QString& text);
    static QString numberText(double value);
};

} // namespace zurm::gui
