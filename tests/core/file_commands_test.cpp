// The file commands of the main window on real files: New, Open, Save, Save as,
// Open reference file, Save reference file as, Compact.
#include "core/session_test_support.h"

#include "base/Failure.h"
#include "document/FileNames.h"

#include <functional>

#include <unistd.h>

using namespace zurm;
using namespace zurm::test;

namespace {

const QString kCalculationInProgramFolder = QStringLiteral(
    "Нельзя создать файл гидравлического расчета в папке, в которую установлена программа. Выберите другую папку.");
const QString kCalculationClash = QStringLiteral(
    "Имя файла гидравлического расчета совпадает с именем файла справочников. Введите другое имя файла.");
const QString kCompactQuestion = QStringLiteral(
    "Перед выполнением операции сжатия рекомендуется создать резервную копию сжимаемой базы. Выполнить сжатие?");

QString replaceQuestion(const QString& path)
{
    return QStringLiteral("ЗУРМ|Файл \"") + path + QStringLiteral("\" уже существует. Заменить его?");
}

::testing::AssertionResult isReport(const QString& message, const QString& context, const QString& className)
{
    const QString start = context + QStringLiteral("\r\rКласс ошибки: \"") + className + QStringLiteral("\"\rТекст ошибки: \"");
    if (message.startsWith(start) && message.endsWith(QLatin1Char('"')))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << message.toStdString();
}

} // namespace

struct FileCommandTest : SessionTest {
    QString templateFile() const { return folder.program(QStringLiteral("GidrRas.mdb")); }
    QString ref() const { return folder.docs(QStringLiteral("ref.mdb")); }

    // A usable calculation docs/calc.mdb and a reference file docs/ref.mdb, open.
    QString startWithDocuments(int networkStatus = 0)
    {
        const QString calc = calculation(QStringLiteral("calc.mdb"), networkStatus);
        ProgramFolderFixture::copy(folder.program(QStringLiteral("Spr.mdb")), ref());
        startWith(calc, ref());
        return calc;
    }
    void choose(const QString& path) { dialogs.files.push_back(path); }
    QString calcName(const QString& path) const
    {
        return valueOnFile(path, QStringLiteral("SELECT НазвРасч FROM НазвРасч")).toString();
    }
};

// ------------------------------------------------------------- New

using DocumentSessionNew = FileCommandTest;

TEST_F(DocumentSessionNew, CreatesTheNamedFileFromTheTemplateAndOpensIt)
{
    startWith(QVariant());
    dialogs.files.push_back(std::nullopt);
    EXPECT_FALSE(session->newCalculation());
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].kind, QStringLiteral("save"));
    EXPECT_EQ(dialogs.fileRequests[0].title, QStringLiteral("Создать новый расчет"));
    EXPECT_EQ(dialogs.fileRequests[0].initialFolder, QString());
    EXPECT_EQ(dialogs.fileRequests[0].filter, QStringLiteral("База данных (*.mdb)|*.mdb"));
    EXPECT_TRUE(dialogs.messages.isEmpty());

    choose(folder.docs(QStringLiteral("report")));
    ASSERT_TRUE(session->newCalculation());
    const QString created = folder.docs(QStringLiteral("report.mdb"));
    EXPECT_EQ(fileBytes(created), fileBytes(templateFile()));
    EXPECT_EQ(filesIn(folder.docsFolder()), QStringList{QStringLiteral("report.mdb")}) << "no temporary file left";
    EXPECT_EQ(storedCalculation().toString(), created);
    EXPECT_EQ(session->viewState().caption, created + QStringLiteral(" - ЗУРМ 1.4"));
    EXPECT_TRUE(session->data().calculationOpen());
    // A new calculation has no segments yet; New opens with messages.
    EXPECT_EQ(dialogs.messages, QStringList{emptySegmentsMessage()});

    dialogs.files.push_back(std::nullopt);
    session->newCalculation();
    EXPECT_EQ(dialogs.fileRequests.last().initialFolder, folder.docsFolder());
}

