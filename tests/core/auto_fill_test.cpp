#include <QString>
#include <ostream>

// Readable failure output, declared before any test header prints a QString.
static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "network/AutoFill.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"

#include <QSqlQuery>
#include <gtest/gtest.h>
#include <memory>

using namespace zurm;
using zurm::test::FakeDialogs;
using zurm::test::FakeProgress;

namespace {

QString conversion(const char* context, const char* text)
{
    return errorReport(QString::fromUtf8(context), QStringLiteral("ConversionError"), QString::fromUtf8(text));
}

const QString kWritten = QStringLiteral("Данные записаны.");
const QString kNodeRange = QStringLiteral(
    "Ошибка в параметрах \"Начиная с узла\", \"по узел\".\rКаждый из параметров: \"Начиная с узла\", \"по узел\" "
    "должен быть целым числом от 0 до 32700.\rПараметр \"Начиная с узла\" должен быть меньше или равен параметру "
    "\"по узел\".");
const QString kRowRange = QStringLiteral(
    "Параметр \"Начиная со строки номер\" должен быть меньше или равен параметру \"по строку номер\".");

class AutoFillTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = std::make_unique<DataModule>(folder.programFolder());
        data->createWorkDatabase(QString(), dialogs);
        data->openCalculation(folder.newCalculation());
        exec(QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y, ГеодВыс) VALUES (5, 1, 1, 1), (10, 2, 2, 1), "
                            "(12, 3, 3, 1), (20, 4, 4, 1)"));
        for (int id = 1; id <= 4; ++id)
            exec(QStringLiteral("INSERT INTO КонМаг (id_m, РВПод, КонУзел, РВОбр, ПНапЗПод, РНапЗ, ДельтаТ) "
                                "VALUES (?, 0, ?, 0, 1, 2, 3)"),
                 {id, 100 + id});
        CalculationRow(calc()).setValue(CalculationRow::kCalculationDone, 1);
        data->loadCalculationDoneFlag();
        QObject::connect(&data->events(), &DocumentEvents::inputChanged, [this](const QObject*) { ++changes; });
    }

    QSqlDatabase calc() const { return data->calculation(); }
    void exec(const QString& sql, const QVariantList& bindings = {}) const { execSql(calc(), sql, bindings); }

    // "Nуз:x,y,ГеодВыс" of every node in number order.
    QString nodes() const
    {
        QStringList rows;
        QSqlQuery q = selectSql(calc(), QStringLiteral("SELECT Nуз, x, y, ГеодВыс FROM УзлыТС ORDER BY Nуз"));
        while (q.next())
            rows.append(QStringLiteral("%1:%2,%3,%4").arg(q.value(0).toString(), q.value(1).toString(),
                                                           q.value(2).toString(), q.value(3).toString()));
        return rows.join(QLatin1Char(' '));
    }
    // "id_m:ПНапЗПод,РНапЗ,ДельтаТ" of every end-node row.
    QString endNodes() const
    {
        QStringList rows;
        QSqlQuery q = selectSql(calc(), QStringLiteral("SELECT id_m, ПНапЗПод, РНапЗ, ДельтаТ FROM КонМаг ORDER BY id_m"));
        while (q.next())
            rows.append(QStringLiteral("%1:%2,%3,%4").arg(q.value(0).toString(), q.value(1).toString(),
                                                           q.value(2).toString(), q.value(3).toString()));
        return rows.join(QLatin1Char(' '));
    }
    bool storedDoneFlag() const
    {
        return CalculationRow(calc()).value(CalculationRow::kCalculationDone).toBool();
    }

    test::ProgramFolderFixture folder;
    FakeDialogs dialogs;
    FakeProgress progress;
    std::unique_ptr<DataModule> data;
    int changes = 0;
};

const char* const kNodesBefore = "5:1,1,1 10:2,2,1 12:3,3,1 20:4,4,1";
const char* const kEndsBefore = "1:1,2,3 2:1,2,3 3:1,2,3 4:1,2,3";

