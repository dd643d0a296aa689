#include "indicators/IndicatorEvaluation.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "indicators/IndicatorCatalogue.h"
#include "indicators/IndicatorEvaluationDetail.h"
#include "platform/Cp1251.h"

#include <QSqlQuery>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace zurm {

using namespace indicator_evaluation;

// ---------------------------------------------------------------- messages

namespace indicator_evaluation {

QString notANumberMessage(const QString& run)
{
    return QStringLiteral("Значение \"") + run + QStringLiteral("\" не является числом.");
}

QString tooManyOperandsMessage() { return QStringLiteral("Количество аргументов в формуле не должно превышать 255."); }

QString notFilledMessage(const QString& name)
{
    return QStringLiteral("Значение показателя \"") + name + QStringLiteral("\" не заполнено.");
}

QString emptyFormulaMessage() { return QStringLiteral("Формула показателя должна быть заполнена."); }

void throwMissingColumn(const QString& name)
{
    throw Failure(QStringLiteral("SqlError"), QStringLiteral("Поле \"") + name + QStringLiteral("\" не найдено."));
}

void throwRecordMismatch(const QString& shortName)
{
    throw Failure(QStringLiteral("EvaluatorError"),
                  QStringLiteral("Запись не соответствует полям, для которых подготовлен показатель \"") + shortName
                      + QStringLiteral("\"."));
}

QString normalisedFormula(const QString& formula)
{
    QString text;
    text.reserve(formula.size());
    for (const QChar c : formula) {
        if (c == u' ')
            continue;
        text.append(c == u',' ? QChar(u'.') : c);
    }
    // The look-up has cut the formula to 255 characters already; a longer text
    // given directly is taken whole, so the operand limit stays reachable.
    return text;
}

void storeResult(IndicatorVariant variant, RecordValues& values, int column, const QString& shortName, double result)
{
    if (column < 0)
        throwMissingColumn(shortName);
    values[size_t(column)] = variant == IndicatorVariant::Segment ? valueAsStoredInSegment(result) : result;
}

} // namespace indicator_evaluation

QString indicatorEvaluationMessageStart(IndicatorVariant variant, const QString& shortName, qint16 startNode,
                                        qint16 endNode)
{
    QString start;
    if (variant == IndicatorVariant::Segment)
        start = QStringLiteral("Участок ") + QString::number(startNode) + QStringLiteral(" - ")
            + QString::number(endNode) + QStringLiteral(":\r\n");
    return start + QStringLiteral("Ошибка при расчете показателя \"") + shortName + QStringLiteral("\":\r\n\r\n");
}

namespace {

// A number run of a formula, already known to hold digits and at most one point.
double numberRunValue(const QString& run)
{
    const std::string text = run.toStdString();
    double value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size())
        throw Failure(QStringLiteral("ConversionError"), notANumberMessage(run));
    return value;
}

// a * b exactly, as high + low.
double exactProduct(double a, double b, double& low)
{
    const double high = a * b;
#ifdef __FMA__
    low = std::fma(a, b, -high);
#else
    // Dekker's product: each factor split into two halves of 26 bits.
    auto split = [](double v, double& h, double& l) {
        const double c = 134217729.0 * v; // 2^27 + 1
        h = c - (c - v);
        l = v - h;
    };
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    low = ((ah * bh - high) + ah * bl + al * bh) + al * bl;
#endif
    return high;
}

// The value of the 15 significant digits of x read back, without text, for the
// magnitudes a network has (1e-8 to 1e14); nullopt elsewhere and where a 16th
// digit is too near a tie to be sure, which then takes the text. With |x|
// scaled by 10^k to [1e14, 1e15) exactly (a sum of two doubles), the digits are
// its nearest integer N; N / 10^k is then correctly rounded, as N and 10^k
// are exact doubles.
std::optional<double> roundedTo15Digits(double x)
{
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const double a = std::fabs(x);
    int k = 14 - int(std::floor(std::ilogb(a) * 0.30102999566398120)); // 14 - decimal exponent, maybe one short
    if (k < 2 || k > 22)
        return std::nullopt;
    double low = 0;
    double high = exactProduct(a, kPowers[k], low);
    if (high >= 1e15)
        high = exactProduct(a, kPowers[--k], low);
    if (high >= 1e15 || high < 1e14)
        return std::nullopt;
    double whole = double(qint64(high));
    double fraction = (high - whole) + low;
    if (fraction < 0) {
        whole -= 1;
        fraction += 1;
    } else if (fraction >= 1) {
        whole += 1;
        fraction -= 1;
    }
    if (std::fabs(fraction - 0.5) < 0x1p-12)
        return std::nullopt;
    const double digits = whole + (fraction > 0.5 ? 1 : 0);
    return std::copysign(digits / kPowers[k], x);
}

} // namespace

