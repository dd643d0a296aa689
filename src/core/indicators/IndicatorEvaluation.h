#pragma once

// Evaluating one indicator on one record: the header row (Заг) or one segment
// row (Табл). The calculation run loads the rows into records, compiles every
// indicator once and replays it per record in the order of ПриорЗ, ПриорП and
// ПриорОИ; the records go back to the file in one transaction at the end.
//
// The compiled path gives the same result bits and the same messages, in the
// same order, for every formula and record as substituting the values into the
// formula text and rewriting it (EvaluateExpression) would; the tests keep that
// literal substitution to compare the two.

#include "indicators/Evaluator.h"
#include "indicators/FormulaTape.h"
#include "indicators/IndicatorRecords.h"
#include "platform/NumberText.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <vector>

namespace zurm {

class ReferenceTables;

// A segment result goes to the file as SQL text with 15 significant digits and
// is read back from there, so later indicators of the segment see that value.
double valueAsStoredInSegment(double result);

// The formula of an indicator as the evaluation uses it: Null is the empty
// text, comments are removed and the text is cut to 255 characters.
QString formulaAsLookedUp(const QVariant& formulaField);

struct LookedUpFormula {
    bool found = false;
    QString formula;  // as looked up (see formulaAsLookedUp)
    QString fullName; // НаимПок, for the calculation text
};

// The row of Формулы whose НаимПокСокр equals the short name exactly (the first
// by Nпп), else the row of ФлыПредопрПок.
LookedUpFormula lookUpFormula(const QSqlDatabase& calculation, const QString& shortName);

// The start of the messages of this step: the segment line (segment variant,
// always, even when both nodes are equal), the indicator line, an empty line.
QString indicatorEvaluationMessageStart(IndicatorVariant variant, const QString& shortName, qint16 startNode,
                                        qint16 endNode);

// What one run shares between its evaluations.
struct IndicatorEvaluation {
    ReferenceTables* reference = nullptr;
    // Separator of the numbers quoted in function messages.
    QChar decimalPoint = userDecimalPoint();
    // Set while the calculation text is written: receives the formula as looked
    // up (comments removed, spaces kept) followed by " = ", before evaluating.
    std::function<void(const QString&)> writeText;
};

// An indicator whose formula has been prepared once: the prepared expression
// with {k} tokens compiled into a tape, and for every slot either the number
// read from the formula or the record column it refers to. A text error of the
// formula (a bad number, more than 255 operands) ends the slot list; at replay
// it comes after the Null checks of the references before it, as the left-to-
// right substitution would find it.
class CompiledIndicator {
public:
    enum class SlotSource : std::uint8_t { Number, HeaderColumn, SegmentColumn, MissingColumn };
    struct Slot {
        SlotSource source = SlotSource::Number;
        int column = -1;   // index in the header or segment record
        double number = 0; // for Number
        QString name;      // the referenced name, for messages
    };

    const QString& shortName() const { return shortName_; }
    const QString& formula() const { return formula_; }
    IndicatorVariant variant() const { return variant_; }
    // The prepared expression (Windows-1251), empty for an empty formula.
    const QByteArray& preparedExpression() const { return prepared_; }
    const std::vector<Slot>& operands() const { return operands_; }
    // The text error that stops the substitution, without the message start.
    const QString& textError() const { return textError_; }
    const FormulaTape& tape() const { return tape_; }
    // Column of the result in the record of the variant; -1 when there is none.
    int resultColumn() const { return resultColumn_; }
    // Sizes of the records the column indexes belong to.
    int headerColumnCount() const { return headerColumnCount_; }
    int segmentColumnCount() const { return segmentColumnCount_; }

private:
    friend CompiledIndicator compileIndicator(const QString&, const QString&, const RecordColumns&,
                                              const RecordColumns&, IndicatorVariant);
    QString shortName_;
    QString formula_;
    IndicatorVariant variant_ = IndicatorVariant::Segment;
    QByteArray prepared_;
    std::vector<Slot> operands_;
    QString textError_;
    FormulaTape tape_;
    int resultColumn_ = -1;
    int headerColumnCount_ = 0;
    int segmentColumnCount_ = 0;
};

// Prepares the formula (as looked up) once. A reference resolves, for a segment
// indicator, to the Заг column of that exact name, else the Табл column; for a
// header indicator to the Заг column only. A name with no column fails with a
// Failure when a replay reaches it, as reading a missing field would.
CompiledIndicator compileIndicator(const QString& shortName, const QString& formula,
                                   const RecordColumns& headerColumns, const RecordColumns& segmentColumns,
                                   IndicatorVariant variant);

// Evaluate a compiled indicator on a record and store the result in the record's
// column of the short name (a segment result as stored by SQL text, 15 digits; a
// header result as the full double). Return the error text: empty on success,
// else one complete message, and nothing is stored.
QString EvaluateSegmentIndicator(const CompiledIndicator& indicator, SegmentRecord& segment,
                                 const HeaderRecord& header, const IndicatorEvaluation& evaluation);
QString EvaluateHeaderIndicator(const CompiledIndicator& indicator, HeaderRecord& header,
                                const IndicatorEvaluation& evaluation);

} // namespace zurm
