#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace zurm {

class DataModule;


// The three fields above the header grid: the calculation name and the nodes
// at which the heads are given. What they store goes into the calculation's
// own row.

// Stores the name unless the file holds it already (a file open for viewing
// only must not fail every file command that posts the pending edits).
void storeCalculationName(DataModule& data, const QString& name);

// The refusal of a head-node field's text, a typing error naming the field by
// `label` as the window shows it; empty when the text may be stored: a node
// number of 0…32700, or a text that is no integer (ignored).
QString headNodeProblem(const QString& typed, const QString& label);

// The stored node number of `column` as its field shows it.
QString storedHeadNodeText(DataModule& data, const QString& column);

// Stores a typed node number into `column` (CalculationRow::kSupplyHeadNode or
// kAvailableHeadNode). Text that is no integer leaves the stored number as it
// is; a text refused by headNodeProblem throws Failure. A changed number is
// input changed. Returns the text the field then shows, or nothing when
// nothing was stored. `source` is the view the field belongs to.
std::optional<QString> storeHeadNode(DataModule& data, const QString& column, const QString& typed,
                                     const QString& label, const QObject* source);

// In design mode the heads are given at the start node: both head-node
// columns take it. Returns the text both fields then show; nothing outside
// design mode.
std::optional<QString> placeGivenHeadsAtStartNode(DataModule& data);

} // namespace zurm
