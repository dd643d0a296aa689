#include "gui/entry/MainWindow.h"

#include "document/DocumentSession.h"
#include "document/ProgramFolder.h"
#include "gui/platform/WidgetDialogs.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

namespace zurm::gui {

MainWindow::MainWindow(const QString& programFolder, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(kProgramCaption);
    setMinimumSize(640, 480);
    resize(1024, 700);

    dialogs_ = std::make_unique<WidgetDialogs>(this);
    progress_ = std::make_unique<WindowProgress>(this);
    session_ = std::make_unique<DocumentSession>(programFolder.isEmpty() ? resolveProgramFolder() : programFolder,
                                                 *dialogs_, *progress_);

    auto* central = new QLabel(this);
    central->setObjectName(QStringLiteral("pnClient"));
    central->setAlignment(Qt::AlignCenter);
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    auto* toolbar = addToolBar(QStringLiteral("ToolBar1"));
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    const struct {
        const char* menuName;
        const char* buttonName;
        const char* text;
        void (MainWindow::*slot)();
    } commands[] = {
        {"miFileNewRas", "tbNewRas", "Создать новый расчет", &MainWindow::newCalculation},
        {"miFileOpenRas", "tbOpenRas", "Открыть расчет", &MainWindow::openCalculation},
        {"miFileSaveRas", "tbSaveRas", "Сохранить расчет", &MainWindow::saveCalculation},
        {"miFileSaveRasAs", "tbSaveRasAs", "Сохранить расчет как...", &MainWindow::saveCalculationAs},
        {"miFileOpenSprav", nullptr, "Открыть справочники", &MainWindow::openReference},
        {"miFileSaveSpravAs", nullptr, "Сохранить справочники как...", &MainWindow::saveReferenceAs},
        {"miFileCompactRas", nullptr, "Сжать расчет", &MainWindow::compactCalculation},
        {"miFileCompactSprav", nullptr, "Сжать справочники", &MainWindow::compactReference},
    };
    for (const auto& c : commands) {
        QAction* action = addCommand(file, QString::fromUtf8(c.menuName), QString::fromUtf8(c.text), c.slot);
        if (c.buttonName) {
            QAction* button = toolbar->addAction(action->text());
            button->setObjectName(QString::fromUtf8(c.buttonName));
            button->setToolTip(action->text());
            connect(button, &QAction::triggered, this, c.slot);
        }
    }
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("Выход"));
    exit->setObjectName(QStringLiteral("miFileExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Справка"));
    QAction* aboutAction = help->addAction(QStringLiteral("О программе"));
    aboutAction->setObjectName(QStringLiteral("miSpravkaOProg"));
    connect(aboutAction, &QAction::triggered, this, &MainWindow::about);
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::addCommand(QMenu* menu, const QString& objectName, const QString& text, void (MainWindow::*slot)())
{
    QAction* action = menu->addAction(text);
    action->setObjectName(objectName);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (started_)
        return;
    started_ = true;
    // The start-up sequence runs once the window is first shown.
    session_->startUp(QStringLiteral("~$.mdb"));
    refreshFromSession();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    session_->exitCleanUp();
    event->accept();
}

void MainWindow::refreshFromSession()
{
    const DocumentViewState& view = session_->viewState();
    setWindowTitle(view.caption);
    statusBar()->showMessage(view.statusText);
    auto* label = static_cast<QLabel*>(centralWidget());
    if (!session_->data().calculationOpen())
        label->setText(QStringLiteral("Расчет не открыт. Выберите команду Файл \\ Открыть расчет."));
    else
        label->setText(view.calculationName.isEmpty() ? QStringLiteral("Расчет открыт.") : view.calculationName);
}

void MainWindow::runCommand(bool (DocumentSession::*command)())
{
    (session_.get()->*command)();
    refreshFromSession();
}

void MainWindow::newCalculation() { runCommand(&DocumentSession::newCalculation); }
void MainWindow::openCalculation() { runCommand(&DocumentSession::openCalculation); }
void MainWindow::saveCalculation() { runCommand(&DocumentSession::saveCalculation); }
void MainWindow::saveCalculationAs() { runCommand(&DocumentSession::saveCalculationAs); }
void MainWindow::openReference() { runCommand(&DocumentSession::openReference); }
void MainWindow::saveReferenceAs() { runCommand(&DocumentSession::saveReferenceAs); }
void MainWindow::compactCalculation() { runCommand(&DocumentSession::compactCalculation); }
void MainWindow::compactReference() { runCommand(&DocumentSession::compactReference); }

void MainWindow::about()
{
    QMessageBox::about(this, QStringLiteral("О программе"),
                       QStringLiteral("ЗУРМ 1.4\nГидравлический расчет водяных тепловых сетей.\n2026"));
}

} // namespace zurm::gui
