#include "support/XlsWriter.h"

#include <QFile>
#include <QList>
#include <cstring>
#include <gtest/gtest.h>

namespace zurm::test {

namespace {

constexpr int kMaxRecordData = 8224;

void put16(QByteArray& out, quint32 value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void record(QByteArray& stream, quint16 type, const QByteArray& data)
{
    put16(stream, type);
    put16(stream, quint32(data.size()));
    stream += data;
}

bool wide(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF)
            return true;
    return false;
}

void putCharacters(QByteArray& out, QStringView text, bool isWide)
{
    for (const QChar c : text) {
        if (isWide)
            put16(out, c.unicode());
        else
            out.append(char(c.unicode()));
    }
}

// The shared-string table: SST and its CONTINUE records.
QList<QByteArray> stringTable(const QStringList& texts)
{
    QList<QByteArray> records{QByteArray()};
    put32(records[0], quint32(texts.size()));
    put32(records[0], quint32(texts.size()));
    for (const QString& text : texts) {
        const bool isWide = wide(text);
        const int size = isWide ? 2 : 1;
        // The header and the first character are never split.
        if (records.last().size() + 3 + size > kMaxRecordData)
            records.append(QByteArray());
        put16(records.last(), quint32(text.size()));
        records.last().append(char(isWide ? 1 : 0));
        qsizetype done = 0;
        while (done < text.size()) {
            const qsizetype room = (kMaxRecordData - records.last().size()) / size;
            if (room == 0) {
                records.append(QByteArray(1, char(isWide ? 1 : 0)));
                continue;
            }
            const qsizetype take = std::min(room, text.size() - done);
            putCharacters(records.last(), QStringView(text).mid(done, take), isWide);
            done += take;
        }
    }
    return records;
}

QByteArray bof(quint16 kind)
{
    QByteArray data;
    put16(data, 0x0600);
    put16(data, kind);
    put16(data, 0x0DBB);
    put16(data, 0x07CC);
    put32(data, 0);
    put32(data, 0x06);
    return data;
}

QByteArray workbookStream(const QString& sheetName, const QStringList& texts)
{
    QByteArray stream;
    record(stream, 0x0809, bof(0x0005));
    QByteArray codePage;
    put16(codePage, 1200);
    record(stream, 0x0042, codePage);
    const qsizetype sheetOffsetAt = stream.size() + 4;
    QByteArray boundSheet;
    put32(boundSheet, 0);
    boundSheet.append(char(0));
    boundSheet.append(char(0));
    boundSheet.append(char(sheetName.size()));
    boundSheet.append(char(1));
    putCharacters(boundSheet, sheetName, true);
    record(stream, 0x0085, boundSheet);
    const QList<QByteArray> table = stringTable(texts);
    for (qsizetype i = 0; i < table.size(); ++i)
        record(stream, i == 0 ? 0x00FC : 0x003C, table[i]);
    record(stream, 0x000A, {});

    const quint32 sheetOffset = quint32(stream.size());
    std::memcpy(stream.data() + sheetOffsetAt, &sheetOffset, 4); // the machines here are little-endian
    record(stream, 0x0809, bof(0x0010));
    QByteArray dimension;
    put32(dimension, 0);
    put32(dimension, quint32(texts.size()));
    put16(dimension, 0);
    put16(dimension, 2);
    put16(dimension, 0);
    record(stream, 0x0200, dimension);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        QByteArray label;
        put16(label, quint32(i));
        put16(label, 0);
        put16(label, 15);
        put32(label, quint32(i));
        record(stream, 0x00FD, label);
        QByteArray number;
        put16(number, quint32(i));
        put16(number, 1);
        put16(number, 15);
        const double value = double(i + 1);
        number.append(reinterpret_cast<const char*>(&value), 8);
        record(stream, 0x0203, number);
    }
    record(stream, 0x000A, {});
    // Shorter streams would live in the mini stream.
    if (stream.size() < 4096)
        stream.append(QByteArray(4096 - stream.size(), '\0'));
    return stream;
}

// A compound file of 512-byte sectors holding the one stream "Workbook":
// the FAT sectors first, then the directory, then the stream.
QByteArray compoundFile(const QByteArray& stream)
{
    constexpr quint32 kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD;
    const quint32 streamSectors = quint32((stream.size() + 511) / 512);
    quint32 fatSectors = 1;
    while (fatSectors * 128 < fatSectors + 1 + streamSectors)
        ++fatSectors;
    EXPECT_LE(fatSectors, 109u);
    QByteArray file;
    file.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    file.append(QByteArray(16, '\0'));
    put16(file, 0x003E);
    put16(file, 3);
    put16(file, 0xFFFE);
    put16(file, 9);
    put16(file, 6);
    file.append(QByteArray(6, '\0'));
    put32(file, 0);
    put32(file, fatSectors);
    put32(file, fatSectors); // the directory
    put32(file, 0);
    put32(file, 4096);
    put32(file, kEnd);
    put32(file, 0);
    put32(file, kEnd);
    put32(file, 0);
    for (quint32 i = 0; i < 109; ++i)
        put32(file, i < fatSectors ? i : kFree);

    QByteArray fat;
    for (quint32 i = 0; i < fatSectors; ++i)
        put32(fat, kFatSector);
    put32(fat, kEnd);
    const quint32 first = fatSectors + 1;
    for (quint32 i = 0; i < streamSectors; ++i)
        put32(fat, i + 1 == streamSectors ? kEnd : first + i + 1);
    while (fat.size() < qsizetype(fatSectors) * 512)
        put32(fat, kFree);
    file += fat;

    const auto entry = [](const QString& name, quint8 type, quint32 child, quint32 start, quint32 size) {
        QByteArray e;
        for (const QChar c : name)
            put16(e, c.unicode());
        e.append(QByteArray(64 - e.size(), '\0'));
        put16(e, quint32(name.isEmpty() ? 0 : (name.size() + 1) * 2));
        e.append(char(type));
        e.append(char(1)); // black
        put32(e, 0xFFFFFFFF);
        put32(e, 0xFFFFFFFF);
        put32(e, child);
        e.append(QByteArray(36, '\0'));
        put32(e, start);
        put32(e, size);
        put32(e, 0);
        return e;
    };
    file += entry(QStringLiteral("Root Entry"), 5, 1, kEnd, 0);
    file += entry(QStringLiteral("Workbook"), 2, 0xFFFFFFFF, first, quint32(stream.size()));
    file += entry({}, 0, 0xFFFFFFFF, 0, 0);
    file += entry({}, 0, 0xFFFFFFFF, 0, 0);
    file += stream;
    file.append(QByteArray(qsizetype(streamSectors) * 512 - stream.size(), '\0'));
    return file;
}

} // namespace

void writeXls(const QString& path, const QString& sheetName, const QStringList& texts)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(compoundFile(workbookStream(sheetName, texts)));
}

} // namespace zurm::test
