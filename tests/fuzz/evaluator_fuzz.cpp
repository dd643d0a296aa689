// Fuzz target over formula compilation and evaluation: every input is
// evaluated by the text-rewriting evaluator and by a compiled formula tape, each
// with its own copy of an in-memory reference file, and the two must agree on
// the message, the result bits and the order the diameter table is left in,
// for two records in a row.
//
// Input: byte 0 holds flags (decimal separator, segment or header, how the
// expression is spelled, which reference tables); byte 1 the length n of the
// expression part; then n bytes of expression; the rest chooses slot values.
// The expression part is either taken as raw Windows-1251 bytes or read as a
// sequence of pieces (tokens, operators, parentheses, function names in mixed
// case), which reaches deep reductions far more often.

#include "indicators/Evaluator.h"
#include "indicators/FormulaTape.h"
#include "indicators/ReferenceTables.h"
#include "platform/Cp1251.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

using zurm::ReferenceTables;

const char* const kFunctionNames[] = {
    "Степень",    "Log",        "Lg",          "Ln",
    "Exp",        "Округл",     "ПопрККУППоДуЭквШер", "ДуПоДвнутр",
    "ДвнутрПоДу", "ПлВодыПоТ",  "ДвнутрБилиРПоДр",    "ДвнутрБПоДр",
    "ДвнутрМилиРПоДр", "ДвнутрМПоДр", "ДвнутрПоДр",
};

const double kValues[32] = {
    0, -0.0, 1, -1, 2, 0.5, -2.5, 2.5, 1.005, 3, 10, -8, 1.0 / 3, 25, 100, 112.5,
    125, 32767, 50.5, 1e-300, 1e300, -1e300, 1.7e308, 4.9e-324, 1e19, 9.2e18, 700, 1000, 11, -10,
    std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
};

ReferenceTables tablesFor(int variant)
{
    switch (variant) {
    case 0:
        return ReferenceTables(
            {{100, 125}, {100, 100}, {50, 51}, {80, std::nullopt}, {125, 125}, {150, 150}, {std::nullopt, 200},
             {25, 27}},
            {{20, 998.2}, {20, 111}, {70, 977.8}, {90, std::nullopt}, {1, 1000}},
            {{25, 0.5, 1.0}, {25, 0.2, 0.8}, {25, 0.5, 7.0}, {32, 0, 0.6}, {100, 1, std::nullopt}});
    case 1:
        return ReferenceTables();
    case 2:
        return ReferenceTables({{100, std::nullopt}, {std::nullopt, std::nullopt}}, {}, {});
    default:
        return ReferenceTables({{100, 100}, {125, 125}}, {{100, 958.4}}, {{100, 0.5, 1.1}});
    }
}

QByteArray spell(const char* utf8, int caseMode)
{
    QString name = QString::fromUtf8(utf8);
    if (caseMode == 1)
        name = name.toUpper();
    else if (caseMode == 2)
        name = name.toLower();
    else if (caseMode == 3)
        for (qsizetype i = 0; i < name.size(); i += 2)
            name[i] = name[i].isUpper() ? name[i].toLower() : name[i].toUpper();
    return zurm::toCp1251(name);
}

QByteArray piecesToText(const uint8_t* data, size_t size)
{
    QByteArray text;
    int slot = 0;
    for (size_t i = 0; i < size; ++i) {
        const int b = data[i];
        const int piece = b & 31;
        const int high = b >> 5;
        if (piece < 10) {
            slot = slot < zurm::kMaxSlots ? slot + 1 : 1;
            text += '{' + QByteArray::number(slot) + '}';
        } else if (piece < 17) {
            text += "+-*/();"[piece - 10];
        } else if (piece < 29) {
            const int index = (piece - 17 + (high & 1) * 12) % 15;
            text += spell(kFunctionNames[index], high >> 1);
        } else if (piece == 29) {
            text += "xЁя_1.,e"[high % 8];
        } else if (piece == 30) {
            text += char(b);
        } else {
            const char* odd[] = {"{0}", "{256}", "{01}", "{}", "{1", "1}", "{99999999999}", "{001}"};
            text += odd[high];
        }
    }
    return text;
}

