#pragma once

// What the benches of the desktop windows share: answers that open a given
// calculation file, and a program folder with copies of the delivered files.

#include "base/UserDialogs.h"
#include "gui/entry/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>

namespace zurm::bench {

class OpeningDialogs : public UserDialogs {
public:
    QString file;
    void showMessage(const QString& text, zurm::MessageKind) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool askYesNo(const QString&, const QString&) override { return true; }
    std::optional<QString> chooseFileToOpen(const QString&, const QString&, const QString&) override { return file; }
    std::optional<QString> chooseFileToSave(const QString&, const QString&, const QString&) override { return {}; }
};

inline QString desktopProgramFolder()
{
    static QTemporaryDir folder;
    static QString path;
    if (path.isEmpty()) {
        path = folder.path();
        for (const char* name : {"GidrRas.mdb", "Spr.mdb", "Nastr.mdb"}) {
            const QString target = path + QLatin1Char('/') + QString::fromUtf8(name);
            QFile::copy(QStringLiteral(ZURM_BIN_DIR "/") + QString::fromUtf8(name), target);
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        }
    }
    return path;
}

// Shows the main window (on desktopProgramFolder(), asking with `dialogs`)
// and waits until its start-up sequence has run.
inline void showStartedUp(gui::MainWindow& window)
{
    window.resize(1280, 800);
    window.show();
    QElapsedTimer startUp;
    startUp.start();
    while (!window.startedUp() && startUp.elapsed() < 30000)
        QApplication::processEvents();
}

} // namespace zurm::bench
