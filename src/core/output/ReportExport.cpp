#include "output/ReportExport.h"

#include "base/Failure.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "document/DocumentFiles.h"
#include "output/ReportWorkbook.h"

#include <QFileInfo>
#include <optional>

namespace zurm {

bool exportReport(DataModule& data, UserDialogs& dialogs, Progress& progress)
{
    if (!data.calculationOpen() || !data.calculationDone()) {
        dialogs.showMessage(kExportNeedsCalculation, MessageKind::Warning);
        return false;
    }
    const std::optional<QString> chosen =
        dialogs.chooseFileToSave(QStringLiteral("Выгрузить отчет в Microsoft Excel"),
                                 QFileInfo(data.calculationPath()).absolutePath(),
                                 QStringLiteral("Книга Microsoft Excel (*.xlsx)|*.xlsx"));
    if (!chosen)
        return false;
    const QString file = withXlsxSuffix(*chosen);
    // A place that may not be replaced is refused before the question.
    if (const QString problem = outputPlaceProblem(QStringLiteral("Отчет"), QFileInfo(file).absoluteFilePath(),
                                                   documentFiles(data));
        !problem.isEmpty()) {
        dialogs.showMessage(problem, MessageKind::Warning);
        return false;
    }
    if (QFileInfo::exists(file)
        && !dialogs.askYesNo(kApplicationTitle,
                             QStringLiteral("Файл \"") + file + QStringLiteral("\" уже существует. Заменить его?")))
        return false;
    std::optional<QString> failure;
    progress.setBusy(true);
    progress.lockWindow();
    // The window comes back on every way out.
    struct Unlock {
        Progress& progress;
        ~Unlock()
        {
            progress.unlockWindow();
            progress.setStatus(QString());
            progress.setBusy(false);
            progress.processEvents();
        }
    };
    try {
        const Unlock unlock{progress};
        writeReportWorkbook(data, file, progress);
    } catch (const Failure& f) {
        failure = f.text();
    } catch (const QuietAbort&) {
        failure = QString();
    }
    if (failure) {
        if (!failure->isEmpty())
            dialogs.showMessage(*failure, MessageKind::Error);
        return false;
    }
    dialogs.showWrittenFile(file);
    return true;
}

} // namespace zurm
