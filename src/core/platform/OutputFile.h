#pragma once

// Every file the program writes for the user (the calculation text, the
// workbooks, the PDF report, the graph, the picture of the schema) goes
// through OutputFile: the place is judged before anything is written, the
// bytes go to a temporary file beside the target, and one rename puts them in
// place. A failed write leaves the old file as it was.

#include <QFile>
#include <QList>
#include <QString>
#include <memory>

namespace zurm {

// A file an output must never replace (the open calculation, the reference
// file), and how the refusal calls it ("файл расчета").
struct KeptFile {
    QString path;
    QString noun;
};

// Why `what` ("Текст расчета", "Отчет") may not be written to `target`, or an
// empty text when it may: the target must be a regular file that is none of
// `kept` (by device and inode, whatever the spelling or link), or a new name in
// an existing folder that can be written; never a folder, a symbolic link, a
// device, a FIFO or another special file.
QString outputPlaceProblem(const QString& what, const QString& target, const QList<KeptFile>& kept = {});

// The message of a write to `target` that failed with `error` (an errno
// value, 0 when unknown; `detail` is said when there is no errno): it names the
// file and the disk and says what to do.
QString outputWriteFailure(const QString& target, int error, const QString& detail = {});

class OutputFile {
public:
    // Judges the place (a refusal throws Failure of class "OutputPlaceError"
    // with outputPlaceProblem's text), removes what killed writes to the same
    // target left beside it, and creates the temporary file, locked while this
    // object lives so that another writer never takes it for a leftover.
    // Throws Failure.
    OutputFile(const QString& target, const QString& what, const QList<KeptFile>& kept = {});
    ~OutputFile(); // the temporary file is removed unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const QString& target() const { return target_; }
    // For writers that open the file by name (libxlsxwriter, the text stream).
    const QString& temporaryPath() const { return temporary_; }
    // For writers that take a device (images, PDF); open for writing.
    QFile& device() { return *device_; }

    // Writes the bytes to the temporary file. Throws Failure.
    void write(const QByteArray& bytes);
    // Makes `finished` (written elsewhere, e.g. the desktop's scratch text) the
    // content, moving it when it is on the same disk. Throws Failure.
    void takeContentOf(const QString& finished);
    // Flushes the file to the disk, judges the place again and renames the
    // temporary file onto the target. Throws Failure naming the file and the disk.
    void commit();
    // The message of a failed write to the target (outputWriteFailure), and
    // that the old file is kept when there is one.
    QString failureText(int error, const QString& detail = {}) const;
    // Throws the failure of a write to the target.
    [[noreturn]] void fail(int error, const QString& detail = {}) const;

private:
    QString target_;
    QString what_;
    QList<KeptFile> kept_;
    QString temporary_;
    std::unique_ptr<QFile> device_;
    bool committed_ = false;
};

// A whole file from memory through OutputFile. Throws Failure.
void writeOutputFile(const QString& target, const QByteArray& bytes, const QString& what,
                     const QList<KeptFile>& kept = {});

// Class of the Failure that refuses a place before anything is written.
inline constexpr const char* kOutputPlaceErrorClass = "OutputPlaceError";

} // namespace zurm
