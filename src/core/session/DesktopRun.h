#pragma once

#include "hydraulics/CalculationRun.h"

namespace zurm {

class DocumentSession;

// The options of a run started from the desktop program: the session's check
// results, the three fields as typed, its pending edits and its own text file.
RunOptions desktopRunOptions(DocumentSession& session);

} // namespace zurm
