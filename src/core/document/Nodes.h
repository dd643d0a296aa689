#pragma once

#include <QSqlRecord>

class QObject;

namespace zurm {

class DataModule;
class UserDialogs;

// A new node lies at the schema origin with zero height.
void atUzliTSAfterInsert(QSqlRecord& node);

// Before a node row is posted: any node edit makes the results stale; a number
// outside 0..32700 is refused with its message and the post is cancelled
// quietly (throws QuietAbort), the row staying in edit. `source` is the view
// that made the edit (DataModule::noteInputChanged).
void atUzliTSBeforePost(DataModule& data, UserDialogs& dialogs, const QSqlRecord& node,
                        const QObject* source = nullptr);

// Before a head-change row is posted.
void atIsmPNapBeforePost(DataModule& data, const QObject* source = nullptr);

} // namespace zurm
