// How the main window lays itself out: the panels and their sizes, the
// fonts of the grids and captions, the window's place on the screen.
#include "gui/entry/MainWindow.h"

#include "base/Guarded.h"
#include "gui/entry/CalculationGrids.h"
#include "gui/hydraulics/RunCommands.h"
#include "gui/settings/SettingsDialog.h"
#include "session/DocumentSession.h"
#include "settings/FontSizes.h"

#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

const QString kFontContext = QStringLiteral("Ошибка при настройке размера шрифта в таблицах данных.");

} // namespace

// ---------------------------------------------------------------- panels

void MainWindow::createPanels()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnMain"));
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(central);
    grids_ = new CalculationGrids(*session_, *dialogs_, central);
    centralLayout->addWidget(grids_);
}

// ---------------------------------------------------------------- fonts

void MainWindow::ApplyFontSizes()
{
    // Unreadable sizes leave the fonts as they were; the grids stay usable.
    guardedStep(dialogs(), kFontContext, [this] {
        if (session_->data().settingsOpen())
            fontSizes_ = readFontSizes(session_->data().settings());
    });
    applyFonts();
}

void MainWindow::applyFonts()
{
    // The commands first, laid out at once: the room they take is the room
    // the grids' panels no longer have when they size themselves.
    applyCommandFonts();
    layout()->activate();
    grids_->applyFonts(fontSizes_);
    runCommands_->setMemoFont(sizedFont(font(), fontSizes_.dataCells));
}

void MainWindow::applyCommandFonts()
{
    // A person who needs the data larger needs the commands larger too: the
    // menus and the toolbar read at the size of the data grids. The menus are
    // windows of their own, which take no font from the bar. The toolbar's
    // icons keep their size: at the largest fonts the grids' titles already
    // take most of a low window's height.
    const QFont commands = sizedFont(font(), fontSizes_.dataCells);
    menuBar()->setFont(commands);
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        menu->setFont(commands);
    for (QToolBar* bar : findChildren<QToolBar*>())
        bar->setFont(commands);
}

void MainWindow::editSettings()
{
    if (!session_->data().settingsOpen())
        return;
    if (!settingsDialog_)
        settingsDialog_ = new SettingsDialog(dialogs(), this);
    settingsDialog_->edit(session_->data().settings());
    // Also after "Отмена": the stored sizes are applied again.
    ApplyFontSizes();
}

// ---------------------------------------------------------------- window geometry

namespace {
const QString kGeometryKey = QStringLiteral("MainWindow/geometry");

// Kept beside the settings file in the program folder, as the settings are.
QString windowSettingsFile(const QString& programFolder)
{
    return programFolder + QStringLiteral("/ZURM.ini");
}
} // namespace

void MainWindow::restoreWindowGeometry()
{
    const QSettings stored(windowSettingsFile(session_->programFolder()), QSettings::IniFormat);
    if (restoreGeometry(stored.value(kGeometryKey).toByteArray()))
        return;
    // First start: most of the screen, centred.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 700);
    const QSize size(qMax(minimumWidth(), available.width() * 9 / 10),
                     qMax(minimumHeight(), available.height() * 9 / 10));
    resize(size);
    move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

void MainWindow::storeWindowGeometry() const
{
    QSettings stored(windowSettingsFile(session_->programFolder()), QSettings::IniFormat);
    stored.setValue(kGeometryKey, saveGeometry());
}

} // namespace zurm::gui
