#include "document/DataModule.h"

#include "platform/JetDatabase.h"

#include "base/DocumentConnection.h"
#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/FileNames.h"
#include "document/WorkDatabase.h"

#include <QAtomicInt>
#include <algorithm>
#include <optional>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <unistd.h>

namespace zurm {

namespace {

const QString kFormatClass = QStringLiteral("DatabaseFormatError");

struct RequiredTable {
    const char* name;
    QStringList columns;
};

QList<RequiredTable> requiredTables(DatabaseKind kind)
{
    switch (kind) {
    case DatabaseKind::Calculation:
        return {
            {"НазвРасч", {"НазвРасч", "РВ", "ТипСети", "ОпрД", "РасчРасх", "NНачУз", "NузПНапПод", "NузРНап",
                          "ПарТСКорр", "ПарТСОш", "Карта", "МасштабКарты", "ВычДлПоМасш"}},
            {"Заг", {}},
            {"Табл", {"id", "НачУзел", "КонУзел"}},
            {"Формулы", {"Nпп", "НаимПок", "НаимПокСокр", "ТипПок", "ВводПольз", "Формула", "ВывВОтчТабл"}},
            {"ФлыПредопрПок", {"НаимПок", "НаимПокСокр", "ТипПок", "ВводПольз", "Формула", "ВывВОтчТабл",
                               "ИспПриРасч1трТС", "ИспПриРасч2трТС"}},
            {"УзлыТС", {"Nуз", "x", "y", "ГеодВыс"}},
            {"ИзмПНапВУзлахТС", {"Nуз", "ТрПр", "ИзмПНап"}},
            {"МагистралиТС", {"id_m", "NппУчВМ", "НачУзел", "КонУзел", "РасхПод", "РасхОбр"}},
            {"КонМаг", {"id_m"}},
            {"ПриорЗ", {"Nприоритета", "Показатель"}},
            {"ПриорП", {"Nприоритета", "Показатель"}},
            {"ПриорОИ", {"Nприоритета", "Показатель"}},
            {"СписокРасчУчастков", {"НачУзел", "КонУзел"}},
        };
    case DatabaseKind::Reference:
        return {
            {"ДиамТрПр", {"УслДиамТрПр", "ВнутрДиамТрПр"}},
            {"ПлВодыОтТ", {"Т", "Плотность"}},
            {"ПопрКоэфКУдПот", {"УслДиамТрПр", "ЭквШер", "Коэф"}},
        };
    case DatabaseKind::Settings:
        return {
            {"Настройки", {"ФайлГР", "ФайлСпр", "РШрифтаВТД", "РШрифтаВЗагКолТД", "РШрифтаНаимПок", "РШрифтаГр",
                           "ТочностьЧиселВОтч", "СохрТекстРас"}},
            {"НастрЗагрИзExcel", {"ФайлExcel", "РЛист", "НачСтр", "КонСтр", "КолНачУз", "КолКонУз"}},
        };
    }
    return {};
}

} // namespace

QString kindName(DatabaseKind kind)
{
    switch (kind) {
    case DatabaseKind::Calculation: return QStringLiteral("базой данных гидравлического расчета");
    case DatabaseKind::Reference: return QStringLiteral("базой данных справочников");
    case DatabaseKind::Settings: return QStringLiteral("базой данных настроек");
    }
    return {};
}

QString templateFileName(DatabaseKind kind)
{
    switch (kind) {
    case DatabaseKind::Calculation: return QStringLiteral("GidrRas.mdb");
    case DatabaseKind::Reference: return QStringLiteral("Spr.mdb");
    case DatabaseKind::Settings: return QStringLiteral("Nastr.mdb");
    }
    return {};
}

std::optional<DatabaseKind> kindOfTables(const QMap<QString, QStringList>& tables)
{
    auto find = [](const QStringList& names, const QString& name) {
        return std::any_of(names.begin(), names.end(),
                           [&](const QString& n) { return n.compare(name, Qt::CaseInsensitive) == 0; });
    };
    const QStringList tableNames = tables.keys();
    for (DatabaseKind kind : {DatabaseKind::Calculation, DatabaseKind::Reference, DatabaseKind::Settings}) {
        bool all = true;
        for (const RequiredTable& table : requiredTables(kind)) {
            const QString name = QString::fromUtf8(table.name);
            auto it = std::find_if(tableNames.begin(), tableNames.end(),
                                   [&](const QString& n) { return n.compare(name, Qt::CaseInsensitive) == 0; });
            if (it == tableNames.end()
                || !std::all_of(table.columns.begin(), table.columns.end(),
                                [&](const QString& column) { return find(tables.value(*it), column); })) {
                all = false;
                break;
            }
        }
        if (all)
            return kind;
    }
    return std::nullopt;
}

namespace {

QAtomicInt instanceCounter;

// A journal beside the file: a writer stopped in the middle of a transaction
// left it, and SQLite rolls it back at the next writable open.
bool hasJournal(const QString& path)
{
    const QFileInfo journal(path + QStringLiteral("-journal"));
    return journal.isFile() && journal.size() > 0;
}

// Opens a writable connection and reads the schema, which rolls a hot journal
// back; the file then holds what was last committed.
void rollBackHotJournal(const QString& path)
{
    onOwnConnection(path, false, [](QSqlDatabase& db) {
        QSqlQuery query(db);
        query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    });
}

} // namespace

QString notRegularFileMessage(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return {};
    return QStringLiteral("Файл ") + path + QStringLiteral(" не является обычным файлом (это папка, канал или "
                                                           "устройство), поэтому открыть его нельзя.");
}

bool isWritableDatabaseFile(const QString& path)
{
    // SQLite writes the file itself and, beside it, its journal.
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    return ::access(file.constData(), W_OK) == 0 && ::access(folder.constData(), W_OK) == 0;
}

QString segmentSortClause(SegmentSort sort)
{
    return sort == SegmentSort::ById ? QStringLiteral("id ASC") : QStringLiteral("НачУзел ASC, КонУзел ASC");
}

void verifyDatabaseFile(const QString& path, DatabaseKind kind)
{
    const QString notOurs = QStringLiteral("Файл ") + path + QStringLiteral(" не является ") + kindName(kind)
        + QStringLiteral(" ЗУРМ");
    // Opening a pipe waits for a writer for ever, and a device is no document.
    const QString notRegular = notRegularFileMessage(path);
    if (!notRegular.isEmpty())
        throw Failure(kFormatClass, notRegular);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(kFormatClass, QStringLiteral("Файл ") + path + QStringLiteral(" не может быть открыт: ")
                                        + file.errorString());
    const QByteArray header = file.read(20);
    file.close();
    if (hasJetHeader(header))
        throw Failure(kFormatClass, notOurs + QStringLiteral(": он сохранен в формате прежних версий программы "
                                                             "(Microsoft Access). Преобразуйте его командой "
                                                             "\"Открыть\" программы или zurm-calc --convert."));
    if (!header.startsWith(QByteArray("SQLite format 3\0", 16)))
        throw Failure(kFormatClass, notOurs + QLatin1Char('.'));
    // A read-only connection cannot roll a hot journal back and would refuse
    // the file for as long as the journal lies beside it.
    if (hasJournal(path) && isWritableDatabaseFile(path))
        rollBackHotJournal(path);

    // A separate read-only connection: nothing is written to a file that turns
    // out not to be ours.
    QString problem;
    const QString failed = onOwnConnection(path, true, [&](QSqlDatabase& db) {
        for (const RequiredTable& table : requiredTables(kind)) {
            const QString tableName = QString::fromUtf8(table.name);
            // A view of the file's author in place of a table is never read.
            const QList<ColumnInfo> columns =
                tableExists(db, tableName) ? tableColumns(db, tableName) : QList<ColumnInfo>();
            if (columns.isEmpty()) {
                problem = QStringLiteral("нет таблицы \"") + tableName + QStringLiteral("\"");
                return;
            }
            for (const QString& column : table.columns) {
                const bool present = std::any_of(columns.begin(), columns.end(),
                                                 [&](const ColumnInfo& c) { return c.name == column; });
                if (!present) {
                    problem = QStringLiteral("в таблице \"") + tableName + QStringLiteral("\" нет поля \"") + column
                        + QStringLiteral("\"");
                    return;
                }
            }
        }
    });
    if (problem.isEmpty())
        problem = failed;
    if (!problem.isEmpty())
        throw Failure(kFormatClass, notOurs + QStringLiteral(": ") + problem + QLatin1Char('.'));
}

DataModule::DataModule(QString programFolder)
    : programFolder_(QDir::cleanPath(std::move(programFolder))),
      id_(QString::number(instanceCounter.fetchAndAddRelaxed(1)))
{
}

DataModule::~DataModule()
{
    closeCalculation();
    closeReference();
    closeSettings();
    closeWork();
}

QString DataModule::resolve(const QString& fileName) const
{
    if (QDir::isAbsolutePath(fileName))
        return fileName;
    return QDir(programFolder_).filePath(fileName);
}

QString DataModule::connectionName(const QString& role) const
{
    return role + QLatin1Char('#') + id_;
}

QSqlDatabase DataModule::calculation() const { return QSqlDatabase::database(connectionName("acGR"), false); }
QSqlDatabase DataModule::reference() const { return QSqlDatabase::database(connectionName("acSpr"), false); }
QSqlDatabase DataModule::settings() const { return QSqlDatabase::database(connectionName("acNastr"), false); }
QSqlDatabase DataModule::work() const { return QSqlDatabase::database(connectionName("acVremDB"), false); }

bool DataModule::calculationOpen() const { return calculation().isOpen(); }
bool DataModule::referenceOpen() const { return reference().isOpen(); }
bool DataModule::settingsOpen() const { return settings().isOpen(); }
bool DataModule::workOpen() const { return work().isOpen(); }

QSqlDatabase DataModule::open(const QString& role, const QString& path, bool readOnly)
{
    close(role);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName(role));
    db.setDatabaseName(path);
    if (readOnly)
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open()) {
        const QString text = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName(role));
        throw Failure(QString::fromLatin1(kSqlErrorClass), text);
    }
    try {
        guardDocumentConnection(db);
    } catch (...) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName(role));
        throw;
    }
    return db;
}