TEST_F(DocumentSessionNew, RefusalsAndTheReplaceQuestion)
{
    const QString calc = startWithDocuments();
    const QString existing = folder.docs(QStringLiteral("old.mdb"));
    writeBytes(existing, "old contents");
    // Another folder that differs from the program folder only in letter case.
    const QString programUpper = folder.programFolder().left(folder.programFolder().size() - 7)
        + QStringLiteral("PROGRAM");
    QDir().mkpath(programUpper);

    const struct {
        QString chosen;
        std::deque<bool> answers;
        QStringList messages;
        QStringList questions;
        bool created;
    } cases[] = {
        {folder.program(QStringLiteral("new")), {}, {kCalculationInProgramFolder}, {}, false},
        {programUpper + QStringLiteral("/new.mdb"), {}, {kCalculationInProgramFolder}, {}, false},
        {existing, {false}, {}, {replaceQuestion(existing)}, false},
        {ref(), {true}, {kCalculationClash}, {}, false},
        {existing, {true}, {}, {replaceQuestion(existing)}, true},
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        dialogs.questions.clear();
        dialogs.answers = c.answers;
        choose(c.chosen);
        const QByteArray refBefore = fileBytes(ref());
        EXPECT_EQ(session->newCalculation(), c.created) << c.chosen.toStdString();
        EXPECT_EQ(dialogs.questions, c.questions);
        EXPECT_EQ(fileBytes(ref()), refBefore);
        if (c.created) {
            EXPECT_EQ(fileBytes(existing), fileBytes(templateFile()));
            EXPECT_EQ(storedCalculation().toString(), existing);
            EXPECT_EQ(dialogs.messages, QStringList{emptySegmentsMessage()});
        } else {
            EXPECT_EQ(dialogs.messages, c.messages);
            EXPECT_EQ(storedCalculation().toString(), calc);
            EXPECT_FALSE(QFileInfo::exists(folder.program(QStringLiteral("new.mdb"))));
            EXPECT_FALSE(QFileInfo::exists(programUpper + QStringLiteral("/new.mdb")));
        }
    }
    EXPECT_EQ(filesIn(folder.docsFolder()),
              (QStringList{QStringLiteral("calc.mdb"), QStringLiteral("old.mdb"), QStringLiteral("ref.mdb")}));
}

TEST_F(DocumentSessionNew, TemplateOfMoreThan500000BytesIsRefused)
{
    startWith(QVariant());
    const QByteArray original = fileBytes(templateFile());
    ASSERT_LT(original.size(), 500000);
    for (const int size : {500000, 500001}) {
        writeBytes(templateFile(), original + QByteArray(size - original.size(), '\0'));
        dialogs.messages.clear();
        const QString target = folder.docs(QStringLiteral("t%1.mdb").arg(size));
        choose(target);
        const bool created = session->newCalculation();
        if (size == 500000) {
            EXPECT_TRUE(created);
            EXPECT_EQ(fileBytes(target).size(), 500000);
            EXPECT_EQ(fileBytes(target), fileBytes(templateFile()));
        } else {
            EXPECT_FALSE(created);
            EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral(
                                            "Слишком большой размер файла GidrRas.mdb. Для исправления данной "
                                            "ошибки требуется переустановка программы.")});
            EXPECT_FALSE(QFileInfo::exists(target));
            EXPECT_EQ(storedCalculation().toString(), folder.docs(QStringLiteral("t500000.mdb")));
        }
    }
}

TEST_F(DocumentSessionNew, FullDiskLeavesNoFileUnderTheChosenName)
{
    startWith(QVariant());
    choose(folder.docs(QStringLiteral("big.mdb")));
    {
        FullDisk disk(20000);
        EXPECT_FALSE(session->newCalculation());
    }
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(isReport(dialogs.messages[0], QStringLiteral("Ошибка при создании файла гидравлического расчета."),
                         QStringLiteral("FileError")));
    EXPECT_TRUE(filesIn(folder.docsFolder()).isEmpty()) << filesIn(folder.docsFolder()).join(' ').toStdString();
    EXPECT_TRUE(storedCalculation().isNull());
}

// ------------------------------------------------------------- Open

using DocumentSessionOpenCommand = FileCommandTest;

TEST_F(DocumentSessionOpenCommand, OpensAndStoresAnExistingCalculation)
{
    const QString first = startWithDocuments();
    const QString second = calculation(QStringLiteral("second.mdb"), 1);
    dialogs.files.push_back(std::nullopt);
    EXPECT_FALSE(session->openCalculation());
    EXPECT_EQ(dialogs.fileRequests[0].kind, QStringLiteral("open"));
    EXPECT_EQ(dialogs.fileRequests[0].title, QStringLiteral("Открыть расчет"));
    EXPECT_EQ(dialogs.fileRequests[0].initialFolder, folder.docsFolder());
    EXPECT_EQ(dialogs.fileRequests[0].filter, QStringLiteral("База данных (*.mdb)|*.mdb"));

    choose(folder.docs(QStringLiteral("second")));
    ASSERT_TRUE(session->openCalculation());
    EXPECT_EQ(storedCalculation().toString(), second);
    EXPECT_EQ(session->viewState().caption, second + QStringLiteral(" - ЗУРМ 1.4"));
    EXPECT_EQ(dialogs.messages, QStringList{emptySegmentsMessage()}) << "Open shows the network messages";
    EXPECT_EQ(fileBytes(first).isEmpty(), false);
}

