#pragma once

#include "gui/entry/CommandHost.h"
#include "settings/FontSizes.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QLabel;

namespace zurm {
class DocumentSession;
class HeaderRowModel;
class Progress;
class SegmentTableModel;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

class CalculationGrids;
class DataCommands;
class NetworkCommands;
class ParametersDialog;
class ReportCommands;
class RunCommands;
class SettingsDialog;
class WidgetDialogs;

// The main window: a frame around the calculation's panel (CalculationGrids)
// with every command of the program in the menu and the toolbar, and the
// status bar. It owns the document session; the commands of each area live
// in objects of their own (DataCommands, RunCommands), the file commands are
// the session's.
class MainWindow : public QMainWindow, public CommandHost {
    Q_OBJECT
public:
    // programFolder empty: resolved from the executable's folder. dialogs null:
    // message boxes and file dialogs; otherwise the given object (not owned)
    // answers every question of the session and of this window.
    explicit MainWindow(const QString& programFolder = QString(), UserDialogs* dialogs = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    QMainWindow& window() override { return *this; }
    DocumentSession& session() override { return *session_; }
    UserDialogs& dialogs() override { return *dialogs_; }
    Progress& progress() override;
    CalculationGrids& grids() override { return *grids_; }

    // LockMainWindow / UnlockMainWindow. The grids let go of their tables when
    // the outermost lock is taken and are bound again to whatever the session
    // then holds when it is released.
    void LockMainWindow();
    void UnlockMainWindow();
    // After a command that may have left the grids released.
    void bindGridsIfReleased() override;

    // PostPendingEdits: the header row, the segment row, the calculation name and
    // the two head nodes. Throws Failure; callers report it with their context.
    void PostPendingEdits();

    // ApplyFontSizes: reads the four font sizes from the settings file and sets
    // them on the grids, captions and memos of every window; the dialogs take
    // fontSizes() when they are shown.
    void ApplyFontSizes();
    const FontSizes& fontSizes() const override { return fontSizes_; }

    // "Параметры расчета", created on first use and reused.
    ParametersDialog* parametersDialog();

    // The grid models while the grids are shown, null otherwise.
    SegmentTableModel* segmentModel() const;
    HeaderRowModel* headerModel() const;

    // What the status bar shows: a progress text or a hint while there is one,
    // otherwise "Расчет выполнен." for as long as the calculation-done flag is set.
    QString statusText() const;
    // A calculation file to open, as "Открыть расчет" does, once the start-up
    // sequence has run (the program's command-line argument). Absolute path.
    void openOnStart(const QString& file);

    // Whether the start-up sequence has run (it runs once the window is shown).
    bool startedUp() const { return startedUp_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class LockingProgress;

    void createCommands();
    void createPanels();
    void releaseGrids();
    void bindGrids();
    void showStatus(const QString& text);
    void clearStatus();
    void startUp();
    void restoreWindowGeometry();
    void storeWindowGeometry() const;
    void runDocumentCommand(bool (DocumentSession::*command)());
    void about();
    void editSettings();
    void applyFonts();
    void applyCommandFonts();
    // "Справочники": the editor of one reference table (0 diameters, 1
    // density, 2 coefficients), only while both files are connected.
    void openReferenceEditor(int table);

    QString fileToOpen_;
    FontSizes fontSizes_;
    SettingsDialog* settingsDialog_ = nullptr;
    QDialog* referenceForms_[3] = {};
    std::unique_ptr<WidgetDialogs> ownDialogs_;
    UserDialogs* dialogs_ = nullptr;
    std::unique_ptr<LockingProgress> progress_;
    std::unique_ptr<DocumentSession> session_;
    CalculationGrids* grids_ = nullptr;
    DataCommands* dataCommands_ = nullptr;
    NetworkCommands* networkCommands_ = nullptr;
    ReportCommands* reportCommands_ = nullptr;
    RunCommands* runCommands_ = nullptr;
    bool started_ = false;
    bool startedUp_ = false;
    QLabel* lbCalculationDone_ = nullptr;
};

} // namespace zurm::gui
