#include "gui/entry/SpreadsheetLoadDialog.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "base/UserDialogs.h"
#include "entry/ConsumerLoad.h"
#include "entry/RepeatedEntry.h"
#include "gui/help/Help.h"
#include "platform/WorkbookSource.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <typeinfo>

namespace zurm::gui {

namespace {

const QString kTitle = QStringLiteral("Загрузить данные из Microsoft Excel");
const QString kConsumersTitle = QStringLiteral("Загрузить данные потребителей из Microsoft Excel");
const QString kHelpTopic = QStringLiteral("GR/LoadFromME.htm");
const QString kConsumersHelpTopic = QStringLiteral("GR/FormShTS.htm");
const QString kLoadContext = QStringLiteral("Ошибка при загрузке данных из Microsoft Excel.");
const QString kSettingsContext = QStringLiteral("Ошибка при сохранении настроек загрузки данных из Microsoft Excel.");
const QString kChooseTitle = QStringLiteral("Выбрать файл Excel");
const QString kWorkbookFilter =
    QStringLiteral("Книга Excel (*.xlsx)|*.xlsx|Книга Excel 97-2003 (*.xls)|*.xls");

QLineEdit* numberBox(const QString& name, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    return box;
}

QComboBox* typedBox(const QString& name, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(20);
    return box;
}

QLabel* label(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* caption = new QLabel(text, parent);
    caption->setBuddy(buddy);
    return caption;
}

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

// The typed text becomes the list's spelling, or is emptied when no item matches.
void matchTypedText(QComboBox* box)
{
    const QStringList items = itemsOf(box);
    const int found = MatchComboItem(items, box->currentText());
    box->setCurrentIndex(found);
    box->setEditText(found < 0 ? QString() : items[found]);
}

// The box shows `text`, with its item selected when the list has it.
void showText(QComboBox* box, const QString& text)
{
    box->setCurrentIndex(box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    box->setEditText(text);
}

// The consumer load's fields, kept from one load window to the next.
std::optional<LoadSettings>& consumerFields()
{
    static std::optional<LoadSettings> fields;
    return fields;
}

} // namespace

SpreadsheetLoadDialog::SpreadsheetLoadDialog(DataModule& data, UserDialogs& dialogs, Progress& progress,
                                             QWidget* parent, LoadTarget target)
    : QDialog(parent), data_(data), dialogs_(dialogs), progress_(progress), target_(target)
{
    const bool consumers = target_ == LoadTarget::Consumers;
    setObjectName(consumers ? QStringLiteral("TLoadPotrFromMEForm") : QStringLiteral("TLoadFromMEForm"));
    setWindowTitle(consumers ? kConsumersTitle : kTitle);
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    // The workbook and its sheet.
    auto* source = new QGridLayout;
    edFileExcel_ = new QLineEdit(this);
    edFileExcel_->setObjectName(QStringLiteral("edFileExcel"));
    edFileExcel_->setReadOnly(true);
    btChoose_ = new QPushButton(kChooseTitle, this);
    btChoose_->setObjectName(QStringLiteral("btFileExcel"));
    cbWorkSheet_ = typedBox(QStringLiteral("cbWorkSheet"), this);
    cbWorkSheet_->setMinimumContentsLength(24);
    source->addWidget(label(QStringLiteral("Файл Excel"), edFileExcel_, this), 0, 0);
    source->addWidget(edFileExcel_, 0, 1, 1, 2);
    source->addWidget(btChoose_, 0, 3);
    source->addWidget(label(QStringLiteral("Имя листа Excel"), cbWorkSheet_, this), 1, 0);
    source->addWidget(cbWorkSheet_, 1, 1);
    source->setColumnStretch(2, 1);
    layout->addLayout(source);

    // The row range and the two node columns.
    auto* ranges = new QHBoxLayout;
    // A group of two numbered fields, each with its caption.
    auto pair = [&](QGroupBox*& group, const QString& title, QLineEdit*& first, const char* firstName,
                    const QString& firstCaption, QLineEdit*& second, const char* secondName,
                    const QString& secondCaption) {
        group = new QGroupBox(title, this);
        auto* fields = new QGridLayout(group);
        first = numberBox(QString::fromLatin1(firstName), group);
        second = numberBox(QString::fromLatin1(secondName), group);
        fields->addWidget(label(firstCaption, first, group), 0, 0);
        fields->addWidget(first, 0, 1);
        fields->addWidget(label(secondCaption, second, group), 1, 0);
        fields->addWidget(second, 1, 1);
        ranges->addWidget(group);
    };
    pair(rows_, QStringLiteral("Строки таблицы данных"), edNachStr_, "edNachStr",
         QStringLiteral("Начальная строка таблицы данных"), edKonStr_, "edKonStr",
         QStringLiteral("Конечная строка таблицы данных"));
    if (consumers)
        pair(nodes_, QStringLiteral("Номер колонки в таблице Excel"), edNachUz_, "edNachUz",
             QStringLiteral("Конечный узел (КонУзел)"), edKonUz_, "edKonUz", QString());
    else
        pair(nodes_, QStringLiteral("Номера колонок в таблице Excel"), edNachUz_, "edNachUz",
             QStringLiteral("Начальный узел участка (НачУзел)"), edKonUz_, "edKonUz",
             QStringLiteral("Конечный узел участка (КонУзел)"));
    ranges->addStretch(1);
    layout->addLayout(ranges);

    // The eight lines, in two columns of four.
    auto* lines = new QGroupBox(consumers ? QStringLiteral("Загружаемые данные потребителей")
                                          : QStringLiteral("Загружаемые показатели"),
                                this);
    auto* lineFields = new QGridLayout(lines);
    constexpr int half = kLoadLines / 2;
    for (int block = 0; block < 2; ++block) {
        const int at = block * 4;
        lineFields->addWidget(new QLabel(QStringLiteral("Показатель"), lines), 0, at + 1, Qt::AlignBottom);
        lineFields->addWidget(new QLabel(QStringLiteral("Номер колонки\nв таблице Excel"), lines), 0, at + 2,
                              Qt::AlignBottom);
    }
    for (int k = 0; k < kLoadLines; ++k) {
        const QString n = QString::number(k + 1);
        names_[k] = typedBox(QStringLiteral("cbP") + n, lines);
        names_[k]->setMinimumContentsLength(14);
        columns_[k] = numberBox(QStringLiteral("edP") + n, lines);
        const int row = k % half + 1;
        const int at = k / half * 4;
        lineFields->addWidget(label(n + QLatin1Char('.'), names_[k], lines), row, at);
        lineFields->addWidget(names_[k], row, at + 1);
        lineFields->addWidget(columns_[k], row, at + 2, Qt::AlignLeft);
    }
    if (consumers) {
        // One node column; as many lines as there are fields.
        edKonUz_->hide();
        for (QLabel* caption : nodes_->findChildren<QLabel*>())
            if (caption->buddy() == edKonUz_)
                caption->hide();
        for (int k = int(consumerLoadFields().size()); k < kLoadLines; ++k) {
            names_[k]->hide();
            columns_[k]->hide();
            for (QLabel* caption : lines->findChildren<QLabel*>())
                if (caption->buddy() == names_[k])
                    caption->hide();
        }
    }
    lineFields->setColumnMinimumWidth(3, 24);
    lineFields->setColumnStretch(1, 1);
    lineFields->setColumnStretch(5, 1);
    layout->addWidget(lines);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btLoad_ = new QPushButton(QStringLiteral("Загрузить данные"), this);
    btLoad_->setObjectName(QStringLiteral("btLoad"));
    btLoad_->setDefault(true);
    btClose_ = new QPushButton(QStringLiteral("Закрыть"), this);
    btClose_->setObjectName(QStringLiteral("btClose"));
    btClose_->setAutoDefault(false);
    btHelp_ = new QPushButton(QStringLiteral("?"), this);
    btHelp_->setObjectName(QStringLiteral("btHlp"));
    btHelp_->setAutoDefault(false);
    btHelp_->setToolTip(QStringLiteral("Справка"));
    btChoose_->setAutoDefault(false);
    buttons->addWidget(btLoad_);
    buttons->addWidget(btClose_);
    buttons->addWidget(btHelp_);
    layout->addLayout(buttons);

    connect(btChoose_, &QPushButton::clicked, this, &SpreadsheetLoadDialog::chooseWorkbook);
    connect(btLoad_, &QPushButton::clicked, this, &SpreadsheetLoadDialog::load);
    connect(btClose_, &QPushButton::clicked, this, &QDialog::reject);
    const QString topic = consumers ? kConsumersHelpTopic : kHelpTopic;
    connect(btHelp_, &QPushButton::clicked, this, [this, topic] { showHelp(this, topic); });
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, [this, topic] { showHelp(this, topic); });

