// Fuzz target over the workbook readers: every input becomes a file, is opened
// with openWorkbook, and every sheet is read whole and through a window. A
// Failure is the expected answer to a damaged workbook; anything else (a crash,
// a sanitizer report, another exception) is a finding.
//
// Built twice: xls_fuzz takes the input as the file itself. xlsx_fuzz does so
// for an input that starts with "PK"; any other input is a list of parts, each
// a name line followed by the part's bytes, the parts separated by "\n@@\n",
// that the target packs into a zip first. Mutating the XML of the parts reaches
// the reader's parsing far more often than mutating a compressed zip, whose
// checksums reject almost every change.

#include "base/Failure.h"
#include "platform/WorkbookSource.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#ifdef ZURM_FUZZ_XLSX_PARTS
#include <zip.h>
#endif

namespace {

QString scratchFile()
{
    return QDir::tempPath() + QStringLiteral("/zurm_workbook_fuzz_") + QString::number(::getpid());
}

bool writeFile(const QString& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

#ifdef ZURM_FUZZ_XLSX_PARTS
bool packParts(const QString& path, const QByteArray& input)
{
    zipFile zip = zipOpen(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    qsizetype at = 0;
    while (at <= input.size()) {
        qsizetype end = input.indexOf("\n@@\n", at);
        if (end < 0)
            end = input.size();
        const QByteArray chunk = input.mid(at, end - at);
        const qsizetype line = chunk.indexOf('\n');
        const QByteArray name = line < 0 ? chunk : chunk.left(line);
        const QByteArray bytes = line < 0 ? QByteArray() : chunk.mid(line + 1);
        if (!name.isEmpty() && zipOpenNewFileInZip(zip, name.constData(), nullptr, nullptr, 0, nullptr, 0, nullptr, 0, 0) == ZIP_OK) {
            zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size()));
            zipCloseFileInZip(zip);
        }
        at = end + 4;
    }
    return zipClose(zip, nullptr) == ZIP_OK;
}
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = scratchFile();
#ifdef ZURM_FUZZ_XLSX_PARTS
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!(input.startsWith("PK") ? writeFile(path, data, size) : packParts(path, input)))
        return 0;
#else
    if (!writeFile(path, data, size))
        return 0;
#endif
    try {
        const std::unique_ptr<zurm::WorkbookSource> book = zurm::openWorkbook(path);
        for (int i = 0; i < book->sheetNames().size(); ++i) {
            const zurm::XlsxSheet whole = book->sheetCells(i, zurm::SheetWindow{});
            zurm::SheetWindow window;
            window.firstRow = 2;
            window.lastRow = 40;
            window.columns = {1, 3, 0, 70000, 3};
            const zurm::XlsxSheet part = book->sheetCells(i, window);
            if (part.cells.size() > whole.cells.size()) {
                std::fprintf(stderr, "a window holds more cells than its sheet\n");
                std::abort();
            }
        }
    } catch (const zurm::Failure& failure) {
        if (!failure.text().startsWith(QStringLiteral("Не удалось прочитать книгу ") + path)
            || failure.className() != QStringLiteral("WorkbookError")) {
            std::fprintf(stderr, "unexpected failure: %s\n", failure.what());
            std::abort();
        }
    }
    QFile::remove(path);
    return 0;
}
