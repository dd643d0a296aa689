#include "support/LiteralEvaluation.h"

#include "indicators/IndicatorEvaluationDetail.h"
#include "platform/Cp1251.h"

#include <QLocale>

namespace zurm {

using namespace indicator_evaluation;

RecordValueSource RecordValueSource::segment(const RecordColumns& headerColumns, const HeaderRecord& header,
                                             const RecordColumns& segmentColumns, const SegmentRecord& segment)
{
    RecordValueSource source;
    source.variant_ = IndicatorVariant::Segment;
    source.headerColumns_ = &headerColumns;
    source.header_ = &header;
    source.segmentColumns_ = &segmentColumns;
    source.segment_ = &segment;
    return source;
}

RecordValueSource RecordValueSource::header(const RecordColumns& headerColumns, const HeaderRecord& header)
{
    RecordValueSource source;
    source.variant_ = IndicatorVariant::Header;
    source.headerColumns_ = &headerColumns;
    source.header_ = &header;
    return source;
}

std::optional<double> RecordValueSource::value(const QString& name) const
{
    // A header column and a segment column never share a name; the header is
    // asked first all the same.
    if (const int h = headerColumns_->indexOf(name); h >= 0)
        return header_->values.at(size_t(h));
    if (variant_ == IndicatorVariant::Segment)
        if (const int s = segmentColumns_->indexOf(name); s >= 0)
            return segment_->values.at(size_t(s));
    throwMissingColumn(name);
}

void PrepareExpression(EvaluationContext& context, const QString& formula, const RecordValueSource& values)
{
    const QString start =
        indicatorEvaluationMessageStart(values.variant(), context.shortName, context.startNode, context.endNode);
    const QString text = normalisedFormula(formula);
    const qsizetype length = text.size();
    QString prepared;
    int k = 0;
    qsizetype position = 0;
    while (position < length && context.errorText.isEmpty()) {
        const QChar c = text.at(position);
        if (isNumberCharacter(c)) {
            QString run;
            while (position < length && isNumberCharacter(text.at(position)))
                run += text.at(position++);
            if (run.count(u'.') > 1 || run.count(u'.') == run.size()) {
                context.errorText = start + notANumberMessage(run);
            } else if (++k > kMaxSlots) {
                context.errorText = start + tooManyOperandsMessage();
            } else {
                context.values[size_t(k)] = QLocale::c().toDouble(run);
                prepared += QStringLiteral("{%1}").arg(k);
            }
        } else if (c == u'<') {
            const qsizetype close = text.indexOf(u'>', position + 1);
            if (close < 0)
                break;
            const QString name = text.mid(position + 1, close - position - 1);
            position = close + 1;
            if (++k > kMaxSlots) {
                context.errorText = start + tooManyOperandsMessage();
            } else if (const std::optional<double> value = values.value(name); !value) {
                context.errorText = start + notFilledMessage(name);
            } else {
                context.values[size_t(k)] = *value;
                prepared += QStringLiteral("{%1}").arg(k);
            }
        } else {
            prepared += c;
            ++position;
        }
    }
    context.expression = toCp1251(prepared);
}

namespace {

QString evaluateLiterally(IndicatorVariant variant, const QString& shortName, const QString& formula,
                          const RecordValueSource& source, qint16 startNode, qint16 endNode, RecordValues& target,
                          int resultColumn, const IndicatorEvaluation& evaluation)
{
    if (evaluation.writeText)
        evaluation.writeText(formula + QStringLiteral(" = "));
    if (formula.isEmpty())
        return indicatorEvaluationMessageStart(variant, shortName, startNode, endNode) + emptyFormulaMessage();

    EvaluationContext context;
    context.shortName = shortName;
    context.startNode = startNode;
    context.endNode = endNode;
    context.decimalPoint = evaluation.decimalPoint;
    context.reference = evaluation.reference;
    PrepareExpression(context, formula, source);
    if (!context.errorText.isEmpty())
        return context.errorText;
    EvaluateExpression(context);
    if (!context.errorText.isEmpty())
        return context.errorText;
    storeResult(variant, target, resultColumn, shortName, context.result);
    return {};
}

} // namespace

QString evaluateSegmentIndicatorLiterally(const QString& shortName, const QString& formula,
                                          const RecordColumns& headerColumns, const HeaderRecord& header,
                                          const RecordColumns& segmentColumns, SegmentRecord& segment,
                                          const IndicatorEvaluation& evaluation)
{
    return evaluateLiterally(IndicatorVariant::Segment, shortName, formula,
                             RecordValueSource::segment(headerColumns, header, segmentColumns, segment),
                             segment.startNode, segment.endNode, segment.values, segmentColumns.indexOf(shortName),
                             evaluation);
}

QString evaluateHeaderIndicatorLiterally(const QString& shortName, const QString& formula,
                                         const RecordColumns& headerColumns, HeaderRecord& header,
                                         const IndicatorEvaluation& evaluation)
{
    return evaluateLiterally(IndicatorVariant::Header, shortName, formula,
                             RecordValueSource::header(headerColumns, header), 0, 0, header.values,
                             headerColumns.indexOf(shortName), evaluation);
}

LookedUpFormula lookUpFormula(const IndicatorCatalogue& catalogue, const QString& shortName)
{
    const IndicatorCatalogue::Found found = catalogue.find(shortName);
    if (!found)
        return {};
    return {true, StripFormulaComments(found.record->formula).left(kMaxFormulaLength), QString()};
}

} // namespace zurm
