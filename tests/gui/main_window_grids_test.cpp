// The main window's grids on the sample calculation: columns and captions,
// saving an edited segment row when the user leaves it, header edits, the two
// head-node fields, both sorts, the lock, and the models under
// QAbstractItemModelTester. Every window answers through a scripted fake, so no
// message box can block a test.
#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "entry/HeaderRowModel.h"
#include "entry/SegmentTableModel.h"
#include "gui/entry/CaptionHeaderView.h"
#include "gui/entry/MainWindow.h"
#include "session/DocumentSession.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSplitter>
#include <QToolBar>
#include <QMenu>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QStatusBar>
#include <QTableView>
#include <QtTest/QtTest>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using zurm::gui::MainWindow;
using zurm::test::FileAccess;
using zurm::test::SampleWindow;
using zurm::test::child;

namespace {

constexpr int kUp = 38;
constexpr int kDown = 40;

int columnOf(const QAbstractItemModel* model, const QString& name)
{
    for (int column = 0; column < model->columnCount(); ++column)
        if (model->headerData(column, Qt::Horizontal).toString() == name)
            return column;
    return -1;
}

QStringList visibleColumns(const QTableView* grid)
{
    QStringList names;
    for (int column = 0; column < grid->model()->columnCount(); ++column)
        if (!grid->isColumnHidden(column))
            names.append(grid->model()->headerData(column, Qt::Horizontal).toString());
    return names;
}

// The full name of an indicator and whether the user enters it, from the file's catalogue.
std::pair<QString, bool> catalogueEntry(const FileAccess& file, const QString& shortName)
{
    for (const char* table : {"ФлыПредопрПок", "Формулы"}) {
        const QString from = QString::fromUtf8(table);
        const QVariant name = file.value(QStringLiteral("SELECT НаимПок FROM ") + from
                                             + QStringLiteral(" WHERE НаимПокСокр=?"), {shortName});
        if (name.isValid())
            return {name.toString(),
                    file.value(QStringLiteral("SELECT ВводПольз FROM ") + from + QStringLiteral(" WHERE НаимПокСокр=?"),
                               {shortName})
                        .toBool()};
    }
    return {QString(), false};
}

// Types into the cell's editor and leaves it with the given key.
void typeIntoCell(QTableView* grid, const QModelIndex& index, const QString& text, Qt::Key leaveWith)
{
    grid->setFocus();
    grid->setCurrentIndex(index);
    grid->edit(index);
    QLineEdit* editor = nullptr;
    // Editors closed before are hidden and wait for their deferred deletion.
    for (QLineEdit* candidate : grid->viewport()->findChildren<QLineEdit*>())
        if (candidate->isVisible())
            editor = candidate;
    QVERIFY(editor);
    editor->selectAll();
    // The test keyboard knows only ASCII keys; other characters arrive as input.
    for (const QChar ch : text) {
        if (ch.unicode() < 128)
            QTest::keyClick(editor, ch.toLatin1());
        else
            editor->insert(QString(ch));
    }
    if (text.isEmpty())
        QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, leaveWith);
    // Enter and Tab hand the editor's text over in a queued call.
    QApplication::processEvents();
}

} // namespace

