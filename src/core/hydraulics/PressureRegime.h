#pragma once

#include "document/Consumers.h"

#include <QSqlDatabase>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace zurm {

// The pressure regime of a calculated network: every node's heads against its
// ground, its building and the boiling of its supply water. The check reads
// only the results of the last run and changes nothing.

enum class PressureFault {
    SupplyVacuum,       // supply head below the ground
    ReturnVacuum,       // return head below the ground
    SystemsEmpty,       // return head below ground + building height + 5 m
    SupplyTooHigh,      // supply head above ground + the allowed pressure
    Boiling,            // supply head below ground + boiling head + the reserve
};
inline constexpr int kPressureFaultCount = 5;

// How far the return head must stand above a building's top so that its
// system stays full.
inline constexpr double kSystemFillingReserve = 5.0;

// What the heads of one node are at one place: a node with a head change has
// one pair before it and one after, an end node one more from КонМаг.
struct NodeHeads {
    int node = 0;
    double ground = 0;                        // ГеодВыс, m
    std::optional<double> supplyHead;         // full heads, m
    std::optional<double> returnHead;
    std::optional<double> supplyTemperature;  // °C
    std::optional<double> buildingHeight;     // ВысЗд of the consumer at an end node
};

struct PressureRegimeCheck {
    bool twoPipe = false;
    PressureLimits limits;
    // Per fault the nodes where it occurs, each once, ascending.
    std::array<std::vector<int>, kPressureFaultCount> nodes;

    const std::vector<int>& of(PressureFault fault) const { return nodes[size_t(fault)]; }
    bool clean() const;
};

// The check of the given heads; the return checks only for a two-pipe
// network. Comparisons are strict; a missing head or temperature is not
// checked.
PressureRegimeCheck checkPressureRegime(const std::vector<NodeHeads>& heads, bool twoPipe,
                                        const PressureLimits& limits);

// The heads of every node as the last run left them: both ends of every
// segment of Табл, and every end node with its КонМаг heads (the ground and
// supply temperature of its segment); the building heights from Потребители.
struct PressureRegimeInput {
    bool twoPipe = false;
    PressureLimits limits;
    std::vector<NodeHeads> heads;
};
PressureRegimeInput readPressureRegimeInput(const QSqlDatabase& calculation);

// Reads and checks. Throws Failure on a database error.
PressureRegimeCheck checkPressureRegime(const QSqlDatabase& calculation);

// The result as the completion dialog and zurm-calc show it: a line per fault
// found ("\r\n" between lines), or "Нарушений режима давления нет.".
QString pressureRegimeText(const PressureRegimeCheck& check);

// Node lists longer than this are cut: the first ones and "… и ещё N".
inline constexpr int kPressureNodesShown = 20;

} // namespace zurm
