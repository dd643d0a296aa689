#pragma once

// The phases of one calculation run over the model in memory. Each phase runs
// only while the error is empty, so the first error found is the one reported.

#include "hydraulics/CalculationText.h"
#include "hydraulics/RunModel.h"
#include "hydraulics/RunOptions.h"
#include "indicators/ReferenceTables.h"

#include <QElapsedTimer>
#include <QString>
#include <memory>

namespace zurm {

class DataModule;
class Progress;

namespace run {

// Thrown at a check point of the run when the user asked to stop it.
struct RunStopped {};

struct RunState {
    DataModule& data;
    Progress& progress;
    const RunOptions& options;
    RunModel model;
    CalculationText text;
    ReferenceTables reference;
    IndicatorEvaluation evaluation;
    QString error;
    // While true, a stop the user asked for ends the run at the next status
    // line (RunStopped); once the results are committed it is false.
    bool stoppable = true;

    bool ok() const { return error.isEmpty(); }
    void status(const QString& line);
    // The status line of one row among many (a segment, a main): the first
    // after any other line is shown, then one about every 50 ms, so no line is
    // put together for most rows; a stop the user asked for is seen at every row.
    template <class Line>
    void rowStatus(Line&& line)
    {
        if (rowStatusDue()) {
            status(line());
            rowStatusShown.start();
        } else {
            checkStop();
        }
    }
    bool rowStatusDue() const;
    void clearStatus();
    // A check point: throws RunStopped when the user asked to stop.
    void checkStop() const;
    // Writes the model to the file (one transaction), after checkResults.
    void flush();
    // While there is no error: a number of the model that is not finite (a
    // result out of the range of numbers) becomes the error, naming the
    // indicator and its segment or end node, so that no run ends in success
    // with such a number.
    void checkResults();
    // "a - b"
    static QString segmentName(qint16 a, qint16 b);
    // When the last row line was shown; invalid after any other line.
    QElapsedTimer rowStatusShown;
    // "Участок a - b:" + CR LF
    static QString segmentPrefix(qint16 a, qint16 b);
    // Writes "Магистраль N: " and the chain of the main ("1 - 2 - 5 - 9") into
    // the text, and ends the line.
    void writeMainLine(int idM);
};

// Part of the run before the header indicators: node fields, predefined rows,
// given-head nodes, clearing, lengths, main lengths, temperatures, flows,
// heights and (design mode) the given heads at the end nodes.
void storeNodeFields(RunState& state);
void prepareRun(RunState& state);

// Header indicators, supply and return passes, heads at nodes and end nodes,
// and the end section of the text.
void calculateHeads(RunState& state);
void writeTextEnd(RunState& state);

// The nodes short of available head (two-pipe networks): end nodes by
// ascending id_m, then the nodes of the segments in table order, each once.
QList<qint16> nodesShortOfAvailableHead(const RunModel& model);

} // namespace run
} // namespace zurm