TEST_F(DocumentSessionOpenCommand, RefusalsKeepTheCurrentDocument)
{
    const QString calc = startWithDocuments();
    ProgramFolderFixture::copy(calc, folder.program(QStringLiteral("calc.mdb")));
    const struct {
        QString chosen;
        QString message;
    } cases[] = {
        {folder.docs(QStringLiteral("nothing")),
         QStringLiteral("Файл ") + folder.docs(QStringLiteral("nothing.mdb")) + QStringLiteral(" не существует.")},
        {folder.program(QStringLiteral("calc.mdb")),
         QStringLiteral("Нельзя открыть файл гидравлического расчета из папки, в которую установлена программа. "
                        "Выберите другую папку.")},
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        choose(c.chosen);
        EXPECT_FALSE(session->openCalculation());
        EXPECT_EQ(dialogs.messages, QStringList{c.message});
        EXPECT_EQ(storedCalculation().toString(), calc);
        EXPECT_TRUE(session->data().calculationOpen());
        EXPECT_TRUE(session->viewState().gridsVisible);
    }
}

TEST_F(DocumentSessionOpenCommand, FolderComparisonRespectsLetterCaseUnlikeNew)
{
    // A folder whose name differs from the program folder only in case is
    // another folder for Open, but the program folder for New.
    startWith(QVariant());
    const QString other = folder.programFolder().left(folder.programFolder().size() - 7) + QStringLiteral("PROGRAM");
    QDir().mkpath(other);
    const QString calc = other + QStringLiteral("/calc.mdb");
    ProgramFolderFixture::copy(usableCalculation(), calc);

    choose(calc);
    EXPECT_TRUE(session->openCalculation());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(storedCalculation().toString(), calc);

    choose(other + QStringLiteral("/new.mdb"));
    EXPECT_FALSE(session->newCalculation());
    EXPECT_EQ(dialogs.messages, QStringList{kCalculationInProgramFolder});
}

TEST_F(DocumentSessionOpenCommand, ForeignFileIsReportedNotStoredAndNotWritten)
{
    const QString calc = startWithDocuments();
    const QString text = folder.docs(QStringLiteral("notes.mdb"));
    writeBytes(text, "Привет, это не база данных.\n");
    const QString empty = folder.docs(QStringLiteral("empty.mdb"));
    execOnFile(empty, QStringLiteral("CREATE TABLE НазвРасч (НазвРасч text)"));
    const QString zeroBytes = folder.docs(QStringLiteral("zero.mdb"));
    writeBytes(zeroBytes, QByteArray());

    for (const QString& foreign : {text, empty, zeroBytes, ref()}) {
        const QByteArray before = fileBytes(foreign);
        dialogs.messages.clear();
        choose(foreign);
        EXPECT_FALSE(session->openCalculation());
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(isReport(dialogs.messages[0], QStringLiteral("Ошибка при открытии файла гидравлического расчета."),
                             QStringLiteral("DatabaseFormatError")));
        EXPECT_TRUE(dialogs.messages[0].contains(foreign));
        EXPECT_EQ(fileBytes(foreign), before);
        EXPECT_EQ(storedCalculation().toString(), calc);
        EXPECT_EQ(session->viewState().caption, calc + QStringLiteral(" - ЗУРМ 1.4"));
        EXPECT_TRUE(session->data().calculationOpen());
    }
}

TEST_F(DocumentSessionOpenCommand, AccessFileOfAnotherKindIsAskedAboutAndNeverWritten)
{
    const QString calc = startWithDocuments();
    const QString old = folder.docs(QStringLiteral("old.mdb"));
    ProgramFolderFixture::copy(QStringLiteral(ZURM_SOURCE_DIR "/tests/data/jet/testV2000.mdb"), old);
    const QString target = folder.docs(QStringLiteral("old (преобразован).mdb"));
    const QString question = QStringLiteral("ЗУРМ|Файл ") + old
        + QStringLiteral(" сохранен в формате прежних версий программы (Microsoft Access). Преобразовать его в новый "
                         "файл ")
        + target + QStringLiteral("?");
    const QByteArray before = fileBytes(old);
    const struct {
        bool yes;
        QStringList messages;
    } cases[] = {
        {false, {}},
        {true, {QStringLiteral("Файл ") + old
                + QStringLiteral(" сохранен в формате прежних версий программы, но не является базой данных "
                                 "гидравлического расчета ЗУРМ: это база данных Microsoft Access, не являющаяся "
                                 "файлом ЗУРМ.")}},
    };
    // In this process, and in zurm-calc's as the desktop program converts.
    for (const QString& converter : {QString(), QStringLiteral(ZURM_BIN_DIR "/zurm-calc")})
    for (const auto& c : cases) {
        session->oldFormatConverter = converter;
        dialogs.messages.clear();
        dialogs.questions.clear();
        dialogs.answers = {c.yes};
        choose(old);
        EXPECT_FALSE(session->openCalculation());
        EXPECT_EQ(dialogs.questions, QStringList{question});
        EXPECT_EQ(dialogs.messages, c.messages);
        EXPECT_EQ(fileBytes(old), before);
        EXPECT_EQ(filesIn(folder.docsFolder()).filter(QStringLiteral("old")), QStringList{QStringLiteral("old.mdb")});
        EXPECT_EQ(storedCalculation().toString(), calc);
        EXPECT_TRUE(session->data().calculationOpen());
    }
}

