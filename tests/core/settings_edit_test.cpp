// Program settings: the texts the settings window shows, "OK" with its
// conversion and range checks, what is stored when part of the input is
// refused, and the font sizes read back for the windows.
#include "settings/FontSizes.h"
#include "settings/SettingsEdit.h"

#include "base/Sql.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"
#include "support/SettingsMessages.h"

#include <QSqlDatabase>
#include <QVariant>
#include <gtest/gtest.h>
#include <optional>

using namespace zurm;
using zurm::test::FakeDialogs;
using zurm::test::ProgramFolderFixture;
using zurm::test::conversionReport;
using zurm::test::kFontMessage;
using zurm::test::kPrecisionMessage;

static inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

// The stored row in the order of the window: four sizes, precision, text kept.
struct StoredRow {
    QVariant dataCells, columnTitles, captions, graphs, precision, saveText;
};

class SettingsFile {
public:
    SettingsFile() : name_(QStringLiteral("settings-edit-%1").arg(++counter_))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(folder_.program(QStringLiteral("Nastr.mdb")));
        EXPECT_TRUE(db.open());
    }
    ~SettingsFile()
    {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }
    void exec(const QString& sql) const { execSql(db(), sql); }
    StoredRow row() const
    {
        QSqlQuery q = selectSql(db(), QStringLiteral("SELECT РШрифтаВТД, РШрифтаВЗагКолТД, РШрифтаНаимПок, РШрифтаГр, "
                                                     "ТочностьЧиселВОтч, СохрТекстРас FROM Настройки"));
        EXPECT_TRUE(q.next());
        return {q.value(0), q.value(1), q.value(2), q.value(3), q.value(4), q.value(5)};
    }

private:
    inline static int counter_ = 0;
    ProgramFolderFixture folder_;
    QString name_;
};

std::optional<int> number(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    return v.toInt();
}

// Before every case the row holds 11, 12, 13, 14, precision 5, text kept.
struct OkCase {
    const char* name;
    SettingsTexts typed;
    bool closes;
    QStringList messages;
    // Expected row afterwards.
    int sizes[4];
    int precision;
    int saveText;
};

class SettingsOk : public ::testing::TestWithParam<OkCase> {};

TEST_P(SettingsOk, ChecksAndStores)
{
    const OkCase& c = GetParam();
    SettingsFile file;
    file.exec(QStringLiteral("UPDATE Настройки SET РШрифтаВТД=11, РШрифтаВЗагКолТД=12, РШрифтаНаимПок=13, "
                             "РШрифтаГр=14, ТочностьЧиселВОтч=5, СохрТекстРас=1"));
    FakeDialogs dialogs;
    EXPECT_EQ(SettingsEdit::store(file.db(), c.typed, dialogs), c.closes);
    EXPECT_EQ(dialogs.messages, c.messages);
    const StoredRow row = file.row();
    EXPECT_EQ(number(row.dataCells), c.sizes[0]);
    EXPECT_EQ(number(row.columnTitles), c.sizes[1]);
    EXPECT_EQ(number(row.captions), c.sizes[2]);
    EXPECT_EQ(number(row.graphs), c.sizes[3]);
    EXPECT_EQ(number(row.precision), c.precision);
    EXPECT_EQ(number(row.saveText), c.saveText);
    // No transaction stays open on the settings file, whatever the outcome.
    QSqlDatabase db = file.db();
    EXPECT_TRUE(db.transaction());
    db.rollback();
}

