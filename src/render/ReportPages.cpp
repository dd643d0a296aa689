#include "render/ReportPages.h"

#include "base/Failure.h"
#include "base/UserDialogs.h"
#include "output/CalculationReport.h"
#include "render/ReportTable.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
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

// A declaration of a rule of the style sheet ("body", "font-size"), empty when
// there is none.
QString cssValue(const QString& css, const QString& selector, const QString& property)
{
    const QRegularExpression rule(QStringLiteral("(^|[}\\s,])") + QRegularExpression::escape(selector)
                                  + QStringLiteral("\\s*\\{([^}]*)\\}"));
    const QRegularExpressionMatch match = rule.match(css);
    if (!match.hasMatch())
        return {};
    const QRegularExpression declaration(QRegularExpression::escape(property) + QStringLiteral("\\s*:\\s*([^;]+)"));
    return declaration.match(match.captured(2)).captured(1).trimmed();
}

QFont cssFont(const QString& css, const QString& selector, double fallbackPoints, bool bold)
{
    QString family = cssValue(css, QStringLiteral("body"), QStringLiteral("font-family")).section(QLatin1Char(','), 0, 0);
    family.remove(QLatin1Char('"'));
    QFont font(family.trimmed().isEmpty() ? QStringLiteral("DejaVu Sans") : family.trimmed());
    const QString size = cssValue(css, selector, QStringLiteral("font-size"));
    bool ok = false;
    const double points = QString(size).remove(QStringLiteral("pt")).trimmed().toDouble(&ok);
    font.setPointSizeF(ok && size.endsWith(QStringLiteral("pt")) && points > 0 ? points : fallbackPoints);
    font.setBold(bold);
    return font;
}

} // namespace

QPageLayout reportPageLayout(const ReportDocument& report)
{
    return QPageLayout(QPageSize(QPageSize::A4), report.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(10, 8, 8, 8), QPageLayout::Millimeter);
}

int printReport(const ReportDocument& report, QPagedPaintDevice& device, Progress* progress)
{
    const QStringList pieces = report.html.split(kReportPieceBreak);
    const QString css = styleOf(pieces.value(0));
    QPainter painter(&device);
    if (!painter.isActive())
        return 0;
    // Every device (a printer of any resolution, its preview, the PDF writer)
    // gets the same layout: it is made in units of kLayoutDpi on the page the
    // layout names, not in the device's pixels, whose rounding and font
    // metrics at the device's resolution would move the page breaks.
    const double layoutUnitsPerPoint = kLayoutDpi / 72.0;
    const QRectF paintRect = device.pageLayout().paintRect(QPageLayout::Point);
    const QRectF page(0, 0, paintRect.width() * layoutUnitsPerPoint, paintRect.height() * layoutUnitsPerPoint);
    painter.scale(device.logicalDpiX() / kLayoutDpi, device.logicalDpiY() / kLayoutDpi);
    // The text documents measure on a device of the layout's resolution;
    // the fonts the painter draws the tables with are sized so that the
    // device gives them the layout's size in pixels.
    QImage layoutDevice(1, 1, QImage::Format_RGB32);
    layoutDevice.setDotsPerMeterX(qRound(kLayoutDpi / 0.0254));
    layoutDevice.setDotsPerMeterY(qRound(kLayoutDpi / 0.0254));
    const auto deviceFont = [&](QFont font) {
        font.setPointSizeF(font.pointSizeF() * kLayoutDpi / device.logicalDpiY());
        return font;
    };
    const QFont bodyFont = deviceFont(cssFont(css, QStringLiteral("body"), 8, false));
    const QFont headingFont = deviceFont(cssFont(css, QStringLiteral("h2"), 10, true));
    int printed = 0;
    for (int index = 0; index < pieces.size(); ++index) {
        const QString piece = report.expandPiece ? report.expandPiece(pieces[index]) : pieces[index];
        if (piece.trimmed().isEmpty())
            continue;
        if (progress) {
            progress->setStatus(QStringLiteral("Формирование отчета: ") + QString::number(index + 1)
                                + QStringLiteral(" из ") + QString::number(pieces.size()));
            progress->processEvents();
        }
        // Plain tables are painted straight; anything else is laid out as text.
        // The document's closing tags end the last piece; they are no part of its table.
        static const QRegularExpression closing(QStringLiteral("(</body>\\s*)?</html>\\s*$"),
                                                QRegularExpression::CaseInsensitiveOption);
        if (const std::optional<ReportTable> table = parseReportTable(QString(piece).remove(closing))) {
            printed += paintReportTable(*table, painter, device, page.size(), bodyFont, headingFont, printed == 0);
            continue;
        }
        QTextDocument document;
        document.documentLayout()->setPaintDevice(&layoutDevice);
        document.setDefaultStyleSheet(css);
        document.setHtml(piece);
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

QString writeReportPdf(const ReportDocument& report, const QString& file, Progress* progress,
                       const QList<KeptFile>& kept)
{
    try {
        OutputFile out(file, QStringLiteral("Отчет"), kept);
        int pages = 0;
        {
            // The writer never says that a write failed; the device does, at commit.
            QPdfWriter writer(&out.device());
            writer.setTitle(report.title);
            writer.setCreator(QStringLiteral("ЗУРМ"));
            writer.setResolution(300);
            writer.setPageLayout(reportPageLayout(report));
            pages = printReport(report, writer, progress);
        }
        if (pages == 0)
            return QStringLiteral("Не удалось записать файл \"") + QDir::toNativeSeparators(file) + QStringLiteral("\".");
        out.commit();
    } catch (const Failure& failure) {
        return failure.text();
    }
    return {};
}

} // namespace zurm::render
