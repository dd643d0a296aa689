#pragma once

// The adjustment of the consumers' inputs ("наладочный расчет"): after a
// hydraulic calculation, the throttling device each input needs so that it
// takes its design flow at the head the network gives it there: throttle
// orifices for the schemes without an elevator, the elevator with its nozzle
// (and an orifice before it when the nozzle would be too small) for the
// elevator scheme.

#include "document/Consumers.h"
#include "settings/AdjustmentSettings.h"

#include <QSqlDatabase>
#include <QString>
#include <optional>
#include <vector>

namespace zurm {

// Said when the adjustment is asked for before the calculation has been run
// (or after its input data changed), and for a one-pipe network, which has no
// return pipe and so no available head at the inputs.
inline const QString kAdjustmentNeedsCalculation =
    QStringLiteral("Перед наладочным расчетом необходимо выполнить расчет (Команда: Данные / Выполнить расчет).");
inline const QString kAdjustmentNeedsTwoPipes =
    QStringLiteral("Наладочный расчет выполняется только для двухтрубной сети: в однотрубной сети нет "
                   "располагаемого напора на вводах потребителей.");

// What the run gives at one end node.
struct InputConditions {
    int node = 0;
    std::optional<double> flow;              // G, t/h: РасхПод of the end segment
    std::optional<double> head;              // H, m: РНап of the end node
    std::optional<double> supplyTemperature; // τ1, °C: ТВодыКонПод of the end segment
    std::optional<double> returnTemperature; // τ2, °C: ТВодыКонОбр of the end segment
};

enum class AdjustmentDevice { None, Orifice, Elevator };

// n equal orifices in series that throttle `head` together.
struct Orifices {
    double head = 0;     // ΔH, m
    double diameter = 0; // mm
    int count = 0;
};

struct InputAdjustment {
    InputConditions conditions;
    bool hasConsumer = false;
    QString consumer;
    std::optional<ConnectionScheme> scheme;
    AdjustmentDevice device = AdjustmentDevice::None;
    std::optional<double> mixingRatio;   // u
    std::optional<double> designRatio;   // uр = k·u
    std::optional<double> throat;        // dг, mm, as computed
    std::optional<int> elevatorNumber;   // the smallest number whose throat is at least dг
    std::optional<double> minimumHead;   // Hmin, m
    std::optional<double> nozzle;        // dс, mm, as fitted (not below the smallest)
    std::optional<Orifices> orifices;    // of the scheme without an elevator, or before the elevator
    QString remark;                      // why something is missing, what is short, what was fitted
};

// Orifices for throttling `head` at `flow` (both positive): one of
// d = orificeFactor·(G²/ΔH)^¼, or, below the smallest diameter, the fewest n
// equal parts of ΔH whose orifice is not below it.
Orifices sizeOrifices(double flow, double head, const AdjustmentSettings& settings);

// The adjustment of one input. `consumer` is null when the end node has no
// consumer row. Never fails: missing or unsound input is said in the remark.
InputAdjustment adjustInput(const InputConditions& conditions, const Consumer* consumer,
                            const AdjustmentSettings& settings);

// The adjustment of every end node of the open calculation, by main number.
struct AdjustmentTable {
    QString refusal;                 // why there is none (not calculated, one-pipe); empty otherwise
    std::vector<InputAdjustment> rows;
    bool hasConsumers = false;       // a consumer row exists for some end node
};
// Reads the stored results of the run in one pass (КонМаг by id_m joined with
// the end segments of Табл) and the consumers. Throws Failure.
AdjustmentTable adjustInputs(const QSqlDatabase& calculation, bool calculationDone,
                             const AdjustmentSettings& settings);

// The conditions of every end node as stored by the run, by main number.
std::vector<InputConditions> readInputConditions(const QSqlDatabase& calculation);

} // namespace zurm