SettingsTexts typed(const char* a, const char* b, const char* c, const char* d, const char* precision, bool save)
{
    return {QString::fromUtf8(a), QString::fromUtf8(b), QString::fromUtf8(c), QString::fromUtf8(d),
            QString::fromUtf8(precision), save};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsOk,
    ::testing::Values(
        OkCase{"lower_bounds", typed("8", "8", "8", "8", "0", false), true, {}, {8, 8, 8, 8}, 0, 0},
        OkCase{"upper_bounds", typed("20", "20", "20", "20", "7", true), true, {}, {20, 20, 20, 20}, 7, 1},
        OkCase{"spaces_around_numbers", typed(" 9", "10 ", "15", "16", " 2 ", true), true, {}, {9, 10, 15, 16}, 2, 1},
        // A refused size stores none of the four, but the precision and the
        // check box of the same OK are stored.
        OkCase{"size_7_refused", typed("7", "12", "12", "12", "2", false), false, {kFontMessage}, {11, 12, 13, 14}, 2, 0},
        OkCase{"size_21_refused", typed("12", "12", "12", "21", "4", false), false, {kFontMessage}, {11, 12, 13, 14}, 4, 0},
        OkCase{"negative_size_refused", typed("12", "-12", "12", "12", "4", true), false, {kFontMessage},
               {11, 12, 13, 14}, 4, 1},
        OkCase{"precision_8_refused", typed("9", "9", "9", "9", "8", false), false, {kPrecisionMessage},
               {9, 9, 9, 9}, 5, 0},
        OkCase{"precision_minus_1_refused", typed("9", "9", "9", "9", "-1", true), false, {kPrecisionMessage},
               {9, 9, 9, 9}, 5, 1},
        OkCase{"both_refused_in_order", typed("30", "9", "9", "9", "99", false), false,
               {kFontMessage, kPrecisionMessage}, {11, 12, 13, 14}, 5, 0},
        // A text that is no integer stops OK before anything is written.
        OkCase{"fraction_in_data_cells", typed("12.5", "9", "9", "9", "2", false), false,
               {conversionReport(QStringLiteral("Размер шрифта в таблицах данных"), QStringLiteral("12.5"))},
               {11, 12, 13, 14}, 5, 1},
        OkCase{"fraction_in_column_titles", typed("9", "12.5", "9", "9", "2", false), false,
               {conversionReport(QStringLiteral("Размер шрифта в заголовках колонок таблиц данных"),
                                 QStringLiteral("12.5"))},
               {11, 12, 13, 14}, 5, 1},
        OkCase{"letters_in_captions", typed("9", "9", "abc", "9", "2", false), false,
               {conversionReport(QStringLiteral("Размер шрифта наименований показателей"), QStringLiteral("abc"))},
               {11, 12, 13, 14}, 5, 1},
        OkCase{"empty_graphs", typed("9", "9", "9", "", "2", false), false,
               {conversionReport(QStringLiteral("Размер шрифта в надписях на графиках"), QString())},
               {11, 12, 13, 14}, 5, 1},
        // The first text that fails is named even when a refused size comes earlier.
        OkCase{"empty_precision_after_bad_size", typed("7", "9", "9", "9", "", false), false,
               {conversionReport(QStringLiteral("Точность показателей в отчетах"), QString())},
               {11, 12, 13, 14}, 5, 1}),
    [](const ::testing::TestParamInfo<OkCase>& info) { return std::string(info.param.name); });

TEST(SettingsEdit, NullValuesShowEmptyFieldsAndStoredValuesShowAsTyped)
{
    SettingsFile file;
    file.exec(QStringLiteral("UPDATE Настройки SET РШрифтаВТД=NULL, РШрифтаВЗагКолТД=9, РШрифтаНаимПок=NULL, "
                             "РШрифтаГр=20, ТочностьЧиселВОтч=NULL, СохрТекстРас=NULL"));
    EXPECT_EQ(SettingsEdit::load(file.db()), typed("", "9", "", "20", "", false));
    file.exec(QStringLiteral("UPDATE Настройки SET ТочностьЧиселВОтч=0, СохрТекстРас=1"));
    EXPECT_EQ(SettingsEdit::load(file.db()), typed("", "9", "", "20", "0", true));
}

TEST(SettingsEdit, StoredValuesComeBackInTheWindow)
{
    SettingsFile file;
    FakeDialogs dialogs;
    const SettingsTexts texts = typed("8", "13", "17", "20", "6", false);
    ASSERT_TRUE(SettingsEdit::store(file.db(), texts, dialogs));
    EXPECT_EQ(SettingsEdit::load(file.db()), texts);
}

TEST(FontSizes, UnusableStoredSizesFallBackToTheDefault)
{
    struct Case {
        const char* stored;
        int expected;
    };
    const Case cases[] = {{"8", 8}, {"20", 20}, {"14", 14}, {"NULL", 10}, {"7", 10}, {"21", 10}, {"-3", 10},
                          {"'abc'", 10}, {"30000", 10}};
    SettingsFile file;
    for (const Case& c : cases) {
        const QString value = QString::fromUtf8(c.stored);
        file.exec(QStringLiteral("UPDATE Настройки SET РШрифтаВТД=%1, РШрифтаВЗагКолТД=%1, РШрифтаНаимПок=%1, "
                                 "РШрифтаГр=%1")
                      .arg(value));
        const FontSizes sizes = readFontSizes(file.db());
        EXPECT_EQ(sizes, (FontSizes{c.expected, c.expected, c.expected, c.expected})) << c.stored;
    }
    // Each size is read from its own field.
    file.exec(QStringLiteral("UPDATE Настройки SET РШрифтаВТД=9, РШрифтаВЗагКолТД=11, РШрифтаНаимПок=13, "
                             "РШрифтаГр=NULL"));
    EXPECT_EQ(readFontSizes(file.db()), (FontSizes{9, 11, 13, 10}));
}

} // namespace
