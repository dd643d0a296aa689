// Fuzz target over the Jet adapter: every input is opened as an Access
// database from memory and every row of every user table is read. A Failure is
// the expected answer to a damaged file; anything else (a crash, a sanitizer
// report, another exception, a hang) is a finding.

#include "base/Failure.h"
#include "platform/JetDatabase.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const zurm::JetDatabase database(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                                         QStringLiteral("fuzz.mdb"));
        qint64 values = 0;
        for (int i = 0; i < database.tables().size(); ++i)
            database.readRows(i, [&](const zurm::JetRow& row) { values += row.size(); });
    } catch (const zurm::Failure&) {
    }
    return 0;
}
