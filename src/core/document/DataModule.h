#pragma once

#include "document/DocumentEvents.h"
#include "document/EditGuards.h"
#include "document/FileNames.h"

#include <QMap>
#include <QSqlDatabase>
#include <QStringList>
#include <optional>
#include <QString>

namespace zurm {

class UserDialogs;

// Sort of the segment table as the main window shows it.
enum class SegmentSort { ById, ByNodes };
QString segmentSortClause(SegmentSort sort); // "id ASC" or "НачУзел ASC, КонУзел ASC"

// Which kind of database a file is expected to be.
enum class DatabaseKind { Calculation, Reference, Settings };

// Throws Failure naming the file when it is not an SQLite database holding the
// fixed tables and columns of its kind. Changes nothing in the file, except
// that a transaction a killed writer left unfinished (a hot journal beside a
// writable file) is rolled back first, as SQLite does at any writable open.
void verifyDatabaseFile(const QString& path, DatabaseKind kind);

// The kind whose fixed tables and columns `tables` (a table's name: its
// columns' names) holds, if any; names compare as the database compares them,
// without regard to letter case.
std::optional<DatabaseKind> kindOfTables(const QMap<QString, QStringList>& tables);
// "базой данных гидравлического расчета", as the refusals say it.
QString kindName(DatabaseKind kind);
// The delivered file every file of the kind is made from: "GidrRas.mdb",
// "Spr.mdb" or "Nastr.mdb".
QString templateFileName(DatabaseKind kind);

// What is said of a path that leads to something other than a regular file (a
// folder, a pipe, a device); empty for a regular file or no file at all.
QString notRegularFileMessage(const QString& path);

// Whether this process may write the database file and create its journal
// beside it (the file and its folder are writable).
bool isWritableDatabaseFile(const QString& path);

// Said when a calculation file that cannot be written is opened for viewing,
// and when a command would have to write to it.
QString readOnlyCalculationMessage(const QString& path);

// The shared data module: owns the four connections of one program instance
// and the state that goes with the open documents. Several instances may live
// side by side (each has its own connection names).
class DataModule {
public:
    explicit DataModule(QString programFolder);
    ~DataModule();
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    const QString& programFolder() const { return programFolder_; }
    // A relative name resolved against the program folder; absolute names unchanged.
    QString resolve(const QString& fileName) const;

    QSqlDatabase calculation() const; // acGR
    QSqlDatabase reference() const;   // acSpr
    QSqlDatabase settings() const;    // acNastr
    QSqlDatabase work() const;        // acVremDB

    bool calculationOpen() const;
    bool referenceOpen() const;
    bool settingsOpen() const;
    bool workOpen() const;
    // The open calculation file cannot be written, or another copy of the
    // program edits it: it is shown for viewing only (see openCalculation).
    bool calculationReadOnly() const { return calculationReadOnly_; }
    // Why a command that would write to the open calculation file (at `path`)
    // is refused: the file cannot be written, or another copy edits it.
    QString calculationViewingMessage(const QString& path) const;

    // Each open verifies the file first (verifyDatabaseFile) and throws Failure.
    void openSettings(const QString& path);
    // forViewing opens the calculation file on a read-only connection: another
    // copy of the program edits it.
    void openCalculation(const QString& path, bool forViewing = false);
    void openReference(const QString& path);
    void closeCalculation();
    void closeReference();
    void closeSettings();

    // Re-creates the work database. An empty fileName keeps it in memory
    // (zurm-calc, tests); otherwise the file is deleted first, and when that is
    // impossible the message is shown and creation goes on.
    void createWorkDatabase(const QString& fileName, UserDialogs& dialogs);
    // The file of the work database last created, empty when it is in memory.
    const QString& workPath() const { return workPath_; }
    void closeWork();

    // The full path the calculation file was opened with.
    const QString& calculationPath() const { return calculationPath_; }

    // Before anything is written to the calculation file: throws Failure when
    // the path no longer leads to the file that was opened (deleted, renamed,
    // replaced by another file); when another connection or program has
    // committed to the file since the last look (SQLite's data version), reloads
    // the cached calculation-done flag and counts a new generation, by which the
    // grids know that what they hold is stale. SetCalculationDoneFlag calls it.
    void syncWithCalculationFile();
    // The calculation path still leads to the file that was opened.
    bool calculationPathLeadsToOpenFile() const;
    // Grows whenever syncWithCalculationFile has seen a change made elsewhere.
    quint64 calculationGeneration() const { return calculationGeneration_; }

    // Calculation-done flag (НазвРасч.РВ) with its cache.
    bool calculationDone() const { return calculationDone_; }
    void resetCalculationDoneCache() { calculationDone_ = false; }
    void loadCalculationDoneFlag();
    void SetCalculationDoneFlag(bool value);
    // Every edit of the input data goes through here: clears the
    // calculation-done flag (throws Failure when it cannot be written) and
    // then sends events().inputChanged to the open views.
    void noteInputChanged(const QObject* source = nullptr);
    DocumentEvents& events() { return events_; }

    SegmentSort segmentSort() const { return segmentSort_; }
    void setSegmentSort(SegmentSort sort) { segmentSort_ = sort; }

    EditGuards& guards() { return guards_; }
    const EditGuards& guards() const { return guards_; }

private:
    QSqlDatabase open(const QString& role, const QString& path, bool readOnly = false);
    void close(const QString& role);
    QString connectionName(const QString& role) const;

    QString programFolder_;
    QString id_;
    QString calculationPath_;
    bool calculationReadOnly_ = false;
    std::optional<FileIdentity> calculationIdentity_;
    bool calculationHeldElsewhere_ = false;
    qint64 calculationDataVersion_ = 0;
    quint64 calculationGeneration_ = 0;
    bool calculationDone_ = false;
    QString workPath_;
    SegmentSort segmentSort_ = SegmentSort::ById;
    EditGuards guards_;
    DocumentEvents events_;
};

} // namespace zurm
