#include "gui/reference/ReferenceWindow.h"

#include "base/Failure.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/help/Help.h"
#include "output/ReportWorkbook.h"
#include "reference/ReferenceReport.h"
#include "reference/ReferenceWorkbook.h"
#include "render/ReportPages.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

// The export's progress in the window's status bar.
class StatusProgress : public Progress {
public:
    explicit StatusProgress(QStatusBar* bar) : bar_(bar) {}
    void setStatus(const QString& text) override { bar_->showMessage(text); }
    void setBusy(bool) override {}
    void processEvents() override { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
    void lockWindow() override {}
    void unlockWindow() override {}

private:
    QStatusBar* bar_;
};

} // namespace

TReferenceForm::TReferenceForm(DataModule& data, UserDialogs& dialogs, ReferenceTable table, QWidget* parent)
    : QDialog(parent), data_(data), dialogs_(dialogs), table_(table)
{
    model_ = new ReferenceTableModel(data, dialogs, table, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* menus = new QMenuBar(this);
    layout->setMenuBar(menus);
    QMenu* edit = menus->addMenu(QStringLiteral("Правка"));
    edit->setObjectName(QStringLiteral("miEdit"));
    miEditRazrRed_ = action("miEditRazrRed", QStringLiteral("Разрешить редактирование"),
                            &TReferenceForm::miEditRazrRedClick);
    edit->addAction(miEditRazrRed_);
    edit->addAction(action("miEditSelAll", QStringLiteral("Выделить все записи"), &TReferenceForm::miEditSelAllClick));
    miEditDelRec_ = action("miEditDelRec", QStringLiteral("Удалить записи"), &TReferenceForm::miEditDelRecClick);
    edit->addAction(miEditDelRec_);
    miEditDelAllRec_ = action("miEditDelAllRec", QStringLiteral("Удалить все записи"),
                              &TReferenceForm::miEditDelAllRecClick);
    edit->addAction(miEditDelAllRec_);
    QMenu* tabl = menus->addMenu(QStringLiteral("Таблица справочника"));
    tabl->setObjectName(QStringLiteral("miTabl"));
    tabl->addAction(action("miTablForm", QStringLiteral("Формировать таблицу"), &TReferenceForm::miTablFormClick));
    tabl->addAction(action("miTablVigrVME", QStringLiteral("Выгрузить таблицу в Microsoft Excel"),
                           &TReferenceForm::miTablVigrVMEClick));
    QAction* close = menus->addAction(QStringLiteral("Закрыть"));
    close->setObjectName(QStringLiteral("miClose"));
    connect(close, &QAction::triggered, this, &QDialog::close);
    QAction* help = menus->addAction(QStringLiteral("?"));
    help->setObjectName(QStringLiteral("miHlp"));
    connect(help, &QAction::triggered, this, [this] { showHelp(this, model_->info().helpTopic); });

    grid_ = new CalculationGrid(this);
    grid_->setDialogs(&dialogs);
    grid_->setModel(model_);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    model_->refusedInput = [this](const QString& message) { grid_->reportRefusedInput(message); };
    // New rows come at the end, as in every table of the program: Down on the
    // last row or Insert; a new row left without a value goes again.
    connect(grid_, &CalculationGrid::navigationKey, this, [this](int code) { lastKeyDown_ = code == 40; });
    connect(grid_, &CalculationGrid::edgeReached, this, [this](int row) {
        if (lastKeyDown_ && row == model_->rowCount() - 1)
            appendRow();
    });
    grid_->installEventFilter(this);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                if (!previous.isValid() || previous.row() == current.row() || !model_->editing())
                    return;
                try {
                    model_->dropRowIfEmpty(previous.row());
                } catch (const Failure& failure) {
                    dialogs_.showMessage(failure.text(), MessageKind::Error);
                }
            });
    layout->addWidget(grid_);
    status_ = new QStatusBar(this);
    status_->setObjectName(QStringLiteral("StatusBar1"));
    layout->addWidget(status_);
    setWindowTitle(model_->info().title);
    resize(560, 480);
}

