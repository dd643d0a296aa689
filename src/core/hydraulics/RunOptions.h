#pragma once

// What the caller of a calculation run decides: the state of the open document,
// the main window's fields, the settings overrides and the hooks for the
// dialogs and the text.

#include "hydraulics/TopologyCheck.h"
#include "platform/NumberText.h"

#include <QChar>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace zurm {

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
    // Given the finished text file before it is deleted: a caller may move it
    // elsewhere. Without the save dialog it is given before the results are
    // committed, so that a text that cannot be delivered fails the run and
    // leaves the file as it was; with the dialog, after it.
    std::function<void(const QString& textFile)> takeText;
    // Keep the text in RunOutcome::text and textBytes. A large network's text
    // runs to gigabytes; without this it lives only in the (temporary) file.
    bool keepTextInOutcome = true;
    // When the text would not fit on its disk, ask whether to run without it.
    // A caller that was asked for the text turns this off: the run then tries,
    // and a failed write names the file and the disk.
    bool offerRunWithoutText = true;
    // The rows of МагистралиТС a topology check run right before has written
    // (see ParTSCorrF): the run takes them (leaving WrittenMains empty)
    // instead of reading the table again, as long as it holds as many rows.
    WrittenMainRows writtenMains;
};

} // namespace zurm
