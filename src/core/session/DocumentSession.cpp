#include "session/DocumentSession.h"

#include "document/OldFormatConversion.h"
#include "platform/JetDatabase.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/FileNames.h"
#include "document/NodeNumbers.h"
#include "document/ProgramFolder.h"
#include "indicators/IndicatorCheck.h"
#include "settings/SettingsRow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <tuple>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

namespace zurm {

namespace {

const QString kSettingsFile = QStringLiteral("Nastr.mdb");
const QString kCompactionScratch = QStringLiteral("~$$.mdb");
const QString kCalculationText = QStringLiteral("~$.tx_");

const QString kCalculationDone = QStringLiteral("Расчет выполнен.");
const QString kRepairHint =
    QStringLiteral("Для исправления ошибки выполните команду:\rДанные / Параметры теплосети");

// LockMainWindow with the wait cursor; released on every way out.
class WindowLock {
public:
    explicit WindowLock(Progress& progress) : progress_(progress)
    {
        progress_.lockWindow();
        progress_.setBusy(true);
    }
    ~WindowLock()
    {
        progress_.setBusy(false);
        progress_.unlockWindow();
    }
    WindowLock(const WindowLock&) = delete;
    WindowLock& operator=(const WindowLock&) = delete;

private:
    Progress& progress_;
};

bool fileExists(const QString& storedName, const DataModule& data)
{
    return !storedName.isEmpty() && QFileInfo(data.resolve(storedName)).isFile();
}

} // namespace

DocumentSession::DocumentSession(QString programFolder, UserDialogs& dialogs, Progress& progress)
    : data_(std::move(programFolder)), scratchStem_(ownScratchStem()), dialogs_(dialogs), progress_(progress)
{
    checkIndicators = [this] { return CheckIndicators(data_, dialogs_, progress_, &lastIndicatorCheck_); };
}

DocumentSession::~DocumentSession() = default;

QString DocumentSession::captionFor(const QString& calculationFile)
{
    if (calculationFile.isEmpty())
        return kProgramCaption;
    return calculationFile + QStringLiteral(" - ") + kProgramCaption;
}

QString DocumentSession::calculationFileSetting() const
{
    return SettingsRow::text(data_.settings(), SettingsRow::kCalculationFile);
}

QString DocumentSession::referenceFileSetting() const
{
    return SettingsRow::text(data_.settings(), SettingsRow::kReferenceFile);
}

QString DocumentSession::scratchFileName(const QString& extension) const
{
    return scratchStem_ + QLatin1Char('.') + extension;
}

QString DocumentSession::folderMessagePrefix() const
{
    return QDir::toNativeSeparators(data_.programFolder() + QLatin1Char('/'));
}

bool DocumentSession::startUp(const QString& workDatabaseFileName)
{
    if (!guardedStep(dialogs_, QStringLiteral("Ошибка при открытии базы данных настроек."),
                     [&] { data_.openSettings(kSettingsFile); }))
        return false;
    if (!firstStartSample_.isEmpty())
        guardedStep(dialogs_, QStringLiteral("Ошибка при открытии базы данных настроек."), [&] {
            if (calculationFileSetting().isEmpty() && placeSampleCalculation(firstStartSample_, firstStartTarget_))
                SettingsRow::setValue(data_.settings(), SettingsRow::kCalculationFile, firstStartTarget_);
        });
    if (!guardedStep(dialogs_, QStringLiteral("Ошибка при создании временной базы данных."), [&] {
            QString name = workDatabaseFileName;
            if (name == kOwnWorkDatabase) {
                removeStaleScratchFiles(data_.programFolder());
                name = scratchFileName(QStringLiteral("mdb"));
            }
            data_.createWorkDatabase(name, dialogs_);
        }))
        return false;
    return guardedStep(
        dialogs_,
        QStringLiteral("Ошибка при открытии базы данных гидравлического расчета и базы данных справочников."),
        [&] { OpenDocuments(true); });
}

void DocumentSession::openSampleOnFirstStart(const QString& sample, const QString& target)
{
    firstStartSample_ = sample;
    firstStartTarget_ = target;
}

void DocumentSession::resetView()
{
    view_.gridsVisible = false;
    view_.calculationName.clear();
    view_.supplyHeadNodeText.clear();
    view_.availableHeadNodeText.clear();
    view_.supplyNodeFieldEnabled = false;
    view_.availableNodeFieldEnabled = false;
    view_.statusText.clear();
    view_.readOnly = false;
    view_.networkStatus = 2;
    view_.networkStatusText.clear();
    view_.layout = GridLayout{};
}

std::optional<QString> DocumentSession::takeOldFormat(const QString& path, DatabaseKind kind)
{
    if (!isJetFile(path))
        return path;
    const QString target = convertedFileName(path);
    if (!dialogs_.askYesNo(kApplicationTitle,
                           QStringLiteral("Файл ") + QDir::toNativeSeparators(path)
                               + QStringLiteral(" сохранен в формате прежних версий программы (Microsoft Access). "
                                                "Преобразовать его в новый файл ")
                               + QDir::toNativeSeparators(target) + QStringLiteral("?")))
        return std::nullopt;
    std::optional<QString> converted;
    guardedStep(dialogs_, QStringLiteral("Ошибка при преобразовании файла прежней версии программы."), [&] {
        QString refusal;
        {
            WindowLock lock(progress_);
            progress_.setStatus(QStringLiteral("Преобразование файла ") + QDir::toNativeSeparators(path)
                                + QStringLiteral("..."));
            try {
                refusal = oldFormatConverter.isEmpty() ? convertInProcess(path, target, kind)
                                                       : convertInOwnProcess(path, target, kind);
            } catch (...) {
                progress_.setStatus(QString());
                throw;
            }
            progress_.setStatus(QString());
        }
        if (refusal.isEmpty())
            converted = target;
        else
            dialogs_.showMessage(refusal, MessageKind::Warning);
    });
    return converted;
}

QString DocumentSession::convertInProcess(const QString& path, const QString& target, DatabaseKind kind)
{
    QString refusal;
    try {
        convertOldFile(path, target, data_.programFolder(), QByteArrayLiteral("WINDOWS-1251"), progress_,
                       [&](const QString&, const ConversionSummary& summary) {
                           // Another kind of file is not written at all.
                           if (summary.facts.kind != kind) {
                               refusal = kindMismatchMessage(path, kind, summary.facts.kind);
                               throw QuietAbort();
                           }
                       });
    } catch (const QuietAbort&) {
    }
    return refusal;
}

QString DocumentSession::convertInOwnProcess(const QString& path, const QString& target, DatabaseKind kind)
{
    static const char* const kinds[] = {"расчет", "справочники", "настройки"};
    QProcess converter;
    converter.setProgram(oldFormatConverter);
    converter.setArguments({QStringLiteral("--convert"), path, target, QStringLiteral("--expect"),
                            QString::fromUtf8(kinds[int(kind)])});
    converter.start(QIODevice::ReadOnly);
    if (!converter.waitForStarted(30000))
        throw Failure(QStringLiteral("ProcessError"), QStringLiteral("Не удалось запустить программу ")
                                                          + QDir::toNativeSeparators(oldFormatConverter)
                                                          + QStringLiteral(": ") + converter.errorString());
    // The converter ends itself when reading takes too long; this is the
    // last resort should it not.
    const qint64 megabytes = QFileInfo(path).size() >> 20;
    QDeadlineTimer deadline(std::chrono::seconds(120 + 4 * megabytes));
    while (!converter.waitForFinished(100)) {
        if (converter.state() == QProcess::NotRunning)
            break;
        progress_.processEvents();
        if (deadline.hasExpired()) {
            converter.kill();
            converter.waitForFinished(10000);
            QFile::remove(target);
            return QStringLiteral("Файл ") + QDir::toNativeSeparators(path)
                + QStringLiteral(" не удалось преобразовать: чтение файла не закончилось за отведенное время. "
                                 "Возможно, файл поврежден.");
        }
    }
    if (converter.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("Файл ") + QDir::toNativeSeparators(path)
            + QStringLiteral(" не удалось преобразовать: при его чтении программа преобразования завершилась "
                             "аварийно. Вероятно, файл поврежден.");
    if (converter.exitCode() != 0)
        return QString::fromUtf8(converter.readAllStandardError()).trimmed();
    return {};
}

void DocumentSession::OpenDocuments(bool showMessages)
{
    WindowLock lock(progress_);

    resetView();
    data_.resetCalculationDoneCache();
    indicatorsValid_ = false;
    lastIndicatorCheck_ = IndicatorCheckResult{};
    data_.closeCalculation();
    data_.closeReference();
    lock_.release();

    const QString calculationFile = calculationFileSetting();
    view_.caption = captionFor(calculationFile);
    const QString referenceFile = referenceFileSetting();

    if (calculationFile.isEmpty())
        return;

    const bool calculationExists = fileExists(calculationFile, data_);
    // At the start the settings may still name files of the earlier versions:
    // each is converted when the user agrees, and the new file is remembered.
    if (showMessages && calculationExists && fileExists(referenceFile, data_)) {
        for (const auto& [kind, setting, stored] :
             {std::tuple{DatabaseKind::Calculation, SettingsRow::kCalculationFile, calculationFile},
              std::tuple{DatabaseKind::Reference, SettingsRow::kReferenceFile, referenceFile}}) {
            const QString path = data_.resolve(stored);
            if (!isJetFile(path))
                continue;
            const std::optional<QString> taken = takeOldFormat(path, kind);
            if (!taken)
                return;
            SettingsRow::setValue(data_.settings(), setting, *taken);
            OpenDocuments(showMessages);
            return;
        }
    }
    const bool referenceExists = fileExists(referenceFile, data_);
    if (!calculationExists || !referenceExists) {
        if (showMessages) {
            if (!calculationExists)
                dialogs_.showMessage(QStringLiteral("Файл ") + calculationFile + QStringLiteral(" не найден."),
                                     MessageKind::Error);
            if (!referenceExists)
                dialogs_.showMessage(QStringLiteral("Файл ") + referenceFile + QStringLiteral(" не найден."),
                                     MessageKind::Error);
        }
        return;
    }

    // The two files are opened together: when either turns out not to be a
    // database of its kind, neither stays open.
    std::optional<LockHolder> holder;
    try {
        // One copy of the program edits a calculation file at a time; while
        // another holds it, it is opened here for viewing only.
        holder = lock_.acquire(data_.resolve(calculationFile));
        data_.openCalculation(calculationFile, holder.has_value());
        data_.openReference(referenceFile);
        data_.setSegmentSort(SegmentSort::ById);
        view_.sort = SegmentSort::ById;
        view_.readOnly = data_.calculationReadOnly();
        loadDocumentState();
    } catch (...) {
        data_.closeCalculation();
        data_.closeReference();
        lock_.release();
        data_.resetCalculationDoneCache();
        resetView();
        throw;
    }
    if (holder)
        dialogs_.showMessage(QStringLiteral("Файл ") + data_.calculationPath()
                             + QStringLiteral(" уже открыт для редактирования в другой копии программы: ")
                             + DocumentLock::describe(*holder)
                             + QStringLiteral(".\rФайл открыт только для просмотра: изменения в нем не сохраняются."),
                             MessageKind::Warning);
    else if (showMessages && view_.readOnly)
        dialogs_.showMessage(readOnlyCalculationMessage(calculationFile), MessageKind::Warning);

    const bool tableReady = checkIndicatorsAndShapeTable();

    if (showMessages && view_.networkStatus != 0)
        showNetworkStatusMessage();

    view_.gridsVisible = tableReady && view_.networkStatus == 0;
    view_.lastNavigationKey.reset();
}

bool DocumentSession::recheckIndicators()
{
    WindowLock lock(progress_);
    indicatorsValid_ = false;
    lastIndicatorCheck_ = IndicatorCheckResult{};
    // Hidden until the rebuild has finished: a failure half-way leaves no grid
    // on a table of unknown shape.
    view_.gridsVisible = false;
    if (!data_.calculationOpen())
        return false;

    const bool tableReady = checkIndicatorsAndShapeTable();
    view_.gridsVisible = tableReady && view_.networkStatus == 0;
    return tableReady;
}

void DocumentSession::networkEdited(int status, const QString& message)
{
    view_.networkStatus = status;
    view_.networkStatusText = message;
    view_.gridsVisible = data_.calculationOpen() && indicatorsValid_ && status == 0;
    view_.statusText = data_.calculationOpen() && data_.calculationDone() ? kCalculationDone : QString();
}

bool DocumentSession::checkIndicatorsAndShapeTable()
{
    indicatorsValid_ = checkIndicators ? checkIndicators() : true;
    if (!indicatorsValid_)
        return false;
    if (!SetUpTableStructure(data_, dialogs_, progress_, view_.layout))
        return false;
    view_.supplyNodeFieldEnabled = view_.layout.supplyNodeFieldEnabled;
    view_.availableNodeFieldEnabled = view_.layout.availableNodeFieldEnabled;
    return true;
}

void DocumentSession::loadDocumentState()
{
    data_.loadCalculationDoneFlag();
    view_.statusText = data_.calculationDone() ? kCalculationDone : QString();
    progress_.setStatus(view_.statusText);

    const QVariantList row = CalculationRow(data_.calculation())
                                 .read({CalculationRow::kNetworkStatus, CalculationRow::kNetworkStatusText,
                                        CalculationRow::kName, CalculationRow::kSupplyHeadNode,
                                        CalculationRow::kAvailableHeadNode});
    if (row.isEmpty())
        return;
    // A status never written keeps the default: the network has not been checked.
    if (!row[0].isNull())
        view_.networkStatus = row[0].toInt();
    view_.networkStatusText = row[1].isNull() ? QString() : row[1].toString();
    if (!row[2].isNull())
        view_.calculationName = row[2].toString();
    // As stored: the run refuses a value that is no node number.
    if (!row[3].isNull())
        view_.supplyHeadNodeText = storedValueText(row[3]);
    if (!row[4].isNull())
        view_.availableHeadNodeText = storedValueText(row[4]);
}

void DocumentSession::showNetworkStatusMessage()
{
    switch (view_.networkStatus) {
    case 1:
        dialogs_.showMessage(QStringLiteral("Таблица \"Участки теплосети\" пуста.\r\r"
                                            "Для заполнения таблицы выполните команду:\r"
                                            "Данные / Параметры теплосети"), MessageKind::Information);
        break;
    case 2:
        dialogs_.showMessage(QStringLiteral("В таблице \"Изменение полного напора в узлах теплосети\" в поле "
                                            "\"Узел\" указан начальный узел теплосети.\r\r")
                             + kRepairHint, MessageKind::Error);
        break;
    default:
        dialogs_.showMessage(view_.networkStatusText + QStringLiteral("\r\r") + kRepairHint, MessageKind::Error);
        break;
    }
}

bool DocumentSession::preamble()
{
    if (guardedStep(dialogs_, QStringLiteral("Ошибка при сохранении данных."), [&] {
            if (postPendingEdits)
                postPendingEdits();
        }))
        return true;
    // An edit that cannot be saved (the file is gone, the disk is full) must
    // not keep the user from every other file: it may be dropped on request.
    return agreeToDropPendingEdits();
}

bool DocumentSession::agreeToDropPendingEdits()
{
    if (!dialogs_.askYesNo(kApplicationTitle, QStringLiteral("Изменения, которые не удалось сохранить, будут "
                                                             "потеряны. Продолжить?")))
        return false;
    if (discardPendingEdits)
        discardPendingEdits();
    return true;
}

bool DocumentSession::saveCalculation()
{
    // Saving is posting: an edit that cannot be posted stays in the window,
    // where the user may correct it or drop it (Esc).
    return guardedStep(dialogs_, QStringLiteral("Ошибка при сохранении данных."), [&] {
        if (postPendingEdits)
            postPendingEdits();
    });
}

bool DocumentSession::exitCleanUp()
{
    if (!guardedStep(dialogs_, QStringLiteral("Ошибка при сохранении данных."), [&] {
            if (postPendingEdits)
                postPendingEdits();
        })
        && !agreeToDropPendingEdits())
        return false;
    // The program is closing whatever happened above: the temporary files go.
    guardedStep(dialogs_, QStringLiteral("Ошибка при удалении временных баз данных."), [&] {
        // Only this session's own work database and text: other copies of the
        // program may be working in the same folder.
        const QString work = data_.workPath();
        data_.closeWork();
        QStringList names{kCompactionScratch};
        if (!work.isEmpty())
            names.prepend(QFileInfo(work).fileName());
        for (const QString& name : names) {
            const QString path = data_.resolve(name);
            if (QFileInfo::exists(path) && !QFile::remove(path))
                dialogs_.showMessage(QStringLiteral("Файл ") + folderMessagePrefix() + name
                                     + QStringLiteral(" не может быть удален. Возможно он занят другим "
                                                      "приложением или его не существует."), MessageKind::Error);
        }
        QFile::remove(data_.resolve(kCalculationText));
        QFile::remove(data_.resolve(scratchFileName(QStringLiteral("tx_"))));
    });
    return true;
}

} // namespace zurm
