#include "gui/network/RenameNodesDialog.h"

#include "base/Guarded.h"
#include "base/UserDialogs.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/help/Help.h"
#include "gui/network/DialogParts.h"
#include "network/RenamePlan.h"
#include "network/SchemaEditing.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

namespace zurm::gui {

namespace {

const QString kContext = QStringLiteral("Ошибка при переименовании узлов.");

} // namespace

RenameNodesDialog::RenameNodesDialog(DataModule& data, SchemaEditing& editing, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), data_(data), editing_(editing), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("TRenameUzForm"));
    setWindowTitle(QStringLiteral("Переименование выделенных узлов"));
    auto* layout = new QVBoxLayout(this);
    auto* menu = new QMenuBar(this);
    menu_ = menu;
    layout->setMenuBar(menu);
    miRename_ = addMenuCommand(menu, "miRename", QStringLiteral("&Переименовать"));
    miClose_ = addMenuCommand(menu, "miClose", QStringLiteral("&Закрыть"));
    connect(miRename_, &QAction::triggered, this, &RenameNodesDialog::rename);
    connect(miClose_, &QAction::triggered, this, &QDialog::reject);
    connect(addMenuCommand(menu, "miHlp", QStringLiteral("&?")), &QAction::triggered, this,
            [this] { showHelp(this, QStringLiteral("GR/RenameSelUzTS.htm")); });

    plan_ = new RenamePlanModel(data_, this);
    grid_ = new CalculationGrid(this);
    grid_->setObjectName(QStringLiteral("DGRename"));
    grid_->setDialogs(&dialogs_);
    grid_->setModel(plan_);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    grid_->horizontalHeader()->setStretchLastSection(true);
    QFont bold = grid_->horizontalHeader()->font();
    bold.setBold(true);
    const int digits = QFontMetrics(bold).horizontalAdvance(QStringLiteral("Новый номер узла")) + 24;
    grid_->setColumnWidth(0, digits);
    grid_->setColumnWidth(1, digits);
    layout->addWidget(grid_, 1);
    status_ = new QStatusBar(this);
    layout->addWidget(status_);
    resize(std::max(640, 3 * digits + 260), 420);
}

RenameNodesDialog::~RenameNodesDialog() = default;

void RenameNodesDialog::run()
{
    status_->clearMessage();
    plan_->setReadOnly(false);
    miRename_->setEnabled(true);
    if (!guardedStep(dialogs_, kContext, [&] { plan_->select(); }))
        return;
    if (plan_->rowCount() > 0)
        grid_->setCurrentIndex(plan_->index(0, 1));
    grid_->setFocus();
    exec();
}

void RenameNodesDialog::rename()
{
    grid_->finishEditing();
    StatusBarProgress progress(status_);
    progress.setBusy(true);
    menu_->setEnabled(false);
    status_->showMessage(QStringLiteral("Переименование узлов"));
    RenameRun outcome;
    const bool done = guardedStep(dialogs_, kContext, [&] {
        outcome = editing_.renameNodes();
        plan_->select();
    });
    progress.setStatus(QString());
    progress.setBusy(false);
    menu_->setEnabled(true);
    if (!done)
        return;
    if (!outcome.success) {
        if (plan_->rowCount() > 0)
            grid_->setCurrentIndex(plan_->index(0, 1));
        miRename_->setEnabled(false);
        plan_->setReadOnly(true);
        dialogs_.showMessage(outcome.message, MessageKind::Warning);
        return;
    }
    accept();
}

void RenameNodesDialog::done(int result)
{
    grid_->finishEditing();
    guardedStep(dialogs_, kContext, [&] { plan_->clear(); });
    QDialog::done(result);
}

} // namespace zurm::gui
