#pragma once

// The literal substitution of numbers and references into a formula, followed
// by the text-rewriting evaluator: what the compiled path of the calculation run
// must reproduce. It rebuilds the prepared expression for every record, so only
// the tests use it, to compare the two paths.

#include "indicators/Evaluator.h"
#include "indicators/IndicatorCatalogue.h"
#include "indicators/IndicatorEvaluation.h"
#include "indicators/IndicatorRecords.h"

#include <QString>
#include <optional>

namespace zurm {

// Where PrepareExpression reads a referenced value from.
class RecordValueSource {
public:
    static RecordValueSource segment(const RecordColumns& headerColumns, const HeaderRecord& header,
                                     const RecordColumns& segmentColumns, const SegmentRecord& segment);
    static RecordValueSource header(const RecordColumns& headerColumns, const HeaderRecord& header);

    IndicatorVariant variant() const { return variant_; }
    // nullopt for Null; throws Failure when the name is no column.
    std::optional<double> value(const QString& name) const;

private:
    IndicatorVariant variant_ = IndicatorVariant::Header;
    const RecordColumns* headerColumns_ = nullptr;
    const HeaderRecord* header_ = nullptr;
    const RecordColumns* segmentColumns_ = nullptr;
    const SegmentRecord* segment_ = nullptr;
};

// Removes every space, turns every "," into "." and substitutes numbers and
// references left to right into the context's slots and prepared expression,
// stopping at the first error (written into the context's error text). The
// context's short name and node numbers are used for the message start.
void PrepareExpression(EvaluationContext& context, const QString& formula, const RecordValueSource& values);

// The whole step done literally: write-text hook, empty check, PrepareExpression,
// EvaluateExpression, store. Same contract as EvaluateSegmentIndicator /
// EvaluateHeaderIndicator.
QString evaluateSegmentIndicatorLiterally(const QString& shortName, const QString& formula,
                                          const RecordColumns& headerColumns, const HeaderRecord& header,
                                          const RecordColumns& segmentColumns, SegmentRecord& segment,
                                          const IndicatorEvaluation& evaluation);
QString evaluateHeaderIndicatorLiterally(const QString& shortName, const QString& formula,
                                         const RecordColumns& headerColumns, HeaderRecord& header,
                                         const IndicatorEvaluation& evaluation);

// The look-up of lookUpFormula in a catalogue already read (no full name there).
LookedUpFormula lookUpFormula(const IndicatorCatalogue& catalogue, const QString& shortName);

} // namespace zurm
