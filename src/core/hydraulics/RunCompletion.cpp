// End of the calculation run: the error shown, the text offered for saving,
// the calculation-done flag, the nodes short of available head, the
// completion message and the finishing steps run after every use of the command.
#include "hydraulics/CalculationRun.h"
#include "hydraulics/RunPhases.h"

#include "base/Failure.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "document/DocumentFiles.h"
#include "platform/Cp1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zurm {

QString successMessage(const QList<qint16>& nodesShortOfHead)
{
    QString message = QStringLiteral("Расчет выполнен успешно.");
    if (nodesShortOfHead.isEmpty())
        return message;
    message += QStringLiteral("\r\n\r\nУзлы теплосети, в которых\r\nрасполагаемый напор меньше 0,1 м.:\r\n");
    QStringList numbers;
    for (qint16 node : nodesShortOfHead)
        numbers.append(QString::number(node));
    return message + numbers.join(QStringLiteral(", ")) + QStringLiteral(".");
}

QString calculationTextFileName(const QString& chosen)
{
    if (chosen.size() < 4 || chosen.right(4).toUpper() != QStringLiteral(".TXT"))
        return chosen + QStringLiteral(".txt");
    return chosen;
}

namespace run {

namespace {

bool sameFolder(const QString& a, const QString& b)
{
    const QString ca = QDir(a).canonicalPath();
    const QString cb = QDir(b).canonicalPath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
}

// The save dialog of the text and what follows it.
void offerTextSave(RunState& s, UserDialogs& dialogs, const QString& textPath, RunOutcome& outcome)
{
    const std::optional<QString> chosen =
        dialogs.chooseFileToSave(QStringLiteral("Сохранить текст расчета как..."),
                                 QFileInfo(s.data.calculation().databaseName()).absolutePath(),
                                 QStringLiteral("Текстовый документ (*.txt)|*.txt"));
    if (!chosen)
        return;
    const QString name = calculationTextFileName(*chosen);
    const QString path = s.data.resolve(name);
    if (sameFolder(QFileInfo(path).absolutePath(), s.data.programFolder())) {
        dialogs.showMessage(QStringLiteral("Нельзя сохранить текст расчета в папку, в которую установлена программа."),
                            MessageKind::Warning);
        return;
    }
    const QList<KeptFile> kept = documentFiles(s.data);
    if (const QString problem = outputPlaceProblem(QStringLiteral("Текст расчета"), path, kept); !problem.isEmpty()) {
        dialogs.showMessage(problem, MessageKind::Warning);
        return;
    }
    if (QFileInfo::exists(path)
        && !dialogs.askYesNo(kApplicationTitle,
                             QStringLiteral("Файл \"") + name + QStringLiteral("\" уже существует. Заменить его?")))
        return;
    // The old file stays whole until the finished text replaces it in one step.
    OutputFile out(path, QStringLiteral("Текст расчета"), kept);
    out.takeContentOf(textPath);
    out.commit();
    outcome.savedTextFile = path;
    s.status(QStringLiteral("Подготовка экранной формы с текстом расчета."));
    if (s.options.showText)
        s.options.showText(path);
    s.clearStatus();
}

} // namespace

void settleRun(RunState& s, const QString& textPath, RunOutcome& outcome)
{
    outcome.error = s.error;
    // The text went to the file while the run wrote it.
    s.text.finish();
    outcome.textSize = s.text.byteCount();
    if (s.options.keepTextInOutcome) {
        outcome.textBytes = s.text.bytes();
        outcome.text = fromCp1251(outcome.textBytes);
    }
    // Handed over before the results are committed: a text that cannot be
    // delivered fails the run, and the calculation file stays as it was.
    if (s.text.enabled() && !s.options.offerTextSave && s.options.takeText && QFileInfo::exists(textPath))
        s.options.takeText(textPath);
    // Stored with the results; the window learns of it once the text has been
    // offered and shown (completeRun).
    if (s.ok())
        CalculationRow(s.data.calculation()).setValue(CalculationRow::kCalculationDone, 1);
}

void completeRun(RunState& s, UserDialogs& dialogs, const QString& textPath, RunOutcome& outcome)
{
    if (!s.ok())
        dialogs.showMessage(s.error, MessageKind::Error);
    if (s.text.enabled() && s.options.offerTextSave) {
        offerTextSave(s, dialogs, textPath, outcome);
        if (s.options.takeText && QFileInfo::exists(textPath))
            s.options.takeText(textPath);
    }
    s.progress.setBusy(false);
    if (!s.ok())
        return;
    s.data.loadCalculationDoneFlag();
    outcome.succeeded = true;
    const QList<qint16> shortOfHead = nodesShortOfAvailableHead(s.model);
    outcome.successMessage = successMessage(shortOfHead);
    if (s.options.showCompletion)
        s.options.showCompletion(outcome.successMessage);
    else
        // Nodes short of available head are what the engineer has to look at.
        dialogs.showMessage(outcome.successMessage,
                            shortOfHead.isEmpty() ? MessageKind::Information : MessageKind::Warning);
}

void finishRun(DataModule& data, Progress& progress, const QString& textPath, bool locked)
{
    QFile::remove(textPath); // errors ignored: the file may not exist
    progress.setStatus(data.calculationOpen() && data.calculationDone() ? QStringLiteral("Расчет выполнен.") : QString());
    progress.processEvents();
    if (locked)
        progress.unlockWindow();
    progress.setBusy(false);
}

} // namespace run
} // namespace zurm
