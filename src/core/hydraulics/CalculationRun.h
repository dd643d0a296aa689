#pragma once

// The command "Выполнить расчет" as a core operation: checks, preparation of
// lengths, temperatures, flows and heights, header indicators, supply and
// return passes, heads at nodes and end nodes, the calculation text and the
// end of the run. The desktop command and zurm-calc both call runCalculation.
//
// The run stops at the first error: the error is shown, appended to the text,
// and the values written before it stay in the file. Unexpected failures
// (database, file system) throw zurm::Failure after the finishing steps ran.

#include "platform/NumberText.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <functional>
#include <optional>

namespace zurm {

class DataModule;
class Progress;
class UserDialogs;

// Fixed name of the desktop program's calculation text in the program folder.
inline const QString kCalculationTextFileName = QStringLiteral("~$.tx_");

struct RunOptions {
    // IndicatorsValid and the cached network status of the open document.
    bool indicatorsValid = false;
    int networkStatus = 0;
    // The main window's fields: calculation name, "ПНапНаУзПод задан для
    // узла:" and "РНапНаУз задан для узла:".
    QString calculationName;
    QString supplyHeadNodeText;
    QString availableHeadNodeText;
    // Overrides of the program settings СохрТекстРас and ТочностьЧиселВОтч;
    // without an override (or without an open settings file: text on, 3 digits).
    std::optional<bool> writeText;
    std::optional<int> digits;
    // Decimal separator of the calculation text and of numbers in messages.
    QChar decimalPoint = userDecimalPoint();
    // Ask "Данная операция может занять некоторое время. Выполнить расчет?".
    bool askConfirmation = true;
    // The main window's PostPendingEdits, run once the run is confirmed.
    std::function<void()> postPendingEdits;
    // Where the text is kept while the run works; empty: "~$.tx_" in the
    // program folder. The file is always deleted at the end of the run.
    QString temporaryTextFile;
    // Offer the save dialog for the text at the end (desktop).
    bool offerTextSave = true;
    // The completion dialog; the default shows the message with showMessage.
    std::function<void(const QString& message)> showCompletion;
    // The text viewer, given the saved file; the default shows nothing.
    std::function<void(const QString& savedFile)> showText;
    // Given the finished text file before it is deleted (after the save
    // dialog, if any): a caller may move it elsewhere.
    std::function<void(const QString& textFile)> takeText;
    // Keep the text in RunOutcome::text and textBytes. A large network's text
    // runs to gigabytes; without this it lives only in the (temporary) file.
    bool keepTextInOutcome = true;
    // When the text would not fit on its disk, ask whether to run without it.
    // A caller that was asked for the text turns this off: the run then tries,
    // and a failed write names the file and the disk.
    bool offerRunWithoutText = true;
};

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
