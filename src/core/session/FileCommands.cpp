// The file commands of the main window: New, Open, Save as, Open reference
// file, Save reference file as, both Compact commands.
#include "session/DocumentSession.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/FileNames.h"
#include "settings/SettingsRow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>

namespace zurm {

namespace {

const QString kTemplateFile = QStringLiteral("GidrRas.mdb");
const QString kDeliveredReference = QStringLiteral("Spr.mdb");
const QString kCompactionScratch = QStringLiteral("~$$.mdb");
constexpr qint64 kTemplateSizeLimit = 500000;

const QString kSaveDialogContext = QStringLiteral("Ошибка при открытии диалога записи файла.");
const QString kOpenDialogContext = QStringLiteral("Ошибка при открытии диалога открытия файла.");
const QString kSaveNameContext = QStringLiteral("Ошибка при проверке имени сохраняемого файла.");
const QString kOpenNameContext = QStringLiteral("Ошибка при проверке имени открываемого файла.");
const QString kCreateCalculationContext = QStringLiteral("Ошибка при создании файла гидравлического расчета.");
const QString kOpenCreatedCalculationContext =
    QStringLiteral("Ошибка при открытии созданного файла гидравлического расчета.");
const QString kCalculationInProgramFolder = QStringLiteral(
    "Нельзя создать файл гидравлического расчета в папке, в которую установлена программа. Выберите другую папку.");
const QString kCalculationNameClash = QStringLiteral(
    "Имя файла гидравлического расчета совпадает с именем файла справочников. Введите другое имя файла.");

QString replaceQuestion(const QString& name)
{
    return QStringLiteral("Файл \"") + name + QStringLiteral("\" уже существует. Заменить его?");
}

QString doesNotExist(const QString& name)
{
    return QStringLiteral("Файл ") + name + QStringLiteral(" не существует.");
}

// Writes a consistent copy of the database at `source` to `target`, which must
// not exist yet, through SQLite itself: whatever another connection of this
// program holds open or cached, the copy has every committed row. A failed copy
// leaves no file behind.
void copyDatabase(const QString& source, const QString& target)
{
    const QString problem = onOwnConnection(
        source, true, [&](QSqlDatabase& db) { execSql(db, QStringLiteral("VACUUM INTO ?"), {target}); });
    if (!problem.isEmpty()) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
        throw Failure(QString::fromLatin1(kSqlErrorClass), problem);
    }
}

// The same from an open connection: the copy is of the file the program has
// open, also when its path now leads to another file or to none.
void copyOpenDatabase(const QSqlDatabase& db, const QString& target)
{
    try {
        execSql(db, QStringLiteral("VACUUM INTO ?"), {target});
    } catch (...) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
        throw;
    }
}

// The absolute form of a chosen name; a bare name lands in the program folder.
QString absoluteChoice(const DataModule& data, const QString& name)
{
    return QDir::cleanPath(data.resolve(name));
}

} // namespace

struct DocumentSession::KindTexts {
    QString settingField;
    QString otherSettingField;
    QString saveAsTitle;
    QString createContext;
    QString openCreatedContext;
    QString programFolderRefusal;
    QString sameNameRefusal;
    QString nameClash;
    QString compactCaption;
};

const DocumentSession::KindTexts& DocumentSession::texts(Kind kind)
{
    static const KindTexts calculation{
        SettingsRow::kCalculationFile,
        SettingsRow::kReferenceFile,
        QStringLiteral("Сохранить расчет как..."),
        kCreateCalculationContext,
        kOpenCreatedCalculationContext,
        kCalculationInProgramFolder,
        QStringLiteral("Для сохранения файла гидравлического расчета под тем же именем выберите команду "
                       "Файл \\ Сохранить."),
        kCalculationNameClash,
        QStringLiteral("Сжать расчет"),
    };
    static const KindTexts reference{
        SettingsRow::kReferenceFile,
        SettingsRow::kCalculationFile,
        QStringLiteral("Сохранить справочники как..."),
        QStringLiteral("Ошибка при создании файла справочников."),
        QStringLiteral("Ошибка при открытии созданного файла справочников."),
        QStringLiteral("Нельзя создать файл справочников в папке, в которую установлена программа. "
                       "Выберите другую папку."),
        QStringLiteral("После завершения редактирования база данных справочников сохраняется автоматически. "
                       "Команда Файл \\ Сохранить справочники как... используется только для сохранения базы "
                       "данных справочников под другим именем."),
        QStringLiteral("Имя файла справочников совпадает с именем файла гидравлического расчета. "
                       "Введите другое имя файла."),
        QStringLiteral("Сжать справочники"),
    };
    return kind == Kind::Calculation ? calculation : reference;
}