    QList<QComboBox*> boxes{cbWorkSheet_};
    for (QComboBox* box : names_)
        boxes.append(box);
    for (QComboBox* box : boxes) {
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
    }
}

void SpreadsheetLoadDialog::prepare()
{
    progress_.setStatus(QString());
    const bool consumers = target_ == LoadTarget::Consumers;
    indicators_ = consumers ? consumerLoadFields() : loadableIndicators(data_);
    for (QComboBox* box : names_) {
        box->clear();
        box->addItems(indicators_);
    }
    listingFailure_.clear();
    cbWorkSheet_->clear();
    if (consumers && !consumerFields()) {
        // The first consumer load starts from the workbook of the last segment load.
        const LoadSettings segments = readLoadSettings(data_.settings());
        LoadSettings start;
        start.workbook = segments.workbook;
        start.sheet = segments.sheet;
        start.firstRow = segments.firstRow;
        start.lastRow = segments.lastRow;
        consumerFields() = start;
    }
    setFields(consumers ? *consumerFields() : readLoadSettings(data_.settings()));
    listSheets();
}

void SpreadsheetLoadDialog::applyFontSizes(const FontSizes& sizes)
{
    QFont sized = font();
    sized.setPointSize(sizes.dataCells);
    setFont(sized);
    // The number boxes hold a few digits; the path box a usual path.
    const QFontMetrics metrics(sized);
    const int digits = metrics.horizontalAdvance(QStringLiteral("00000000")) + 12;
    for (QLineEdit* box : {edNachStr_, edKonStr_, edNachUz_, edKonUz_})
        box->setFixedWidth(digits);
    for (QLineEdit* box : columns_)
        box->setFixedWidth(digits);
    btHelp_->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("?")) * 4 + 12);
    edFileExcel_->setMinimumWidth(metrics.averageCharWidth() * 40);
    adjustSize();
}

