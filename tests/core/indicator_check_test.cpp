// The whole-catalogue check of the indicator definitions: names and types, the
// references of user and predefined formulas, the message shown and the row the
// parameters grid is to stand on.
#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "indicators/IndicatorCheck.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"

#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace zurm;
using zurm::test::FakeDialogs;
using zurm::test::FakeProgress;
using zurm::test::ProgramFolderFixture;

namespace {

// The 128 characters of short names in their order: digits, Latin capitals and
// small letters, Cyrillic capitals with Ё after Е, Cyrillic small letters with ё
// after е.
const QString& shortNameAlphabet()
{
    static const QString alphabet = [] {
        QString text;
        for (char16_t c = u'0'; c <= u'9'; ++c)
            text.append(QChar(c));
        for (char16_t c = u'A'; c <= u'Z'; ++c)
            text.append(QChar(c));
        for (char16_t c = u'a'; c <= u'z'; ++c)
            text.append(QChar(c));
        for (char16_t c = u'А'; c <= u'Я'; ++c) {
            text.append(QChar(c));
            if (c == u'Е')
                text.append(QChar(u'Ё'));
        }
        for (char16_t c = u'а'; c <= u'я'; ++c) {
            text.append(QChar(c));
            if (c == u'е')
                text.append(QChar(u'ё'));
        }
        return text;
    }();
    return alphabet;
}

QString u8(const char* text) { return QString::fromUtf8(text); }

const QString kClosing = u8("\r\rДля исправления ошибки выполните команду:\rДанные / Параметры расчета");

QString userPrefix(const QString& name)
{
    return u8("Показатели расчета:\rСокр. наименование показателя: \"") + name + u8("\":\r\r");
}

struct UserRow {
    const char* name;
    const char* type;
    bool entered = true;
    const char* formula = nullptr;
    int npp = -1; // -1: next in insertion order
};

// A template calculation whose catalogue each test replaces.
struct IndicatorCheckTest : ::testing::Test {
    ProgramFolderFixture folder;
    FakeDialogs dialogs;
    FakeProgress progress;
    DataModule data{folder.programFolder()};
    IndicatorCheckResult result;

    void SetUp() override
    {
        data.openCalculation(folder.newCalculation());
        data.createWorkDatabase(QString(), dialogs);
        // Predefined formulas that depend on no user indicator, so that any
        // small catalogue can pass.
        setPredefinedFormula(u8("ПотНОтИКонПод"), u8("<ПотНОтИНачПод>"));
        setPredefinedFormula(u8("ПотНОтИКонОбр"), u8("<ПотНОтИНачОбр>"));
    }

    void setNetwork(int networkType, bool designMode)
    {
        execSql(data.calculation(), u8("UPDATE [НазвРасч] SET [ТипСети]=?, [ОпрД]=?"),
                {networkType, designMode ? 1 : 0});
    }
    void setPredefinedFormula(const QString& name, const QString& formula)
    {
        execSql(data.calculation(), u8("UPDATE [ФлыПредопрПок] SET [Формула]=? WHERE [НаимПокСокр]=?"),
                {formula, name});
    }
    void setCatalogue(const std::vector<UserRow>& rows)
    {
        Transaction transaction(data.calculation());
        execSql(data.calculation(), u8("DELETE FROM [Формулы]"));
        int npp = 1;
        for (const UserRow& row : rows) {
            execSql(data.calculation(),
                    u8("INSERT INTO [Формулы] ([Nпп], [НаимПок], [НаимПокСокр], [ТипПок], [ВводПольз], [Формула], "
                       "[ВывВОтчТабл]) VALUES (?, 'x', ?, ?, ?, ?, 1)"),
                    {row.npp >= 0 ? row.npp : npp, u8(row.name), u8(row.type), row.entered ? 1 : 0,
                     row.formula ? QVariant(u8(row.formula)) : QVariant(QMetaType(QMetaType::QString))});
            ++npp;
        }
        transaction.commit();
    }
    bool check()
    {
        dialogs.messages.clear();
        return CheckIndicators(data, dialogs, progress, &result);
    }
    int rowCount(const QString& table)
    {
        return selectValue(data.calculation(), u8("SELECT count(*) FROM ") + quoteName(table)).toInt();
    }
};

} // namespace

