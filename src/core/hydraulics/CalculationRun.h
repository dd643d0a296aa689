#pragma once

// The command "Выполнить расчет" as a core operation: checks, preparation of
// lengths, temperatures, flows and heights, header indicators, supply and
// return passes, heads at nodes and end nodes, the calculation text and the
// end of the run. The desktop command and zurm-calc both call runCalculation.
//
// The run stops at the first error: the error is shown, appended to the text,
// and the values written before it stay in the file. Unexpected failures
// (database, file system) throw zurm::Failure after the finishing steps ran.

#include "hydraulics/RunOptions.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace zurm {

class DataModule;
class Progress;
class UserDialogs;

// Fixed name of the desktop program's calculation text in the program folder.
inline const QString kCalculationTextFileName = QStringLiteral("~$.tx_");

struct RunOutcome {
    bool started = false;   // the run passed the entry and the gate
    bool succeeded = false; // no error; the calculation-done flag is set
    bool stopped = false;   // the user stopped the run; the file is as it was before
    QString error;          // the first error, exactly as shown
    QString successMessage; // "Расчет выполнен успешно." with the nodes short of available head
    QString text;           // the calculation text as written (empty when not written)
    QByteArray textBytes;   // the same in Windows-1251, as the file holds it
    qint64 textSize = 0;    // bytes of the text, also when it is not kept
    QString savedTextFile;  // where the user saved the text, empty when not saved
};

RunOutcome runCalculation(DataModule& data, UserDialogs& dialogs, Progress& progress, const RunOptions& options);

// The options of the desktop command: the session's IndicatorsValid, network
// status, the main window's fields as its view state holds them, and its
// PostPendingEdits. The caller adds the completion dialog and the viewer.

// A generous estimate of the size in bytes of the calculation text of a network
// with the given numbers of mains and segments. It grows with the square of the
// number of mains: each choice of the next main lists those not yet calculated.
qint64 estimatedTextSize(qint64 mains, qint64 segments, bool twoPipe, bool designMode);

// The list of nodes short of available head as the success message ends it:
// "Расчет выполнен успешно." alone, or followed by the node numbers.
QString successMessage(const QList<qint16>& nodesShortOfHead);

// The name the save dialog's answer is saved under: ".txt" appended unless the
// name already ends in it (any case).
QString calculationTextFileName(const QString& chosen);

} // namespace zurm
