#pragma once

#include "platform/OutputFile.h"

namespace zurm {

class DataModule;

// The open documents of `data` (calculation, reference, settings and the work
// database): no output may replace them, by whatever name it is given.
QList<KeptFile> documentFiles(const DataModule& data);

} // namespace zurm
