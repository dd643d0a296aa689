#pragma once

#include <QString>
#include <optional>

namespace zurm {

// Filter of every file dialog of the document commands.
inline const QString kDatabaseFileFilter = QStringLiteral("База данных (*.mdb)|*.mdb");

// A chosen name gets ".mdb" appended unless it already ends in ".mdb" in any
// letter case: report -> report.mdb, x.MDB stays, a.txt -> a.txt.mdb.
QString withDatabaseExtension(const QString& name);

// The absolute, cleaned folder of a file path ("" for an empty path).
QString folderOf(const QString& path);

// Device and inode of what the path leads to now; nullopt when nothing does.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> fileIdentity(const QString& path);

// Whether two paths name one existing file or folder (device and inode), by
// whatever spelling, symbolic link or hard link.
bool sameFileObject(const QString& a, const QString& b);

// Comparisons of the file commands: most compare upper-cased, opening a
// calculation compares the strings as they are; any two spellings of one
// existing file or folder are the same as well.
bool sameFolderIgnoringCase(const QString& a, const QString& b);
bool samePathIgnoringCase(const QString& a, const QString& b);

// The folder a file dialog starts in: the folder of the current file of the
// same kind, or "" (the system's default) when none is stored.
QString initialFolderFor(const QString& currentFile);

// Writes bytes to a file through a temporary name in the target folder and
// moves it into place only when everything is written: a full disk never
// leaves a half file under the user's chosen name. Throws Failure.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

// Moves a finished file over the target, replacing it in one step where the
// file system allows; across file systems it is copied beside the target first.
// Throws Failure; the source is gone afterwards only on success.
void replaceFile(const QString& source, const QString& target);

// A name for a temporary file beside the target that does not exist yet.
QString temporaryNameBeside(const QString& target);

// Class name of file-system failures in the error report.
inline constexpr const char* kFileErrorClass = "FileError";

} // namespace zurm