bool DocumentSession::isConnected(Kind kind) const
{
    return kind == Kind::Calculation ? data_.calculationOpen() : data_.referenceOpen();
}

QString DocumentSession::setting(Kind kind) const
{
    return kind == Kind::Calculation ? calculationFileSetting() : referenceFileSetting();
}

QString DocumentSession::storedPath(Kind kind) const
{
    const QString stored = setting(kind);
    return stored.isEmpty() ? QString() : absoluteChoice(data_, stored);
}

// The dialog under its own context, then the name rules under theirs.
std::optional<QString> DocumentSession::chooseName(bool save, const QString& title, const QString& currentFile)
{
    std::optional<QString> chosen;
    const bool shown = guardedStep(dialogs_, save ? kSaveDialogContext : kOpenDialogContext, [&] {
        const QString folder =
            currentFile.isEmpty() ? QString() : initialFolderFor(absoluteChoice(data_, currentFile));
        chosen = save ? dialogs_.chooseFileToSave(title, folder, kDatabaseFileFilter)
                      : dialogs_.chooseFileToOpen(title, folder, kDatabaseFileFilter);
    });
    if (!shown || !chosen || chosen->isEmpty())
        return std::nullopt;
    std::optional<QString> name;
    guardedStep(dialogs_, save ? kSaveNameContext : kOpenNameContext,
                [&] { name = withDatabaseExtension(*chosen); });
    return name;
}

bool DocumentSession::newCalculation()
{
    if (!preamble())
        return false;
    const std::optional<QString> name =
        chooseName(true, QStringLiteral("Создать новый расчет"), calculationFileSetting());
    if (!name)
        return false;

    const QString path = absoluteChoice(data_, *name);
    bool created = false;
    guardedStep(dialogs_, kCreateCalculationContext, [&] {
        if (sameFolderIgnoringCase(folderOf(path), data_.programFolder())) {
            dialogs_.showMessage(kCalculationInProgramFolder, MessageKind::Warning);
            return;
        }
        if (QFileInfo::exists(path)) {
            // Replacing the reference file by an empty calculation would leave
            // the program with a reference file it cannot open.
            const QString referencePath = storedPath(Kind::Reference);
            if (!referencePath.isEmpty() && samePathIgnoringCase(path, referencePath)) {
                dialogs_.showMessage(kCalculationNameClash, MessageKind::Warning);
                return;
            }
            if (!dialogs_.askYesNo(kApplicationTitle, replaceQuestion(*name)))
                return;
        }
        QFile templateFile(data_.resolve(kTemplateFile));
        if (!templateFile.open(QIODevice::ReadOnly))
            throw Failure(QString::fromLatin1(kFileErrorClass), QStringLiteral("Файл ") + templateFile.fileName()
                                                                     + QStringLiteral(" не может быть открыт: ")
                                                                     + templateFile.errorString());
        if (templateFile.size() > kTemplateSizeLimit) {
            dialogs_.showMessage(QStringLiteral("Слишком большой размер файла GidrRas.mdb. Для исправления данной "
                                                "ошибки требуется переустановка программы."), MessageKind::Error);
            return;
        }
        const QByteArray bytes = templateFile.readAll();
        if (bytes.size() != templateFile.size())
            throw Failure(QString::fromLatin1(kFileErrorClass), QStringLiteral("Ошибка чтения файла ")
                                                                     + templateFile.fileName() + QStringLiteral(": ")
                                                                     + templateFile.errorString());
        writeFileAtomically(path, bytes);
        created = true;
    });
    if (!created)
        return false;

    return guardedStep(dialogs_, kOpenCreatedCalculationContext, [&] {
        SettingsRow::setValue(data_.settings(), SettingsRow::kCalculationFile, path);
        OpenDocuments(true);
    });
}

bool DocumentSession::openCalculation()
{
    if (!preamble())
        return false;
    const std::optional<QString> name = chooseName(false, QStringLiteral("Открыть расчет"), calculationFileSetting());
    if (!name)
        return false;
    return openCalculationFile(*name);
}