QAction* TReferenceForm::action(const char* name, const QString& text, void (TReferenceForm::*handler)())
{
    auto* result = new QAction(text, this);
    result->setObjectName(QString::fromLatin1(name));
    connect(result, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return result;
}

void TReferenceForm::showEditor()
{
    try {
        model_->select();
    } catch (const Failure& failure) {
        dialogs_.showMessage(failure.text(), MessageKind::Error);
        return;
    }
    const ReferenceTableInfo& info = model_->info();
    for (int c = 0; c < info.widths.size(); ++c)
        grid_->setColumnWidth(c, info.widths[c]);
    // Long captions wrap within their columns rather than being cut.
    grid_->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    grid_->horizontalHeader()->setMinimumHeight(grid_->horizontalHeader()->fontMetrics().height() * 3);
    setReferenceEditing(false);
    goToRow(0);
    const QString path = data_.reference().databaseName();
    setWindowTitle(path.isEmpty() ? info.title : QDir::toNativeSeparators(path) + QStringLiteral(" - ") + info.title);
    exec();
}

void TReferenceForm::setReferenceEditing(bool on)
{
    if (on) {
        try {
            model_->setEditing(true);
        } catch (const Failure& failure) {
            dialogs_.showMessage(failure.text(), MessageKind::Error);
            return;
        }
    } else {
        model_->setEditing(false);
    }
    grid_->setEditTriggers(on ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                    | QAbstractItemView::AnyKeyPressed
                              : QAbstractItemView::NoEditTriggers);
    miEditRazrRed_->setEnabled(!on);
    miEditDelRec_->setEnabled(on);
    miEditDelAllRec_->setEnabled(on);
}

void TReferenceForm::goToRow(int row)
{
    if (row < 0 || row >= model_->rowCount())
        return;
    // The cursor moves without marking the row: only rows the user marks are deleted.
    grid_->selectionModel()->setCurrentIndex(model_->index(row, qMax(grid_->currentIndex().column(), 0)),
                                             QItemSelectionModel::NoUpdate);
}

bool TReferenceForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid_ && event->type() == QEvent::KeyPress && !grid_->editing()
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Insert) {
        appendRow();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TReferenceForm::appendRow()
{
    if (!model_->editing())
        return;
    const int last = model_->rowCount() - 1;
    // The last row is already a new one waiting for its values.
    if (last >= 0 && model_->rowIsEmpty(last))
        return goToRow(last);
    grid_->finishEditing();
    try {
        goToRow(model_->appendRow());
    } catch (const Failure& failure) {
        dialogs_.showMessage(failure.text(), MessageKind::Error);
    }
}

void TReferenceForm::miEditRazrRedClick()
{
    if (dialogs_.askYesNo(kApplicationTitle, QStringLiteral("Изменение данных этого справочника может привести к "
                                                            "изменениям в расчете. Разрешить редактирование?")))
        setReferenceEditing(true);
}

void TReferenceForm::miEditSelAllClick()
{
    const QModelIndex current = grid_->currentIndex();
    grid_->selectAll();
    if (current.isValid())
        grid_->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void TReferenceForm::miEditDelRecClick()
{
    QList<int> rows;
    for (const QModelIndex& index : grid_->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty()) {
        dialogs_.showMessage(QStringLiteral("Выделите хотя бы одну запись."), MessageKind::Warning);
        return;
    }
    if (!dialogs_.askYesNo(kApplicationTitle, QStringLiteral("Удалить выделенные записи?")))
        return;
    grid_->finishEditing();
    try {
        const int next = model_->deleteRows(rows);
        grid_->clearSelection();
        goToRow(next);
    } catch (const Failure& failure) {
        dialogs_.showMessage(failure.text(), MessageKind::Error);
    }
}

void TReferenceForm::miEditDelAllRecClick()
{
    if (!dialogs_.askYesNo(kApplicationTitle, QStringLiteral("Удалить все записи?")))
        return;
    try {
        model_->deleteAll();
    } catch (const Failure& failure) {
        dialogs_.showMessage(failure.text(), MessageKind::Error);
    }
}

bool TReferenceForm::reportEmpty()
{
    grid_->finishEditing();
    if (model_->rowCount() > 0)
        return false;
    dialogs_.showMessage(emptyReferenceMessage(table_), MessageKind::Warning);
    return true;
}

void TReferenceForm::miTablFormClick()
{
    if (reportEmpty())
        return;
    ReportDocument report;
    try {
        report = buildReferenceReport(data_, table_);
    } catch (const Failure& failure) {
        dialogs_.showMessage(failure.text(), MessageKind::Error);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report.title);
    printer.setPageLayout(render::reportPageLayout(report));
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("ReferencePreview"));
    preview.setWindowTitle(report.title);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&](QPrinter* target) { render::printReport(report, *target); });
    preview.resize(900, 700);
    preview.exec();
}

