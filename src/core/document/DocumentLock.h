#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace zurm {

// Who holds the edit lock of a calculation file.
struct LockHolder {
    QString user;
    QString host;
    qint64 pid = 0;
    QDateTime since;
};

// The edit lock of a calculation file: a small file "~$<name>.lock" beside it
// that names the user, the computer, the process and the time, so that one
// calculation file is edited by one copy of the program at a time. A lock left
// by a process of this computer that no longer runs is stale and taken over.
// Where no lock can be created (a read-only folder), the file is opened without
// one. Other programs (zurm-calc) neither take nor honour it.
class DocumentLock {
public:
    DocumentLock() = default;
    ~DocumentLock();
    DocumentLock(const DocumentLock&) = delete;
    DocumentLock& operator=(const DocumentLock&) = delete;

    // The lock file of the given calculation file.
    static QString lockFileFor(const QString& file);

    // Takes the lock of the file (releasing any lock held before). Returns the
    // holder when another copy of the program holds it; nullopt when the file
    // may be edited here.
    std::optional<LockHolder> acquire(const QString& file);
    // Removes the lock file when it is still this copy's.
    void release();

    // "пользователь u на компьютере h (процесс p, с dd.MM.yyyy hh:mm)".
    static QString describe(const LockHolder& holder);

private:
    QString path_;
    QString content_;
};

} // namespace zurm