void SpreadsheetLoadDialog::setFields(const LoadSettings& fields)
{
    edFileExcel_->setText(fields.workbook);
    showText(cbWorkSheet_, fields.sheet);
    edNachStr_->setText(fields.firstRow);
    edKonStr_->setText(fields.lastRow);
    edNachUz_->setText(fields.startColumn);
    edKonUz_->setText(fields.endColumn);
    for (int k = 0; k < kLoadLines; ++k) {
        showText(names_[k], fields.names[k]);
        columns_[k]->setText(fields.columns[k]);
    }
}

LoadSettings SpreadsheetLoadDialog::fields() const
{
    LoadSettings fields;
    fields.workbook = edFileExcel_->text();
    fields.sheet = cbWorkSheet_->currentText();
    fields.firstRow = edNachStr_->text();
    fields.lastRow = edKonStr_->text();
    fields.startColumn = edNachUz_->text();
    fields.endColumn = edKonUz_->text();
    for (int k = 0; k < kLoadLines; ++k) {
        fields.names[k] = names_[k]->currentText();
        fields.columns[k] = columns_[k]->text();
    }
    return fields;
}

QStringList SpreadsheetLoadDialog::sheets() const
{
    return itemsOf(cbWorkSheet_);
}

// The sheets of the named workbook, the one of the current name selected, or
// the first. A missing file lists nothing and says nothing; a workbook that
// cannot be read lists nothing either, and a load says why.
void SpreadsheetLoadDialog::listSheets()
{
    const QString current = cbWorkSheet_->currentText();
    const QString path = edFileExcel_->text();
    cbWorkSheet_->clear();
    listingFailure_.clear();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    QStringList names;
    try {
        names = openWorkbook(path)->sheetNames();
    } catch (const Failure& failure) {
        listingFailure_ = failure.text();
    } catch (const std::exception& e) {
        listingFailure_ = QString::fromLocal8Bit(e.what());
    }
    cbWorkSheet_->addItems(names);
    if (names.isEmpty())
        return;
    const int found = cbWorkSheet_->findText(current, Qt::MatchExactly | Qt::MatchCaseSensitive);
    cbWorkSheet_->setCurrentIndex(found < 0 ? 0 : found);
}