double valueAsStoredInSegment(double result)
{
    // SaveCurrentSegmentRow writes floats with formatGeneral15, whose digits are
    // those of printf's "%.14e"; the file then holds what that text reads back
    // as. The shortest form only drops trailing zeros, so reading the 15 digits
    // in scientific form gives the same double, without building the text.
    if (result == 0)
        return 0.0; // written as "0", so a negative zero comes back positive
    if (!std::isfinite(result))
        return result;
    if (const std::optional<double> rounded = roundedTo15Digits(result))
        return *rounded;
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, result, std::chars_format::scientific, 14);
    double stored = result;
    const auto read = std::from_chars(text, written.ptr, stored);
    if (read.ec == std::errc::result_out_of_range && std::fabs(result) > 1)
        return std::copysign(std::numeric_limits<double>::infinity(), result);
    return stored;
}

QString formulaAsLookedUp(const QVariant& formulaField)
{
    if (formulaField.isNull() || !formulaField.isValid())
        return {};
    return StripFormulaComments(formulaField.toString()).left(kMaxFormulaLength);
}

LookedUpFormula lookUpFormula(const QSqlDatabase& calculation, const QString& shortName)
{
    LookedUpFormula found;
    QSqlQuery user = selectSql(calculation,
                               QStringLiteral("SELECT [Формула], [НаимПок] FROM [Формулы] WHERE [НаимПокСокр] = ? "
                                              "ORDER BY [Nпп], rowid LIMIT 1"),
                               {shortName});
    if (user.next()) {
        found = {true, formulaAsLookedUp(user.value(0)), user.value(1).toString()};
        return found;
    }
    QSqlQuery predefined = selectSql(calculation,
                                     QStringLiteral("SELECT [Формула], [НаимПок] FROM [ФлыПредопрПок] "
                                                    "WHERE [НаимПокСокр] = ? ORDER BY rowid LIMIT 1"),
                                     {shortName});
    if (predefined.next())
        found = {true, formulaAsLookedUp(predefined.value(0)), predefined.value(1).toString()};
    return found;
}

// ---------------------------------------------------------------- compiling

CompiledIndicator compileIndicator(const QString& shortName, const QString& formula,
                                   const RecordColumns& headerColumns, const RecordColumns& segmentColumns,
                                   IndicatorVariant variant)
{
    CompiledIndicator compiled;
    compiled.shortName_ = shortName;
    compiled.formula_ = formula;
    compiled.variant_ = variant;
    compiled.headerColumnCount_ = headerColumns.size();
    compiled.segmentColumnCount_ = variant == IndicatorVariant::Segment ? segmentColumns.size() : 0;
    compiled.resultColumn_ = variant == IndicatorVariant::Segment ? segmentColumns.indexOf(shortName)
                                                                   : headerColumns.indexOf(shortName);
    if (formula.isEmpty())
        return compiled;

    using Source = CompiledIndicator::SlotSource;
    const QString text = normalisedFormula(formula);
    const qsizetype length = text.size();
    QString prepared;
    prepared.reserve(length + 16);

    // Adds slot k for the operand; false when it would be the 256th.
    const auto addSlot = [&](CompiledIndicator::Slot slot) {
        if (compiled.operands_.size() >= size_t(kMaxSlots)) {
            compiled.textError_ = tooManyOperandsMessage();
            return false;
        }
        compiled.operands_.push_back(std::move(slot));
        prepared += QLatin1Char('{') + QString::number(compiled.operands_.size()) + QLatin1Char('}');
        return true;
    };

    qsizetype i = 0;
    while (i < length) {
        const QChar c = text.at(i);
        if (isNumberCharacter(c)) {
            qsizetype end = i;
            int points = 0;
            while (end < length && isNumberCharacter(text.at(end))) {
                if (text.at(end) == u'.')
                    ++points;
                ++end;
            }
            const QString run = text.mid(i, end - i);
            if (points > 1 || points == run.size()) {
                compiled.textError_ = notANumberMessage(run);
                break;
            }
            CompiledIndicator::Slot slot;
            slot.number = numberRunValue(run);
            if (!addSlot(std::move(slot)))
                break;
            i = end;
        } else if (c == u'<') {
            const qsizetype close = text.indexOf(u'>', i + 1);
            if (close < 0)
                break;
            CompiledIndicator::Slot slot;
            slot.name = text.mid(i + 1, close - i - 1);
            slot.source = Source::MissingColumn;
            if (const int h = headerColumns.indexOf(slot.name); h >= 0) {
                slot.source = Source::HeaderColumn;
                slot.column = h;
            } else if (variant == IndicatorVariant::Segment) {
                if (const int s = segmentColumns.indexOf(slot.name); s >= 0) {
                    slot.source = Source::SegmentColumn;
                    slot.column = s;
                }
            }
            if (!addSlot(std::move(slot)))
                break;
            i = close + 1;
        } else {
            prepared += c;
            ++i;
        }
    }
    compiled.prepared_ = toCp1251(prepared);
    if (compiled.textError_.isEmpty())
        compiled.tape_ = FormulaTape::compile(compiled.prepared_);
    return compiled;
}

