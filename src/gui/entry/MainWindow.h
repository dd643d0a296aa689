#pragma once

#include "document/DataModule.h"
#include "settings/FontSizes.h"

#include <QFont>
#include <QList>
#include <QMainWindow>
#include <QMetaObject>
#include <QVariant>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QSplitter;
class QWidget;

namespace zurm {
class DocumentSession;
class HeaderRowModel;
class SegmentTableModel;
class UserDialogs;
struct GridColumn;
} // namespace zurm

namespace zurm::gui {

class CalculationGrid;
class ParametersDialog;
class RunStop;
class CompletionDialog;
class SettingsDialog;
class TextViewer;
class WidgetDialogs;

// The main window: every command of the program in the menu and the toolbar, the
// calculation name and the two head nodes, the header grid over Заг and the
// segment grid over Табл with the segment-number list beside it. It owns the
// document session; the grids are bound to the session's open tables and are
// released while a long operation holds the window locked (a table rebuild must
// not find a grid still reading it).
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // programFolder empty: resolved from the executable's folder. dialogs null:
    // message boxes and file dialogs; otherwise the given object (not owned)
    // answers every question of the session and of this window.
    explicit MainWindow(const QString& programFolder = QString(), UserDialogs* dialogs = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    DocumentSession& session() { return *session_; }

    // LockMainWindow / UnlockMainWindow. The grids let go of their tables when
    // the outermost lock is taken and are bound again to whatever the session
    // then holds when it is released.
    void LockMainWindow();
    void UnlockMainWindow();

    // PostPendingEdits: the header row, the segment row, the calculation name and
    // the two head nodes. Throws Failure; callers report it with their context.
    void PostPendingEdits();

    // ApplyFontSizes: reads the four font sizes from the settings file and sets
    // them on the grids, captions and memos of every window; the dialogs take
    // fontSizes() when they are shown.
    void ApplyFontSizes();
    const FontSizes& fontSizes() const { return fontSizes_; }

    // "Параметры расчета", created on first use and reused.
    ParametersDialog* parametersDialog();

    // The grid models while the grids are shown, null otherwise.
    SegmentTableModel* segmentModel() const { return segmentModel_; }
    HeaderRowModel* headerModel() const { return headerModel_; }

    // What the status bar shows: a progress text or a hint while there is one,
    // otherwise "Расчет выполнен." for as long as the calculation-done flag is set.
    QString statusText() const;
    // Whether the start-up sequence has run (it runs once the window is shown).
    bool startedUp() const { return startedUp_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static QFont sizedFont(QFont font, int points);
    class LockingProgress;
    struct Command;

    void createCommands();
    void createPanels();
    QAction* addCommand(QMenu* menu, QToolBar* toolbar, const Command& command);

    void releaseGrids();
    void bindGrids();
    void bindModels();
    void applyColumns(CalculationGrid* grid, const QList<GridColumn>& columns, const QStringList& captions);
    void alignSegmentNumberList();

    void segmentRowChanged(int current, int previous);
    void segmentEdgeReached(int row);
    bool saveSegmentRow(int row);
    void saveAllPendingSegmentRows();
    // Drops the edits the grids and fields hold (after the user agreed to lose them).
    void discardPendingEdits();
    void setSegmentCurrentRow(int row);
    // The segment and the column the cursor stands on, to come back to after
    // the grids were bound again (the sort may have moved the segment).
    struct SegmentPosition {
        QVariant id;
        QString column;
        int row = -1;
    };
    SegmentPosition segmentPosition() const;
    void restoreSegmentPosition(const SegmentPosition& position);
    void showStatus(const QString& text);
    void startUp();
    void sizeTopPanel();
    void sizeSegmentNumberList();
    void restoreWindowGeometry();
    void storeWindowGeometry() const;
    void finishGridEditing();
    void clearStatus();
    void storeCalculationName();
    void storeNodeNumber(QLineEdit* field, const QString& column, QString& viewText);

    void chooseSort(SegmentSort sort);
    void showSortChoice(SegmentSort sort);

    UserDialogs& dialogs();
    bool guarded(const QString& context, const std::function<void()>& step);
    void runCommand(bool (DocumentSession::*command)());
    void newCalculation();
    void openCalculation();
    void saveCalculation();
    void saveCalculationAs();
    void openReference();
    void saveReferenceAs();
    void compactCalculation();
    void compactReference();
    void runCalculation();
    void about();
    void helpContents();
    void parametersCommand();

    // Program settings and the two windows at the end of a run.
    void editSettings();
    void applyFonts();
    void showCalculationText(const QString& savedFile);
    QStringList showCompletion(const QString& message);
    void startFollowUps(const QStringList& commands);
    CompletionDialog* completionDialog();
    TextViewer* textViewer();

    FontSizes fontSizes_;
    SettingsDialog* settingsDialog_ = nullptr;
    CompletionDialog* completionDialog_ = nullptr;
    TextViewer* textViewer_ = nullptr;
    ParametersDialog* parametersDialog_ = nullptr;
    std::unique_ptr<WidgetDialogs> ownDialogs_;
    UserDialogs* dialogs_ = nullptr;
    std::unique_ptr<LockingProgress> progress_;
    std::unique_ptr<DocumentSession> session_;
    bool started_ = false;
    bool startedUp_ = false;
    QLabel* lbCalculationDone_ = nullptr;
    QWidget* pnTop_ = nullptr;
    bool gridsBound_ = false;
    RunStop* runStop_ = nullptr; // while a calculation runs
    bool closeAfterRun_ = false;
    bool syncingRows_ = false;

    QLineEdit* edRasName_ = nullptr;
    QLineEdit* edNuzPNapPod_ = nullptr;
    QLineEdit* edNuzRNap_ = nullptr;
    CalculationGrid* dgZag_ = nullptr;
    CalculationGrid* dgNU_ = nullptr;
    CalculationGrid* dgGlavn_ = nullptr;
    QWidget* gbLeft_ = nullptr;
    QSplitter* spHor_ = nullptr;
    QSplitter* spVert_ = nullptr;

    QActionGroup* sortMenuGroup_ = nullptr;
    QActionGroup* sortButtonGroup_ = nullptr;
    QAction* miSortByNodes_ = nullptr;
    QAction* miSortById_ = nullptr;
    QAction* tbSortByNodes_ = nullptr;
    QAction* tbSortById_ = nullptr;

    HeaderRowModel* headerModel_ = nullptr;
    SegmentTableModel* segmentModel_ = nullptr;
    QList<QMetaObject::Connection> gridConnections_;
};

} // namespace zurm::gui
