#include "support/PackedWorkbook.h"

#include <QFile>
#include <gtest/gtest.h>
#include <unzip.h>
#include <zip.h>

namespace zurm::test {

void packWorkbook(const QString& path, const QList<QPair<const char*, QByteArray>>& parts)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    ASSERT_TRUE(zip);
    for (const auto& [name, bytes] : parts) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip64(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                        Z_DEFAULT_COMPRESSION, 0),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())), ZIP_OK);
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
}

namespace {

QByteArray sheetPart(const QList<QStringList>& rows)
{
    QByteArray data;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        data += "<row r=\"" + QByteArray::number(r + 1) + "\">";
        for (qsizetype c = 0; c < rows[r].size(); ++c) {
            const QString& cell = rows[r][c];
            if (cell.isEmpty())
                continue;
            QByteArray ref;
            for (qsizetype n = c + 1; n > 0; n = (n - 1) / 26)
                ref.prepend(char('A' + (n - 1) % 26));
            ref += QByteArray::number(r + 1);
            const QByteArray value = cell.mid(2).toHtmlEscaped().toUtf8();
            switch (cell[0].unicode()) {
            case 'n': data += "<c r=\"" + ref + "\"><v>" + value + "</v></c>"; break;
            case 's': data += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + value + "</t></is></c>"; break;
            case 'b': data += "<c r=\"" + ref + "\" t=\"b\"><v>" + value + "</v></c>"; break;
            case 'e': data += "<c r=\"" + ref + "\" t=\"e\"><v>" + value + "</v></c>"; break;
            case 'f':
                data += "<c r=\"" + ref + "\"><f>1+1</f>" + (value.isEmpty() ? QByteArray() : "<v>" + value + "</v>") +
                        "</c>";
                break;
            }
        }
        data += "</row>";
    }
    return data;
}

} // namespace

void packSheet(const QString& path, const QString& sheetName, const QList<QStringList>& rows)
{
    packSheets(path, {{sheetName, rows}});
}

void packSheets(const QString& path, const QList<PackedSheet>& sheets)
{
    const QByteArray ns = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";
    QByteArray list, relations;
    QList<QByteArray> parts;
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        list += "<sheet name=\"" + sheets[i].name.toHtmlEscaped().toUtf8() + "\" sheetId=\"" + n + "\" r:id=\"rId" + n +
                "\"/>";
        relations += "<Relationship Id=\"rId" + n + "\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        parts.append("<worksheet" + ns + "><sheetData>" + sheetPart(sheets[i].rows) + "</sheetData></worksheet>");
    }
    QList<QByteArray> names;
    for (qsizetype i = 0; i < sheets.size(); ++i)
        names.append("xl/worksheets/sheet" + QByteArray::number(i + 1) + ".xml");
    QList<QPair<const char*, QByteArray>> all{
        {"xl/workbook.xml", "<workbook" + ns + "><sheets>" + list + "</sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" + relations +
             "</Relationships>"},
    };
    for (qsizetype i = 0; i < sheets.size(); ++i)
        all.append({names[i].constData(), parts[i]});
    packWorkbook(path, all);
}

QByteArray unpackedPart(const QString& path, const char* name)
{
    QByteArray bytes;
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        return bytes;
    if (unzLocateFile(zip, name, 0) == UNZ_OK && unzOpenCurrentFile(zip) == UNZ_OK) {
        char buffer[1 << 14];
        for (int got; (got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, got);
        unzCloseCurrentFile(zip);
    }
    unzClose(zip);
    return bytes;
}

} // namespace zurm::test