void DataModule::close(const QString& role)
{
    const QString name = connectionName(role);
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void DataModule::openSettings(const QString& path)
{
    const QString full = resolve(path);
    verifyDatabaseFile(full, DatabaseKind::Settings);
    open(QStringLiteral("acNastr"), full);
}

void DataModule::openCalculation(const QString& path, bool forViewing)
{
    const QString full = resolve(path);
    verifyDatabaseFile(full, DatabaseKind::Calculation);
    // A file that cannot be written is opened for viewing, as is a file another
    // copy of the program holds: nothing is tried on it that could leave the
    // program half way through a change.
    calculationReadOnly_ = forViewing || !isWritableDatabaseFile(full);
    calculationHeldElsewhere_ = forViewing;
    const QSqlDatabase db = open(QStringLiteral("acGR"), full, calculationReadOnly_);
    calculationPath_ = full;
    calculationIdentity_ = fileIdentity(full);
    calculationDataVersion_ = selectValue(db, QStringLiteral("PRAGMA data_version")).toLongLong();
    // A calculation of a large network rewrites tens of megabytes in one
    // transaction (mains, results); the default page cache of 2 MB would spill
    // them to the file page by page before the commit.
    execSql(db, QStringLiteral("PRAGMA cache_size = -131072"));
    // Reads go through a memory map: a run reads tables of a million rows,
    // which the page cache above would copy into the heap page by page.
    // Writes still go through the journal.
    execSql(db, QStringLiteral("PRAGMA mmap_size = 268435456"));
}

void DataModule::openReference(const QString& path)
{
    const QString full = resolve(path);
    verifyDatabaseFile(full, DatabaseKind::Reference);
    open(QStringLiteral("acSpr"), full);
}

void DataModule::closeCalculation()
{
    close(QStringLiteral("acGR"));
    calculationPath_.clear();
    calculationReadOnly_ = false;
    calculationHeldElsewhere_ = false;
}

QString readOnlyCalculationMessage(const QString& path)
{
    return QStringLiteral("Файл ") + path
        + QStringLiteral(" доступен только для чтения, поэтому расчет открыт только для просмотра. Чтобы изменять "
                         "расчет, сохраните его под другим именем командой Файл \\ Сохранить расчет как...");
}

QString DataModule::calculationViewingMessage(const QString& path) const
{
    if (!calculationHeldElsewhere_)
        return readOnlyCalculationMessage(path);
    return QStringLiteral("Файл ") + path
        + QStringLiteral(" редактируется в другой копии программы, поэтому расчет открыт только для просмотра. "
                         "Чтобы изменять расчет, закройте его в другой копии программы и откройте снова или "
                         "сохраните его под другим именем командой Файл \\ Сохранить расчет как...");
}

bool DataModule::calculationPathLeadsToOpenFile() const
{
    const std::optional<FileIdentity> identity = fileIdentity(calculationPath_);
    return identity && identity == calculationIdentity_;
}

void DataModule::syncWithCalculationFile()
{
    if (!calculationOpen())
        return;
    if (!calculationPathLeadsToOpenFile())
        throw Failure(QStringLiteral("FileChangedError"),
                      QStringLiteral("Файл ") + QDir::toNativeSeparators(calculationPath_)
                          + QStringLiteral(" удален, переименован или заменен другим файлом после того, как был "
                                           "открыт. Изменения в него не записаны."));
    const qint64 version = selectValue(calculation(), QStringLiteral("PRAGMA data_version")).toLongLong();
    if (version == calculationDataVersion_)
        return;
    calculationDataVersion_ = version;
    ++calculationGeneration_;
    loadCalculationDoneFlag();
}
void DataModule::closeReference() { close(QStringLiteral("acSpr")); }
void DataModule::closeSettings() { close(QStringLiteral("acNastr")); }
void DataModule::closeWork() { close(QStringLiteral("acVremDB")); }

void DataModule::createWorkDatabase(const QString& fileName, UserDialogs& dialogs)
{
    closeWork();
    QString path = QStringLiteral(":memory:");
    if (!fileName.isEmpty()) {
        path = resolve(fileName);
        if (QFileInfo::exists(path) && !QFile::remove(path))
            dialogs.showMessage(QStringLiteral("Файл ") + QDir::toNativeSeparators(programFolder_ + QLatin1Char('/'))
                                + fileName
                                + QStringLiteral(" не может быть удален. Возможно он занят другим приложением или его не существует."),
                                MessageKind::Error);
    }
    QSqlDatabase db = open(QStringLiteral("acVremDB"), path);
    workPath_ = fileName.isEmpty() ? QString() : path;
    Transaction transaction(db);
    for (const QString& statement : workDatabaseStatements())
        execSql(db, statement);
    transaction.commit();
}

void DataModule::loadCalculationDoneFlag()
{
    calculationDone_ = false;
    if (!calculationOpen())
        return;
    calculationDone_ = CalculationRow(calculation()).value(CalculationRow::kCalculationDone).toBool();
}

void DataModule::SetCalculationDoneFlag(bool value)
{
    // Another program may have set or cleared the stored flag meanwhile.
    syncWithCalculationFile();
    if (value == calculationDone_)
        return;
    calculationDone_ = value;
    CalculationRow(calculation()).setValue(CalculationRow::kCalculationDone, value ? 1 : 0);
}

void DataModule::noteInputChanged(const QObject* source)
{
    SetCalculationDoneFlag(false);
    emit events_.inputChanged(source);
}

} // namespace zurm
