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

// The height of the footer at the foot of the paint rectangle.
constexpr double kFooterMillimetres = 4;

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
    // The footer takes the lower half of the bottom margin: a page holds as
    // much of the report as it would without one.
    const double bottom = report.footerDate.isEmpty() ? 8 : 8 - kFooterMillimetres;
    return QPageLayout(QPageSize(QPageSize::A4), report.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(10, 8, 8, bottom), QPageLayout::Millimeter);
}

namespace {

// One pass over the pieces of a report: laid out to count the pages, and
// again to paint them; both passes lay every piece out alike.
class ReportPrinter {
public:
    ReportPrinter(const ReportDocument& report, QPagedPaintDevice& device, QPainter& painter, Progress* progress)
        : report_(report), device_(device), painter_(painter), progress_(progress),
          pieces_(report.html.split(kReportPieceBreak)), css_(styleOf(pieces_.value(0))),
          layoutDevice_(1, 1, QImage::Format_RGB32)
    {
        // Every device (a printer of any resolution, its preview, the PDF writer)
        // gets the same layout: it is made in units of kLayoutDpi on the page the
        // layout names, not in the device's pixels, whose rounding and font
        // metrics at the device's resolution would move the page breaks.
        const double layoutUnitsPerPoint = kLayoutDpi / 72.0;
        const QRectF paintRect = device.pageLayout().paintRect(QPageLayout::Point);
        page_ = QSizeF(paintRect.width() * layoutUnitsPerPoint, paintRect.height() * layoutUnitsPerPoint);
        // The text documents measure on a device of the layout's resolution;
        // the fonts the painter draws the tables with are sized so that the
        // device gives them the layout's size in pixels.
        layoutDevice_.setDotsPerMeterX(qRound(kLayoutDpi / 0.0254));
        layoutDevice_.setDotsPerMeterY(qRound(kLayoutDpi / 0.0254));
        const auto deviceFont = [&](QFont font) {
            font.setPointSizeF(font.pointSizeF() * kLayoutDpi / device.logicalDpiY());
            return font;
        };
        bodyFont_ = deviceFont(cssFont(css_, QStringLiteral("body"), 8, false));
        headingFont_ = deviceFont(cssFont(css_, QStringLiteral("h2"), 10, true));
        footerHeight_ = report.footerDate.isEmpty() ? 0 : kFooterMillimetres / 25.4 * kLayoutDpi;
        content_ = QSizeF(page_.width(), page_.height() - footerHeight_);
    }

    // Pages of the whole report, nothing painted.
    int count()
    {
        int pages = 0;
        forEachPiece([&](const ReportTable* table, QTextDocument* document) {
            pages += table ? reportTablePages(*table, device_, content_, bodyFont_, headingFont_)
                           : document->pageCount();
        });
        return pages;
    }

    // Paints the pages, the footer of each saying "стр. N из `total`".
    int paint(int total)
    {
        painter_.scale(device_.logicalDpiX() / kLayoutDpi, device_.logicalDpiY() / kLayoutDpi);
        int printed = 0;
        const auto footer = [&] {
            ++printed;
            if (report_.footerDate.isEmpty())
                return;
            painter_.save();
            painter_.setFont(bodyFont_);
            painter_.setPen(Qt::black);
            const QRectF box(0, page_.height() - footerHeight_, page_.width(), footerHeight_);
            painter_.drawText(box, Qt::AlignLeft | Qt::AlignBottom, report_.footerDate);
            painter_.drawText(box, Qt::AlignRight | Qt::AlignBottom,
                              QStringLiteral("стр. %1 из %2").arg(printed).arg(total));
            painter_.restore();
        };
        forEachPiece([&](const ReportTable* table, QTextDocument* document) {
            if (table) {
                paintReportTable(*table, painter_, device_, content_, bodyFont_, headingFont_, printed == 0, footer);
                return;
            }
            const int pages = document->pageCount();
            for (int p = 0; p < pages; ++p) {
                if (printed > 0)
                    device_.newPage();
                footer();
                painter_.save();
                const QRectF clip(0, p * content_.height(), content_.width(), content_.height());
                painter_.translate(0, -clip.top());
                document->drawContents(&painter_, clip);
                painter_.restore();
            }
        });
        return printed;
    }

private:
    // Each piece with its rows filled in, as a plain table or as a text document.
    template <typename Use>
    void forEachPiece(Use use)
    {
        for (int index = 0; index < pieces_.size(); ++index) {
            const QString piece = report_.expandPiece ? report_.expandPiece(pieces_[index]) : pieces_[index];
            if (piece.trimmed().isEmpty())
                continue;
            if (progress_) {
                progress_->setStatus(QStringLiteral("Формирование отчета: ") + QString::number(index + 1)
                                     + QStringLiteral(" из ") + QString::number(pieces_.size()));
                progress_->processEvents();
            }
            // Plain tables are painted straight; anything else is laid out as text.
            // The document's closing tags end the last piece; they are no part of its table.
            static const QRegularExpression closing(QStringLiteral("(</body>\\s*)?</html>\\s*$"),
                                                    QRegularExpression::CaseInsensitiveOption);
            if (const std::optional<ReportTable> table = parseReportTable(QString(piece).remove(closing))) {
                use(&*table, nullptr);
                continue;
            }
            QTextDocument document;
            document.documentLayout()->setPaintDevice(&layoutDevice_);
            document.setDefaultStyleSheet(css_);
            document.setHtml(piece);
            document.setPageSize(content_);
            use(nullptr, &document);
        }
    }

    const ReportDocument& report_;
    QPagedPaintDevice& device_;
    QPainter& painter_;
    Progress* progress_;
    QStringList pieces_;
    QString css_;
    QImage layoutDevice_;
    QSizeF page_;
    QSizeF content_;
    QFont bodyFont_;
    QFont headingFont_;
    double footerHeight_ = 0;
};

} // namespace

int printReport(const ReportDocument& report, QPagedPaintDevice& device, Progress* progress)
{
    QPainter painter(&device);
    if (!painter.isActive())
        return 0;
    ReportPrinter printer(report, device, painter, progress);
    // "стр. N из M" needs M before the first page is painted, and a report of
    // any size is held one piece at a time: the pieces are laid out once to
    // count the pages, then again to paint them.
    const int total = report.footerDate.isEmpty() ? 0 : printer.count();
    const int printed = printer.paint(total);
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