class MainWindowGridsTest : public QObject {
    Q_OBJECT
private slots:
    void everyCommandIsPresentWithItsHint_data()
    {
        QTest::addColumn<QString>("menuItem");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("new") << "miFileNewRas" << "tbNewRas" << "Создать новый расчет" << true;
        QTest::newRow("open") << "miFileOpenRas" << "tbOpenRas" << "Открыть расчет" << true;
        QTest::newRow("save") << "miFileSaveRas" << "tbSaveRas" << "Сохранить расчет" << true;
        QTest::newRow("save as") << "miFileSaveRasAs" << "tbSaveRasAs" << "Сохранить расчет как..." << true;
        QTest::newRow("parameters") << "miDataParR" << "" << "Параметры расчета" << true;
        QTest::newRow("network") << "miDataParTS" << "tbParTS" << "Параметры теплосети" << true;
        QTest::newRow("repeated") << "miDataVvPovtD" << "tbVvPovtD" << "Ввод повторяющихся данных" << true;
        QTest::newRow("import") << "miDataLoadFromME" << "tbLoadFromME" << "Загрузить данные из Microsoft Excel"
                                << true;
        QTest::newRow("run") << "miDataVipRas" << "tbVipRas" << "Выполнить расчет" << true;
        QTest::newRow("report") << "miDataFormOtsh" << "tbFormOtsh" << "Формировать отчет" << true;
        QTest::newRow("export") << "miDataVigrV_ME" << "tbVigrV_ME" << "Выгрузить отчет в Microsoft Excel" << true;
        QTest::newRow("graph") << "miDataGr" << "tbGr" << "Формировать график" << true;
        QTest::newRow("by nodes") << "miDataSortPoNU" << "tbSortPoNU" << "Сортировать по номерам участков" << true;
        QTest::newRow("by id") << "miDataSortPoVnutrSc" << "tbSortPoVnutrSc" << "Сортировать по внутреннему счетчику"
                               << true;
        QTest::newRow("density") << "miSpravoshPlVodiOtT" << "" << "Плотность воды при различной температуре" << true;
        QTest::newRow("diameters") << "miSpravoshDiamTrPr" << "" << "Диаметры трубопровода" << true;
        QTest::newRow("coefficients") << "miSpravoshPoprKoefKUdPot" << ""
                                      << "Поправочные коэффициенты к удельным потерям давления" << true;
        QTest::newRow("settings") << "miNastrNP" << "" << "Настройки программы" << true;
        QTest::newRow("help") << "miSpravkaSprZURM14" << "tbSprZURM" << "Справка ЗУРМ 1.4" << true;
        QTest::newRow("about") << "miSpravkaOProg" << "tbOProg" << "О программе" << true;
        QTest::newRow("topic") << "miHlp" << "" << "&?" << true;
    }
    void everyCommandIsPresentWithItsHint()
    {
        QFETCH(QString, menuItem);
        QFETCH(QString, button);
        QFETCH(QString, caption);
        QFETCH(bool, enabled);
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        auto window = setup.show();
        auto* item = window->findChild<QAction*>(menuItem);
        QVERIFY(item);
        QCOMPARE(item->text(), caption);
        QCOMPARE(item->isEnabled(), enabled);
        if (!button.isEmpty()) {
            auto* tool = window->findChild<QAction*>(button);
            QVERIFY(tool);
            QCOMPARE(tool->toolTip(), caption);
            QCOMPARE(tool->isEnabled(), enabled);
        }
        QStringList menus;
        for (QAction* action : window->menuBar()->actions())
            menus.append(action->text());
        QCOMPARE(menus, (QStringList{"&Файл", "&Данные", "Сп&равочники", "&Настройки", "&Справка", "&?"}));
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    void showsTheEnteredColumnsWithTheirFullNames()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        auto window = setup.show();
        QVERIFY(window->session().viewState().gridsVisible);
        FileAccess file(setup.calculation);

        auto* edRasName = child<QLineEdit>(window.get(), "edRasName");
        QCOMPARE(edRasName->text(), QStringLiteral("Пример: квартальная тепловая сеть"));
        QVERIFY(edRasName->font().bold());
        QCOMPARE(edRasName->toolTip(), QStringLiteral("Введите название гидравлического расчета"));
        QVERIFY(child<QLineEdit>(window.get(), "edNuzPNapPod")->isEnabled());
        QVERIFY(child<QLineEdit>(window.get(), "edNuzRNap")->isEnabled());
        for (const char* name : {"pnTop", "pnRasName", "spHor", "pnLeft", "gbLeft", "spVert", "pnClient"})
            QVERIFY2(window->findChild<QWidget*>(QString::fromUtf8(name)), name);
        QCOMPARE(child<QLabel>(window.get(), "lbLeft")->text(), QStringLiteral("Номер участка"));

        // Segment grid: exactly the segment indicators the user enters, then the comment.
        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        QVERIFY(glavn->isVisible());
        const QStringList shown = visibleColumns(glavn);
        QVERIFY(shown.size() > 3);
        QCOMPARE(shown.last(), QStringLiteral("Примечание"));
        auto* header = qobject_cast<zurm::gui::CaptionHeaderView*>(glavn->horizontalHeader());
        QVERIFY(header);
        const QList<zurm::ColumnInfo> columns = zurm::tableColumns(window->session().data().calculation(),
                                                                   QStringLiteral("Табл"));
        for (qsizetype i = 5; i < columns.size() - 2; ++i) {
            const auto [fullName, entered] = catalogueEntry(file, columns[i].name);
            const int column = columnOf(glavn->model(), columns[i].name);
            QCOMPARE(!glavn->isColumnHidden(column), entered);
            if (!entered)
                continue;
            QCOMPARE(header->caption(column), fullName);
            QCOMPARE(header->title(column), columns[i].name);
            QVERIFY(glavn->columnWidth(column) >= 103); // wider only for a word of the name
        }
        for (const char* hidden : {"id", "НачУзел", "КонУзел", "ГеодВысНач", "ГеодВысКон", "Заполн_Уч"})
            QVERIFY2(glavn->isColumnHidden(columnOf(glavn->model(), QString::fromUtf8(hidden))), hidden);
        const int comment = columnOf(glavn->model(), QStringLiteral("Примечание"));
        QVERIFY(glavn->columnWidth(comment) >= 309);
        QCOMPARE(header->title(comment), QStringLiteral("Примечание (текстовый комментарий, если есть)"));
        QVERIFY(header->caption(comment).isEmpty());
        // The full names need several lines: the header is taller than one line of text.
        QVERIFY(header->height() > 3 * header->fontMetrics().lineSpacing());
        QVERIFY(!header->grab().isNull());
        // The header is the grid's own: it moves with horizontal scrolling.
        glavn->horizontalScrollBar()->setValue(150);
        QCOMPARE(header->offset(), glavn->horizontalScrollBar()->value());

        // Header grid: the header indicators the user enters.
        auto* zag = child<QTableView>(window.get(), "DGZag");
        auto* zagHeader = qobject_cast<zurm::gui::CaptionHeaderView*>(zag->horizontalHeader());
        QVERIFY(zagHeader);
        QCOMPARE(zag->model()->rowCount(), 1);
        int visibleHeaderColumns = 0;
        for (int column = 0; column < zag->model()->columnCount(); ++column) {
            const QString name = zag->model()->headerData(column, Qt::Horizontal).toString();
            const auto [fullName, entered] = catalogueEntry(file, name);
            QCOMPARE(!zag->isColumnHidden(column), entered);
            if (!entered)
                continue;
            ++visibleHeaderColumns;
            QCOMPARE(zagHeader->caption(column), fullName);
            QVERIFY(zag->columnWidth(column) >= 110);
        }
        QVERIFY(visibleHeaderColumns >= 3);
        const int supplyHead = columnOf(zag->model(), QStringLiteral("ПНапНаУзПод"));
        QCOMPARE(zag->model()->index(0, supplyHead).data().toDouble(), 90.0);

        // Segment-number list: the two node numbers, centred, read-only.
        auto* nu = child<QTableView>(window.get(), "DGNU");
        QCOMPARE(visibleColumns(nu), (QStringList{"НачУзел", "КонУзел"}));
        // 53 and 75 pixels, wider only when the title would be clipped.
        const QFontMetrics titles(nu->horizontalHeader()->font());
        const int startWidth = nu->columnWidth(columnOf(nu->model(), QStringLiteral("НачУзел")));
        const int endWidth = nu->columnWidth(columnOf(nu->model(), QStringLiteral("КонУзел")));
        QVERIFY(startWidth >= 53 && startWidth > titles.horizontalAdvance(QStringLiteral("НачУзел")));
        QVERIFY(endWidth >= 75 && endWidth > titles.horizontalAdvance(QStringLiteral("КонУзел")));
        QCOMPARE(nu->editTriggers(), QAbstractItemView::NoEditTriggers);
        const QModelIndex first = nu->model()->index(0, columnOf(nu->model(), QStringLiteral("КонУзел")));
        QCOMPARE(first.data().toInt(), 1);
        QCOMPARE(first.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        QVERIFY(!(first.flags() & Qt::ItemIsEditable));
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // Leaving an edited row writes it: Up and Down land where the user moved,
    // Up on the first row and Down on the last stay put.
    void leavingAnEditedRowSavesIt_data()
    {
        QTest::addColumn<int>("startRow");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expectedRow");
        QTest::newRow("down from the first") << 0 << int(Qt::Key_Down) << 1;
        QTest::newRow("up on the first") << 0 << int(Qt::Key_Up) << 0;
        QTest::newRow("up from the third") << 2 << int(Qt::Key_Up) << 1;
        QTest::newRow("down on the last") << 5 << int(Qt::Key_Down) << 5;
    }
    void leavingAnEditedRowSavesIt()
    {
        QFETCH(int, startRow);
        QFETCH(int, key);
        QFETCH(int, expectedRow);
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        {
            FileAccess file(setup.calculation);
            file.exec(QStringLiteral("UPDATE НазвРасч SET РВ=1"));
            file.exec(QStringLiteral("UPDATE Табл SET Заполн_Уч='x'"));
        }
        auto window = setup.show();
        QCOMPARE(window->statusText(), QStringLiteral("Расчет выполнен."));
        FileAccess file(setup.calculation);
        // Written behind the grid's back: the row save must not write the marker.
        file.exec(QStringLiteral("UPDATE Табл SET Заполн_Уч='y'"));

        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        auto* nu = child<QTableView>(window.get(), "DGNU");
        const int length = columnOf(glavn->model(), QStringLiteral("ДлНаУчПод"));
        const int comment = columnOf(glavn->model(), QStringLiteral("Примечание"));
        const qint64 id = startRow + 1; // sorted by the internal counter
        typeIntoCell(glavn, glavn->model()->index(startRow, length), QStringLiteral("1 234,5"), Qt::Key_Tab);
        typeIntoCell(glavn, glavn->model()->index(startRow, comment), QStringLiteral("Дом 'А'"), Qt::Key(key));

        QCOMPARE(glavn->currentIndex().row(), expectedRow);
        QCOMPARE(nu->currentIndex().row(), expectedRow);
        QCOMPARE(window->session().viewState().lastNavigationKey, std::optional<int>(key == Qt::Key_Up ? kUp : kDown));
        QVERIFY(!window->segmentModel()->isDirty());
        QCOMPARE(file.value(QStringLiteral("SELECT ДлНаУчПод FROM Табл WHERE id=?"), {id}).toDouble(), 1234.5);
        QCOMPARE(file.value(QStringLiteral("SELECT Примечание FROM Табл WHERE id=?"), {id}).toString(),
                 QStringLiteral("Дом 'А'"));
        QCOMPARE(file.value(QStringLiteral("SELECT Заполн_Уч FROM Табл WHERE id=?"), {id}).toString(),
                 QStringLiteral("y"));
        QCOMPARE(file.value(QStringLiteral("SELECT count(*) FROM Табл WHERE ДлНаУчПод=1234.5")).toInt(), 1);
        // The grid shows the row as the file holds it now.
        QCOMPARE(glavn->model()->index(startRow, length).data().toDouble(), 1234.5);
        QCOMPARE(file.value(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
        QVERIFY(!window->session().data().calculationDone());
        QVERIFY(window->statusText().isEmpty());
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    void movingWithoutAnEditWritesNothing()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        FileAccess(setup.calculation).exec(QStringLiteral("UPDATE НазвРасч SET РВ=1"));
        auto window = setup.show();
        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        glavn->setFocus();
        QTest::keyClick(glavn, Qt::Key_Down);
        QTest::keyClick(glavn, Qt::Key_Down);
        QCOMPARE(glavn->currentIndex().row(), 2);
        QCOMPARE(child<QTableView>(window.get(), "DGNU")->currentIndex().row(), 2);
        QVERIFY(window->session().data().calculationDone());
        QCOMPARE(FileAccess(setup.calculation).value(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 1);
    }

    void headerEditIsPostedAndClearsTheFlag()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        FileAccess(setup.calculation).exec(QStringLiteral("UPDATE НазвРасч SET РВ=1"));
        auto window = setup.show();
        auto* zag = child<QTableView>(window.get(), "DGZag");
        const int roughness = columnOf(zag->model(), QStringLiteral("КэШер"));
        typeIntoCell(zag, zag->model()->index(0, roughness), QStringLiteral("0,8"), Qt::Key_Return);
        FileAccess file(setup.calculation);
        QCOMPARE(file.value(QStringLiteral("SELECT КэШер FROM Заг")).toDouble(), 0.8);
        QCOMPARE(file.value(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
        QVERIFY(window->statusText().isEmpty());
        // Emptying a value stores Null.
        typeIntoCell(zag, zag->model()->index(0, roughness), QString(), Qt::Key_Return);
        QVERIFY(file.value(QStringLiteral("SELECT КэШер FROM Заг")).isNull());
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // Save posts the calculation name and the head nodes; only a changed
    // integer clears the calculation-done flag.
    void savingTheHeadNodes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("flagAfter");
        QTest::newRow("same number") << "5" << 5 << true;
        QTest::newRow("another number") << "6" << 6 << false;
        QTest::newRow("with spaces") << " 7 " << 7 << false;
        QTest::newRow("not a number") << "5a" << 5 << true;
        QTest::newRow("empty") << "" << 5 << true;
    }
    void savingTheHeadNodes()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        QFETCH(bool, flagAfter);
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        FileAccess(setup.calculation).exec(QStringLiteral("UPDATE НазвРасч SET РВ=1, NузРНап=5, NузПНапПод=5"));
        auto window = setup.show();
        auto* available = child<QLineEdit>(window.get(), "edNuzRNap");
        QCOMPARE(available->text(), QStringLiteral("5"));
        available->setText(typed);
        window->findChild<QAction*>(QStringLiteral("miFileSaveRas"))->trigger();
        FileAccess file(setup.calculation);
        QCOMPARE(file.value(QStringLiteral("SELECT NузРНап FROM НазвРасч")).toInt(), stored);
        QCOMPARE(file.value(QStringLiteral("SELECT РВ FROM НазвРасч")).toBool(), flagAfter);
        QCOMPARE(window->session().data().calculationDone(), flagAfter);
        QCOMPARE(window->statusText().isEmpty(), !flagAfter);

        // The supply node goes the same way, and the name is stored as typed.
        child<QLineEdit>(window.get(), "edNuzPNapPod")->setText(QStringLiteral("3"));
        child<QLineEdit>(window.get(), "edRasName")->setText(QStringLiteral("Сеть 'Север'"));
        window->findChild<QAction*>(QStringLiteral("tbSaveRas"))->trigger();
        QCOMPARE(file.value(QStringLiteral("SELECT NузПНапПод FROM НазвРасч")).toInt(), 3);
        QCOMPARE(file.value(QStringLiteral("SELECT НазвРасч FROM НазвРасч")).toString(), QStringLiteral("Сеть 'Север'"));
        QCOMPARE(file.value(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    void sortingBothWays()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        auto window = setup.show();
        auto* miNodes = window->findChild<QAction*>(QStringLiteral("miDataSortPoNU"));
        auto* miId = window->findChild<QAction*>(QStringLiteral("miDataSortPoVnutrSc"));
        auto* tbNodes = window->findChild<QAction*>(QStringLiteral("tbSortPoNU"));
        auto* tbId = window->findChild<QAction*>(QStringLiteral("tbSortPoVnutrSc"));
        QVERIFY(miId->isChecked() && tbId->isChecked() && !miNodes->isChecked() && !tbNodes->isChecked());

        auto ids = [&] {
            QList<int> out;
            const auto* model = window->segmentModel();
            for (int row = 0; row < model->rowCount(); ++row)
                out.append(model->index(row, model->fieldIndex(QStringLiteral("id"))).data().toInt());
            return out;
        };
        // A pending edit is written before the rows are read in the new order.
        auto* model = window->segmentModel();
        QVERIFY(model->setData(model->index(3, model->fieldIndex(QStringLiteral("РасхПод"))), 44.0));

        miNodes->trigger();
        QCOMPARE(ids(), (QList<int>{1, 2, 5, 3, 4, 6}));
        QVERIFY(miNodes->isChecked() && tbNodes->isChecked() && !miId->isChecked() && !tbId->isChecked());
        QCOMPARE(window->session().data().segmentSort(), zurm::SegmentSort::ByNodes);
        QCOMPARE(FileAccess(setup.calculation).value(QStringLiteral("SELECT РасхПод FROM Табл WHERE id=4")).toDouble(),
                 44.0);
        QCOMPARE(child<QTableView>(window.get(), "DGNU")->currentIndex().row(), 0);

        tbId->trigger();
        QCOMPARE(ids(), (QList<int>{1, 2, 3, 4, 5, 6}));
        QVERIFY(miId->isChecked() && tbId->isChecked() && !miNodes->isChecked() && !tbNodes->isChecked());
        QCOMPARE(window->session().data().segmentSort(), zurm::SegmentSort::ById);

        tbNodes->trigger();
        QCOMPARE(ids(), (QList<int>{1, 2, 5, 3, 4, 6}));
        QVERIFY(miNodes->isChecked());
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    void sortingWithoutADocumentChangesNothing()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        auto window = setup.show();
        QVERIFY(!window->session().data().calculationOpen());
        for (const char* name : {"miDataSortPoNU", "tbSortPoNU"}) {
            window->findChild<QAction*>(QString::fromUtf8(name))->trigger();
            QVERIFY(window->findChild<QAction*>(QStringLiteral("miDataSortPoVnutrSc"))->isChecked());
            QVERIFY(window->findChild<QAction*>(QStringLiteral("tbSortPoVnutrSc"))->isChecked());
            QVERIFY(!window->findChild<QAction*>(QStringLiteral("miDataSortPoNU"))->isChecked());
            QVERIFY(!window->findChild<QAction*>(QStringLiteral("tbSortPoNU"))->isChecked());
            QCOMPARE(window->session().data().segmentSort(), zurm::SegmentSort::ById);
        }
        QVERIFY(!child<QTableView>(window.get(), "DGGlavn")->isVisible());
        QVERIFY(window->segmentModel() == nullptr);
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    void rowsAreNeitherInsertedNorRemoved()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        auto window = setup.show();
        auto* segments = window->segmentModel();
        QVERIFY(!segments->insertRows(0, 1));
        QVERIFY(!segments->removeRows(0, 1));
        QVERIFY(!window->headerModel()->insertRows(0, 1));
        QVERIFY(!window->headerModel()->removeRows(0, 1));
        QCOMPARE(segments->rowCount(), 6);
        QCOMPARE(FileAccess(setup.calculation).value(QStringLiteral("SELECT count(*) FROM Табл")).toInt(), 6);
    }

    // The grids let go of the tables while the window is locked, so a rebuild of
    // the tables can drop them, and show the new shape afterwards.
    void reopeningRebuildsUnderTheGrids()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        auto window = setup.show();
        QVERIFY(window->segmentModel());
        window->LockMainWindow();
        QVERIFY(window->segmentModel() == nullptr);
        QVERIFY(!window->menuBar()->isEnabled());
        window->UnlockMainWindow();
        QVERIFY(window->menuBar()->isEnabled());
        QCOMPARE(window->segmentModel()->rowCount(), 6);

        FileAccess(setup.calculation)
            .exec(QStringLiteral("INSERT INTO Формулы (Nпп, НаимПок, НаимПокСокр, ТипПок, ВводПольз, Формула, "
                                 "ВывВОтчТабл) VALUES (100, 'Глубина заложения трубопровода, м.', 'ГлЗал', 'П', 1, "
                                 "NULL, 0)"));
        window->session().OpenDocuments(false);
        QVERIFY(setup.dialogs.messages.isEmpty());
        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        const int depth = columnOf(glavn->model(), QStringLiteral("ГлЗал"));
        QVERIFY(depth >= 0);
        QVERIFY(!glavn->isColumnHidden(depth));
        auto* header = qobject_cast<zurm::gui::CaptionHeaderView*>(glavn->horizontalHeader());
        QCOMPARE(header->caption(depth), QStringLiteral("Глубина заложения трубопровода, м."));
        QCOMPARE(window->segmentModel()->rowCount(), 6);
        QCOMPARE(glavn->model()->index(0, columnOf(glavn->model(), QStringLiteral("ДлНаУчПод"))).data().toDouble(),
                 180.0);
    }

    // The run posts a pending edit, works with the grids released and shows the
    // results when they come back.
    void runningTheCalculationFromTheToolbar()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        auto window = setup.show();
        auto* model = window->segmentModel();
        const int length = model->fieldIndex(QStringLiteral("ДлНаУчПод"));
        QVERIFY(model->setData(model->index(0, length), 200.0));
        child<QLineEdit>(window.get(), "edRasName")->setText(QStringLiteral("Квартал 5"));

        // Answered No: nothing runs.
        window->findChild<QAction*>(QStringLiteral("tbVipRas"))->trigger();
        QCOMPARE(setup.dialogs.questions.size(), 1);
        QVERIFY(!window->session().data().calculationDone());

        setup.dialogs.answers = {true};
        QString completion;
        zurm::test::whenShown(QStringLiteral("RasVipForm"), [&](QWidget* dialog) {
            completion = dialog->findChild<QPlainTextEdit*>(QStringLiteral("mmRasVip"))->toPlainText();
            qobject_cast<QDialog*>(dialog)->reject();
        });
        window->findChild<QAction*>(QStringLiteral("miDataVipRas"))->trigger();
        QVERIFY2(window->session().data().calculationDone(), qPrintable(setup.dialogs.messages.join(QLatin1Char('|'))));
        QVERIFY(completion.startsWith(QStringLiteral("Расчет выполнен успешно.")));
        QCOMPARE(window->statusText(), QStringLiteral("Расчет выполнен."));

        FileAccess file(setup.calculation);
        QCOMPARE(file.value(QStringLiteral("SELECT ДлНаУчПод FROM Табл WHERE id=1")).toDouble(), 200.0);
        QCOMPARE(file.value(QStringLiteral("SELECT НазвРасч FROM НазвРасч")).toString(), QStringLiteral("Квартал 5"));
        const QVariant head = file.value(QStringLiteral("SELECT ПНапКонПод FROM Табл WHERE id=1"));
        QVERIFY(!head.isNull());
        // The grids were bound again and read the results.
        QVERIFY(window->segmentModel());
        QVERIFY(child<QTableView>(window.get(), "DGGlavn")->isVisible());
        const int headColumn = window->segmentModel()->fieldIndex(QStringLiteral("ПНапКонПод"));
        QCOMPARE(window->segmentModel()->index(0, headColumn).data().toDouble(), head.toDouble());
        QCOMPARE(child<QLineEdit>(window.get(), "edRasName")->text(), QStringLiteral("Квартал 5"));
    }

    // Typing right after a click on the selected cell edits that cell: the
    // grid does not search its rows for the typed text.
    void typingAfterAClickEditsTheClickedCell()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        auto window = setup.show();
        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        const int length = columnOf(glavn->model(), QStringLiteral("ДлНаУчПод"));
        const QModelIndex first = glavn->model()->index(0, length);
        glavn->setFocus();
        glavn->setCurrentIndex(first);
        QTest::mouseClick(glavn->viewport(), Qt::LeftButton, {}, glavn->visualRect(first).center());
        // Each key goes where the keyboard focus is, as the user's keys do.
        for (const char key : {'9', '9', '9'})
            QTest::keyClick(QApplication::focusWidget(), key);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QApplication::processEvents();
        FileAccess file(setup.calculation);
        QCOMPARE(file.strings(QStringLiteral("SELECT ДлНаУчПод FROM Табл ORDER BY id")),
                 (QStringList{"999", "240", "130", "95", "210", "160"}));
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // Numbers are typed as everywhere in the program: spaces dropped, "," or
    // "." as decimal point. Text that is no number keeps the value and says so;
    // only an emptied cell is emptied.
    void typedNumbers_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QStringList>("messages");
        const QString refused = QStringLiteral("\" не является числом. Введите число.\rЗначение не изменено.");
        QTest::newRow("space inside") << "1 80" << QVariant(180.0) << QStringList();
        QTest::newRow("comma") << "12,5" << QVariant(12.5) << QStringList();
        QTest::newRow("spaces only") << "  " << QVariant(220.0) << QStringList{"\"  " + refused};
        QTest::newRow("letters") << "18o" << QVariant(220.0) << QStringList{"\"18o" + refused};
        QTest::newRow("two points") << "1.2.3" << QVariant(220.0) << QStringList{"\"1.2.3" + refused};
        QTest::newRow("emptied") << "" << QVariant() << QStringList();
    }
    void typedNumbers()
    {
        QFETCH(QString, typed);
        QFETCH(QVariant, stored);
        QFETCH(QStringList, messages);
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        FileAccess(setup.calculation).exec(QStringLiteral("UPDATE Табл SET ДлНаУчПод=220 WHERE id=1"));
        auto window = setup.show();
        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        typeIntoCell(glavn, glavn->model()->index(0, columnOf(glavn->model(), QStringLiteral("ДлНаУчПод"))), typed,
                     Qt::Key_Down);
        QApplication::processEvents();
        const QVariant value = FileAccess(setup.calculation).value(QStringLiteral("SELECT ДлНаУчПод FROM Табл WHERE id=1"));
        QCOMPARE(value.isNull(), !stored.isValid());
        if (stored.isValid())
            QCOMPARE(value.toDouble(), stored.toDouble());
        QCOMPARE(setup.dialogs.messages, messages);
    }

    // The head-node fields take digits only; a number out of range is refused
    // with a message naming the field.
    void headNodeFieldsTakeDigitsOnly()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        FileAccess(setup.calculation).exec(QStringLiteral("UPDATE НазвРасч SET NузРНап=5"));
        auto window = setup.show();
        auto* available = child<QLineEdit>(window.get(), "edNuzRNap");
        available->clear();
        QTest::keyClicks(available, QStringLiteral("1 a-2,5"));
        QCOMPARE(available->text(), QStringLiteral("125"));

        // A node number beyond 32700 is a typing error, refused when the
        // field is left and again when a command would store it.
        const QString refusal = QStringLiteral("Значение поля \"РНапНаУз задан для узла\" должно быть целым числом от 0 "
                                               "до 32700.\rЗначение не изменено.");
        available->clear();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        available->setFocus();
        zurm::test::typeThroughWindow(available, QStringLiteral("40000"));
        zurm::test::keyThroughWindow(available, Qt::Key_Return);
        QCOMPARE(setup.dialogs.messages, QStringList{refusal});
        QCOMPARE(setup.dialogs.kinds, QList<zurm::MessageKind>{zurm::MessageKind::Warning});
        QCOMPARE(available->text(), QStringLiteral("5"));
        available->setText(QStringLiteral("40000"));
        window->findChild<QAction*>(QStringLiteral("miFileSaveRas"))->trigger();
        QCOMPARE(setup.dialogs.messages, (QStringList{refusal, refusal}));
        QCOMPARE(available->text(), QStringLiteral("5"));
        QCOMPARE(FileAccess(setup.calculation).value(QStringLiteral("SELECT NузРНап FROM НазвРасч")).toInt(), 5);
    }

    // After a run and after the parameters dialog the cursor stands on the
    // segment and the column it stood on, whatever row the sort puts it in.
    void commandsKeepTheCursor_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("run") << "miDataVipRas" << "RasVipForm";
        QTest::newRow("parameters") << "miDataParR" << "TParRForm";
    }
    void commandsKeepTheCursor()
    {
        QFETCH(QString, command);
        QFETCH(QString, dialog);
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        auto window = setup.show();
        window->findChild<QAction*>(QStringLiteral("miDataSortPoNU"))->trigger();
        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        const int flow = columnOf(glavn->model(), QStringLiteral("РасхПод"));
        glavn->setCurrentIndex(glavn->model()->index(3, flow));
        const int id = window->segmentModel()->index(3, window->segmentModel()->fieldIndex(QStringLiteral("id"))).data().toInt();
        setup.dialogs.answers = {true};
        zurm::test::whenShown(dialog, [](QWidget* shown) { shown->close(); });
        window->findChild<QAction*>(command)->trigger();
        QVERIFY(window->segmentModel());
        glavn = child<QTableView>(window.get(), "DGGlavn");
        const QModelIndex current = glavn->currentIndex();
        QCOMPARE(window->segmentModel()->index(current.row(), window->segmentModel()->fieldIndex(QStringLiteral("id"))).data().toInt(), id);
        QCOMPARE(glavn->model()->headerData(current.column(), Qt::Horizontal).toString(), QStringLiteral("РасхПод"));
        QCOMPARE(child<QTableView>(window.get(), "DGNU")->currentIndex().row(), current.row());
    }

    // An edit made elsewhere (another view of the same document) reaches the
    // window through the document's input-changed signal: "Расчет выполнен."
    // goes and the grids show what the file now holds, the cursor staying on
    // its segment. The window's own edits send the signal once each.
    void inputChangedElsewhereIsShown()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        FileAccess(setup.calculation).exec(QStringLiteral("UPDATE НазвРасч SET РВ=1"));
        auto window = setup.show();
        zurm::DataModule& data = window->session().data();
        QSignalSpy changes(&window->session().events(), &zurm::DocumentEvents::inputChanged);
        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        auto* zag = child<QTableView>(window.get(), "DGZag");
        const int length = columnOf(glavn->model(), QStringLiteral("ДлНаУчПод"));
        const int roughness = columnOf(zag->model(), QStringLiteral("КэШер"));
        glavn->setCurrentIndex(glavn->model()->index(2, length));
        const QVariant id = window->segmentModel()->index(2, window->segmentModel()->fieldIndex(QStringLiteral("id"))).data();

        zurm::execSql(data.calculation(), QStringLiteral("UPDATE Табл SET ДлНаУчПод=777 WHERE id=?"), {id});
        zurm::execSql(data.calculation(), QStringLiteral("UPDATE Заг SET КэШер=0.25"));
        data.noteInputChanged(nullptr);
        QCOMPARE(changes.count(), 1);
        QVERIFY(window->statusText().isEmpty());
        QTRY_COMPARE(glavn->model()->index(2, length).data().toDouble(), 777.0);
        QCOMPARE(zag->model()->index(0, roughness).data().toDouble(), 0.25);
        QCOMPARE(glavn->currentIndex(), glavn->model()->index(2, length));

        // Own edits: a segment row, a header value, a head node.
        typeIntoCell(glavn, glavn->model()->index(2, length), QStringLiteral("12"), Qt::Key_Down);
        typeIntoCell(zag, zag->model()->index(0, roughness), QStringLiteral("0,5"), Qt::Key_Return);
        child<QLineEdit>(window.get(), "edNuzRNap")->setText(QStringLiteral("4"));
        window->findChild<QAction*>(QStringLiteral("miFileSaveRas"))->trigger();
        QCOMPARE(changes.count(), 4);
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // "Расчет выполнен." stays while the flag is set: a hint shows over it for
    // a moment, and it comes back when the hint goes.
    void calculationDoneStaysUnderHints()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        FileAccess(setup.calculation).exec(QStringLiteral("UPDATE НазвРасч SET РВ=1"));
        auto window = setup.show();
        QCOMPARE(window->statusText(), QStringLiteral("Расчет выполнен."));
        QStatusTipEvent hint(QStringLiteral("Открыть расчет"));
        QApplication::sendEvent(window.get(), &hint);
        QCOMPARE(window->statusText(), QStringLiteral("Открыть расчет"));
        QStatusTipEvent gone{QString()};
        QApplication::sendEvent(window.get(), &gone);
        QCOMPARE(window->statusText(), QStringLiteral("Расчет выполнен."));
        QVERIFY(child<QLabel>(window.get(), "lbCalculationDone")->isVisible());
    }

    // At every font size the settings accept, each caption, title and value
    // is shown whole: columns widen and the panels grow with the fonts.
    void everyFontSizeShowsEverything_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("8") << 8;
        QTest::newRow("14") << 14;
        QTest::newRow("20") << 20;
    }
    void everyFontSizeShowsEverything()
    {
        QFETCH(int, size);
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        setup.updateSettings(QStringLiteral("РШрифтаВТД=%1, РШрифтаВЗагКолТД=%1, РШрифтаНаимПок=%1").arg(size));
        auto window = setup.show();
        window->resize(1280, 800);
        QApplication::processEvents();
        for (const char* name : {"DGZag", "DGGlavn"}) {
            auto* grid = child<QTableView>(window.get(), name);
            auto* header = qobject_cast<zurm::gui::CaptionHeaderView*>(grid->horizontalHeader());
            for (int column = 0; column < grid->model()->columnCount(); ++column)
                if (!grid->isColumnHidden(column))
                    QVERIFY2(grid->columnWidth(column) >= header->minimumSectionWidth(column), name);
        }
        // The header grid's value row lies inside the top panel.
        auto* zag = child<QTableView>(window.get(), "DGZag");
        const QRect value = zag->visualRect(zag->currentIndex());
        QVERIFY(value.isValid() && value.bottom() < zag->viewport()->height());
        // Both node-number columns fit into the left panel.
        auto* nu = child<QTableView>(window.get(), "DGNU");
        const int end = columnOf(nu->model(), QStringLiteral("КонУзел"));
        QVERIFY(nu->columnViewportPosition(end) + nu->columnWidth(end) <= nu->viewport()->width());
    }

