#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace zurm {

class DataModule;
class Progress;
class UserDialogs;

// One column of a calculation grid as the main window shows it.
struct GridColumn {
    QString name;       // the table column
    bool visible = true;
    int width = 0;
    QString title;      // grid title when it is not the caption tables' text (the comment column)
};

// What the structure setup decides for the main window: every column of Заг and
// Табл in table order with its visibility and width, the captions written to
// ВКолЗаг / ВКолТабл (one per visible column; the segment list ends with the
// empty caption of Примечание) and the enabled state of the two node fields.
struct GridLayout {
    QList<GridColumn> headerColumns;
    QList<GridColumn> segmentColumns;
    QStringList headerCaptions;
    QStringList segmentCaptions;
    bool supplyNodeFieldEnabled = false;    // edNuzPNapPod
    bool availableNodeFieldEnabled = false; // edNuzRNap
};

// A user indicator as the layouts see it (a row of Формулы).
struct IndicatorColumn {
    QString shortName; // НаимПокСокр
    QString type;      // ТипПок as stored; compared upper-cased
};

// Everything the three layouts depend on.
struct LayoutDefinitions {
    bool twoPipe = false;            // ТипСети = 1
    bool determineDiameters = false; // ОпрД
    QList<IndicatorColumn> userIndicators; // Формулы in ascending Nпп
};

// The column-definition lists the tables must have, e.g. "([A] float, [B] float)".
QString requiredLayoutZag(const LayoutDefinitions& definitions);
QString requiredLayoutTabl(const LayoutDefinitions& definitions);
QString requiredLayoutKonMag(const LayoutDefinitions& definitions);

// The list a table has, written so that it equals the required one exactly when
// the table needs no rebuild: Заг reports every column as float; КонМаг reports
// smallint (any whole-number type), bit or float and NOT NULL for РВПод / РВОбр;
// any other table (Табл) reports each declared type as the program's own type
// (by SQLite's affinity rules: INTEGER is "integer", TEXT is "text", VARCHAR(5)
// is "text(5)", REAL or NUMERIC is "float", BLOB or no type is nothing) with
// " PRIMARY KEY" after the column named id. "()" when the table does not exist.
QString currentLayout(const QSqlDatabase& db, const QString& table);

// One item of a layout text.
struct LayoutColumn {
    QString name;
    QString type;   // lower-case base type: "float", "smallint", "integer", "bit", "text"; empty if untyped
    int size = 0;   // declared size of text columns; 0 for a text without size
    bool primaryKey = false;
    bool notNull = false;
};
QList<LayoutColumn> parseLayout(const QString& layout);

// Rebuilds table `name` of the calculation file to `required` when it differs
// from `current`. Values, row order and keys survive in every column whose name
// is exactly the same and whose type is of the same kind (whole numbers,
// float, text) with a text size not smaller than before, and in every untyped
// column of the same name; other new columns start empty (NOT NULL bit columns
// start false).
// One transaction: a failure throws Failure and leaves the table as it was.
void RestructureTable(DataModule& data, const QString& name, const QString& required, const QString& current);

// Shapes Заг, Табл and КонМаг for the current network type, design mode and
// indicator catalogue, writes the caption tables ВКолЗаг and ВКолТабл of the
// work database and fills `layout`. Returns false after showing the message
// when the network type is invalid, a column name would occur twice, or a
// column holds values that its rebuild could not keep (nothing changed then).
// Database failures throw Failure; the tables rebuilt before the
// failure stay rebuilt. The status line and the busy cursor are restored in
// every case.
bool SetUpTableStructure(DataModule& data, UserDialogs& dialogs, Progress& progress, GridLayout& layout);

} // namespace zurm
