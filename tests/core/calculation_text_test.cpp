// The calculation text: number format by precision and separator, line ends,
// the code page, and a disabled text that keeps nothing.
#include "hydraulics/CalculationText.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using zurm::CalculationText;

TEST(CalculationText, NumbersFollowThePrecisionAndTheSeparator)
{
    const struct {
        double value;
        int digits;
        char point;
        const char* text;
    } cases[] = {
        {3.14159, 2, ',', "3,14"},
        {3.14159, 2, '.', "3.14"},
        {3.14159, 0, ',', "3"},
        {2.5, 0, '.', "3"},
        {0.125, 2, '.', "0.13"},
        {-0.125, 2, ',', "-0,13"},
        {1234567.891, 3, ',', "1234567,891"},
        {12, 3, ',', "12,000"},
        {1.0 / 3, 18, '.', "0.333333333333333315"},
    };
    for (const auto& c : cases) {
        CalculationText text(true, c.digits, QLatin1Char(c.point));
        EXPECT_EQ(text.number(c.value).toStdString(), c.text) << c.value << " / " << c.digits;
    }
    // More than 18 digits are not possible.
    EXPECT_EQ(CalculationText(true, 25, QLatin1Char('.')).digits(), 18);
}

TEST(CalculationText, LinesEndWithCrLfExceptTheLast)
{
    CalculationText text(true, 1, QLatin1Char(','));
    text.writeLine(QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ТЕПЛОСЕТИ"));
    text.writeLine();
    text.write(QStringLiteral("ДлНачПод = "));
    text.writeNumber(12.34);
    text.write(QStringLiteral("  ДлКонПод = "));
    text.writeNumber(20);
    EXPECT_EQ(text.text(), QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ТЕПЛОСЕТИ\r\n\r\nДлНачПод = 12,3  ДлКонПод = 20,0"));
    text.writeLine();
    EXPECT_EQ(text.text(), QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ТЕПЛОСЕТИ\r\n\r\nДлНачПод = 12,3  ДлКонПод = 20,0"));

    const QByteArray bytes = text.bytes();
    EXPECT_TRUE(bytes.startsWith("\xC3\xC8\xC4\xD0")); // "ГИДР" in Windows-1251
    EXPECT_FALSE(bytes.endsWith("\r\n"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("~$.tx_"));
    text.saveTo(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
}

TEST(CalculationText, DisabledTextKeepsNothing)
{
    CalculationText text(false, 3, QLatin1Char('.'));
    text.writeLine(QStringLiteral("строка"));
    text.write(QStringLiteral("ещё"));
    text.writeNumber(1);
    EXPECT_TRUE(text.text().isEmpty());
    EXPECT_TRUE(text.bytes().isEmpty());
}
