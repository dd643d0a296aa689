#include "platform/WorkbookSource.h"

namespace zurm {

namespace {

class XlsxSource : public WorkbookSource {
public:
    explicit XlsxSource(const QString& path) : reader_(path) {}
    const QStringList& sheetNames() const override { return reader_.sheetNames(); }
    XlsxSheet sheetCells(int index, const SheetWindow&) const override { return reader_.sheet(index); }

private:
    XlsxReader reader_;
};

} // namespace

std::unique_ptr<WorkbookSource> openWorkbook(const QString& path)
{
    return std::make_unique<XlsxSource>(path);
}

} // namespace zurm
