#pragma once

#include "document/DataModule.h"
#include "document/DocumentLock.h"
#include "document/TableStructure.h"
#include "indicators/IndicatorCheck.h"

#include <QString>
#include <functional>
#include <optional>

namespace zurm {

class Progress;
class UserDialogs;

// Caption of the main window while no calculation file is named.
inline const QString kProgramCaption = QStringLiteral("ЗУРМ 1.4");
// Caption of the program's own questions.

// What the main window shows for the open documents. Every document command
// leaves it up to date; the window reads it afterwards and binds its grids.
struct DocumentViewState {
    QString caption = kProgramCaption;
    bool gridsVisible = false;          // header grid, segment grid, segment-number list
    QString calculationName;            // edRasName
    QString supplyHeadNodeText;         // edNuzPNapPod (NузПНапПод)
    QString availableHeadNodeText;      // edNuzRNap (NузРНап)
    bool supplyNodeFieldEnabled = false;
    bool availableNodeFieldEnabled = false;
    QString statusText;                 // "Расчет выполнен." or empty
    bool readOnly = false;              // the calculation file is open for viewing only
    std::optional<int> lastNavigationKey; // key code of the last key in the segment grids
    SegmentSort sort = SegmentSort::ById;
    int networkStatus = 2;              // cached ПарТСКорр
    QString networkStatusText;          // cached ПарТСОш
    GridLayout layout;                  // from SetUpTableStructure
    int schemaLabelMode = 0;            // labels on the schema: 0 all nodes, 1 start and end nodes, 2 none
};

// The open documents of one program instance: the data module with its four
// connections, program start, OpenDocuments and the file commands.
//
// Commands return true when they ran to their end (a cancelled dialog, a No,
// a refusal or a reported failure return false). Everything the user sees goes
// through UserDialogs; the window lock through Progress.
class DocumentSession {
public:
    DocumentSession(QString programFolder, UserDialogs& dialogs, Progress& progress);
    ~DocumentSession();
    DocumentSession(const DocumentSession&) = delete;
    DocumentSession& operator=(const DocumentSession&) = delete;

    DataModule& data() { return data_; }
    const DataModule& data() const { return data_; }
    const QString& programFolder() const { return data_.programFolder(); }
    // Who answers the session's questions; the dialogs of the open windows ask the same.
    UserDialogs& dialogs() { return dialogs_; }

    DocumentViewState& viewState() { return view_; }
    // "Input data changed": sent by every edit of the open calculation (see
    // DataModule::noteInputChanged); every open view re-reads from it.
    DocumentEvents& events() { return data_.events(); }
    const DocumentViewState& viewState() const { return view_; }

    // Result of the last indicator check (IndicatorsValid).
    bool indicatorsValid() const { return indicatorsValid_; }
    // Details of the last check of the open calculation; after a fault in a user
    // indicator it names the Формулы row the parameters grid is to stand on.
    const IndicatorCheckResult& lastIndicatorCheck() const { return lastIndicatorCheck_; }

    // After the calculation parameters have changed: CheckIndicators and, when
    // the catalogue is sound, SetUpTableStructure, by the same path as
    // OpenDocuments; the view follows (grids shown only while the indicators are
    // valid and the network status is 0). A failed check leaves the tables as
    // they were. Locks the window and always unlocks it. Throws Failure.
    bool recheckIndicators();

    // After the network editor has stored the network status: the view
    // follows it (grids shown only for valid indicators and status 0).
    void networkEdited(int status, const QString& message);

    // CheckIndicators: checks the catalogue and builds the calculation order;
    // shows its own message and returns false when the definitions are wrong.
    // Replaceable so that tests can count or refuse checks.
    std::function<bool()> checkIndicators;
    // The program that converts files of the earlier versions in a process of
    // its own (zurm-calc --convert), so that a damaged Access file, should it
    // crash or hang the Access reader, ends only that process. The desktop sets
    // it; empty converts in this process.
    QString oldFormatConverter;
    // The main window's PostPendingEdits; run by the preamble of every file
    // command and at exit. The default has nothing to post.
    std::function<void()> postPendingEdits = [] {};
    // Drops the main window's pending edits (they could not be saved and the
    // user agreed to lose them). The default has nothing to drop.
    std::function<void()> discardPendingEdits = [] {};

