#include "gui/settings/SettingsDialog.h"

#include "base/Guarded.h"
#include "gui/help/Help.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

QLineEdit* numberField(const char* name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromUtf8(name));
    field->setFixedWidth(60);
    return field;
}

} // namespace

SettingsDialog::SettingsDialog(UserDialogs& dialogs, QWidget* parent) : QDialog(parent), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("TNastrProgForm"));
    setWindowTitle(QStringLiteral("Настройки программы"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);

    auto* menu = new QMenuBar(this);
    menu->setObjectName(QStringLiteral("MainMenu1"));
    QAction* miOK = menu->addAction(QStringLiteral("OK"));
    miOK->setObjectName(QStringLiteral("miOK"));
    QAction* miCancel = menu->addAction(QStringLiteral("Отмена"));
    miCancel->setObjectName(QStringLiteral("miCancel"));
    QAction* miHlp = menu->addAction(QStringLiteral("?"));
    miHlp->setObjectName(QStringLiteral("miHlp"));
    layout->setMenuBar(menu);
    connect(miOK, &QAction::triggered, this, &SettingsDialog::ok);
    connect(miCancel, &QAction::triggered, this, &QDialog::reject);
    connect(miHlp, &QAction::triggered, this, [this] { showHelp(this, QStringLiteral("DV/NastrProg.htm")); });

    auto* fonts = new QGroupBox(QStringLiteral("Размер шрифта"), this);
    fonts->setObjectName(QStringLiteral("gbFSize"));
    auto* fontsLayout = new QFormLayout(fonts);
    edFSizeTD_ = numberField("edFSizeTD", fonts);
    edFSizeZagColTD_ = numberField("edFSizeZagColTD", fonts);
    edFSizeNaimPok_ = numberField("edFSizeNaimPok", fonts);
    edFSizeGr_ = numberField("edFSizeGr", fonts);
    fontsLayout->addRow(QStringLiteral("В таблицах данных:"), edFSizeTD_);
    fontsLayout->addRow(QStringLiteral("В заголовках колонок таблиц данных:"), edFSizeZagColTD_);
    fontsLayout->addRow(QStringLiteral("Наименований показателей:"), edFSizeNaimPok_);
    fontsLayout->addRow(QStringLiteral("В надписях на графиках:"), edFSizeGr_);
    layout->addWidget(fonts);

    auto* precision = new QGroupBox(QStringLiteral("Точность показателей в отчетах"), this);
    precision->setObjectName(QStringLiteral("gbTPok"));
    auto* precisionLayout = new QHBoxLayout(precision);
    edTPok_ = numberField("edTPok", precision);
    precisionLayout->addWidget(edTPok_);
    auto* unit = new QLabel(QStringLiteral("зн. дробной части числа"), precision);
    unit->setObjectName(QStringLiteral("lbTPok"));
    unit->setBuddy(edTPok_);
    precisionLayout->addWidget(unit, 1);
    layout->addWidget(precision);

    cbSaveTXTRas_ = new QCheckBox(QStringLiteral("Сохранять текст расчета"), this);
    cbSaveTXTRas_->setObjectName(QStringLiteral("cbSaveTXTRas"));
    layout->addWidget(cbSaveTXTRas_);
    layout->addStretch(1);

    // The same two commands as buttons at the foot of the window, where they
    // are looked for; Enter means OK, Esc means Отмена.
    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("bbOKCancel"));
    QPushButton* btOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btOK->setObjectName(QStringLiteral("btOK"));
    btOK->setDefault(true);
    QPushButton* btCancel = buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    setTabOrder(edFSizeTD_, edFSizeZagColTD_);
    setTabOrder(edFSizeZagColTD_, edFSizeNaimPok_);
    setTabOrder(edFSizeNaimPok_, edFSizeGr_);
    setTabOrder(edFSizeGr_, edTPok_);
    setTabOrder(edTPok_, cbSaveTXTRas_);
    setTabOrder(cbSaveTXTRas_, btOK);
    setTabOrder(btOK, btCancel);
}

int SettingsDialog::edit(const QSqlDatabase& settings)
{
    settings_ = settings;
    SettingsTexts texts;
    if (!guardedStep(dialogs_, QStringLiteral("Ошибка при чтении настроек программы."),
                     [&] { texts = SettingsEdit::load(settings_); }))
        return Rejected;
    showTexts(texts);
    return exec();
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    edFSizeTD_->setFocus();
}

void SettingsDialog::showTexts(const SettingsTexts& texts)
{
    edFSizeTD_->setText(texts.dataCells);
    edFSizeZagColTD_->setText(texts.columnTitles);
    edFSizeNaimPok_->setText(texts.captions);
    edFSizeGr_->setText(texts.graphs);
    edTPok_->setText(texts.precision);
    cbSaveTXTRas_->setChecked(texts.saveText);
}

SettingsTexts SettingsDialog::texts() const
{
    return {edFSizeTD_->text(), edFSizeZagColTD_->text(), edFSizeNaimPok_->text(),
            edFSizeGr_->text(),  edTPok_->text(),          cbSaveTXTRas_->isChecked()};
}

void SettingsDialog::ok()
{
    // A refused value leaves the window open with the user's texts.
    if (SettingsEdit::store(settings_, texts(), dialogs_))
        accept();
}

} // namespace zurm::gui
