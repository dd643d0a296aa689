#pragma once

// What the batch tool writes besides the calculation: its messages, the graph
// along a main and the picture of the schema.

#include "base/UserDialogs.h"
#include "platform/OutputFile.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace zurm {
class DataModule;
struct GridLayout;
} // namespace zurm

namespace zurm::cli {

// The user's copies of the reference and settings files of an installed
// program (userProgramFolder()): the desktop program works with them, so no
// output may replace them either.
QList<KeptFile> userProgramFiles();

// One message line; the program's CR and CR LF line breaks become LF.
void printLine(FILE* stream, const QString& text);

// Batch answers: every message goes to stderr, every question is answered Yes,
// no file is ever chosen.
class BatchDialogs : public UserDialogs {
public:
    QStringList messages;
    void showMessage(const QString& text, MessageKind) override
    {
        messages.append(text);
        printLine(stderr, text);
    }
    bool askYesNo(const QString&, const QString&) override { return true; }
    std::optional<QString> chooseFileToOpen(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> chooseFileToSave(const QString&, const QString&, const QString&) override { return {}; }
};

// Opens the calculation and the reference file on `data`, as every command on
// a calculation begins, checks the indicators and sets the tables' columns up.
// False when the check or the setup refused (their messages went to the
// dialogs). A Failure passes through; `context` then names the step it came from.
bool openAndPrepareCalculation(DataModule& data, const QString& file, const QString& reference,
                               UserDialogs& dialogs, Progress& progress, GridLayout& layout, QString& context);

struct GraphRequest {
    QString out;                   // --graph
    int main = 0;                  // --main
    int type = 0;                  // --type
    std::optional<int> from, to;   // --from, --to
    std::optional<int> digits;     // --digits: decimals of the value marks
};

// Draws the graph of the stored results (the calculation-done flag must be
// set) and writes it by the ending of its name: PNG, SVG or CSV points.
// Returns the exit code.
int writeGraph(const DataModule& data, const GraphRequest& request);

struct SchemaRequest {
    QString out;               // --schema
    const char* format = "png"; // by the ending of its name: "png" or "jpeg"
    int zoom = 100;            // --zoom
    int labels = 0;            // --labels
    QStringList select;        // --select, one number a field
};

// Paints the whole schema as the drawing window does and writes it in the
// request's format; a selected number that is no node of the schema is
// refused. Opens the calculation for reading only; the selection lives in the
// in-memory work database, so the file stays as it was. The picture never
// replaces the calculation, the reference file (`givenReference`, or the
// program's) or the settings. Returns the exit code.
int drawSchema(const QString& givenFile, const QString& givenReference, const SchemaRequest& request);

} // namespace zurm::cli
