#include "gui/network/AutoFillNodesDialog.h"

#include "base/Guarded.h"
#include "gui/help/Help.h"
#include "gui/network/DialogParts.h"
#include "network/AutoFill.h"
#include "session/DocumentSession.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

namespace zurm::gui {

AutoFillNodesDialog::AutoFillNodesDialog(DocumentSession& session, QWidget* parent)
    : QDialog(parent), session_(session)
{
    setObjectName(QStringLiteral("TAutoZapolUzTSForm"));
    setWindowTitle(QStringLiteral("Автозаполнение таблицы \"Узлы теплосети\""));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    QAction* miSave = nullptr;
    QAction* miClose = nullptr;
    QAction* miHlp = nullptr;
    menu_ = autoFillMenu(this, miSave, miClose, miHlp);
    layout->setMenuBar(menu_);
    connect(miSave, &QAction::triggered, this, &AutoFillNodesDialog::save);
    connect(miClose, &QAction::triggered, this, &AutoFillNodesDialog::reject);
    connect(miHlp, &QAction::triggered, this, [this] { showHelp(this, QStringLiteral("GR/RZapT.htm")); });

    auto* grid = new QGridLayout;
    edNomNachUz_ = numberField("edNomNachUz", 7, this);
    edNomKonUz_ = numberField("edNomKonUz", 7, this);
    edGeodVis_ = numberField("edGeodVis", 10, this);
    grid->addWidget(fieldLabel("lbNomNachUz", QStringLiteral("Начиная с узла"), edNomNachUz_, this), 0, 0);
    grid->addWidget(edNomNachUz_, 0, 1);
    grid->addWidget(fieldLabel("lbNomKonUz", QStringLiteral("по узел"), edNomKonUz_, this), 0, 2);
    grid->addWidget(edNomKonUz_, 0, 3);
    grid->addWidget(fieldLabel("lbGeodVis", QStringLiteral("записать геодезическую высоту"), edGeodVis_, this), 1, 0);
    grid->addWidget(edGeodVis_, 1, 1);
    grid->addWidget(fieldLabel("lbGeodVisUnit", QStringLiteral("м."), nullptr, this), 1, 2, 1, 2);
    grid->setColumnStretch(4, 1);
    layout->addLayout(grid);
    cbDobOtsutUz_ = new QCheckBox(QStringLiteral("Добавить отсутствующие узлы"), this);
    cbDobOtsutUz_->setObjectName(QStringLiteral("cbDobOtsutUz"));
    layout->addWidget(cbDobOtsutUz_);
    layout->addStretch(1);
    status_ = new QStatusBar(this);
    status_->setObjectName(QStringLiteral("StatusBar1"));
    status_->setSizeGripEnabled(false);
    layout->addWidget(status_);
    progress_ = std::make_unique<StatusBarProgress>(status_);

    setTabOrder(edNomNachUz_, edNomKonUz_);
    setTabOrder(edNomKonUz_, edGeodVis_);
    setTabOrder(edGeodVis_, cbDobOtsutUz_);
}

AutoFillNodesDialog::~AutoFillNodesDialog() = default;

void AutoFillNodesDialog::prepareAddMissing(bool manualFillMode)
{
    cbDobOtsutUz_->setChecked(false);
    cbDobOtsutUz_->setEnabled(manualFillMode);
}

void AutoFillNodesDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    status_->clearMessage();
    if (edNomNachUz_->text().isEmpty() && edNomKonUz_->text().isEmpty()) {
        std::optional<KeyRangeTexts> range;
        if (guardedStep(session_.dialogs(), QStringLiteral("Ошибка при чтении таблицы \"Узлы теплосети\"."),
                        [&] { range = nodeKeyRange(session_.data()); })
            && range) {
            edNomNachUz_->setText(range->first);
            edNomKonUz_->setText(range->last);
        }
    }
    edNomNachUz_->setFocus();
}

void AutoFillNodesDialog::save()
{
    if (writing_)
        return;
    addMissingWasEnabled_ = cbDobOtsutUz_->isEnabled();
    const NodeHeightsRequest request{edNomNachUz_->text(), edNomKonUz_->text(), edGeodVis_->text(),
                                     cbDobOtsutUz_->isChecked()};
    const NodeHeightsOutcome outcome = writeNodeHeights(
        session_.data(), session_.dialogs(), *progress_, request, [this](bool writing) { setWriting(writing); }, this);
    QLineEdit* focus = outcome.focus == NodeHeightsField::LastNode ? edNomKonUz_
                       : outcome.focus == NodeHeightsField::Height ? edGeodVis_
                                                                   : edNomNachUz_;
    focus->setFocus();
    focus->selectAll();
}

void AutoFillNodesDialog::setWriting(bool writing)
{
    writing_ = writing;
    for (QWidget* field : {static_cast<QWidget*>(edNomNachUz_), static_cast<QWidget*>(edNomKonUz_),
                           static_cast<QWidget*>(edGeodVis_)})
        field->setEnabled(!writing);
    cbDobOtsutUz_->setEnabled(!writing && addMissingWasEnabled_);
    menu_->setEnabled(!writing);
}

void AutoFillNodesDialog::reject()
{
    // The rows being written are not left half-way by closing the window.
    if (!writing_)
        QDialog::reject();
}

void AutoFillNodesDialog::closeEvent(QCloseEvent* event)
{
    if (writing_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

} // namespace zurm::gui