TEST_F(DocumentSessionOpenCommand, StartUpAsksAboutAnAccessFileTheSettingsName)
{
    const QString old = folder.docs(QStringLiteral("old.mdb"));
    ProgramFolderFixture::copy(QStringLiteral(ZURM_SOURCE_DIR "/tests/data/jet/testV2000.mdb"), old);
    storeSettings(old, QStringLiteral("Spr.mdb"));
    dialogs.answers = {false};
    ASSERT_TRUE(session->startUp(QString()));
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].contains(QStringLiteral("old (преобразован).mdb")));
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_FALSE(session->data().calculationOpen());
    EXPECT_EQ(storedCalculation().toString(), old);
}

// ------------------------------------------------------------- preamble, Save

using DocumentSessionPreamble = FileCommandTest;

TEST_F(DocumentSessionPreamble, SavePostsPendingEditsAndAFailedPostStopsEveryCommand)
{
    const QString calc = startWithDocuments();
    int posts = 0;
    session->postPendingEdits = [&] {
        ++posts;
        execSql(session->data().calculation(), QStringLiteral("UPDATE НазвРасч SET НазвРасч='Сохранено'"));
    };
    EXPECT_TRUE(session->saveCalculation());
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(calcName(calc), QStringLiteral("Сохранено"));

    session->postPendingEdits = [] { throw Failure(QStringLiteral("SqlError"), QStringLiteral("constraint failed")); };
    const QString report = QStringLiteral("Ошибка при сохранении данных.\r\rКласс ошибки: \"SqlError\"\r"
                                          "Текст ошибки: \"constraint failed\"");
    const std::function<bool()> commands[] = {
        [&] { return session->saveCalculation(); },   [&] { return session->newCalculation(); },
        [&] { return session->openCalculation(); },   [&] { return session->saveCalculationAs(); },
        [&] { return session->openReference(); },     [&] { return session->saveReferenceAs(); },
        [&] { return session->compactCalculation(); }, [&] { return session->compactReference(); },
    };
    const QByteArray before = fileBytes(calc);
    for (const auto& command : commands) {
        dialogs.messages.clear();
        dialogs.questions.clear();
        // Compaction asks first; then every command but Save asks whether the
        // unsaved edits may be dropped, and No stops it.
        const bool compaction = &command >= &commands[6];
        dialogs.answers = compaction ? std::deque<bool>{true, false} : std::deque<bool>{false};
        EXPECT_FALSE(command());
        EXPECT_EQ(dialogs.messages, QStringList{report});
        if (&command != &commands[0]) {
            ASSERT_FALSE(dialogs.questions.isEmpty());
            EXPECT_TRUE(dialogs.questions.last().endsWith(QStringLiteral("будут потеряны. Продолжить?")));
        }
    }
    EXPECT_TRUE(dialogs.fileRequests.isEmpty()) << "no dialog after a failed post";
    EXPECT_EQ(fileBytes(calc), before);
    EXPECT_TRUE(session->data().calculationOpen());
}

// ------------------------------------------------------------- Save as

using DocumentSessionSaveAs = FileCommandTest;