    // Opens the settings file "Nastr.mdb", re-creates the work database (an
    // empty name keeps it in memory) and opens the documents named in the
    // settings with messages. Stops at the first failed step. The desktop
    // name kOwnWorkDatabase stands for this session's own work database in the
    // program folder (scratchFileName("mdb")); scratch files of copies that
    // are no longer running are deleted first.
    bool startUp(const QString& workDatabaseFileName);
    // The first start of an installed program: when the settings name no
    // calculation, startUp copies `sample` to `target` (never over an existing
    // file) and stores the copy as the calculation file, so that the window
    // opens on a network.
    void openSampleOnFirstStart(const QString& sample, const QString& target);
    static inline const QString kOwnWorkDatabase = QStringLiteral("~$.mdb");

    // This session's own scratch file in the program folder with the given
    // extension: "mdb" the work database, "tx_" the calculation text.
    QString scratchFileName(const QString& extension) const;

    // (Re)opens the calculation and reference files named in the settings and
    // prepares the view state for them. Locks the window and always unlocks it.
    // Throws Failure; the caller reports it with its own context. A file that
    // cannot be opened leaves no document open. The calculation file is edited
    // by one copy of the program at a time (DocumentLock): while another copy
    // holds it, it opens for viewing only, with a message naming who holds it.
    void OpenDocuments(bool showMessages);

    // The file commands of the main window.
    bool newCalculation();       // "Создать новый расчет"
    bool openCalculation();      // "Открыть расчет"
    // "Открыть расчет" once the name is chosen: the checks, the name stored in
    // the settings and the documents opened. The one way a chosen file is
    // opened, from the dialog and from the program's command line.
    bool openCalculationFile(const QString& name);
    bool saveCalculation();      // "Сохранить расчет"
    bool saveCalculationAs();    // "Сохранить расчет как..."
    bool openReference();        // "Открыть справочники"
    bool saveReferenceAs();      // "Сохранить справочники как..."
    bool compactCalculation();   // "Сжать расчет"
    bool compactReference();     // "Сжать справочники"

    // Clean-up when the main window closes: posts pending edits and deletes
    // the work database, the compaction scratch file and the calculation text.
    // Pending edits that cannot be saved are dropped only when the user agrees;
    // otherwise nothing is cleaned up and false is returned (the window stays).
    bool exitCleanUp();

    // The stored paths (ФайлГР, ФайлСпр), empty when Null.
    QString calculationFileSetting() const;
    QString referenceFileSetting() const;

    // "ЗУРМ 1.4", or the calculation path followed by " - ЗУРМ 1.4".
    static QString captionFor(const QString& calculationFile);

private:
    enum class Kind { Calculation, Reference };
    struct KindTexts;
    static const KindTexts& texts(Kind kind);

    bool preamble();
    // A file of the earlier versions (an Access database) chosen or named as
    // a document of `kind`: asks whether to convert it into a new file beside
    // it and does so. Returns the file to open: `path` itself when it is no old
    // file, the new file after Yes, nothing after No or a failure (shown).
    std::optional<QString> takeOldFormat(const QString& path, DatabaseKind kind);
    // Both return what refuses the conversion, empty when the new file is written.
    QString convertInProcess(const QString& path, const QString& target, DatabaseKind kind);
    QString convertInOwnProcess(const QString& path, const QString& target, DatabaseKind kind);
    // After the preamble failed: asks whether the unsaved edits may be
    // dropped; drops them when the answer is Yes.
    bool agreeToDropPendingEdits();
    bool saveAs(Kind kind);
    bool compact(Kind kind);
    void resetView();
    void loadDocumentState();
    // CheckIndicators and, when the catalogue is sound, SetUpTableStructure;
    // the head-node fields follow the new layout. True when both succeeded.
    bool checkIndicatorsAndShapeTable();
    void showNetworkStatusMessage();
    bool isConnected(Kind kind) const;
    QString setting(Kind kind) const;
    QString storedPath(Kind kind) const;
    QString folderMessagePrefix() const;
    std::optional<QString> chooseName(bool save, const QString& title, const QString& currentFile);

    DataModule data_;
    QString firstStartSample_;
    QString firstStartTarget_;
    DocumentLock lock_;
    const QString scratchStem_;
    UserDialogs& dialogs_;
    Progress& progress_;
    DocumentViewState view_;
    bool indicatorsValid_ = false;
    IndicatorCheckResult lastIndicatorCheck_;
};

} // namespace zurm
