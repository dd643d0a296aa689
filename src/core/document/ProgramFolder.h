#pragma once

#include <QString>
#include <QStringList>

namespace zurm {

// The files delivered with the program that the program folder must hold:
// the calculation template, the default reference file and the settings file.
const QStringList& deliveredFileNames();

// A file of this name in the executable's folder marks a program installed by
// the system's package manager: its folder is never written, whoever runs it.
inline const QString kInstalledMarker = QStringLiteral("installed");

// Decides the program folder once at start. The executable's folder is used
// when it holds every delivered file, carries no installed marker and can be
// written to (the portable program and the build tree); otherwise the per-user data folder is used and
// seeded with copies of the delivered files it lacks, so a read-only
// installation still has a settings file, a work database and a reference
// file it may change. Files already in the user folder are never replaced:
// they carry the user's settings and edited reference data.
//
// Never throws: a file that cannot be seeded shows up later, when the
// settings file is opened, as an error naming it.
QString resolveProgramFolder(const QString& executableFolder, const QString& userDataFolder);

// The same, telling also whether the settings file was seeded just now: the
// first start of an installed program, which opens on the sample calculation.
struct ProgramFolderChoice {
    QString folder;
    bool settingsSeeded = false;
};
ProgramFolderChoice chooseProgramFolder(const QString& executableFolder, const QString& userDataFolder);

// The per-user folder of an installed program: the desktop program's data
// folder (QStandardPaths::AppDataLocation of "ЗУРМ"), also when zurm-calc asks,
// whose own application name differs.
QString userProgramFolder();

// The same for this process: the folder of the running executable and
// userProgramFolder().
QString resolveProgramFolder();
ProgramFolderChoice chooseProgramFolder();

// Copies `sample` to `target` unless something is there already (the user's
// own edits of an earlier copy are never replaced). True when `target` is a
// file afterwards.
bool placeSampleCalculation(const QString& sample, const QString& target);

} // namespace zurm

namespace zurm {

// Scratch files of one running copy of the desktop program in the program
// folder: "~$<process>-<n>.<extension>", so that copies started from one
// folder never share (or delete) each other's work database or text.
QString ownScratchStem();

// Deletes the scratch files of copies that are no longer running, and the
// calculation text "~$.tx_" of the fixed name. Errors are ignored: a file that
// cannot be deleted is only a file left over.
void removeStaleScratchFiles(const QString& programFolder);

} // namespace zurm
