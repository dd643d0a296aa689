#pragma once

#include "network/NetworkEditorRules.h"
#include "network/NetworkTableModel.h"
#include "gui/entry/CalculationGrid.h"
#include "settings/FontSizes.h"

#include <QDialog>
#include <QHash>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QMenuBar;
class QSplitter;
class QTabWidget;
class QWidget;

namespace zurm {
class ConsumerTableModel;
class DocumentSession;
class Progress;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

class AutoFillEndNodesDialog;
class AutoFillNodesDialog;
class CalculationGrid;
class ConsumersTab;
class SchemaDrawingWindow;
class SchemaView;

// TParTSForm "Параметры теплосети": the nodes, segments, head changes and
// end nodes of the network in their key/data grid pairs beside the schema,
// the two editing modes and the table and selection commands. Modal; the
// status of the network is decided and stored as it closes.
class NetworkEditor : public QDialog {
    Q_OBJECT
public:
    NetworkEditor(DocumentSession& session, UserDialogs& dialogs, Progress& progress, QWidget* parent = nullptr);
    ~NetworkEditor() override;

    // FormShow: reads the tables and the modes. False when the tables cannot
    // be read (reported); the editor is then not to be shown.
    bool prepare();
    // The status stored when the editor closed.
    int storedStatus() const { return state_ ? state_->status() : 2; }
    QString storedMessage() const { return state_ ? state_->message() : QString(); }

    NetworkTableModel* model(NetworkTable table) const;
    ConsumerTableModel* consumerModel() const;
    // The grids take the program's cell and column-title sizes.
    void applyFontSizes(const FontSizes& sizes);
    const NetworkEditorState& state() const { return *state_; }
    // The drawing window (created on first use).
    SchemaDrawingWindow* drawingWindow();

    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class EditorProgress;
    struct Pair;
    class NetworkCommand;

    void createMenus(QMenuBar* bar);
    void createPanels();
    CalculationGrid* createGrid(const char* name, NetworkTableModel* model, const QStringList& columns,
                                const QStringList& captions, bool multiRow);
    void pairGrids(CalculationGrid* key, CalculationGrid* data);
    void sizeColumns();
    void UpdateEditorMenus();
    void applyColumns();
    void showEndNodeTab(bool shown);
    // The consumers tab follows the end nodes: shown while КонМаг has rows.
    // Throws Failure.
    void refreshConsumersTab();
    void loadConsumers();
    void selectTab(int tab);
    void tabChanged();
    void DataSave();
    void finishAllEditing();
    bool leaveRow(CalculationGrid* grid, int row);
    void currentRowChanged(CalculationGrid* grid, int current, int previous);
    bool appendRow(CalculationGrid* grid);
    bool appendAllowed(CalculationGrid* grid) const;
    void reselect();
    void inputChangedElsewhere(const QObject* source);
    bool guarded(const QString& context, const std::function<void()>& step);
    int currentRow(CalculationGrid* grid) const;
    void setCurrentRow(CalculationGrid* grid, int row);
    QString startNodeText() const;
    void closeEditor();

    // Commands of the menus.
    void drawNetworkSchema();
    void switchManualFillOn();
    void switchEndNodeEditingOn();
    void autoFillNodes();
    void autoFillEndNodes();
    void setLabelMode(int mode);
    void deleteMarkedRows(NetworkTable table);
    void deleteAllRows(NetworkTable table);
    void markAllRows(NetworkTable table);
    void selectCurrentNodes(NetworkTable table);
    void selectNodesByNumbers();
    void cancelSelection();
    void findSelectedNodes(int kind);

    DocumentSession& session_;
    UserDialogs& dialogs_;
    Progress& mainProgress_;
    std::unique_ptr<EditorProgress> progress_;
    std::unique_ptr<NetworkEditorState> state_;

    QMenuBar* menuBar_ = nullptr;
    QWidget* pnClient_ = nullptr;
    QTabWidget* tcTabl_ = nullptr;
    QWidget* endNodeTab_ = nullptr;
    ConsumersTab* consumersTab_ = nullptr;
    QLineEdit* edNachUzTS_ = nullptr;
    QLineEdit* edTop_ = nullptr;
    SchemaView* schema_ = nullptr;
    AutoFillNodesDialog* autoFillNodes_ = nullptr;
    AutoFillEndNodesDialog* autoFillEndNodes_ = nullptr;
    SchemaDrawingWindow* drawingWindow_ = nullptr;
    bool drawing_ = false;
    CalculationGrid* dgUzTS_ = nullptr;
    CalculationGrid* dgGeodVis_ = nullptr;
    CalculationGrid* dgNU_ = nullptr;
    CalculationGrid* dgTabl_ = nullptr;
    CalculationGrid* dgIsmPNap_ = nullptr;
    CalculationGrid* dgKonMagIdM_ = nullptr;
    CalculationGrid* dgKonMag_ = nullptr;
    QHash<NetworkTable, NetworkTableModel*> models_;
    QHash<QString, QAction*> actions_;
    QList<CalculationGrid*> grids_;
    QHash<CalculationGrid*, CalculationGrid*> partner_;
    bool syncing_ = false;
    bool closing_ = false;
    bool closed_ = false;
    int lastKey_ = 0;
    double fontScale_ = 1.0;
    FontSizes fontSizes_;
};

// BeginNetworkCommand / EndNetworkCommand: the pending node and segment rows
// are saved, grid updates held, and the cursor comes back to the remembered
// rows of both tables at the end, also when the command fails.
class NetworkEditor::NetworkCommand {
public:
    explicit NetworkCommand(NetworkEditor& editor) : editor_(editor)
    {
        editor_.finishAllEditing();
        nodesRow = editor_.currentRow(editor_.dgUzTS_);
        segmentsRow = editor_.currentRow(editor_.dgNU_);
        editor_.leaveRow(editor_.dgUzTS_, nodesRow);
        editor_.leaveRow(editor_.dgNU_, segmentsRow);
        for (CalculationGrid* grid : editor_.grids_)
            grid->setUpdatesEnabled(false);
    }
    ~NetworkCommand()
    {
        editor_.setCurrentRow(editor_.dgUzTS_, nodesRow);
        editor_.setCurrentRow(editor_.dgNU_, segmentsRow);
        for (CalculationGrid* grid : editor_.grids_)
            grid->setUpdatesEnabled(true);
    }
    NetworkCommand(const NetworkCommand&) = delete;
    NetworkCommand& operator=(const NetworkCommand&) = delete;

    int nodesRow = -1;
    int segmentsRow = -1;

private:
    NetworkEditor& editor_;
};

} // namespace zurm::gui
