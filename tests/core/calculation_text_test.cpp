// The calculation text: number format by precision and separator, line ends,
// the code page, and a disabled text that keeps nothing.
#include "base/Failure.h"
#include "hydraulics/CalculationText.h"
#include "platform/Cp1251.h"
#include "support/FullDisk.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using zurm::CalculationText;

namespace {

// The text as a file holds it after the run: its Windows-1251 bytes.
void saveTo(const CalculationText& text, const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(text.bytes()), text.bytes().size());
}

} // namespace

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

// Numbers are written without the locale where to_chars gives the same
// digits; exact ties, negatives that round to zero, -0, huge and non-finite
// values still follow the locale.
TEST(CalculationText, NumbersAgreeWithTheLocaleOnEveryKindOfValue)
{
    std::mt19937_64 random(20261210);
    std::vector<double> values = {0.0, -0.0, 0.5, -0.5, 2.5, 0.0625, -0.0625, 0.0004, -0.0004, -1e-300, 5e-324,
                                  1e15, -1e15, 999999999999999.9, 1e300, std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
    for (int i = 0; i < 2000; ++i) {
        if (i % 8 == 0) // any bits: mostly huge or tiny
            values.push_back(std::bit_cast<double>(random()));
        values.push_back(double(qint64(random() % 2000001) - 1000000) / 1000);
        values.push_back(std::ldexp(double(qint64(random() % (1ull << 40)) - (1ll << 39)), -int(random() % 60)));
    }
    for (const char point : {'.', ','}) {
        for (int digits = 0; digits <= 18; ++digits) {
            CalculationText text(true, digits, QLatin1Char(point));
            QByteArray expected;
            for (const double value : values) {
                QString number = QLocale::c().toString(value, 'f', digits);
                number.remove(QLatin1Char(','));
                expected += number.replace(QLatin1Char('.'), QLatin1Char(point)).toLatin1() + ' ';
                text.writeNumber(value);
                text.writeAscii(" ");
            }
            ASSERT_EQ(text.bytes(), expected) << "digits " << digits;
        }
    }
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
    saveTo(text, path);
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

// A streamed text writes, through its buffer, exactly the bytes the same calls
// give in memory; the buffer spills many times on the way (over 1 M characters).
TEST(CalculationText, StreamedFileHoldsTheSameBytesAsTheTextInMemory)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("~$.tx_"));
    CalculationText memory(true, 2, QLatin1Char(','));
    CalculationText streamed(true, 2, QLatin1Char(','));
    // Written before the stream starts: goes to the file too.
    for (CalculationText* text : {&memory, &streamed}) {
        text->writeLine(QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ТЕПЛОСЕТИ"));
        text->writeLine();
    }
    streamed.streamTo(path);
    for (int i = 0; i < 40000; ++i) {
        for (CalculationText* text : {&memory, &streamed}) {
            text->write(QStringLiteral("Магистраль (ветвь) "));
            text->writeInteger(i - 7);
            text->write(QLatin1StringView(" - "));
            text->writeInteger(32700);
            text->writeLine();
            text->write(QStringLiteral("УПНВВПод = "));
            text->writeNumber(i / 7.0);
            text->writeLine(QStringLiteral(" ё€№"));
            text->writeLine();
        }
    }
    for (CalculationText* text : {&memory, &streamed})
        text->write(QStringLiteral("ошибка без конца строки"));
    EXPECT_EQ(streamed.byteCount(), memory.bytes().size());
    EXPECT_EQ(streamed.bytes(), memory.bytes()); // before finish: the file plus the buffer
    streamed.finish();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_EQ(written, memory.bytes());
    EXPECT_TRUE(written.endsWith("\xEE\xF8\xE8\xE1\xEA\xE0 \xE1\xE5\xE7 \xEA\xEE\xED\xF6\xE0 \xF1\xF2\xF0\xEE\xEA\xE8"));
    EXPECT_EQ(streamed.text(), memory.text());
}

// The table-driven encoder of the streamed text agrees with the code page
// converter, unmappable characters and surrogate pairs included.
TEST(CalculationText, FastEncoderAgreesWithTheCodePage)
{
    const QString samples[] = {
        QStringLiteral("ГИДРАВЛИЧЕСКИЙ расчет ёЁ №"),
        QStringLiteral("€‚„…†‡‰‹›‘’“”•–—™ ЂЃЉЊЌЋЏђѓљњќћџ Ўў Ј ¤ Ґ ¦ § © Є « ¬ ­ ® Ї ° ± І і ґ µ ¶ · ё № є » ј Ѕ ѕ ї"),
        QStringLiteral("ascii 0123 ~\t\r\n"),
        QStringLiteral("не в 1251: ü ß ¼ 中 ⚡ \U0001F600 конец"),
        QString(QChar(0xD800)) + QStringLiteral("одинокий суррогат") + QChar(0xDC00),
        QString(QChar(0x98)) + QChar(0xFFFD) + QChar(0x00A0),
    };
    for (const QString& sample : samples)
        EXPECT_EQ(zurm::encodeCp1251(sample), zurm::toCp1251(sample)) << sample.toStdString();
    QString every;
    for (int u = 1; u < 0x10000; ++u)
        if (!QChar(char16_t(u)).isSurrogate())
            every.append(QChar(char16_t(u)));
    EXPECT_EQ(zurm::encodeCp1251(every), zurm::toCp1251(every));
}

// A text that does not fit names its file and the disk it is on.
TEST(CalculationText, FailedWriteNamesTheFileAndTheDisk)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("~$.tx_"));
    CalculationText text(true, 3, QLatin1Char('.'));
    std::string message;
    {
        zurm::test::FullDisk disk(4096);
        try {
            text.streamTo(path);
            for (int i = 0; i < 20000; ++i)
                text.writeLine(QStringLiteral("Магистраль (ветвь) 0 - %1").arg(i));
            text.finish();
        } catch (const zurm::Failure& failure) {
            message = failure.text().toStdString();
        }
    }
    EXPECT_NE(message.find(path.toStdString()), std::string::npos) << message;
    EXPECT_NE(message.find("диск /"), std::string::npos) << message;
}