[[noreturn]] void mismatch(const char* what, const QByteArray& expression, const zurm::EvaluationContext& literal,
                           const zurm::EvaluationContext& replay)
{
    std::fprintf(stderr, "evaluator mismatch (%s) on \"%s\"\nliteral: %s | %.17g\ntape:    %s | %.17g\n", what,
                 zurm::fromCp1251(expression).toUtf8().constData(), literal.errorText.toUtf8().constData(),
                 literal.result, replay.errorText.toUtf8().constData(), replay.result);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int flags = data[0];
    const size_t length = std::min<size_t>(data[1], size - 2);
    const uint8_t* expressionBytes = data + 2;
    const uint8_t* valueBytes = expressionBytes + length;
    const size_t valueSize = size - 2 - length;

    const QByteArray expression = (flags & 4) ? piecesToText(expressionBytes, length)
                                              : QByteArray(reinterpret_cast<const char*>(expressionBytes), qsizetype(length));

    ReferenceTables literalTables = tablesFor((flags >> 4) & 3);
    ReferenceTables tapeTables = literalTables;

    zurm::EvaluationContext literal;
    literal.decimalPoint = (flags & 1) ? QLatin1Char(',') : QLatin1Char('.');
    literal.shortName = QString::fromUtf8((flags & 64) ? "ПотНОтИКонПод" : "X");
    if (flags & 2) {
        literal.startNode = 3;
        literal.endNode = 4;
    }
    // Slot values: one byte picks an interesting value, 0xFF followed by eight
    // bytes gives any double; slots without bytes hold their own number.
    size_t at = 0;
    for (int slot = 1; slot <= zurm::kMaxSlots; ++slot) {
        double value = slot;
        if (at < valueSize) {
            const uint8_t pick = valueBytes[at++];
            if (pick == 0xFF && at + 8 <= valueSize) {
                std::memcpy(&value, valueBytes + at, 8);
                at += 8;
            } else {
                value = kValues[pick & 31];
                if (pick & 0x80)
                    value = -value * (pick & 0x40 ? 1000 : 1);
            }
        }
        literal.values[slot] = value;
    }
    zurm::EvaluationContext replay = literal;
    literal.reference = &literalTables;
    replay.reference = &tapeTables;

    // A diameter table already left ascending by an earlier ДвнутрПоДр.
    if (flags & 8) {
        literalTables.nearestInternalByDesign(1);
        tapeTables.nearestInternalByDesign(1);
    }

    const zurm::FormulaTape tape = zurm::FormulaTape::compile(expression);
    const std::array<double, zurm::kMaxSlots + 1> values = literal.values;
    // The same tape serves a second record, with the slot values shifted by
    // one and the reference tables as the first record left them.
    for (int record = 0; record < 2; ++record) {
        for (int slot = 1; slot <= zurm::kMaxSlots; ++slot)
            literal.values[slot] = replay.values[slot] = values[(slot + record - 1) % zurm::kMaxSlots + 1];
        literal.expression = expression;
        zurm::EvaluateExpression(literal);
        tape.run(replay);

        if (literal.errorText != replay.errorText)
            mismatch("message", expression, literal, replay);
        if (literal.errorText.isEmpty()) {
            if (std::memcmp(&literal.result, &replay.result, sizeof(double)) != 0)
                mismatch("result", expression, literal, replay);
            if (!std::isfinite(literal.result))
                mismatch("result not finite", expression, literal, replay);
        } else if (!literal.errorText.startsWith(zurm::messagePrefix(literal))) {
            mismatch("prefix", expression, literal, replay);
        }
        if (literalTables.diametersAscending() != tapeTables.diametersAscending())
            mismatch("diameter order", expression, literal, replay);
        const bool syntaxError = literal.errorText.endsWith(QString::fromUtf8("Синтаксическая ошибка в формуле."));
        if ((literal.errorText.isEmpty() && !tape.reducesToToken()) || (syntaxError && tape.reducesToToken()))
            mismatch("syntax", expression, literal, replay);
    }
    return 0;
}
