#include "render/ReportPages.h"

#include "base/UserDialogs.h"
#include "output/CalculationReport.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <cstdio>

namespace zurm::render {

namespace {

// The report's style sheet, given to every piece.
QString styleOf(const QString& html)
{
    static const QRegularExpression style(QStringLiteral("<style[^>]*>(.*?)</style>"),
                                          QRegularExpression::DotMatchesEverythingOption
                                              | QRegularExpression::CaseInsensitiveOption);
    QString css;
    for (auto it = style.globalMatch(html); it.hasNext();)
        css += it.next().captured(1);
    return css;
}

} // namespace

int printReport(const ReportDocument& report, QPagedPaintDevice& device, Progress* progress)
{
    const QStringList pieces = report.html.split(kReportPieceBreak);
    const QString css = styleOf(pieces.value(0));
    const QRectF page(0, 0, device.width(), device.height());
    QPainter painter(&device);
    if (!painter.isActive())
        return 0;
    int printed = 0;
    for (int index = 0; index < pieces.size(); ++index) {
        if (pieces[index].trimmed().isEmpty())
            continue;
        if (progress) {
            progress->setStatus(QStringLiteral("Формирование отчета: ") + QString::number(index + 1)
                                + QStringLiteral(" из ") + QString::number(pieces.size()));
            progress->processEvents();
        }
        QTextDocument document;
        document.documentLayout()->setPaintDevice(&device);
        document.setDefaultStyleSheet(css);
        document.setHtml(pieces[index]);
        document.setPageSize(page.size());
        const int pages = document.pageCount();
        for (int p = 0; p < pages; ++p) {
            if (printed > 0)
                device.newPage();
            painter.save();
            const QRectF clip(0, p * page.height(), page.width(), page.height());
            painter.translate(0, -clip.top());
            document.drawContents(&painter, clip);
            painter.restore();
            ++printed;
        }
    }
    painter.end();
    if (progress)
        progress->setStatus(QString());
    return printed;
}

QString writeReportPdf(const ReportDocument& report, const QString& file, Progress* progress)
{
    const QFileInfo target(file);
    const QString temporary = target.absolutePath() + QStringLiteral("/~$") + target.fileName();
    QFile::remove(temporary);
    int pages = 0;
    {
        QPdfWriter writer(temporary);
        writer.setTitle(report.title);
        writer.setCreator(QStringLiteral("ЗУРМ"));
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                         report.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                         QMarginsF(15, 12, 12, 12), QPageLayout::Millimeter));
        pages = printReport(report, writer, progress);
    }
    QFile written(temporary);
    if (pages == 0 || !written.exists() || written.size() == 0) {
        written.remove();
        return QStringLiteral("Не удалось записать файл \"") + QDir::toNativeSeparators(file) + QStringLiteral("\".");
    }
    // Replaces an older file of the name in one step.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(file).constData()) != 0) {
        written.remove();
        return QStringLiteral("Не удалось записать файл \"") + QDir::toNativeSeparators(file) + QStringLiteral("\".");
    }
    return {};
}

} // namespace zurm::render
