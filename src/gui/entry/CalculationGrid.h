#pragma once

#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

namespace zurm {
class UserDialogs;
}

namespace zurm::gui {

// A data grid of the program; every editable grid is one, so each inherits how
// typing works. A printable key typed while a cell is current edits that cell,
// starting with the key (also in the moment after a click on the selected cell,
// when the view would otherwise search the rows for the typed text and move the
// cursor: the grid never searches). A value that cannot be applied keeps the
// cell's value and is explained in a message.
//
// It also reports the navigation keys pressed in it (the row save needs to know
// whether the user moved up or down) and a press of Up on the first row or Down
// on the last, where the cursor cannot move but a pending edit of the row is
// still to be saved.
class CalculationGrid : public QTableView {
    Q_OBJECT
public:
    explicit CalculationGrid(QWidget* parent = nullptr);

    // Applies an open editor's text to the model and leaves cell-editing mode.
    void finishEditing();
    bool editing() const { return state() == QAbstractItemView::EditingState; }

    // Where refused input is explained; without one a message box on the grid's window.
    void setDialogs(UserDialogs* dialogs) { dialogs_ = dialogs; }
    // Shows the message once the editor has closed.
    void reportRefusedInput(const QString& message);

    void keyboardSearch(const QString& search) override;

signals:
    // 38 for Up, 40 for Down, 0 for any other key.
    void navigationKey(int code);
    // Up on the first row or Down on the last row.
    void edgeReached(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    UserDialogs* dialogs_ = nullptr;
};

// Editing of grid values: numbers are typed as everywhere in the program
// (parseTypedReal: spaces dropped, "." or "," as decimal point); an emptied cell
// is a Null value; text that is no number keeps the value and says so; text is
// at most 255 characters. A cell left unchanged writes nothing. Text longer than
// its cell shows whole in the cell's tooltip, and its editor widens to show it.
class GridValueDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant& value, const QLocale& locale) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    static QString numberText(double value);
    // The message for typed text that is no number.
    static QString notANumberMessage(const QString& text);

protected:
    // Tells the grid that typed text was refused.
    void refuse(const QString& message) const;
};

} // namespace zurm::gui