TEST_F(DocumentSessionSaveAs, CopyBecomesTheDocumentAndTheOldFileStaysAsItWas)
{
    startWith(QVariant());
    EXPECT_FALSE(session->saveCalculationAs());
    EXPECT_FALSE(session->saveReferenceAs()) << "the reference file is not open without a calculation";
    EXPECT_TRUE(dialogs.fileRequests.isEmpty()) << "nothing happens without an open file";

    // A calculation with a network error: reopening without messages.
    const QString calc = calculation(QStringLiteral("calc.mdb"), 1);
    startWith(calc);
    session->postPendingEdits = [&] {
        execSql(session->data().calculation(), QStringLiteral("UPDATE НазвРасч SET НазвРасч='Участок 1'"));
    };
    dialogs.files.push_back(std::nullopt);
    EXPECT_FALSE(session->saveCalculationAs());
    EXPECT_EQ(dialogs.fileRequests[0].kind, QStringLiteral("save"));
    EXPECT_EQ(dialogs.fileRequests[0].title, QStringLiteral("Сохранить расчет как..."));
    EXPECT_EQ(dialogs.fileRequests[0].initialFolder, folder.docsFolder());

    choose(folder.docs(QStringLiteral("copy")));
    ASSERT_TRUE(session->saveCalculationAs());
    const QString copy = folder.docs(QStringLiteral("copy.mdb"));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('|').toStdString();
    EXPECT_EQ(storedCalculation().toString(), copy);
    EXPECT_EQ(session->viewState().caption, copy + QStringLiteral(" - ЗУРМ 1.4"));
    EXPECT_EQ(calcName(copy), QStringLiteral("Участок 1")) << "pending edits are in the copy";
    EXPECT_EQ(session->viewState().networkStatus, 1);

    session->postPendingEdits = [] {};
    execSql(session->data().calculation(), QStringLiteral("UPDATE НазвРасч SET НазвРасч='Только в копии'"));
    EXPECT_EQ(calcName(calc), QStringLiteral("Участок 1"));
    EXPECT_EQ(calcName(copy), QStringLiteral("Только в копии"));
    EXPECT_EQ(filesIn(folder.docsFolder()), (QStringList{QStringLiteral("calc.mdb"), QStringLiteral("copy.mdb")}));
}

TEST_F(DocumentSessionSaveAs, RefusalsForBothKinds)
{
    const QString calc = startWithDocuments();
    const QString other = folder.docs(QStringLiteral("other.mdb"));
    writeBytes(other, "other");
    // Other spellings of the open files and of the program folder: a link to
    // each folder and a second name of the reference file.
    const QString docsLink = folder.docsFolder() + QStringLiteral("-link");
    const QString programLink = folder.programFolder() + QStringLiteral("-link");
    const QString refAlias = folder.docs(QStringLiteral("alias.mdb"));
    ASSERT_TRUE(QFile::link(folder.docsFolder(), docsLink));
    ASSERT_TRUE(QFile::link(folder.programFolder(), programLink));
    ASSERT_EQ(::link(QFile::encodeName(ref()).constData(), QFile::encodeName(refAlias).constData()), 0);
    const struct {
        bool reference;
        QString chosen;
        std::deque<bool> answers;
        QString message; // empty when the question is the last word
    } cases[] = {
        {false, folder.program(QStringLiteral("copy")), {}, kCalculationInProgramFolder},
        {false, folder.docs(QStringLiteral("calc")), {},
         QStringLiteral("Для сохранения файла гидравлического расчета под тем же именем выберите команду Файл \\ "
                        "Сохранить.")},
        {false, folder.docs(QStringLiteral("CALC.MDB")), {},
         QStringLiteral("Для сохранения файла гидравлического расчета под тем же именем выберите команду Файл \\ "
                        "Сохранить.")},
        {false, ref(), {true}, kCalculationClash},
        {false, other, {false}, QString()},
        {true, folder.program(QStringLiteral("Spr2")), {},
         QStringLiteral("Нельзя создать файл справочников в папке, в которую установлена программа. Выберите "
                        "другую папку.")},
        {true, folder.docs(QStringLiteral("ref")), {},
         QStringLiteral("После завершения редактирования база данных справочников сохраняется автоматически. "
                        "Команда Файл \\ Сохранить справочники как... используется только для сохранения базы "
                        "данных справочников под другим именем.")},
        {true, calc, {true},
         QStringLiteral("Имя файла справочников совпадает с именем файла гидравлического расчета. Введите другое "
                        "имя файла.")},
        {true, other, {false}, QString()},
        {false, docsLink + QStringLiteral("/ref.mdb"), {true}, kCalculationClash},
        {false, refAlias, {true}, kCalculationClash},
        {false, docsLink + QStringLiteral("/calc.mdb"), {},
         QStringLiteral("Для сохранения файла гидравлического расчета под тем же именем выберите команду Файл \\ "
                        "Сохранить.")},
        {false, programLink + QStringLiteral("/copy"), {}, kCalculationInProgramFolder},
        {true, docsLink + QStringLiteral("/calc.mdb"), {true},
         QStringLiteral("Имя файла справочников совпадает с именем файла гидравлического расчета. Введите другое "
                        "имя файла.")},
    };
    const QByteArray calcBefore = fileBytes(calc);
    const QByteArray refBefore = fileBytes(ref());
    for (const auto& c : cases) {
        dialogs.messages.clear();
        dialogs.questions.clear();
        dialogs.answers = c.answers;
        choose(c.chosen);
        EXPECT_FALSE(c.reference ? session->saveReferenceAs() : session->saveCalculationAs()) << c.chosen.toStdString();
        EXPECT_EQ(dialogs.messages, c.message.isEmpty() ? QStringList{} : QStringList{c.message})
            << c.chosen.toStdString();
        EXPECT_EQ(dialogs.questions, c.message.isEmpty() ? QStringList{replaceQuestion(other)} : QStringList{});
    }
    EXPECT_EQ(dialogs.fileRequests[5].title, QStringLiteral("Сохранить справочники как..."));
    EXPECT_EQ(dialogs.fileRequests[5].initialFolder, folder.docsFolder());
    EXPECT_EQ(fileBytes(calc), calcBefore);
    EXPECT_EQ(fileBytes(ref()), refBefore);
    EXPECT_EQ(fileBytes(other), QByteArray("other"));
    EXPECT_EQ(storedCalculation().toString(), calc);
    EXPECT_EQ(storedReference().toString(), ref());
    EXPECT_EQ(filesIn(folder.programFolder()),
              (QStringList{QStringLiteral("GidrRas.mdb"), QStringLiteral("Nastr.mdb"), QStringLiteral("Spr.mdb")}));
    EXPECT_EQ(fileBytes(refAlias), refBefore);
}

