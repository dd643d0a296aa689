// Formula evaluation speed: a 20-operand formula compiled once and replayed
// per record (the calculation run's way), against rewriting the text for every
// record. The figure that matters is Replay20Operands/1000000 records: the time
// of one million replays, goal at most 0.2 s.

#include "indicators/Evaluator.h"
#include "indicators/FormulaTape.h"
#include "indicators/ReferenceTables.h"
#include "platform/Cp1251.h"

#include <benchmark/benchmark.h>

#include <array>

namespace {

using namespace zurm;

// Twenty operands, every operator, parentheses and four built-in functions.
const char* const kFormula = "({1}+{2})*{3}/{4}-Степень({5};{6})+Ln({7})*{8}-{9}/({10}+{11})"
                             "+Округл({12};{13})*{14}-Exp({15})+{16}*{17}/{18}-Lg({19})+{20}";

// The same shape with a reference look-up in place of the power.
const char* const kLookupFormula = "({1}+{2})*{3}/{4}-ДвнутрПоДр({5})*{6}+Ln({7})*{8}-{9}/({10}+{11})"
                                   "+Округл({12};{13})*{14}-Exp({15})+{16}*{17}/{18}-Lg({19})+{20}";

const std::array<double, 20> kRecord = {1.5, 2.25, 3.0, 4.0, 1.2, 2.0, 7.5, 0.8, 9.0, 1.0,
                                        1.0, 123.456, 2.0, 0.5, 0.1, 16.0, 17.0, 18.0, 19.0, 20.0};

ReferenceTables diameters()
{
    return ReferenceTables({{25, 27}, {50, 51}, {100, 100}, {125, 125}, {150, 150}, {200, 207}}, {}, {});
}

void fill(EvaluationContext& context, int record)
{
    for (size_t i = 0; i < kRecord.size(); ++i)
        context.values[i + 1] = kRecord[i];
    // Records differ a little, as segments do.
    context.values[1] += record & 7;
}

void replay(benchmark::State& state, const char* formula)
{
    ReferenceTables tables = diameters();
    const FormulaTape tape = FormulaTape::compile(toCp1251(QString::fromUtf8(formula)));
    EvaluationContext context;
    context.reference = &tables;
    const int records = int(state.range(0));
    for (auto _ : state) {
        double sum = 0;
        for (int record = 0; record < records; ++record) {
            fill(context, record);
            tape.run(context);
            sum += context.result;
        }
        if (!context.errorText.isEmpty())
            state.SkipWithError("the formula failed");
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * records);
}

void Replay20Operands(benchmark::State& state) { replay(state, kFormula); }
BENCHMARK(Replay20Operands)->Arg(1000000)->Unit(benchmark::kMillisecond);

void Replay20OperandsWithLookup(benchmark::State& state) { replay(state, kLookupFormula); }
BENCHMARK(Replay20OperandsWithLookup)->Arg(1000000)->Unit(benchmark::kMillisecond);

void RewriteText20Operands(benchmark::State& state)
{
    const QByteArray expression = toCp1251(QString::fromUtf8(kFormula));
    EvaluationContext context;
    int record = 0;
    for (auto _ : state) {
        fill(context, record++);
        context.expression = expression;
        EvaluateExpression(context);
        benchmark::DoNotOptimize(context.result);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RewriteText20Operands);

void Compile20Operands(benchmark::State& state)
{
    const QByteArray expression = toCp1251(QString::fromUtf8(kFormula));
    for (auto _ : state) {
        const FormulaTape tape = FormulaTape::compile(expression);
        benchmark::DoNotOptimize(tape.reductionCount());
    }
}
BENCHMARK(Compile20Operands);

} // namespace