void SpreadsheetLoadDialog::chooseWorkbook()
{
    const QString current = edFileExcel_->text();
    const QString folder = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
    const std::optional<QString> chosen = dialogs_.chooseFileToOpen(kChooseTitle, folder, kWorkbookFilter);
    if (!chosen)
        return;
    edFileExcel_->setText(QDir::toNativeSeparators(*chosen));
    listSheets();
}

void SpreadsheetLoadDialog::normaliseBoxes()
{
    matchTypedText(cbWorkSheet_);
    for (QComboBox* box : names_)
        matchTypedText(box);
}

QWidget* SpreadsheetLoadDialog::checkedField(const LoadCheck& check) const
{
    switch (check.field) {
    case LoadField::Sheet: return cbWorkSheet_;
    case LoadField::FirstRow: return edNachStr_;
    case LoadField::LastRow: return edKonStr_;
    case LoadField::StartColumn: return edNachUz_;
    case LoadField::EndColumn: return edKonUz_;
    case LoadField::Column: return columns_[qBound(0, check.line, kLoadLines - 1)];
    case LoadField::Name: return names_[qBound(0, check.line, kLoadLines - 1)];
    }
    return edFileExcel_;
}

void SpreadsheetLoadDialog::load()
{
    setCursor(Qt::WaitCursor);
    const QList<QWidget*> buttons{btLoad_, btClose_, btHelp_};
    for (QWidget* button : buttons)
        button->setEnabled(false);
    normaliseBoxes();
    const LoadSettings typed = fields();
    const bool consumers = target_ == LoadTarget::Consumers;
    const LoadCheck check = checkLoadSettings(typed, sheets(), !consumers);

    QString message = check.message;
    // A field the user filled wrongly is refused; a workbook whose cells do
    // not load is a failed load.
    MessageKind kind = MessageKind::Warning;
    QWidget* focus = nullptr;
    bool showWorkbook = false;
    if (!check.plan) {
        // An unreadable workbook lists no sheets: its reader says why.
        if (check.field == LoadField::Sheet && !listingFailure_.isEmpty())
            message = listingFailure_;
        focus = checkedField(check);
    } else {
        const QList<QWidget*> fieldsInUse{edFileExcel_, btChoose_, cbWorkSheet_, rows_, nodes_};
        for (QWidget* field : fieldsInUse)
            field->setEnabled(false);
        try {
            const LoadResult result =
                consumers ? loadConsumersFromWorkbook(data_, typed.workbook, *check.plan, progress_, this)
                          : loadFromWorkbook(data_, typed.workbook, *check.plan, progress_, this);
            message = result.message;
            kind = result.ok ? MessageKind::Information : MessageKind::Error;
            showWorkbook = result.failedRow.has_value();
        } catch (const Failure& failure) {
            message = errorReport(kLoadContext, failure);
            kind = MessageKind::Error;
        } catch (const std::exception& e) {
            message = errorReport(kLoadContext, QString::fromLatin1(typeid(e).name()), QString::fromLocal8Bit(e.what()));
            kind = MessageKind::Error;
        }
        progress_.setStatus(QString());
        for (QWidget* field : fieldsInUse)
            field->setEnabled(true);
    }
    for (QWidget* button : buttons)
        button->setEnabled(true);
    unsetCursor();
    dialogs_.showMessage(message, kind);
    if (showWorkbook)
        dialogs_.openWithDefaultApplication(typed.workbook);
    if (focus)
        focus->setFocus();
}

// However the window closes, the fields are remembered for the next time.
void SpreadsheetLoadDialog::done(int result)
{
    normaliseBoxes();
    if (target_ == LoadTarget::Consumers)
        consumerFields() = fields();
    else
        guardedStep(dialogs_, kSettingsContext, [&] { storeLoadSettings(data_.settings(), fields()); });
    QDialog::done(result);
}

void SpreadsheetLoadDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    edFileExcel_->setFocus();
}

bool SpreadsheetLoadDialog::eventFilter(QObject* watched, QEvent* event)
{
    // The list of an open drop-down takes the focus for a moment.
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        QList<QComboBox*> boxes{cbWorkSheet_};
        for (QComboBox* box : names_)
            boxes.append(box);
        for (QComboBox* box : boxes)
            if (watched == box || watched == box->lineEdit()) {
                matchTypedText(box);
                break;
            }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zurm::gui