// Every check of "Записать" with its message, the field focused afterwards and
// the nodes it leaves.
TEST_F(AutoFillTest, NodeHeightsChecksAndWrites)
{
    struct Case {
        const char* first;
        const char* last;
        const char* height;
        bool addMissing;
        QString message;
        NodeHeightsField focus;
        const char* nodes;
    };
    using F = NodeHeightsField;
    const Case cases[] = {
        {"10", "20", " 12 , 5 ", false, kWritten, F::FirstNode, "5:1,1,1 10:2,2,12.5 12:3,3,12.5 20:4,4,12.5"},
        {" 11 ", "13", "-3", true, kWritten, F::FirstNode, "5:1,1,1 10:2,2,1 11:0,0,-3 12:3,3,-3 13:0,0,-3 20:4,4,1"},
        {"13", "19", "7", false, kWritten, F::FirstNode, kNodesBefore},
        {"32700", "32700", "1 000", true, kWritten, F::FirstNode,
         "5:1,1,1 10:2,2,1 12:3,3,1 20:4,4,1 32700:0,0,1000"},
        {"1x", "20", "1", true, conversion("Ошибка в параметре \"Начиная с узла\".", "\"1x\" не является целым числом."),
         F::FirstNode, kNodesBefore},
        {"10", "", "1", true, conversion("Ошибка в параметре \"по узел\".", "\"\" не является целым числом."),
         F::LastNode, kNodesBefore},
        {"10", "70000", "x", true,
         conversion("Ошибка в параметре \"по узел\".",
                    "\"70000\" выходит за пределы диапазона целых чисел от -32768 до 32767."),
         F::LastNode, kNodesBefore},
        {"30000", "20", "1.2.3", true,
         conversion("Ошибка в параметре \"записать геодезическую высоту\".", "\"1.2.3\" не является числом."),
         F::Height, kNodesBefore},
        {"10", "20", " ", true,
         conversion("Ошибка в параметре \"записать геодезическую высоту\".", "\" \" не является числом."), F::Height,
         kNodesBefore},
        {"-1", "20", "1", true, kNodeRange, F::FirstNode, kNodesBefore},
        {"0", "32701", "1", true, kNodeRange, F::FirstNode, kNodesBefore},
        {"20", "10", "1", true, kNodeRange, F::FirstNode, kNodesBefore},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " " + c.last + " " + c.height);
        exec(QStringLiteral("DELETE FROM УзлыТС WHERE Nуз NOT IN (5, 10, 12, 20)"));
        exec(QStringLiteral("UPDATE УзлыТС SET ГеодВыс=1"));
        CalculationRow(calc()).setValue(CalculationRow::kCalculationDone, 1);
        data->loadCalculationDoneFlag();
        dialogs.messages.clear();
        progress.statuses.clear();
        changes = 0;
        QList<bool> writing;
        const NodeHeightsOutcome outcome = writeNodeHeights(
            *data, dialogs, progress,
            {QString::fromUtf8(c.first), QString::fromUtf8(c.last), QString::fromUtf8(c.height), c.addMissing},
            [&](bool w) { writing.append(w); });
        EXPECT_EQ(dialogs.messages, QStringList{c.message});
        EXPECT_EQ(outcome.written, c.message == kWritten);
        EXPECT_EQ(outcome.focus, c.focus);
        EXPECT_EQ(nodes(), QString::fromUtf8(c.nodes));
        const bool changed = QString::fromUtf8(c.nodes) != QString::fromUtf8(kNodesBefore);
        EXPECT_EQ(storedDoneFlag(), !changed);
        EXPECT_EQ(data->calculationDone(), !changed);
        EXPECT_EQ(changes, changed ? 1 : 0);
        EXPECT_EQ(writing, outcome.written ? (QList<bool>{true, false}) : QList<bool>{});
        EXPECT_FALSE(progress.busy);
        if (outcome.written) {
            // Every number of the range, then the status bar cleared.
            const int first = QString::fromUtf8(c.first).trimmed().toInt();
            EXPECT_EQ(progress.statuses.first(), QStringLiteral("Запись данных. Узел %1").arg(first));
            EXPECT_EQ(progress.statuses.size(), QString::fromUtf8(c.last).toInt() - first + 2);
            EXPECT_EQ(progress.statuses.last(), QString());
        }
    }
}

