#pragma once

// The two auto-fill commands of the network parameters editor: one geodetic
// height for a range of nodes, and the given heads and the temperature
// difference for a range of end-node rows. The dialogs hand over their fields
// as typed; everything the user sees goes through UserDialogs and Progress.

#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace zurm {

class DataModule;
class Progress;
class UserDialogs;

// The first and the last key of a table in its order, as the range fields show
// them (a Null key is empty); nullopt when the table has no rows. Throws Failure.
struct KeyRangeTexts {
    QString first;
    QString last;
};
std::optional<KeyRangeTexts> nodeKeyRange(DataModule& data);    // Nуз of УзлыТС, "Nуз ASC"
std::optional<KeyRangeTexts> endNodeRowRange(DataModule& data); // id_m of КонМаг, "id_m ASC"

// Called with true once the typed values have been accepted and the rows are
// about to be written, and with false when the command ends after that,
// whatever its outcome: the dialog disables its fields and menu meanwhile.
using WritingState = std::function<void(bool writing)>;

// "Записать" of the node heights dialog.
struct NodeHeightsRequest {
    QString firstNode;       // edNomNachUz
    QString lastNode;        // edNomKonUz
    QString height;          // edGeodVis
    bool addMissing = false; // cbDobOtsutUz
};

enum class NodeHeightsField { FirstNode, LastNode, Height };

struct NodeHeightsOutcome {
    bool written = false;                            // "Данные записаны." was shown
    NodeHeightsField focus = NodeHeightsField::FirstNode; // to focus and select afterwards
};

// Both commands refuse a calculation open for viewing only with its message.

// Gives every node a..b of УзлыТС the typed height; with addMissing, nodes of
// the range that the table lacks are created at the origin with that height.
// A bound or height that does not convert is reported with its field's
// context, a range outside 0..32700 or reversed with its message; nothing is
// written then. The range is written in one transaction: a failure of the
// database half-way is reported and leaves the table as it was. `source`
// is passed to the input-changed signal.
NodeHeightsOutcome writeNodeHeights(DataModule& data, UserDialogs& dialogs, Progress& progress,
                                    const NodeHeightsRequest& request, const WritingState& writing = {},
                                    const QObject* source = nullptr);

// "Записать" of the end-node dialog: each value is written only when its box
// is checked.
struct EndNodeValuesRequest {
    struct Value {
        bool checked = false;
        QString text;
    };
    QString firstRow;            // edNomNachStr
    QString lastRow;             // edNomKonStr
    Value supplyHead;            // cbPNapPod, edPNapPod -> ПНапЗПод
    Value availableHead;         // cbRNap, edRNap -> РНапЗ
    Value temperatureDifference; // cbDeltaT, edDeltaT -> ДельтаТ
};

// Sets the checked values on every КонМаг row whose id_m lies in a..b; rows
// outside the range and unchecked columns stay as they are. Checks and
// messages as writeNodeHeights; the rows are written in one transaction.
// True when "Данные записаны." was shown.
bool writeEndNodeValues(DataModule& data, UserDialogs& dialogs, Progress& progress,
                        const EndNodeValuesRequest& request, const WritingState& writing = {},
                        const QObject* source = nullptr);

} // namespace zurm
