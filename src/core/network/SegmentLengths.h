#pragma once

#include <QString>

class QObject;

namespace zurm {

class DataModule;

// Sets every segment's supply length (and for a two-pipe network the return
// length) from its nodes' distance on the map and the map scale, to 0.01 m.
// Returns an empty text when done, else why nothing was computed (no scale,
// or a scale that is not positive). Throws Failure.
QString ComputeLengthsFromScale(DataModule& data, const QObject* source = nullptr);

} // namespace zurm
