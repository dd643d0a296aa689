// The map commands of the drawing window: the file name "Открыть карту" looks
// for and what it stores or says, "Закрыть карту", and the map scale with the
// rule for a typed scale.
#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "network/MapCommands.h"
#include "support/ProgramFolder.h"
// GCC 12 sees the optional<QString> of the scripted file answers as possibly
// uninitialised once it is inlined; it is not.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/FakeDialogs.h"
#pragma GCC diagnostic pop

#include <QFile>
#include <gtest/gtest.h>

using namespace zurm;

namespace {

class MapCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(folder.newCalculation());
        for (const char* name : {"plan.jpg", "plan.BMP", "map.jpeg", "jpg.jpg"})
            touch(folder.program(QString::fromUtf8(name)));
        touch(folder.docs(QStringLiteral("Street.Jpg")));
    }
    static void touch(const QString& path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    QVariant map() const { return CalculationRow(data.calculation()).value(CalculationRow::kMap); }

    test::ProgramFolderFixture folder;
    test::FakeDialogs dialogs;
    DataModule data{folder.programFolder()};
};

TEST_F(MapCommandsTest, OpenMapStoresTheFullNameOfAnExistingFileOrSaysItIsMissing)
{
    struct Case {
        QString chosen;
        QString stored;  // empty: nothing stored
        QString message; // empty: none
    };
    const QString program = folder.programFolder() + QLatin1Char('/');
    const QList<Case> cases = {
        {QStringLiteral("plan"), program + QStringLiteral("plan.jpg"), {}},
        {QStringLiteral("plan.BMP"), program + QStringLiteral("plan.BMP"), {}},
        {QStringLiteral("jpg"), program + QStringLiteral("jpg.jpg"), {}},
        {folder.docs(QStringLiteral("Street.Jpg")), folder.docs(QStringLiteral("Street.Jpg")), {}},
        {QStringLiteral("map.jpeg"), {}, QStringLiteral("Файл \"map.jpeg.jpg\" не существует.")},
        {QStringLiteral("ab"), {}, QStringLiteral("Файл \"ab.jpg\" не существует.")},
        {QStringLiteral("plan.png"), {}, QStringLiteral("Файл \"plan.png.jpg\" не существует.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        CalculationRow(data.calculation()).setValue(CalculationRow::kMap, QStringLiteral("old.bmp"));
        data.SetCalculationDoneFlag(true);
        dialogs.messages.clear();
        dialogs.files.push_back(c.chosen);
        EXPECT_EQ(openMap(data, dialogs), !c.stored.isEmpty());
        EXPECT_EQ(map().toString(), c.stored.isEmpty() ? QStringLiteral("old.bmp") : c.stored);
        EXPECT_EQ(dialogs.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
        // Only a stored map is an edit of the input data.
        EXPECT_EQ(data.calculationDone(), c.stored.isEmpty());
    }
    // The dialog starts in the folder of the current map; cancelling changes nothing.
    CalculationRow(data.calculation()).setValue(CalculationRow::kMap, folder.docs(QStringLiteral("Street.Jpg")));
    EXPECT_FALSE(openMap(data, dialogs));
    const auto& request = dialogs.fileRequests.last();
    EXPECT_EQ(request.title, QStringLiteral("Открыть карту"));
    EXPECT_EQ(request.initialFolder, folder.docsFolder());
    EXPECT_EQ(request.filter, QStringLiteral("Рисунок JPEG (*.jpg)|*.jpg|Точечный рисунок (*.bmp)|*.bmp"));
    EXPECT_EQ(map().toString(), folder.docs(QStringLiteral("Street.Jpg")));
}

TEST_F(MapCommandsTest, CloseMapAsksAndClearsOnlyOnYes)
{
    CalculationRow(data.calculation()).setValue(CalculationRow::kMap, QStringLiteral("plan.jpg"));
    dialogs.answers = {false, true};
    EXPECT_FALSE(closeMap(data, dialogs));
    EXPECT_EQ(map().toString(), QStringLiteral("plan.jpg"));
    EXPECT_TRUE(closeMap(data, dialogs));
    EXPECT_TRUE(map().isNull());
    EXPECT_EQ(dialogs.questions,
              QStringList(2, QStringLiteral("ЗУРМ|Схема теплосети будет нарисована без карты. Закрыть карту?")));
}

TEST_F(MapCommandsTest, TypedScaleMustBeAPositiveNumberAndIsStoredWithTheFlag)
{
    const QList<std::pair<QString, std::optional<double>>> cases = {
        {QStringLiteral("250"), 250.0},      {QStringLiteral(" 1 234,5 "), 1234.5},
        {QStringLiteral("0.25"), 0.25},      {QStringLiteral("abc"), std::nullopt},
        {QStringLiteral("-1"), std::nullopt}, {QStringLiteral("0"), std::nullopt},
        {QString(), std::nullopt},           {QStringLiteral("1,2,3"), std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parseMapScale(text), expected) << text.toStdString();
    EXPECT_EQ(notPositiveNumberMessage(QStringLiteral("-1")),
              QStringLiteral("\"-1\" не является положительным числом. Введите положительное число."));

    data.SetCalculationDoneFlag(true);
    storeMapScale(data, 12.5, true);
    const MapScaleSetting setting = readMapScale(data);
    EXPECT_EQ(setting.scale.toDouble(), 12.5);
    EXPECT_TRUE(setting.lengthsFromScale);
    EXPECT_FALSE(data.calculationDone());
}

} // namespace
