#pragma once

#include "network/SchemaEditHistory.h"
#include "network/SchemaEditing.h"

#include <QDialog>
#include <QHash>
#include <QPoint>
#include <functional>
#include <memory>

class QAction;
class QComboBox;

namespace zurm {
class DocumentSession;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

class RenameNodesDialog;
class SchemaView;

// TRisShTSForm "Рисование схемы теплосети": the network drawn with the mouse
// over its map. The operation box (and the schema's context menu, which
// repeats it) chooses what a click does or runs an operation on the
// selection; every change is written at once and can be undone and redone
// while the window is open ("Отменить" Ctrl+Z, "Повторить" Ctrl+Y).
class SchemaDrawingWindow : public QDialog {
    Q_OBJECT
public:
    SchemaDrawingWindow(DocumentSession& session, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~SchemaDrawingWindow() override;

    // FormShow: reads the network and the map, chooses the first mode, then
    // shows the window modally.
    void run();
    // FormShow without showing (the window's tools and tests show it themselves).
    void prepare();

    SchemaView* schema() const { return schema_; }
    QComboBox* operationBox() const { return cbOperating_; }
    int mode() const;
    QAction* action(const QString& name) const { return actions_.value(name); }
    const SchemaEditHistory& history() const { return history_; }
    RenameNodesDialog* renameDialog();

    // Chooses an item of the operation box as the user would (cbOperatingChange):
    // a mode is set, items 4 to 11 run their operation.
    void chooseItem(int index);

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Esc cancels what the mouse has begun; it never closes the window, which
    // would take the undo history with it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createMenus();
    void setMode(int index);
    void pressed(QPoint point, Qt::MouseButton button);
    void released(QPoint point, Qt::MouseButton button);
    void cancelUnderWay();
    void selectByNumbers(); // OperSelUzByNum
    void renameSelected();
    void undo();
    void redo();
    void repaint();
    void updateHistoryActions();
    void guarded(const std::function<void()>& step);

    DocumentSession& session_;
    UserDialogs& dialogs_;
    SchemaEditHistory history_;
    SchemaView* schema_ = nullptr;
    std::unique_ptr<SchemaEditing> editing_;
    QComboBox* cbOperating_ = nullptr;
    RenameNodesDialog* rename_ = nullptr;
    QHash<QString, QAction*> actions_;
    QPoint down_;
    bool dragging_ = false; // the left button went down on the picture and is not yet up
};

} // namespace zurm::gui
