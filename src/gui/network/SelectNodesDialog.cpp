#include "gui/network/SelectNodesDialog.h"

#include "base/Guarded.h"
#include "document/DataModule.h"
#include "gui/help/Help.h"
#include "gui/network/DialogParts.h"
#include "network/SchemaData.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

const QString kContext = QStringLiteral("Ошибка при выделении узлов на схеме теплосети.");

} // namespace

SelectNodesDialog::SelectNodesDialog(DataModule& data, QWidget* parent) : QDialog(parent), data_(data)
{
    setObjectName(QStringLiteral("TSelUzForm"));
    auto* layout = new QVBoxLayout(this);
    auto* menu = new QMenuBar(this);
    layout->setMenuBar(menu);
    connect(addMenuCommand(menu, "miSelUz", QStringLiteral("&Выделить узлы")), &QAction::triggered, this,
            &SelectNodesDialog::selectNodes);
    connect(addMenuCommand(menu, "miClose", QStringLiteral("&Закрыть")), &QAction::triggered, this, &QDialog::reject);
    connect(addMenuCommand(menu, "miHlp", QStringLiteral("&?")), &QAction::triggered, this,
            [this] { showHelp(this, QStringLiteral("GR\\SelUzNaShTS.htm")); });

    layout->addWidget(new QLabel(QStringLiteral("Выделяемые узлы теплосети:"), this));
    auto* grid = new QGridLayout;
    for (int i = 0; i < 9; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("edUz%1").arg(i + 1));
        field->setMaxLength(11);
        grid->addWidget(field, i / 3, i % 3);
        fields_[size_t(i)] = field;
    }
    layout->addLayout(grid);
}

bool SelectNodesDialog::run(const QString& caption, const SchemaData& schema, UserDialogs& dialogs)
{
    schema_ = &schema;
    dialogs_ = &dialogs;
    setWindowTitle(caption);
    if (fields_[0]->text().isEmpty() && schema.startNode)
        fields_[0]->setText(QString::number(*schema.startNode));
    fields_[0]->setFocus();
    fields_[0]->selectAll();
    const bool selected = exec() == QDialog::Accepted;
    schema_ = nullptr;
    dialogs_ = nullptr;
    return selected;
}

void SelectNodesDialog::selectNodes()
{
    if (!schema_ || !dialogs_)
        return;
    QStringList texts;
    for (QLineEdit* field : fields_)
        texts.append(field->text());
    SelectByNumbersResult result;
    if (!guardedStep(*dialogs_, kContext, [&] { result = selectNodesByNumbers(data_.work(), *schema_, texts); }))
        return;
    if (!result.done) {
        // The dialog stays open on the field that is no number.
        QLineEdit* field = fields_[size_t(result.failedField)];
        dialogs_->showMessage(result.message, MessageKind::Warning);
        field->setFocus();
        field->selectAll();
        return;
    }
    accept();
}

} // namespace zurm::gui