void TReferenceForm::miTablVigrVMEClick()
{
    if (reportEmpty())
        return;
    const std::optional<QString> chosen =
        dialogs_.chooseFileToSave(QStringLiteral("Выгрузить таблицу в Microsoft Excel"),
                                  QFileInfo(data_.calculationPath()).absolutePath(),
                                  QStringLiteral("Книга Microsoft Excel (*.xlsx)|*.xlsx"));
    if (!chosen)
        return;
    const QString file = withXlsxSuffix(*chosen);
    if (QFileInfo::exists(file)
        && !dialogs_.askYesNo(kApplicationTitle,
                              QStringLiteral("Файл \"") + file + QStringLiteral("\" уже существует. Заменить его?")))
        return;
    const int row = grid_->currentIndex().row();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QWidget* menus = layout()->menuBar();
    menus->setEnabled(false);
    grid_->setEnabled(false);
    status_->showMessage(QStringLiteral("Выгрузка в Microsoft Excel..."));
    StatusProgress progress(status_);
    QString failure;
    bool written = false;
    try {
        written = writeReferenceWorkbook(data_, table_, file, progress);
    } catch (const Failure& f) {
        failure = f.text();
    }
    grid_->setEnabled(true);
    menus->setEnabled(true);
    status_->clearMessage();
    QApplication::restoreOverrideCursor();
    goToRow(row);
    if (!failure.isEmpty())
        dialogs_.showMessage(failure, MessageKind::Error);
    else if (written)
        dialogs_.showWrittenFile(file);
}

void TReferenceForm::closeEvent(QCloseEvent* event)
{
    grid_->finishEditing();
    QDialog::closeEvent(event);
}

void TReferenceForm::resizeEvent(QResizeEvent* event)
{
    if (grid_ && grid_->editing())
        grid_->finishEditing();
    QDialog::resizeEvent(event);
}

void TReferenceForm::showEvent(QShowEvent* event)
{
    status_->clearMessage();
    QDialog::showEvent(event);
}

TDiamTrPrForm::TDiamTrPrForm(DataModule& data, UserDialogs& dialogs, QWidget* parent)
    : TReferenceForm(data, dialogs, ReferenceTable::Diameters, parent)
{
    setObjectName(QStringLiteral("TDiamTrPrForm"));
    grid()->setObjectName(QStringLiteral("DGDiamTrPr"));
}

TPlVodiOtTForm::TPlVodiOtTForm(DataModule& data, UserDialogs& dialogs, QWidget* parent)
    : TReferenceForm(data, dialogs, ReferenceTable::Density, parent)
{
    setObjectName(QStringLiteral("TPlVodiOtTForm"));
    grid()->setObjectName(QStringLiteral("DGPlVodiOtT"));
}

TPoprKoefKUdPotForm::TPoprKoefKUdPotForm(DataModule& data, UserDialogs& dialogs, QWidget* parent)
    : TReferenceForm(data, dialogs, ReferenceTable::Coefficients, parent)
{
    setObjectName(QStringLiteral("TPoprKoefKUdPotForm"));
    grid()->setObjectName(QStringLiteral("DGPoprKoefKUdPot"));
}

} // namespace zurm::gui
