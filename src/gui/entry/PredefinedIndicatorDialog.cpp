#include "gui/entry/PredefinedIndicatorDialog.h"

#include "base/Guarded.h"
#include "entry/IndicatorTableModel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

const QString kSupplyFlow = QStringLiteral("РасхПод");
const QString kReturnFlow = QStringLiteral("РасхОбр");
const QString kReturnLength = QStringLiteral("ДлНаУчОбр");
const QString kSupplyLossToEnd = QStringLiteral("ПотНОтИКонПод");
const QString kReturnLossToEnd = QStringLiteral("ПотНОтИКонОбр");
const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");

const QString kTypeCodes[] = {QStringLiteral("З"), QStringLiteral("П"), QStringLiteral("О"), QStringLiteral("И")};

QString text(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

QVariant textValue(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

} // namespace

PredefinedIndicatorDialog::PredefinedIndicatorDialog(UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("TPredoprPokEditCurr"));
    setWindowTitle(QStringLiteral("Предопределенные показатели: Изменить текущий показатель"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    const auto addField = [&](QLineEdit*& edit, const char* name, const QString& caption) {
        auto* label = new QLabel(caption, this);
        edit = new QLineEdit(this);
        edit->setObjectName(QString::fromUtf8(name));
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit);
    };
    addField(edNaimPok_, "edNaimPok", QStringLiteral("Наименование показателя:"));
    addField(edSokrNaimPok_, "edSokrNaimPok", QStringLiteral("Сокр. наименование показателя:"));

    rgTipPok_ = new QGroupBox(QStringLiteral("Тип показателя"), this);
    rgTipPok_->setObjectName(QStringLiteral("rgTipPok"));
    auto* typeLayout = new QVBoxLayout(rgTipPok_);
    typeButtons_ = new QButtonGroup(this);
    const QString typeNames[] = {QStringLiteral("Заголовочный"), QStringLiteral("Подающий т-провод"),
                                 QStringLiteral("Обратный т-провод"), QStringLiteral("Итоговый")};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QRadioButton(typeNames[i], rgTipPok_);
        typeButtons_->addButton(button, i);
        typeLayout->addWidget(button);
    }
    layout->addWidget(rgTipPok_);

    const auto addCheck = [&](QCheckBox*& box, const char* name, const QString& caption) {
        box = new QCheckBox(caption, this);
        box->setObjectName(QString::fromUtf8(name));
        layout->addWidget(box);
    };
    addCheck(cbVvodPols_, "cbVvodPols", QStringLiteral("Вводится пользователем"));
    addField(edFormula_, "edFormula", QStringLiteral("Формула:"));
    addCheck(cbVivVOtsh_, "cbVivVOtsh", QStringLiteral("Выводить в отчет"));
    addCheck(cb1trTS_, "cb1trTS", QStringLiteral("Используется при расчете 1-трубной сети"));
    addCheck(cb2trTS_, "cb2trTS", QStringLiteral("Используется при расчете 2-трубной сети"));

    lbRashObr_ = new QLabel(this);
    lbRashObr_->setObjectName(QStringLiteral("lbRashObr"));
    lbRashObr_->setWordWrap(true);
    layout->addWidget(lbRashObr_);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btOK_ = new QPushButton(QStringLiteral("OK"), this);
    btOK_->setObjectName(QStringLiteral("btOK"));
    btOK_->setDefault(true);
    btCancel_ = new QPushButton(QStringLiteral("Отмена"), this);
    btCancel_->setObjectName(QStringLiteral("btCancel"));
    buttons->addWidget(btOK_);
    buttons->addWidget(btCancel_);
    layout->addLayout(buttons);

    connect(btOK_, &QPushButton::clicked, this, &PredefinedIndicatorDialog::accept);
    connect(btCancel_, &QPushButton::clicked, this, &PredefinedIndicatorDialog::reject);
    connect(cbVvodPols_, &QCheckBox::toggled, this, [this] { updateNote(); });

    resize(520, sizeHint().height());
}

int PredefinedIndicatorDialog::typeIndex() const
{
    return typeButtons_->checkedId();
}

void PredefinedIndicatorDialog::load(IndicatorTableModel& model, int row)
{
    model_ = &model;
    row_ = row;
    shortName_ = model.shortName(row);

    edNaimPok_->setText(text(model.value(row, QStringLiteral("НаимПок"))));
    edSokrNaimPok_->setText(shortName_);
    const QString type = text(model.value(row, QStringLiteral("ТипПок"))).toUpper();
    // A type none of the four: no item is checked.
    typeButtons_->setExclusive(false);
    for (int i = 0; i < 4; ++i)
        typeButtons_->button(i)->setChecked(type == kTypeCodes[i]);
    typeButtons_->setExclusive(true);
    {
        const QSignalBlocker blocker(cbVvodPols_);
        cbVvodPols_->setChecked(model.value(row, QStringLiteral("ВводПольз")).toBool());
    }
    edFormula_->setText(text(model.value(row, QStringLiteral("Формула"))));
    cbVivVOtsh_->setChecked(model.value(row, QStringLiteral("ВывВОтчТабл")).toBool());
    cb1trTS_->setChecked(model.value(row, QStringLiteral("ИспПриРасч1трТС")).toBool());
    cb2trTS_->setChecked(model.value(row, QStringLiteral("ИспПриРасч2трТС")).toBool());

    edNaimPok_->setEnabled(shortName_ == kSupplyFlow || shortName_ == kReturnFlow);
    cbVvodPols_->setEnabled(shortName_ == kReturnFlow || shortName_ == kReturnLength);
    edFormula_->setEnabled(shortName_ == kSupplyLossToEnd || shortName_ == kReturnLossToEnd);
    cbVivVOtsh_->setEnabled(true);
    for (QWidget* fixed : {static_cast<QWidget*>(edSokrNaimPok_), static_cast<QWidget*>(rgTipPok_),
                           static_cast<QWidget*>(cb1trTS_), static_cast<QWidget*>(cb2trTS_)})
        fixed->setEnabled(false);

    updateNote();
    btOK_->setFocus();
}

void PredefinedIndicatorDialog::updateNote()
{
    QString note;
    if (!cbVvodPols_->isChecked()) {
        if (shortName_ == kReturnFlow)
            note = QStringLiteral("РасхОбр будет вычислятся по формуле:\nРасхОбр = <РасхПод>.");
        else if (shortName_ == kReturnLength)
            note = QStringLiteral("ДлНаУчОбр будет вычислятся по формуле:\nДлНаУчОбр = <ДлНаУчПод>.");
    }
    lbRashObr_->setText(note);
}

void PredefinedIndicatorDialog::accept()
{
    if (!model_ || row_ < 0 || row_ >= model_->rowCount()) {
        QDialog::reject();
        return;
    }
    QVariantMap values;
    if (edNaimPok_->isEnabled())
        values.insert(QStringLiteral("НаимПок"), textValue(edNaimPok_->text()));
    if (cbVvodPols_->isEnabled())
        values.insert(QStringLiteral("ВводПольз"), cbVvodPols_->isChecked());
    if (edFormula_->isEnabled())
        values.insert(QStringLiteral("Формула"), textValue(edFormula_->text()));
    values.insert(QStringLiteral("ВывВОтчТабл"), cbVivVOtsh_->isChecked());
    // A row that cannot be written keeps the dialog open with what was typed.
    if (guardedStep(dialogs_, kSaveContext, [&] { model_->setValues(row_, values); }))
        QDialog::accept();
}

} // namespace zurm::gui
