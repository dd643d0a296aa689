#include "platform/WorkbookSource.h"

#include "base/Failure.h"
#include "platform/XlsReader.h"

#include <QFile>
#include <QFileInfo>

namespace zurm {

namespace {

const QString kErrorClass = QStringLiteral("WorkbookError");

[[noreturn]] void fail(const QString& path, const QString& why)
{
    throw Failure(kErrorClass, QStringLiteral("Не удалось прочитать книгу ") + path + QStringLiteral(": ") + why + '.');
}

// The readers' own failures carry the same text under the class of the reader.
template <typename Step>
auto asWorkbookError(Step&& step) -> decltype(step())
{
    try {
        return step();
    } catch (const Failure& failure) {
        if (failure.className() == kErrorClass)
            throw;
        throw Failure(kErrorClass, failure.text());
    }
}

template <typename Reader>
class ReaderSource : public WorkbookSource {
public:
    explicit ReaderSource(const QString& path) : reader_(asWorkbookError([&] { return std::make_unique<Reader>(path); }))
    {
    }
    const QStringList& sheetNames() const override { return reader_->sheetNames(); }
    XlsxSheet sheetCells(int index, const SheetWindow& window) const override
    {
        return asWorkbookError([&] { return reader_->sheet(index, window); });
    }

private:
    std::unique_ptr<Reader> reader_;
};

} // namespace

std::unique_ptr<WorkbookSource> openWorkbook(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        fail(path, QStringLiteral("файл не найден"));
    // Opening a named pipe or a device waits for a writer that may never come.
    if (!info.isFile())
        fail(path, QStringLiteral("это не обычный файл, а папка, канал или устройство"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, QStringLiteral("файл не открывается для чтения"));
    const QByteArray head = file.read(8);
    file.close();
    if (head.isEmpty())
        fail(path, QStringLiteral("файл пуст"));
    if (head.startsWith(QByteArrayLiteral("PK\x03\x04")))
        return std::make_unique<ReaderSource<XlsxReader>>(path);
    if (head == QByteArrayLiteral("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return std::make_unique<ReaderSource<XlsReader>>(path);
    fail(path, QStringLiteral("файл не является книгой Microsoft Excel (*.xlsx, *.xls)"));
}

} // namespace zurm
