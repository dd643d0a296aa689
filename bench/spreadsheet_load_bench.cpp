// Loading from a spreadsheet on a large calculation:
//   EightColumns  eight indicators of 32 700 segments from a 40 000-row sheet
//                 (the segments' rows in shuffled order, then rows that match
//                 no segment), the workbook read included (goal: 3 s)
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "entry/SpreadsheetLoad.h"
#include "support/BenchSupport.h"
#include "support/NetworkGenerator.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <random>
#include <zip.h>

namespace {

constexpr int kSegments = 32700;
constexpr int kRows = 40000;

// A one-sheet .xlsx of numbers: the node pairs in columns 1 and 2, eight
// values after them.
bool writeSheet(const QString& path, const QList<std::pair<int, int>>& pairs)
{
    QByteArray sheet = R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)";
    for (qsizetype r = 0; r < pairs.size(); ++r) {
        const QByteArray row = QByteArray::number(r + 1);
        sheet += "<row r=\"" + row + "\"><c r=\"A" + row + "\"><v>" + QByteArray::number(pairs[r].first) +
                 "</v></c><c r=\"B" + row + "\"><v>" + QByteArray::number(pairs[r].second) + "</v></c>";
        for (int k = 0; k < 8; ++k)
            sheet += "<c r=\"" + QByteArray(1, char('C' + k)) + row + "\"><v>" +
                     QByteArray::number(100 + k + (r % 97) * 0.25) + "</v></c>";
        sheet += "</row>";
    }
    sheet += "</sheetData></worksheet>";
    const QList<std::pair<const char*, QByteArray>> parts{
        {"xl/workbook.xml",
         R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Участки" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Target="worksheets/sheet1.xml"/></Relationships>)"},
        {"xl/worksheets/sheet1.xml", sheet},
    };
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    for (const auto& [name, bytes] : parts) {
        zip_fileinfo info{};
        if (zipOpenNewFileInZip64(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6, 1) != ZIP_OK
            || zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())) != ZIP_OK)
            return false;
        zipCloseFileInZip(zip);
    }
    return zipClose(zip, nullptr) == ZIP_OK;
}

void EightColumns(benchmark::State& state)
{
    zurm::bench::GeneratedCalculation generated(kSegments);
    zurm::DataModule& data = *generated.data;

    QList<std::pair<int, int>> pairs;
    QSqlQuery query = zurm::selectSql(data.calculation(), QStringLiteral("SELECT НачУзел, КонУзел FROM Табл"));
    while (query.next())
        pairs.append({query.value(0).toInt(), query.value(1).toInt()});
    query.finish();
    std::mt19937 random(7);
    std::shuffle(pairs.begin(), pairs.end(), random);
    for (int extra = int(pairs.size()); extra < kRows; ++extra)
        pairs.append({40000 + extra, 50000 + extra});
    const QString book = generated.folder.filePath(QStringLiteral("segments.xlsx"));
    if (!writeSheet(book, pairs)) {
        state.SkipWithError("the workbook could not be written");
        return;
    }
    zurm::LoadPlan plan{0, 1, kRows, 1, 2, {}};
    const char* names[] = {"РасхПод", "РасхОбр", "ДуПод", "ДуОбр", "ДлНаУчПод", "ДлНаУчОбр", "ГеодВысНач", "ГеодВысКон"};
    for (int k = 0; k < 8; ++k)
        plan.lines.append({QString::fromUtf8(names[k]), 3 + k});

    zurm::SilentProgress progress;
    zurm::LoadResult result;
    for (auto _ : state)
        result = zurm::loadFromWorkbook(data, book, plan, progress);
    if (!result.ok || result.loadedSegments != kSegments)
        state.SkipWithError(qPrintable(result.message));
    state.counters["segments"] = result.loadedSegments;
    state.counters["book_MB"] = double(QFileInfo(book).size()) / 1e6;
}
BENCHMARK(EightColumns)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