    // Back from the largest font size to the usual one, the segment grid
    // stands beside the node numbers again; the menus and the toolbar read at
    // the size of the data grids.
    void fontSizesComeBackWithoutAGap()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        auto window = setup.show();
        window->resize(1280, 800);
        auto* left = child<QWidget>(window.get(), "pnLeft");
        auto* client = child<QWidget>(window.get(), "pnClient");
        auto* split = child<QSplitter>(window.get(), "spVert");
        auto* toolbar = child<QToolBar>(window.get(), "ToolBar1");
        for (int size : {20, 10}) {
            setup.updateSettings(QStringLiteral("РШрифтаВТД=%1, РШрифтаВЗагКолТД=%1, РШрифтаНаимПок=%1").arg(size));
            window->ApplyFontSizes();
            QApplication::processEvents();
            QCOMPARE(client->x() - (left->x() + left->width()), split->handleWidth());
            QCOMPARE(window->menuBar()->font().pointSize(), size);
            for (const QMenu* menu : window->menuBar()->findChildren<QMenu*>())
                QCOMPARE(menu->font().pointSize(), size);
            QCOMPARE(toolbar->font().pointSize(), size);
        }
    }

    // The toolbar shows the program's own coloured icons, and a disabled
    // command's icon is grey.
    void toolbarIconsShowTheirState()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        auto window = setup.show();
        auto saturated = [](const QPixmap& pixmap) {
            const QImage image = pixmap.toImage();
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) > 128 && QColor(image.pixel(x, y)).hsvSaturation() > 80)
                        ++count;
            return count;
        };
        const std::pair<const char*, const char*> buttons[] = {
            {"tbNewRas", "new"},          {"tbOpenRas", "open"},           {"tbSaveRas", "save"},
            {"tbSaveRasAs", "save-as"},   {"tbParTS", "network"},          {"tbVvPovtD", "repeated-entry"},
            {"tbLoadFromME", "import-excel"}, {"tbVipRas", "run"},         {"tbFormOtsh", "report"},
            {"tbVigrV_ME", "export-excel"}, {"tbGr", "graph"},             {"tbSortPoNU", "sort-by-nodes"},
            {"tbSortPoVnutrSc", "sort-by-id"}, {"tbSprZURM", "help"},      {"tbOProg", "about"},
        };
        for (const auto& [name, file] : buttons) {
            const QIcon icon = child<QAction>(window.get(), name)->icon();
            const QIcon own(QStringLiteral(":/icons/%1.svg").arg(QString::fromUtf8(file)));
            QVERIFY2(!own.isNull() && icon.pixmap(24).toImage() == own.pixmap(24).toImage(), name);
            QVERIFY2(saturated(icon.pixmap(24, QIcon::Normal)) > 20, name);
            QVERIFY2(saturated(icon.pixmap(24, QIcon::Disabled)) == 0, name);
        }
    }

    void modelsPassTheModelTester()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        auto window = setup.show();
        using Mode = QAbstractItemModelTester::FailureReportingMode;
        QAbstractItemModelTester segmentTester(window->segmentModel(), Mode::QtTest);
        QAbstractItemModelTester headerTester(window->headerModel(), Mode::QtTest);

        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        typeIntoCell(glavn, glavn->model()->index(0, columnOf(glavn->model(), QStringLiteral("РасхПод"))),
                     QStringLiteral("99"), Qt::Key_Down);
        auto* zag = child<QTableView>(window.get(), "DGZag");
        typeIntoCell(zag, zag->model()->index(0, columnOf(zag->model(), QStringLiteral("ДолМестПот"))),
                     QStringLiteral("0.25"), Qt::Key_Return);
        window->findChild<QAction*>(QStringLiteral("miDataSortPoNU"))->trigger();
        QCOMPARE(window->segmentModel()->rowCount(), 6);
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // The file went away under a pending edit: Save reports it and keeps the
    // edit, Esc drops it, Exit asks first, and Save as still makes a copy.
    void anEditThatCannotBeSavedBlocksNothing()
    {
        SampleWindow setup;
        auto window = setup.show();
        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        auto* model = window->segmentModel();
        const int length = columnOf(model, QStringLiteral("ДлНаУчПод"));
        QVERIFY(model->setData(model->index(0, length), 999.0));
        const QString moved = setup.docs(QStringLiteral("moved.mdb"));
        QVERIFY(QFile::rename(setup.calculation, moved));

        window->findChild<QAction*>(QStringLiteral("miFileSaveRas"))->trigger();
        QCOMPARE(setup.dialogs.messages.size(), 1);
        QVERIFY(setup.dialogs.messages.first().startsWith(QStringLiteral("Ошибка при сохранении данных.")));
        QVERIFY(model->rowPending(0));
        glavn->setFocus();
        glavn->setCurrentIndex(model->index(0, length));
        QTest::keyClick(glavn, Qt::Key_Escape);
        QVERIFY(!model->rowPending(0));
        QCOMPARE(model->index(0, length).data().toDouble(), 180.0);

        // Exit asks; No keeps the window and the edit.
        QVERIFY(model->setData(model->index(0, length), 999.0));
        setup.dialogs.questions.clear();
        QVERIFY(!window->close());
        QCOMPARE(setup.dialogs.questions.size(), 1);
        QVERIFY(window->isVisible());
        QVERIFY(model->rowPending(0));

        // Save as: Yes drops the edit, and the copy is of the file that was open.
        const QString rescued = setup.docs(QStringLiteral("rescued.mdb"));
        setup.dialogs.answers = {true};
        setup.dialogs.files = {rescued};
        window->findChild<QAction*>(QStringLiteral("miFileSaveRasAs"))->trigger();
        QCOMPARE(window->session().calculationFileSetting(), rescued);
        QCOMPARE(FileAccess(rescued).value(QStringLiteral("SELECT ДлНаУчПод FROM Табл WHERE id=1")).toDouble(), 180.0);
        QVERIFY(window->close());
    }

    // A calculation file that cannot be written is shown for viewing at every
    // start: opening and the file commands write nothing, the grids and fields
    // take no edits, and Open and New still work.
    void unwritableCalculationIsShownForViewing()
    {
        SampleWindow setup;
        const QByteArray path = QFile::encodeName(setup.calculation);
        ::chmod(path.constData(), 0444);
        const bool immutable = ::access(path.constData(), W_OK) == 0
            && QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), setup.calculation}) == 0;
        const auto restore = qScopeGuard([&] {
            if (immutable)
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), setup.calculation});
            ::chmod(path.constData(), 0644);
        });
        if (::access(path.constData(), W_OK) == 0)
            QSKIP("no way to make a file unwritable here");
        QFile file(setup.calculation);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();

        for (int start = 0; start < 2; ++start) {
            auto window = setup.show();
            QVERIFY2(setup.dialogs.messages.size() == 1, qPrintable(setup.dialogs.messages.last()));
            QCOMPARE(setup.dialogs.messages[0], zurm::readOnlyCalculationMessage(setup.calculation));
            auto* model = window->segmentModel();
            QVERIFY(model);
            QVERIFY(!(model->flags(model->index(0, model->fieldIndex(QStringLiteral("ДлНаУчПод")))) & Qt::ItemIsEditable));
            QVERIFY(!(window->headerModel()->flags(window->headerModel()->index(0, 0)) & Qt::ItemIsEditable));
            QVERIFY(child<QLineEdit>(window.get(), "edRasName")->isReadOnly());
            setup.dialogs.messages.clear();
            window->findChild<QAction*>(QStringLiteral("miDataParR"))->trigger();
            QCOMPARE(setup.dialogs.messages, QStringList{zurm::readOnlyCalculationMessage(setup.calculation)});
            setup.dialogs.messages.clear();
            for (const char* command : {"miFileOpenRas", "miFileNewRas"}) {
                setup.dialogs.fileRequests.clear();
                window->findChild<QAction*>(QString::fromUtf8(command))->trigger();
                QCOMPARE(setup.dialogs.fileRequests.size(), 1);
                QCOMPARE(setup.dialogs.messages, QStringList{});
            }
            window->close();
            setup.dialogs.messages.clear();
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), bytes);
            file.close();
        }
    }

    // A large network is shown at once: rows are read as the grid scrolls, and
    // Down on the last row read so far reads on.
    void largeNetworksAreReadAsTheGridScrolls()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.nameCalculationInSettings();
        FileAccess(setup.calculation)
            .exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 7 UNION ALL SELECT i + 1 FROM n WHERE i < 32700) "
                                 "INSERT INTO Табл (id, НачУзел, КонУзел, ДлНаУчПод) SELECT i, i - 1, i, 10 FROM n"));
        auto window = setup.show();
        auto* model = window->segmentModel();
        QVERIFY(model);
        QVERIFY(model->rowCount() < 32700);
        QVERIFY(model->canFetchMore(QModelIndex()));
        // No model tester here: its own check after every insertion calls
        // fetchMore, which inserts the next block inside that check.

        auto* glavn = child<QTableView>(window.get(), "DGGlavn");
        const int loaded = model->rowCount();
        glavn->setFocus();
        glavn->setCurrentIndex(model->index(loaded - 1, model->fieldIndex(QStringLiteral("ДлНаУчПод"))));
        QTest::keyClick(glavn, Qt::Key_Down);
        QCOMPARE(glavn->currentIndex().row(), loaded);
        QCOMPARE(child<QTableView>(window.get(), "DGNU")->currentIndex().row(), loaded);
        QVERIFY(model->rowCount() > loaded);

        // Node numbers and values are shown without thousands separators.
        while (model->rowCount() < 1600 && model->canFetchMore(QModelIndex()))
            model->fetchMore(QModelIndex());
        auto* nuDelegate = qobject_cast<QStyledItemDelegate*>(child<QTableView>(window.get(), "DGNU")->itemDelegate());
        QVERIFY(nuDelegate);
        const QModelIndex node = model->index(1499, model->fieldIndex(QStringLiteral("КонУзел")));
        QCOMPARE(nuDelegate->displayText(node.data(), QLocale::system()), QStringLiteral("1500"));
        QString value = nuDelegate->displayText(QVariant(12345.5), QLocale::system());
        QCOMPARE(value.replace(QLocale::system().decimalPoint(), QStringLiteral(".")), QStringLiteral("12345.5"));

        // The number list follows the grid's scrolling.
        glavn->verticalScrollBar()->setValue(glavn->verticalScrollBar()->maximum() / 2);
        QCOMPARE(child<QTableView>(window.get(), "DGNU")->verticalScrollBar()->value(),
                 glavn->verticalScrollBar()->value());

        // The idle window holds no lock: another program writes at once.
        try {
            FileAccess other(setup.calculation);
            other.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
            other.exec(QStringLiteral("UPDATE Табл SET ДлНаУчПод=11 WHERE id=30000"));
        } catch (const zurm::Failure& failure) {
            QFAIL(qPrintable(failure.text()));
        }
        // Ctrl+End goes to the last segment of the file at once.
        const int segments = FileAccess(setup.calculation).value(QStringLiteral("SELECT count(*) FROM Табл")).toInt();
        QTest::keyClick(glavn, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(glavn->currentIndex().row(), segments - 1);
        QCOMPARE(model->index(glavn->currentIndex().row(), model->fieldIndex(QStringLiteral("КонУзел"))).data().toInt(),
                 32700);
    }
};

QTEST_MAIN(MainWindowGridsTest)
#include "main_window_grids_test.moc"