bool DocumentSession::openCalculationFile(const QString& name)
{
    QString path = absoluteChoice(data_, name);
    const QString storeContext =
        QStringLiteral("Ошибка при записи имени файла гидравлического расчета в базу данных настроек.");
    const QString openContext = QStringLiteral("Ошибка при открытии файла гидравлического расчета.");
    bool accepted = false;
    guardedStep(dialogs_, storeContext, [&] {
        if (!QFileInfo(path).isFile()) {
            dialogs_.showMessage(doesNotExist(name), MessageKind::Warning);
            return;
        }
        if (folderOf(path) == data_.programFolder() || sameFileObject(folderOf(path), data_.programFolder())) {
            dialogs_.showMessage(QStringLiteral("Нельзя открыть файл гидравлического расчета из папки, в которую "
                                                "установлена программа. Выберите другую папку."), MessageKind::Warning);
            return;
        }
        accepted = true;
    });
    if (!accepted)
        return false;
    // A calculation of the earlier versions is converted first; the new file
    // is the one opened and remembered.
    const std::optional<QString> taken = takeOldFormat(path, DatabaseKind::Calculation);
    if (!taken)
        return false;
    path = *taken;
    // A file that is not a calculation is refused before its name is stored,
    // so it is neither remembered nor reported again at the next start.
    if (!guardedStep(dialogs_, openContext, [&] { verifyDatabaseFile(path, DatabaseKind::Calculation); }))
        return false;
    if (!guardedStep(dialogs_, storeContext,
                     [&] { SettingsRow::setValue(data_.settings(), SettingsRow::kCalculationFile, path); }))
        return false;
    return guardedStep(dialogs_, openContext, [&] { OpenDocuments(true); });
}

bool DocumentSession::saveCalculationAs()
{
    return saveAs(Kind::Calculation);
}

bool DocumentSession::saveReferenceAs()
{
    return saveAs(Kind::Reference);
}

bool DocumentSession::saveAs(Kind kind)
{
    if (!isConnected(kind))
        return false;
    const KindTexts& t = texts(kind);
    if (!preamble())
        return false;
    const std::optional<QString> name = chooseName(true, t.saveAsTitle, setting(kind));
    if (!name)
        return false;

    const QString path = absoluteChoice(data_, *name);
    bool copied = false;
    guardedStep(dialogs_, t.createContext, [&] {
        if (sameFolderIgnoringCase(folderOf(path), data_.programFolder())) {
            dialogs_.showMessage(t.programFolderRefusal, MessageKind::Warning);
            return;
        }
        const QString current = storedPath(kind);
        if (samePathIgnoringCase(path, current)) {
            dialogs_.showMessage(t.sameNameRefusal, MessageKind::Warning);
            return;
        }
        if (QFileInfo::exists(path)) {
            const QString other = storedPath(kind == Kind::Calculation ? Kind::Reference : Kind::Calculation);
            if (!other.isEmpty() && samePathIgnoringCase(path, other)) {
                dialogs_.showMessage(t.nameClash, MessageKind::Warning);
                return;
            }
            if (!dialogs_.askYesNo(kApplicationTitle, replaceQuestion(*name)))
                return;
        }
        // The copy is finished under a temporary name beside the target and
        // only then takes the chosen name.
        const QString partial = temporaryNameBeside(path);
        if (kind == Kind::Calculation && !data_.calculationPathLeadsToOpenFile())
            copyOpenDatabase(data_.calculation(), partial);
        else
            copyDatabase(current, partial);
        try {
            replaceFile(partial, path);
        } catch (...) {
            QFile::remove(partial);
            throw;
        }
        copied = true;
    });
    if (!copied)
        return false;

    return guardedStep(dialogs_, t.openCreatedContext, [&] {
        SettingsRow::setValue(data_.settings(), t.settingField, path);
        OpenDocuments(false);
    });
}

