#include "gui/network/MapScaleDialog.h"

#include "base/Guarded.h"
#include "base/UserDialogs.h"
#include "gui/help/Help.h"
#include "gui/network/DialogParts.h"
#include "network/MapCommands.h"
#include "platform/NumberText.h"
#include "render/SchemaPainter.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

const QString kContext = QStringLiteral("Ошибка при записи масштаба карты.");

} // namespace

MapScaleDialog::MapScaleDialog(DataModule& data, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), data_(data), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("TKartaScaleForm"));
    setWindowTitle(QStringLiteral("Масштаб карты"));
    auto* layout = new QVBoxLayout(this);
    auto* menu = new QMenuBar(this);
    layout->setMenuBar(menu);
    connect(addMenuCommand(menu, "miRepaint", QStringLiteral("Обновить")), &QAction::triggered, this,
            &MapScaleDialog::repaintPreview);
    connect(addMenuCommand(menu, "miOK", QStringLiteral("ОК")), &QAction::triggered, this, &MapScaleDialog::store);
    connect(addMenuCommand(menu, "miCancel", QStringLiteral("Отмена")), &QAction::triggered, this, &QDialog::reject);
    connect(addMenuCommand(menu, "miHlp", QStringLiteral("?")), &QAction::triggered, this,
            [this] { showHelp(this, QStringLiteral("GR\\ScK.htm")); });

    auto* row = new QHBoxLayout;
    edM_ = new QLineEdit(this);
    edM_->setObjectName(QStringLiteral("edM"));
    auto* before = new QLabel(QStringLiteral("100 точек на карте ="), this);
    before->setBuddy(edM_);
    row->addWidget(before);
    row->addWidget(edM_);
    row->addWidget(new QLabel(QStringLiteral("м."), this));
    row->addStretch();
    layout->addLayout(row);
    // Enter repaints the preview; it never closes the dialog.
    connect(edM_, &QLineEdit::returnPressed, this, [this] {
        repaintPreview();
        edM_->selectAll();
    });

    cbVDl_ = new QCheckBox(QStringLiteral("Вычислять длину участков сети по масштабу карты"), this);
    cbVDl_->setObjectName(QStringLiteral("cbVDl"));
    layout->addWidget(cbVDl_);

    imKarta_ = new QLabel(this);
    imKarta_->setObjectName(QStringLiteral("imKarta"));
    imKarta_->setFixedSize(489, 233);
    imKarta_->setFrameShape(QFrame::NoFrame);
    layout->addWidget(imKarta_);
}

bool MapScaleDialog::run()
{
    MapScaleSetting setting;
    if (!guardedStep(dialogs_, kContext, [&] { setting = readMapScale(data_); }))
        return false;
    edM_->setText(setting.scale.isNull() ? QString() : formatGeneral15(setting.scale.toDouble()));
    cbVDl_->setChecked(setting.lengthsFromScale);
    drawPreview(setting.scale);
    edM_->setFocus();
    edM_->selectAll();
    return exec() == QDialog::Accepted;
}

QImage MapScaleDialog::preview() const
{
    return imKarta_->pixmap().toImage();
}

std::optional<double> MapScaleDialog::typedScale()
{
    const std::optional<double> scale = parseMapScale(edM_->text());
    if (!scale) {
        dialogs_.showMessage(notPositiveNumberMessage(edM_->text()), MessageKind::Warning);
        edM_->setFocus();
        edM_->selectAll();
    }
    return scale;
}

void MapScaleDialog::drawPreview(const QVariant& scale)
{
    imKarta_->setPixmap(QPixmap::fromImage(render::mapScalePreview(scale)));
}

void MapScaleDialog::repaintPreview()
{
    if (const std::optional<double> scale = typedScale())
        drawPreview(*scale);
}

void MapScaleDialog::store()
{
    const std::optional<double> scale = typedScale();
    if (!scale)
        return;
    if (guardedStep(dialogs_, kContext, [&] { storeMapScale(data_, *scale, cbVDl_->isChecked(), this); }))
        accept();
}

} // namespace zurm::gui