// ---------------------------------------------------------------- replaying

namespace {

QString evaluateCompiled(const CompiledIndicator& indicator, const HeaderRecord& header, SegmentRecord* segment,
                         HeaderRecord* headerTarget, const IndicatorEvaluation& evaluation)
{
    const IndicatorVariant variant = indicator.variant();
    if (int(header.values.size()) != indicator.headerColumnCount()
        || (segment && int(segment->values.size()) != indicator.segmentColumnCount()))
        throwRecordMismatch(indicator.shortName());

    const qint16 startNode = segment ? segment->startNode : qint16(0);
    const qint16 endNode = segment ? segment->endNode : qint16(0);
    const auto fail = [&](const QString& message) {
        return indicatorEvaluationMessageStart(variant, indicator.shortName(), startNode, endNode) + message;
    };

    if (evaluation.writeText)
        evaluation.writeText(indicator.formula() + QStringLiteral(" = "));
    if (indicator.formula().isEmpty())
        return fail(emptyFormulaMessage());

    // One context for every evaluation of the thread: a new one would clear
    // its 256 slots and ask the system for the decimal point each time. Each
    // evaluation sets the slots of its operands, the only ones its tape reads.
    thread_local EvaluationContext context;
    int k = 0;
    for (const CompiledIndicator::Slot& slot : indicator.operands()) {
        ++k;
        using Source = CompiledIndicator::SlotSource;
        std::optional<double> value;
        switch (slot.source) {
        case Source::Number:
            value = slot.number;
            break;
        case Source::HeaderColumn:
            value = header.values[size_t(slot.column)];
            break;
        case Source::SegmentColumn:
            value = segment->values[size_t(slot.column)];
            break;
        case Source::MissingColumn:
            throwMissingColumn(slot.name);
        }
        if (!value)
            return fail(notFilledMessage(slot.name));
        context.values[size_t(k)] = *value;
    }
    if (!indicator.textError().isEmpty())
        return fail(indicator.textError());

    context.shortName = indicator.shortName();
    context.startNode = startNode;
    context.endNode = endNode;
    context.decimalPoint = evaluation.decimalPoint;
    context.reference = evaluation.reference;
    indicator.tape().run(context);
    if (!context.errorText.isEmpty())
        return context.errorText;

    RecordValues& target = segment ? segment->values : headerTarget->values;
    storeResult(variant, target, indicator.resultColumn(), indicator.shortName(), context.result);
    return {};
}

} // namespace

QString EvaluateSegmentIndicator(const CompiledIndicator& indicator, SegmentRecord& segment,
                                 const HeaderRecord& header, const IndicatorEvaluation& evaluation)
{
    if (indicator.variant() != IndicatorVariant::Segment)
        throwRecordMismatch(indicator.shortName());
    return evaluateCompiled(indicator, header, &segment, nullptr, evaluation);
}

QString EvaluateHeaderIndicator(const CompiledIndicator& indicator, HeaderRecord& header,
                                const IndicatorEvaluation& evaluation)
{
    if (indicator.variant() != IndicatorVariant::Header)
        throwRecordMismatch(indicator.shortName());
    return evaluateCompiled(indicator, header, nullptr, &header, evaluation);
}

} // namespace zurm