bool DocumentSession::openReference()
{
    if (!preamble())
        return false;
    const std::optional<QString> name =
        chooseName(false, QStringLiteral("Открыть справочники"), referenceFileSetting());
    if (!name)
        return false;

    QString path = absoluteChoice(data_, *name);
    const QString storeContext =
        QStringLiteral("Ошибка при записи имени файла со справочниками в базу данных настроек.");
    const QString openContext = QStringLiteral("Ошибка при открытии файла со справочниками.");
    bool inProgramFolder = sameFolderIgnoringCase(folderOf(path), data_.programFolder());
    bool accepted = false;
    guardedStep(dialogs_, storeContext, [&] {
        if (!QFileInfo(path).isFile()) {
            dialogs_.showMessage(doesNotExist(*name), MessageKind::Warning);
            return;
        }
        if (inProgramFolder && QFileInfo(path).fileName().toUpper() != QStringLiteral("SPR.MDB")) {
            dialogs_.showMessage(QStringLiteral("Из папки, в которую установлена программа, можно открыть только "
                                                "файл справочников Spr.mdb."), MessageKind::Warning);
            return;
        }
        accepted = true;
    });
    if (!accepted)
        return false;
    const std::optional<QString> taken = takeOldFormat(path, DatabaseKind::Reference);
    if (!taken)
        return false;
    if (*taken != path) {
        path = *taken;
        inProgramFolder = sameFolderIgnoringCase(folderOf(path), data_.programFolder());
    }
    if (!guardedStep(dialogs_, openContext, [&] { verifyDatabaseFile(path, DatabaseKind::Reference); }))
        return false;

    if (!guardedStep(dialogs_, storeContext, [&] {
            // Reference data feed the results: they are no longer current.
            if (data_.calculationOpen())
                data_.noteInputChanged();
            view_.statusText.clear();
            progress_.setStatus(QString());
            QString stored = path;
            if (inProgramFolder) {
                // The delivered file is stored by its bare name. Where letter
                // case makes another file of the program folder, that file's
                // own name is stored, so the setting still names it.
                const QString chosenName = QFileInfo(path).fileName();
                const QFileInfo delivered(data_.resolve(kDeliveredReference));
                const bool isDelivered = delivered.isFile()
                    && delivered.canonicalFilePath() == QFileInfo(path).canonicalFilePath();
                stored = isDelivered ? kDeliveredReference : chosenName;
            }
            SettingsRow::setValue(data_.settings(), SettingsRow::kReferenceFile, stored);
        }))
        return false;
    return guardedStep(dialogs_, openContext, [&] { OpenDocuments(false); });
}

bool DocumentSession::compactCalculation()
{
    return compact(Kind::Calculation);
}

bool DocumentSession::compactReference()
{
    return compact(Kind::Reference);
}

bool DocumentSession::compact(Kind kind)
{
    if (!isConnected(kind))
        return false;
    const KindTexts& t = texts(kind);
    if (kind == Kind::Calculation && data_.calculationReadOnly()) {
        dialogs_.showMessage(data_.calculationViewingMessage(calculationFileSetting()), MessageKind::Warning);
        return false;
    }
    if (!dialogs_.askYesNo(t.compactCaption,
                           QStringLiteral("Перед выполнением операции сжатия рекомендуется создать резервную копию "
                                          "сжимаемой базы. Выполнить сжатие?")))
        return false;

    const QString scratch = data_.resolve(kCompactionScratch);
    if (QFileInfo::exists(scratch) && !QFile::remove(scratch)) {
        dialogs_.showMessage(QStringLiteral("Файл ") + folderMessagePrefix() + kCompactionScratch
                             + QStringLiteral(" не может быть удален. Возможно он занят другим приложением. "
                                              "Сжатие не выполнено."), MessageKind::Error);
        return false;
    }
    if (!preamble())
        return false;

    const QString context = QStringLiteral("Ошибка при выполнении сжатия.");
    bool reopening = false;
    const bool done = guardedStep(dialogs_, context, [&] {
        const QString path = storedPath(kind);
        if (kind == Kind::Calculation)
            data_.closeCalculation();
        else
            data_.closeReference();
        copyDatabase(path, scratch);
        replaceFile(scratch, path);
        reopening = true;
        OpenDocuments(false);
        dialogs_.showMessage(QStringLiteral("Сжатие выполнено."), MessageKind::Information);
    });
    if (!done) {
        QFile::remove(scratch);
        // The file was closed for the compaction; it stays the document.
        if (!reopening)
            guardedStep(dialogs_, context, [&] { OpenDocuments(false); });
    }
    return done;
}

} // namespace zurm