TEST(FormulaComments, RemovedInOnePassWithoutNesting)
{
    const struct {
        QString formula;
        QString expected;
    } cases[] = {
        {u8("a[b[c]d]e"), u8("ad]e")},
        {u8("<МаксДлПод>*2 [comment with <Zz>]"), u8("<МаксДлПод>*2 ")},
        {u8("<A> [see {1}]"), u8("<A> ")},
        {u8("1+[open <B>"), u8("1+")},
        {u8("a]b"), u8("a]b")},
        {u8("[x]]y"), u8("]y")},
        {u8("[]"), u8("")},
        {QString(300, u'x'), QString(255, u'x')},
        {QString(10, u'y') + u8("[c]") + QString(250, u'z'), QString(10, u'y') + QString(245, u'z')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StripFormulaComments(c.formula), c.expected) << c.formula.toStdString();
}

TEST(ShortNameAlphabet, HundredTwentyEightCharactersInTheirOrder)
{
    const QString& alphabet = shortNameAlphabet();
    ASSERT_EQ(alphabet.size(), 128);
    EXPECT_EQ(alphabet.left(10), u8("0123456789"));
    EXPECT_EQ(alphabet.mid(10, 26), u8("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    EXPECT_EQ(alphabet.mid(36, 26), u8("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(alphabet.mid(62, 33), u8("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"));
    EXPECT_EQ(alphabet.mid(95, 33), u8("абвгдеёжзийклмнопрстуфхцчшщъыьэюя"));
    for (const QChar c : alphabet)
        EXPECT_TRUE(isShortNameCharacter(c)) << QString(c).toStdString();
    for (const QString& outside : {u8("_"), u8("-"), u8(" "), u8("@"), u8("["), u8("`"), u8("{"), u8("Ї"), u8("ї"),
                                  u8("Ѓ"), u8("€"), u8("α"), u8("\u00A0")})
        EXPECT_FALSE(isShortNameCharacter(outside.at(0))) << outside.toStdString();
}

TEST_F(IndicatorCheckTest, NamesAndTypes)
{
    const QString reserved = u8("Недопустимое сокращенное наименование показателя.");
    const QString onlyAlphabet = u8("Сокращенные наименования показателей могут состоять только из цифр, строчных или "
                                    "заглавных букв английского или русского алфавита.");
    const QString letterFirst = u8("Сокращенные наименования показателей должны начинаться с заглавной или строчной "
                                   "буквы английского или русского алфавита.");
    const QString onePipeType = u8("При расчете однотрубных сетей поле \"Заголовочный (З), подающий т-провод (П), "
                                   "обратный т-провод (О), итоговый (И)\" должно содержать одно из значений: З, П.");
    const QString twoPipeType = u8("При расчете двухтрубных сетей поле \"Заголовочный (З), подающий т-провод (П), "
                                   "обратный т-провод (О), итоговый (И)\" должно содержать одно из значений: З, П, О, "
                                   "И.");
    // A name is judged whole, however long: what follows the 255th character
    // would otherwise reach the column definitions unchecked.
    const std::string letters(255, 'A');
    const std::string injected = letters + "] float, [Injected";
    const std::string tooLong = letters + "B";
    const struct {
        const char* name;
        const char* type;
        int networkType;
        QString fault; // empty: accepted
    } cases[] = {
        {letters.c_str(), "П", 1, {}},
        {injected.c_str(), "П", 1, onlyAlphabet},
        {tooLong.c_str(), "П", 1, u8("Сокращенное наименование показателя не должно быть длиннее 255 символов.")},
        {"", "З", 1, u8("Поле \"Сокр. наименование показателя\" должно быть заполнено.")},
        {"id", "З", 1, reserved},
        {"Id", "П", 0, reserved},
        {"Примечание", "З", 1, reserved},
        {"начУЗЕЛ", "З", 1, reserved},
        {"КонУзел", "З", 1, reserved},
        {"рАсХпОд", "П", 1, reserved},
        {"тводыконобр", "П", 0, reserved}, // predefined two-pipe name, refused in one-pipe networks too
        {"пНапКонПод", "П", 1, reserved},  // late indicators are predefined names as well
        {"2Q", "З", 1, letterFirst},
        {"2Ё", "З", 1, letterFirst},
        {"Q-2", "З", 1, onlyAlphabet},
        {"Q 2", "З", 1, onlyAlphabet},
        {"2-Q", "З", 1, onlyAlphabet}, // the characters are judged before the first one
        {"Qα", "З", 1, onlyAlphabet},  // outside the code page
        {"QЇ", "З", 1, onlyAlphabet},  // in the code page, outside the alphabet
        {"Q_1", "З", 1, onlyAlphabet},
        {"Ёж1", "з", 1, {}},
        {"ёЖz9", "п", 0, {}},
        {"Q", "о", 0, onePipeType},
        {"Q", "о", 1, {}},
        {"Q", "И", 0, onePipeType},
        {"Q", "и", 1, {}},
        {"Q", "X", 1, twoPipeType},
        {"Q", "", 1, twoPipeType},
        {"Q", "", 0, onePipeType},
        {"Q", "Ж", 2, {}}, // an invalid network type judges no type
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name).substr(0, 40) + " / " + c.type + " / " + std::to_string(c.networkType));
        setNetwork(c.networkType, false);
        setCatalogue({{"Ok", "З"}, {c.name, c.type}});
        const bool valid = check();
        if (c.fault.isEmpty()) {
            EXPECT_TRUE(valid);
            EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
            EXPECT_EQ(result.failedPhase, IndicatorCheckPhase::Passed);
        } else {
            EXPECT_FALSE(valid);
            ASSERT_EQ(dialogs.messages.size(), 1);
            EXPECT_EQ(dialogs.messages[0], userPrefix(u8(c.name)) + c.fault + kClosing);
            EXPECT_EQ(result.message, userPrefix(u8(c.name)) + c.fault);
            EXPECT_EQ(result.failedPhase, IndicatorCheckPhase::NamesAndTypes);
            EXPECT_EQ(result.offendingRow, 1);
            EXPECT_EQ(result.offendingShortName, u8(c.name));
        }
    }
}

TEST_F(IndicatorCheckTest, FormulaReferences)
{
    const QString syntax = u8("Синтаксическая ошибка в формуле: ");
    const auto refused = [&](const char* x) {
        return syntax + u8("Недопустима ссылка на показатель \"") + u8(x) + u8("\".");
    };
    const auto notFound = [&](const char* x) { return syntax + u8("Не найден показатель \"") + u8(x) + u8("\"."); };
    const auto headerOnly = [&](const char* x) {
        return syntax + u8("Показатель \"") + u8(x)
            + u8("\" не является заголовочным. Для формул заголовочных показателей допустимы ссылки только на "
                 "заголовочные показатели.");
    };
    const auto supplyOnly = [&](const char* x) {
        return syntax + u8("Показатель \"") + u8(x)
            + u8("\" не является заголовочным и не является показателем подающего трубопровода.\rДля формул "
                 "показателей подающего т-провода допустимы ссылки только на заголовочные показатели или на "
                 "показатели подающего т-провода.");
    };
    const auto onePipeOnly = [&](const char* x) {
        return refused(x).chopped(1) + u8(". Показатель \"") + u8(x)
            + u8("\" не используется при расчете однотрубных теплосетей.");
    };
    const QString noClose = syntax + u8("Не найден завершающий символ \">\".");
    const QString noOpen = syntax + u8("Найден завершающий символ \">\" без символа \"<\".");
    const QString braces = u8("Формулы показателей не должны содержать символов \"{\", \"}\".");
    // The field holds 255 characters; a longer formula would run cut.
    const std::string fullField(255, '7');
    const std::string pastTheField = std::string(253, '1') + "+1000";
    const QString tooLong = u8("Формула показателя не должна быть длиннее 255 символов.");

    const struct {
        int networkType;
        bool designMode;
        const char* type;
        const char* formula;
        bool entered;
        QString fault;
    } cases[] = {
        {1, false, "З", "<МаксДлПод>*2 [comment with <Zz>]", false, {}},
        {1, false, "З", "<a", false, noClose},
        {1, false, "З", "a>", false, noOpen},
        {1, false, "З", "<Hdr>>", false, noOpen},
        {1, false, "З", "<Hdr>[x]>", false, noOpen},
        {1, false, "З", "[<unclosed", false, {}},
        {1, false, "П", "<пнапначпод>", false, refused("пнапначпод")},
        {1, false, "И", "<РНапКон>", false, refused("РНапКон")},
        {0, false, "П", "<ПНапНачОбр>", false, refused("ПНапНачОбр")},
        {1, false, "П", "<расхпод>", false, notFound("расхпод")},
        {1, false, "З", "<>", false, notFound("")},
        {1, false, "З", "<A<B>", false, notFound("A<B")},
        {1, false, "П", "<УПНВВПод>", false, refused("УПНВВПод")},
        {1, true, "П", "<УПНВВПод>", false, {}},
        {1, false, "О", "<упнввОБР>", false, refused("упнввОБР")},
        {1, true, "О", "<УПНВВОбр>", false, {}},
        {1, false, "З", "<РасхПод>", false, headerOnly("РасхПод")},
        {1, false, "з", "<Sup>", false, headerOnly("Sup")},
        {1, false, "П", "<РасхОбр>", false, supplyOnly("РасхОбр")},
        {1, false, "П", "<Hdr>+<Sup>+<Tot>", false, supplyOnly("Tot")},
        {0, false, "П", "<МаксДлОбр>", false, onePipeOnly("МаксДлОбр")},
        {0, false, "З", "<РНапНаУз>", false, onePipeOnly("РНапНаУз")},
        {0, false, "П", "<РасхОбр>", false, supplyOnly("РасхОбр")},
        {1, false, "П", "<МаксДлОбр>", false, {}},
        {1, false, "О", "<Sup>+<Tot>+<Hdr>+<РасхОбр>+<ГеодВысНач>", false, {}},
        {1, false, "И", "<Ret>*<Tot>", false, {}},
        {1, false, "З", "<Hdr> [see {1}]", false, {}},
        {1, false, "З", "<Hdr>{1}", false, braces},
        {1, false, "З", "}", false, braces},
        {1, false, "З", "<Nope>", true, notFound("Nope")}, // a user-entered indicator is checked too
        {1, false, "З", fullField.c_str(), false, {}},
        {1, false, "З", pastTheField.c_str(), false, tooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.formula + " / " + std::to_string(c.networkType)
                     + (c.designMode ? " ОпрД" : ""));
        setNetwork(c.networkType, c.designMode);
        std::vector<UserRow> rows{{"Hdr", "З"}, {"Sup", "П"}};
        if (c.networkType == 1)
            rows.insert(rows.end(), {{"Ret", "О"}, {"Tot", "И"}});
        rows.push_back({"T", c.type, c.entered, c.formula});
        setCatalogue(rows);
        const bool valid = check();
        if (c.fault.isEmpty()) {
            EXPECT_TRUE(valid);
            EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
        } else {
            EXPECT_FALSE(valid);
            ASSERT_EQ(dialogs.messages.size(), 1);
            EXPECT_EQ(dialogs.messages[0], userPrefix(u8("T")) + c.fault + kClosing);
            EXPECT_EQ(result.failedPhase, IndicatorCheckPhase::UserFormulas);
            EXPECT_EQ(result.offendingRow, int(rows.size()) - 1);
        }
    }
}

TEST_F(IndicatorCheckTest, PredefinedFormulas)
{
    const auto prefix = [](const char* name) {
        return u8("Предопределенные показатели расчета:\rСокр. наименование показателя: \"") + u8(name)
            + u8("\":\r\r");
    };
    const QString syntax = u8("Синтаксическая ошибка в формуле: ");
    const std::string pastTheField = "<ПотНОтИНачОбр>" + std::string(240, '1') + "+1000";
    const struct {
        int networkType;
        const char* supply;
        const char* ret;
        QString message; // empty: accepted
    } cases[] = {
        {1, "<ПотНОтИНачПод>+<Sup>", "<ПотНОтИНачОбр>+<Sup>+<Ret>", {}},
        {1, "<Missing>", "<ПотНОтИНачОбр>", prefix("ПотНОтИКонПод") + syntax + u8("Не найден показатель \"Missing\".")},
        {1, "<ПотНОтИНачПод>", "<РНапКон>", prefix("ПотНОтИКонОбр") + syntax + u8("Недопустима ссылка на показатель \"РНапКон\".")},
        {1, "<ПотНОтИНачПод>", "<Ret", prefix("ПотНОтИКонОбр") + syntax + u8("Не найден завершающий символ \">\".")},
        {0, "<ПотНОтИНачПод>", "<Nonsense", {}}, // the return formula is not examined in one-pipe networks
        {1, "<ПотНОтИНачОбр>", "<ПотНОтИНачОбр>",
         prefix("ПотНОтИКонПод") + syntax + u8("Показатель \"ПотНОтИНачОбр\" не является заголовочным и не является "
                                               "показателем подающего трубопровода.\rДля формул показателей подающего "
                                               "т-провода допустимы ссылки только на заголовочные показатели или на "
                                               "показатели подающего т-провода.")},
        {0, "<ДлНаУчПод>[<ДлНаУчОбр>]", "", {}},
        {1, "{}", "", prefix("ПотНОтИКонПод") + u8("Формулы показателей не должны содержать символов \"{\", \"}\".")},
        {1, "<ПотНОтИНачПод>", pastTheField.c_str(),
         prefix("ПотНОтИКонОбр") + u8("Формула показателя не должна быть длиннее 255 символов.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.supply) + " / " + c.ret);
        setNetwork(c.networkType, false);
        std::vector<UserRow> rows{{"Sup", "П"}};
        if (c.networkType == 1)
            rows.push_back({"Ret", "О"});
        setCatalogue(rows);
        setPredefinedFormula(u8("ПотНОтИКонПод"), u8(c.supply));
        setPredefinedFormula(u8("ПотНОтИКонОбр"), u8(c.ret));
        const bool valid = check();
        EXPECT_EQ(valid, c.message.isEmpty());
        if (c.message.isEmpty()) {
            EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
        } else {
            ASSERT_EQ(dialogs.messages.size(), 1);
            EXPECT_EQ(dialogs.messages[0], c.message + kClosing);
            EXPECT_EQ(result.failedPhase, IndicatorCheckPhase::PredefinedFormulas);
            EXPECT_FALSE(result.offendingRow.has_value());
        }
    }
}

TEST_F(IndicatorCheckTest, FirstFaultInNppOrderWinsAndOrderTablesStayUntouched)
{
    execSql(data.calculation(), u8("INSERT INTO [ПриорЗ] ([Nприоритета], [Показатель]) VALUES (7, 'Marker')"));
    const int before = rowCount(u8("ПриорЗ"));

    // Inserted out of order: the check walks Формулы by Nпп. A name fault in any
    // row comes before a formula fault in an earlier one.
    setCatalogue({{"BadRef", "З", false, "<Nope>", 3}, {"Ok", "З", true, nullptr, 1}, {"2x", "З", true, nullptr, 2},
                  {"Later", "З", false, "<Nope2>", 5}});
    EXPECT_FALSE(check());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith(userPrefix(u8("2x")))) << dialogs.messages[0].toStdString();
    EXPECT_EQ(result.failedPhase, IndicatorCheckPhase::NamesAndTypes);
    EXPECT_EQ(result.offendingRow, 1);
    EXPECT_EQ(result.offendingNpp.toInt(), 2);

    execSql(data.calculation(), u8("UPDATE [Формулы] SET [НаимПокСокр]='X2' WHERE [НаимПокСокр]='2x'"));
    EXPECT_FALSE(check());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0], userPrefix(u8("BadRef")) + u8("Синтаксическая ошибка в формуле: Не найден "
                                                                  "показатель \"Nope\".") + kClosing);
    EXPECT_EQ(result.offendingRow, 2);
    EXPECT_EQ(result.offendingNpp.toInt(), 3);
    EXPECT_EQ(result.offendingShortName, u8("BadRef"));

    // Nothing but the order tables is written, and those only once the formulas pass.
    EXPECT_EQ(rowCount(u8("ПриорЗ")), before);
    EXPECT_EQ(rowCount(u8("Формулы")), 4);
}

