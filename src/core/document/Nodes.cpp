#include "document/Nodes.h"

#include "base/Failure.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "document/Segments.h"

namespace zurm {

void atUzliTSAfterInsert(QSqlRecord& node)
{
    for (const char* field : {"x", "y", "ГеодВыс"})
        node.setValue(QString::fromUtf8(field), 0);
}

void atUzliTSBeforePost(DataModule& data, UserDialogs& dialogs, const QSqlRecord& node, const QObject* source)
{
    data.noteInputChanged(source);
    const QString problem = nodeNumberProblem(node.value(QStringLiteral("Nуз")));
    if (!problem.isEmpty()) {
        dialogs.showMessage(problem, MessageKind::Warning);
        throw QuietAbort();
    }
}

void atIsmPNapBeforePost(DataModule& data, const QObject* source)
{
    data.noteInputChanged(source);
}

} // namespace zurm