TEST_F(DocumentSessionSaveAs, ReplacingAnExistingFileAndSavingTheReferenceFile)
{
    const QString calc = startWithDocuments();
    const QString other = folder.docs(QStringLiteral("other.mdb"));
    writeBytes(other, "other");
    execSql(session->data().calculation(), QStringLiteral("UPDATE НазвРасч SET НазвРасч='Сеть'"));
    dialogs.answers = {true};
    choose(other);
    ASSERT_TRUE(session->saveCalculationAs());
    EXPECT_EQ(dialogs.questions, QStringList{replaceQuestion(other)});
    EXPECT_EQ(calcName(other), QStringLiteral("Сеть"));
    EXPECT_EQ(storedCalculation().toString(), other);

    // The delivered reference file, stored by its bare name, saved elsewhere.
    startWith(calc, QStringLiteral("Spr.mdb"));
    dialogs.files.push_back(std::nullopt);
    session->saveReferenceAs();
    EXPECT_EQ(dialogs.fileRequests[0].initialFolder, folder.programFolder());
    const QString saved = folder.docs(QStringLiteral("справочники.mdb"));
    choose(saved);
    ASSERT_TRUE(session->saveReferenceAs());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(storedReference().toString(), saved);
    EXPECT_TRUE(session->data().referenceOpen());
    EXPECT_EQ(valueOnFile(saved, QStringLiteral("SELECT count(*) FROM ДиамТрПр")),
              valueOnFile(folder.program(QStringLiteral("Spr.mdb")), QStringLiteral("SELECT count(*) FROM ДиамТрПр")));
}

TEST_F(DocumentSessionSaveAs, AFailedCopyLeavesNoFileUnderTheChosenName)
{
    const QString calc = startWithDocuments();
    const QStringList before = filesIn(folder.docsFolder());

    // A full disk half-way through the copy.
    choose(folder.docs(QStringLiteral("copy.mdb")));
    {
        FullDisk disk(16384);
        EXPECT_FALSE(session->saveCalculationAs());
    }
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(isReport(dialogs.messages[0], QStringLiteral("Ошибка при создании файла гидравлического расчета."),
                         QStringLiteral("SqlError")));
    EXPECT_EQ(filesIn(folder.docsFolder()), before);

    // A finished copy that cannot take the chosen name: a folder of that name.
    const QString blocked = folder.docs(QStringLiteral("blocked.mdb"));
    makeUndeletable(blocked);
    dialogs.messages.clear();
    dialogs.answers = {true};
    choose(blocked);
    EXPECT_FALSE(session->saveCalculationAs());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(isReport(dialogs.messages[0], QStringLiteral("Ошибка при создании файла гидравлического расчета."),
                         QStringLiteral("FileError")));
    QStringList expected = before + QStringList{QStringLiteral("blocked.mdb")};
    expected.sort();
    EXPECT_EQ(filesIn(folder.docsFolder()), expected);
    EXPECT_TRUE(QFileInfo::exists(blocked + QStringLiteral("/keep")));

    EXPECT_EQ(storedCalculation().toString(), calc);
    EXPECT_TRUE(session->data().calculationOpen());
}

// ------------------------------------------------------------- Open reference file

using DocumentSessionReference = FileCommandTest;