TEST_F(IndicatorCheckTest, BusyWhileCheckingAndTheScratchTableIsLeftEmpty)
{
    struct RecordingProgress : FakeProgress {
        QStringList* log = nullptr;
        void setBusy(bool b) override { log->append(b ? QStringLiteral("busy") : QStringLiteral("normal")); }
    };
    struct RecordingDialogs : FakeDialogs {
        QStringList* log = nullptr;
        void showMessage(const QString& text, MessageKind kind) override
        {
            FakeDialogs::showMessage(text, kind);
            log->append(QStringLiteral("message"));
        }
    };
    QStringList log;
    RecordingProgress recordingProgress;
    recordingProgress.log = &log;
    RecordingDialogs recordingDialogs;
    recordingDialogs.log = &log;

    execSql(data.work(), u8("INSERT INTO [ЗависимостьПоказателей] VALUES ('A', 'B')"));
    setCatalogue({{"A", "З", false, "<A>"}});
    EXPECT_FALSE(CheckIndicators(data, recordingDialogs, recordingProgress));
    EXPECT_EQ(log, QStringList({"busy", "normal", "message"}));
    EXPECT_EQ(selectValue(data.work(), u8("SELECT count(*) FROM [ЗависимостьПоказателей]")).toInt(), 0);

    log.clear();
    setCatalogue({{"A", "З"}});
    EXPECT_TRUE(CheckIndicators(data, recordingDialogs, recordingProgress));
    EXPECT_EQ(log, QStringList({"busy", "normal"}));
}

TEST_F(IndicatorCheckTest, DatabaseFailureRestoresTheCursorAndThrows)
{
    execSql(data.calculation(), u8("DROP TABLE [ПриорП]"));
    progress.busy = false;
    EXPECT_THROW(check(), Failure);
    EXPECT_FALSE(progress.busy);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    // The failed write is rolled back as a whole: ПриорЗ keeps its old rows.
    EXPECT_EQ(rowCount(u8("ПриорЗ")), 0);
}
