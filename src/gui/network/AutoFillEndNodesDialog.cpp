#include "gui/network/AutoFillEndNodesDialog.h"

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

AutoFillEndNodesDialog::AutoFillEndNodesDialog(DocumentSession& session, QWidget* parent)
    : QDialog(parent), session_(session)
{
    setObjectName(QStringLiteral("TAutoZapolKonUzForm"));
    setWindowTitle(QStringLiteral("Автозаполнение таблицы \"Конечные узлы теплосети\""));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    QAction* miClose = nullptr;
    QAction* miHlp = nullptr;
    menu_ = autoFillMenu(this, miSave_, miClose, miHlp);
    layout->setMenuBar(menu_);
    connect(miSave_, &QAction::triggered, this, &AutoFillEndNodesDialog::save);
    connect(miClose, &QAction::triggered, this, &AutoFillEndNodesDialog::reject);
    connect(miHlp, &QAction::triggered, this, [this] { showHelp(this, QStringLiteral("GR/VvParTS.htm")); });

    auto* range = new QHBoxLayout;
    edNomNachStr_ = numberField("edNomNachStr", 7, this);
    edNomKonStr_ = numberField("edNomKonStr", 7, this);
    range->addWidget(fieldLabel("lbNomNachStr", QStringLiteral("Начиная со строки номер"), edNomNachStr_, this));
    range->addWidget(edNomNachStr_);
    range->addWidget(fieldLabel("lbNomKonStr", QStringLiteral("по строку номер"), edNomKonStr_, this));
    range->addWidget(edNomKonStr_);
    range->addStretch(1);
    layout->addLayout(range);

    struct Row {
        const char* box;
        const char* field;
        const char* unit;
        const char* caption;
        const char* unitText;
    };
    const Row rows[] = {
        {"cbPNapPod", "edPNapPod", "lbPNapPodUnit", "Полный напор в подающем трубопроводе:", "м."},
        {"cbRNap", "edRNap", "lbRNapUnit", "Располагаемый напор:", "м."},
        {"cbDeltaT", "edDeltaT", "lbDeltaTUnit", "Т воды в под. т-п. минус Т воды в обр. т-п.:", "град. С"},
    };
    auto* grid = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        Value& value = values_[i];
        value.box = new QCheckBox(QString::fromUtf8(rows[i].caption), this);
        value.box->setObjectName(QString::fromUtf8(rows[i].box));
        value.field = numberField(rows[i].field, 10, this);
        grid->addWidget(value.box, i, 0);
        grid->addWidget(value.field, i, 1);
        grid->addWidget(fieldLabel(rows[i].unit, QString::fromUtf8(rows[i].unitText), nullptr, this), i, 2);
        connect(value.box, &QCheckBox::clicked, this, &AutoFillEndNodesDialog::boxClicked);
    }
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);
    layout->addStretch(1);
    status_ = new QStatusBar(this);
    status_->setObjectName(QStringLiteral("StatusBar1"));
    status_->setSizeGripEnabled(false);
    layout->addWidget(status_);
    progress_ = std::make_unique<StatusBarProgress>(status_);

    QWidget* order[] = {edNomNachStr_,      edNomKonStr_,       values_[0].box, values_[0].field,
                        values_[1].box,     values_[1].field,   values_[2].box, values_[2].field};
    for (int i = 1; i < 8; ++i)
        setTabOrder(order[i - 1], order[i]);

    // Until the editor says which columns it shows.
    prepare(true, true, true);
}

AutoFillEndNodesDialog::~AutoFillEndNodesDialog() = default;

void AutoFillEndNodesDialog::prepare(bool supplyHeadShown, bool availableHeadShown, bool temperatureDifferenceShown)
{
    const bool shown[] = {supplyHeadShown, availableHeadShown, temperatureDifferenceShown};
    for (int i = 0; i < 3; ++i) {
        values_[i].box->setChecked(false);
        values_[i].box->setEnabled(shown[i]);
        values_[i].field->clear();
        values_[i].field->setEnabled(false);
    }
    miSave_->setEnabled(false);
}

void AutoFillEndNodesDialog::boxClicked()
{
    bool any = false;
    for (Value& value : values_) {
        value.field->setEnabled(value.box->isChecked());
        any = any || value.box->isChecked();
    }
    miSave_->setEnabled(any);
}

void AutoFillEndNodesDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    status_->clearMessage();
    if (edNomNachStr_->text().isEmpty() && edNomKonStr_->text().isEmpty()) {
        std::optional<KeyRangeTexts> range;
        if (guardedStep(session_.dialogs(), QStringLiteral("Ошибка при чтении таблицы \"Конечные узлы теплосети\"."),
                        [&] { range = endNodeRowRange(session_.data()); })
            && range) {
            edNomNachStr_->setText(range->first);
            edNomKonStr_->setText(range->last);
        }
    }
    edNomNachStr_->setFocus();
}

void AutoFillEndNodesDialog::save()
{
    if (writing_ || !miSave_->isEnabled())
        return;
    for (Value& value : values_)
        value.boxWasEnabled = value.box->isEnabled();
    EndNodeValuesRequest request;
    request.firstRow = edNomNachStr_->text();
    request.lastRow = edNomKonStr_->text();
    EndNodeValuesRequest::Value* targets[] = {&request.supplyHead, &request.availableHead,
                                              &request.temperatureDifference};
    for (int i = 0; i < 3; ++i)
        *targets[i] = {values_[i].box->isChecked(), values_[i].field->text()};
    writeEndNodeValues(session_.data(), session_.dialogs(), *progress_, request,
                       [this](bool writing) { setWriting(writing); }, this);
}

void AutoFillEndNodesDialog::setWriting(bool writing)
{
    writing_ = writing;
    edNomNachStr_->setEnabled(!writing);
    edNomKonStr_->setEnabled(!writing);
    for (Value& value : values_) {
        value.box->setEnabled(!writing && value.boxWasEnabled);
        value.field->setEnabled(!writing && value.box->isChecked());
    }
    menu_->setEnabled(!writing);
}

void AutoFillEndNodesDialog::reject()
{
    // The rows being written are not left half-way by closing the window.
    if (!writing_)
        QDialog::reject();
}

void AutoFillEndNodesDialog::closeEvent(QCloseEvent* event)
{
    if (writing_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

} // namespace zurm::gui