TEST_F(DocumentSessionReference, WhatMayBeOpenedAndHowItIsStored)
{
    // A calculation whose results were current, with a network error, so
    // that a message would show if the reopening spoke.
    const QString calc = calculation(QStringLiteral("calc.mdb"), 1);
    execOnFile(calc, QStringLiteral("UPDATE НазвРасч SET РВ=1"));
    ProgramFolderFixture::copy(folder.program(QStringLiteral("Spr.mdb")), ref());
    ProgramFolderFixture::copy(folder.program(QStringLiteral("Spr.mdb")), folder.program(QStringLiteral("SPR.MDB")));
    ProgramFolderFixture::copy(folder.program(QStringLiteral("Spr.mdb")), folder.program(QStringLiteral("other.mdb")));
    startWith(calc);
    ASSERT_EQ(session->viewState().statusText, QStringLiteral("Расчет выполнен."));

    dialogs.files.push_back(std::nullopt);
    EXPECT_FALSE(session->openReference());
    EXPECT_EQ(dialogs.fileRequests[0].kind, QStringLiteral("open"));
    EXPECT_EQ(dialogs.fileRequests[0].title, QStringLiteral("Открыть справочники"));
    EXPECT_EQ(dialogs.fileRequests[0].initialFolder, folder.programFolder());

    const QString onlySpr = QStringLiteral("Из папки, в которую установлена программа, можно открыть только файл "
                                           "справочников Spr.mdb.");
    const struct {
        QString chosen;
        QString stored;  // empty: refused
        QString message; // empty: none
    } cases[] = {
        {ref(), ref(), QString()},
        {folder.program(QStringLiteral("Spr")), QStringLiteral("Spr.mdb"), QString()},
        {folder.program(QStringLiteral("other.mdb")), QString(), onlySpr},
        {folder.program(QStringLiteral("GidrRas.mdb")), QString(), onlySpr},
        {folder.program(QStringLiteral("SPR.MDB")), QStringLiteral("SPR.MDB"), QString()},
        {folder.docs(QStringLiteral("none")), QString(),
         QStringLiteral("Файл ") + folder.docs(QStringLiteral("none.mdb")) + QStringLiteral(" не существует.")},
    };
    QString stored = QStringLiteral("Spr.mdb");
    for (const auto& c : cases) {
        dialogs.messages.clear();
        choose(c.chosen);
        EXPECT_EQ(session->openReference(), !c.stored.isEmpty()) << c.chosen.toStdString();
        EXPECT_EQ(dialogs.messages, c.message.isEmpty() ? QStringList{} : QStringList{c.message});
        if (!c.stored.isEmpty())
            stored = c.stored;
        EXPECT_EQ(storedReference().toString(), stored) << c.chosen.toStdString();
        EXPECT_TRUE(session->data().referenceOpen());
    }
    // Reference data feed the results: they are no longer current.
    EXPECT_EQ(valueOnFile(calc, QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
    EXPECT_EQ(session->viewState().statusText, QString());
    EXPECT_EQ(storedCalculation().toString(), calc);
}

TEST_F(DocumentSessionReference, CalculationFileIsNoReferenceFile)
{
    const QString calc = startWithDocuments();
    execOnFile(calc, QStringLiteral("UPDATE НазвРасч SET РВ=1"));
    session->OpenDocuments(false);
    const QByteArray before = fileBytes(calc);
    choose(calc);
    EXPECT_FALSE(session->openReference());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(isReport(dialogs.messages[0], QStringLiteral("Ошибка при открытии файла со справочниками."),
                         QStringLiteral("DatabaseFormatError")));
    EXPECT_TRUE(dialogs.messages[0].contains(calc));
    EXPECT_EQ(storedReference().toString(), ref());
    EXPECT_EQ(fileBytes(calc), before) << "a refused file does not even lose its calculation-done flag";
    EXPECT_EQ(session->viewState().statusText, QStringLiteral("Расчет выполнен."));
}

// ------------------------------------------------------------- Compact

using DocumentSessionCompact = FileCommandTest;

TEST_F(DocumentSessionCompact, CompactedFileKeepsItsDataAndStaysOpen)
{
    startWith(QVariant());
    EXPECT_FALSE(session->compactCalculation());
    EXPECT_FALSE(session->compactReference());
    EXPECT_TRUE(dialogs.questions.isEmpty()) << "nothing to compact without open files";

    const QString calc = startWithDocuments();
    {
        const QSqlDatabase db = session->data().calculation();
        Transaction transaction(db);
        for (int i = 1; i <= 400; ++i)
            execSql(db, QStringLiteral("INSERT INTO Табл(id, НачУзел, КонУзел, Примечание) VALUES(?, ?, ?, ?)"),
                    {i, i, i + 1, QString(200, QChar(u'ж'))});
        transaction.commit();
        execSql(db, QStringLiteral("DELETE FROM Табл WHERE id > 3"));
    }
    const qint64 sizeBefore = QFileInfo(calc).size();

    dialogs.answers = {false};
    EXPECT_FALSE(session->compactCalculation());
    EXPECT_EQ(dialogs.questions, QStringList{QStringLiteral("Сжать расчет|") + kCompactQuestion});
    EXPECT_EQ(QFileInfo(calc).size(), sizeBefore);

    int posts = 0;
    session->postPendingEdits = [&] { ++posts; };
    dialogs.answers = {true};
    ASSERT_TRUE(session->compactCalculation());
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Сжатие выполнено.")});
    EXPECT_EQ(dialogs.kinds, QList<MessageKind>{MessageKind::Information});
    EXPECT_LT(QFileInfo(calc).size(), sizeBefore);
    EXPECT_EQ(valueOnFile(calc, QStringLiteral("SELECT count(*) FROM Табл")).toInt(), 3);
    EXPECT_TRUE(session->data().calculationOpen());
    EXPECT_TRUE(session->viewState().gridsVisible);
    EXPECT_EQ(selectValue(session->data().calculation(), QStringLiteral("SELECT max(id) FROM Табл")).toInt(), 3);
    EXPECT_EQ(storedCalculation().toString(), calc);
    EXPECT_FALSE(QFileInfo::exists(folder.program(QStringLiteral("~$$.mdb"))));

    dialogs.messages.clear();
    dialogs.questions.clear();
    dialogs.answers = {true};
    ASSERT_TRUE(session->compactReference());
    EXPECT_EQ(dialogs.questions, QStringList{QStringLiteral("Сжать справочники|") + kCompactQuestion});
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Сжатие выполнено.")});
    EXPECT_TRUE(session->data().referenceOpen());
    EXPECT_EQ(valueOnFile(ref(), QStringLiteral("SELECT count(*) FROM ДиамТрПр")),
              valueOnFile(folder.program(QStringLiteral("Spr.mdb")), QStringLiteral("SELECT count(*) FROM ДиамТрПр")));
    EXPECT_EQ(filesIn(folder.docsFolder()), (QStringList{QStringLiteral("calc.mdb"), QStringLiteral("ref.mdb")}));
}

TEST_F(DocumentSessionCompact, ScratchFileThatCannotBeDeletedCancelsTheCompaction)
{
    const QString calc = startWithDocuments();
    makeUndeletable(folder.program(QStringLiteral("~$$.mdb")));
    int posts = 0;
    session->postPendingEdits = [&] { ++posts; };
    const QByteArray before = fileBytes(calc);
    const QString message = QStringLiteral("Файл ") + folder.programFolder()
        + QStringLiteral("/~$$.mdb не может быть удален. Возможно он занят другим приложением. Сжатие не выполнено.");

    for (const bool reference : {false, true}) {
        dialogs.messages.clear();
        dialogs.answers = {true};
        EXPECT_FALSE(reference ? session->compactReference() : session->compactCalculation());
        EXPECT_EQ(dialogs.messages, QStringList{message});
    }
    EXPECT_EQ(posts, 0) << "refused before the pending edits are posted";
    EXPECT_EQ(fileBytes(calc), before);
    EXPECT_TRUE(session->data().calculationOpen());
    EXPECT_TRUE(session->data().referenceOpen());

    // A left-over scratch file that can be deleted is no obstacle.
    QDir(folder.program(QStringLiteral("~$$.mdb"))).removeRecursively();
    writeBytes(folder.program(QStringLiteral("~$$.mdb")), "left over");
    dialogs.messages.clear();
    dialogs.answers = {true};
    EXPECT_TRUE(session->compactCalculation());
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Сжатие выполнено.")});
}

TEST_F(DocumentSessionCompact, FailedCompactionLeavesTheFileOpenAndUntouched)
{
    const QString calc = startWithDocuments();
    const QByteArray before = fileBytes(calc);
    dialogs.answers = {true};
    {
        FullDisk disk(16384);
        EXPECT_FALSE(session->compactCalculation());
    }
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(isReport(dialogs.messages[0], QStringLiteral("Ошибка при выполнении сжатия."), QStringLiteral("SqlError")));
    EXPECT_EQ(fileBytes(calc), before);
    EXPECT_TRUE(session->data().calculationOpen());
    EXPECT_TRUE(session->viewState().gridsVisible);
    EXPECT_FALSE(QFileInfo::exists(folder.program(QStringLiteral("~$$.mdb"))));
}