// Only the checked values go into the rows of the range; the bounds are
// converted before the values, the values before the order of the bounds.
TEST_F(AutoFillTest, EndNodeValuesChecksAndWrites)
{
    struct Case {
        const char* first;
        const char* last;
        const char* supply; // nullptr: box not checked
        const char* available;
        const char* difference;
        QString message;
        const char* rows;
    };
    const Case cases[] = {
        {"2", "3", nullptr, " 15,5", nullptr, kWritten, "1:1,2,3 2:1,15.5,3 3:1,15.5,3 4:1,2,3"},
        {"0", "100", "40", "20", "-10", kWritten, "1:40,20,-10 2:40,20,-10 3:40,20,-10 4:40,20,-10"},
        {"4", "4", "7", nullptr, nullptr, kWritten, "1:1,2,3 2:1,2,3 3:1,2,3 4:7,2,3"},
        {"7", "9", "7", nullptr, nullptr, kWritten, kEndsBefore},
        {"a", "3", "7", nullptr, nullptr,
         conversion("Ошибка в параметре \"Начиная со строки номер\".", "\"a\" не является целым числом."), kEndsBefore},
        {"1", "3.5", "7", nullptr, nullptr,
         conversion("Ошибка в параметре \"по строку номер\".", "\"3.5\" не является целым числом."), kEndsBefore},
        {"3", "2", "x", nullptr, nullptr,
         conversion("Ошибка в параметре \"Полный напор в подающем трубопроводе\".", "\"x\" не является числом."),
         kEndsBefore},
        {"1", "2", "1", "", nullptr,
         conversion("Ошибка в параметре \"Располагаемый напор\".", "\"\" не является числом."), kEndsBefore},
        {"1", "2", nullptr, nullptr, "1e999",
         conversion("Ошибка в параметре \"Т воды в под. т-п. минус Т воды в обр. т-п.\".",
                    "\"1e999\" не является числом."),
         kEndsBefore},
        {"3", "2", "1", nullptr, nullptr, kRowRange, kEndsBefore},
    };
    auto value = [](const char* text) {
        return text ? EndNodeValuesRequest::Value{true, QString::fromUtf8(text)}
                    : EndNodeValuesRequest::Value{false, QStringLiteral("x")};
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " " + c.last);
        exec(QStringLiteral("UPDATE КонМаг SET ПНапЗПод=1, РНапЗ=2, ДельтаТ=3"));
        dialogs.messages.clear();
        progress.statuses.clear();
        changes = 0;
        EndNodeValuesRequest request;
        request.firstRow = QString::fromUtf8(c.first);
        request.lastRow = QString::fromUtf8(c.last);
        request.supplyHead = value(c.supply);
        request.availableHead = value(c.available);
        request.temperatureDifference = value(c.difference);
        const bool written = writeEndNodeValues(*data, dialogs, progress, request);
        EXPECT_EQ(dialogs.messages, QStringList{c.message});
        EXPECT_EQ(written, c.message == kWritten);
        EXPECT_EQ(endNodes(), QString::fromUtf8(c.rows));
        EXPECT_EQ(changes, QString::fromUtf8(c.rows) != QString::fromUtf8(kEndsBefore) ? 1 : 0);
        if (written) {
            EXPECT_EQ(progress.statuses, (QStringList{"Номер строки 1", "Номер строки 2", "Номер строки 3",
                                                      "Номер строки 4", ""}));
        }
    }
}

// The database refuses a row half-way through a range: the error report with
// the command's context, and the rows written before it are taken back with the
// calculation-done flag, so that the table is never left half filled.
TEST_F(AutoFillTest, AFailureHalfWayLeavesTheTablesAsTheyWere)
{
    exec(QStringLiteral("CREATE TEMP TRIGGER refuse_node BEFORE UPDATE ON УзлыТС WHEN NEW.Nуз = 12 "
                         "BEGIN SELECT RAISE(ABORT, 'узел 12 не записан'); END"));
    exec(QStringLiteral("CREATE TEMP TRIGGER refuse_end BEFORE UPDATE ON КонМаг WHEN NEW.id_m = 3 "
                         "BEGIN SELECT RAISE(ABORT, 'строка 3 не записана'); END"));
    QList<bool> writing;
    const NodeHeightsOutcome outcome =
        writeNodeHeights(*data, dialogs, progress, {QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("9"), true},
                         [&](bool w) { writing.append(w); });
    EndNodeValuesRequest request;
    request.firstRow = QStringLiteral("1");
    request.lastRow = QStringLiteral("4");
    request.supplyHead = {true, QStringLiteral("50")};
    const bool endsWritten = writeEndNodeValues(*data, dialogs, progress, request);

    EXPECT_FALSE(outcome.written);
    EXPECT_FALSE(endsWritten);
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("Ошибка при записи геодезических высот.\r\r")));
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("узел 12 не записан")));
    EXPECT_TRUE(dialogs.messages[1].startsWith(QStringLiteral("Ошибка при записи данных.\r\r")));
    EXPECT_TRUE(dialogs.messages[1].contains(QStringLiteral("строка 3 не записана")));
    EXPECT_EQ(nodes(), QString::fromUtf8(kNodesBefore));
    EXPECT_EQ(endNodes(), QString::fromUtf8(kEndsBefore));
    EXPECT_TRUE(storedDoneFlag());
    EXPECT_TRUE(data->calculationDone());
    EXPECT_EQ(changes, 0);
    // The dialog gets its fields back, the status bar is cleared, the cursor normal.
    EXPECT_EQ(writing, (QList<bool>{true, false}));
    EXPECT_EQ(progress.statuses.last(), QString());
    EXPECT_FALSE(progress.busy);
}

TEST_F(AutoFillTest, RangeFieldsStartFromTheFirstAndLastKey)
{
    const std::optional<KeyRangeTexts> nodeRange = nodeKeyRange(*data);
    const std::optional<KeyRangeTexts> rowRange = endNodeRowRange(*data);
    ASSERT_TRUE(nodeRange && rowRange);
    EXPECT_EQ(nodeRange->first + QLatin1Char('-') + nodeRange->last, QStringLiteral("5-20"));
    EXPECT_EQ(rowRange->first + QLatin1Char('-') + rowRange->last, QStringLiteral("1-4"));
    exec(QStringLiteral("DELETE FROM УзлыТС"));
    exec(QStringLiteral("DELETE FROM КонМаг"));
    EXPECT_FALSE(nodeKeyRange(*data));
    EXPECT_FALSE(endNodeRowRange(*data));
}

} // namespace
