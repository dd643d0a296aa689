// The network parameters editor through the real windows: a new user types a
// network and calculates it; which grids add rows and which commands the
// modes enable.
#include "gui/entry/MainWindow.h"
#include "gui/network/NetworkEditor.h"
#include "network/ConsumerTableModel.h"
#include "platform/NumberText.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest/QtTest>

using zurm::test::SampleWindow;
using zurm::test::whenShown;

namespace {

int columnOf(const QAbstractItemModel* model, const QString& name)
{
    for (int column = 0; column < model->columnCount(); ++column)
        if (model->headerData(column, Qt::Horizontal).toString() == name)
            return column;
    return -1;
}

// Types into the cell's editor and leaves it with the given key.
void typeIntoCell(QTableView* grid, int row, int column, const QString& text, Qt::Key leaveWith = Qt::Key_Return)
{
    const QModelIndex index = grid->model()->index(row, column);
    grid->setFocus();
    grid->setCurrentIndex(index);
    grid->edit(index);
    QLineEdit* editor = nullptr;
    for (QLineEdit* candidate : grid->viewport()->findChildren<QLineEdit*>())
        if (candidate->isVisible())
            editor = candidate;
    QVERIFY2(editor, qPrintable(grid->objectName()));
    editor->selectAll();
    for (const QChar ch : text) {
        if (ch.unicode() < 128)
            QTest::keyClick(editor, ch.toLatin1());
        else
            editor->insert(QString(ch));
    }
    QTest::keyClick(editor, leaveWith);
    QApplication::processEvents();
}

QTableView* grid(QWidget* window, const char* name)
{
    return zurm::test::child<QTableView>(window, name);
}

// Down on the last row (or on an empty grid) of the given grid.
void pressDown(QTableView* view)
{
    view->setFocus();
    if (view->model()->rowCount() > 0) {
        int column = 0;
        while (view->isColumnHidden(column))
            ++column;
        view->setCurrentIndex(view->model()->index(view->model()->rowCount() - 1, column));
    }
    QTest::keyClick(view, Qt::Key_Down);
}

void trigger(QWidget* window, const char* action)
{
    zurm::test::child<QAction>(window, action)->trigger();
}

} // namespace

class NetworkEditorTest : public QObject {
    Q_OBJECT
private slots:
    // "Создать новый расчет" leads to "Параметры теплосети"; there the whole
    // network is typed, and after the main window's header values and
    // diameters the calculation runs.
    void newUserTypesANetworkAndCalculates()
    {
        SampleWindow setup(SampleWindow::CalculationNotNamed);
        setup.updateSettings(QStringLiteral("СохрТекстРас=0"));
        auto window = setup.show();
        const QString file = setup.docs(QStringLiteral("new.mdb"));
        setup.dialogs.files = {file};
        trigger(window.get(), "miFileNewRas");
        QVERIFY2(setup.dialogs.messages.join(QLatin1Char('|')).contains(QStringLiteral("Данные / Параметры теплосети")),
                 qPrintable(setup.dialogs.messages.join(QLatin1Char('|'))));
        setup.dialogs.messages.clear();

        bool edited = false;
        whenShown(QStringLiteral("TParTSForm"), [&](QWidget* editor) {
            QTest::keyClicks(zurm::test::child<QLineEdit>(editor, "edNachUzTS"), QStringLiteral("1"));
            QTableView* nodes = grid(editor, "DGUzTS");
            QTableView* heights = grid(editor, "DGGeodVis");
            const double height[] = {100, 101, 102, 101, 103};
            for (int node = 1; node <= 5; ++node) {
                pressDown(nodes);
                typeIntoCell(nodes, node - 1, 0, QString::number(node));
                typeIntoCell(heights, node - 1, 1, QString::number(height[node - 1]));
            }
            QTableView* keys = grid(editor, "DGNU");
            QTableView* values = grid(editor, "DGTabl");
            const int segments[][4] = {{1, 2, 100, 50}, {2, 3, 80, 30}, {2, 4, 60, 20}, {4, 5, 50, 20}};
            for (int s = 0; s < 4; ++s) {
                pressDown(keys);
                typeIntoCell(keys, s, 1, QString::number(segments[s][0]));
                typeIntoCell(keys, s, 2, QString::number(segments[s][1]));
                typeIntoCell(values, s, 3, QString::number(segments[s][2]));
                typeIntoCell(values, s, 5, QString::number(segments[s][3]));
            }
            zurm::test::child<QTabWidget>(editor, "tcTabl")->setCurrentIndex(1);
            QTableView* pumps = grid(editor, "DGIsmPNap");
            pressDown(pumps);
            typeIntoCell(pumps, 0, 0, QStringLiteral("2"));
            typeIntoCell(pumps, 0, 1, QStringLiteral("Под."));
            typeIntoCell(pumps, 0, 2, QStringLiteral("10"));
            // The end nodes come from the check that end-node editing runs.
            trigger(editor, "miShTSEditKonUz");
            QTableView* ends = grid(editor, "DGKonMag");
            QCOMPARE(ends->model()->rowCount(), 2);
            typeIntoCell(ends, 0, 4, QStringLiteral("30"));
            typeIntoCell(ends, 1, 4, QStringLiteral("30"));
            edited = true;
            trigger(editor, "miSaveClose");
        });
        trigger(window.get(), "tbParTS");
        QVERIFY(edited);
        QVERIFY2(setup.dialogs.messages.isEmpty(), qPrintable(setup.dialogs.messages.join(QLatin1Char('|'))));
        zurm::test::FileAccess access(file);
        QCOMPARE(access.strings(QStringLiteral("SELECT ПарТСКорр||'/'||NНачУз FROM НазвРасч")), QStringList{"0/1"});
        QCOMPARE(access.strings(QStringLiteral("SELECT Nуз||':'||ГеодВыс FROM УзлыТС ORDER BY Nуз")),
                 (QStringList{"1:100.0", "2:101.0", "3:102.0", "4:101.0", "5:103.0"}));
        QCOMPARE(access.strings(QStringLiteral("SELECT НачУзел||'-'||КонУзел||' '||ДлНаУчПод||' '||РасхПод FROM Табл "
                                               "ORDER BY id")),
                 (QStringList{"1-2 100.0 50.0", "2-3 80.0 30.0", "2-4 60.0 20.0", "4-5 50.0 20.0"}));
        QCOMPARE(access.strings(QStringLiteral("SELECT Nуз||' '||ТрПр||' '||ИзмПНап FROM ИзмПНапВУзлахТС")),
                 QStringList{"2 0 10.0"});
        QCOMPARE(access.strings(QStringLiteral("SELECT КонУзел||' '||ДельтаТ FROM КонМаг ORDER BY id_m")),
                 (QStringList{"3 30.0", "5 30.0"}));

        // The main window's grids follow the correct network.
        // The main window re-reads after the editor's edits first.
        QTest::qWait(100);
        QTableView* header = grid(window.get(), "DGZag");
        QTableView* glavn = grid(window.get(), "DGGlavn");
        QVERIFY(glavn->isVisible());
        QCOMPARE(glavn->model()->rowCount(), 4);
        const char* headerValues[][2] = {{"ПНапНаУзПод", "160"}, {"РНапНаУз", "60"}, {"МинТВоды", "70"}, {"МаксТВоды", "130"}};
        for (const auto& value : headerValues)
            typeIntoCell(header, 0, columnOf(header->model(), QString::fromUtf8(value[0])), QString::fromUtf8(value[1]));
        for (const char* field : {"edNuzPNapPod", "edNuzRNap"}) {
            auto* edit = zurm::test::child<QLineEdit>(window.get(), field);
            edit->clear();
            QTest::keyClicks(edit, QStringLiteral("1"));
        }
        const int diameter = columnOf(glavn->model(), QStringLiteral("ДуПод"));
        const char* diameters[] = {"150", "100", "100", "80"};
        for (int row = 0; row < 4; ++row)
            typeIntoCell(glavn, row, diameter, QString::fromUtf8(diameters[row]), row < 3 ? Qt::Key_Down : Qt::Key_Up);

        QString message;
        whenShown(QStringLiteral("RasVipForm"), [&](QWidget* dialog) {
            message = dialog->findChild<QPlainTextEdit*>(QStringLiteral("mmRasVip"))->toPlainText();
            dialog->findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
        });
        setup.dialogs.answers = {true};
        trigger(window.get(), "miDataVipRas");
        QVERIFY2(message.startsWith(QStringLiteral("Расчет выполнен успешно.")),
                 qPrintable(message + setup.dialogs.messages.join(QLatin1Char('|'))));
    }

    // Which grids add a row on Down at the last row or on Insert, in each
    // mode, and which commands each mode enables; the models stay sound
    // meanwhile.
    void rowsAreAddedWhereTheModeAllows()
    {
        SampleWindow setup;
        auto window = setup.show();
        bool checked = false;
        whenShown(QStringLiteral("TParTSForm"), [&](QWidget* editor) {
            auto* dialog = static_cast<zurm::gui::NetworkEditor*>(editor);
            for (zurm::NetworkTable table : {zurm::NetworkTable::Nodes, zurm::NetworkTable::Segments,
                                             zurm::NetworkTable::HeadChanges, zurm::NetworkTable::EndNodes})
                new QAbstractItemModelTester(dialog->model(table), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                             dialog);
            struct Case {
                const char* grid;
                Qt::Key key;
                bool manualFill;
                bool added;
            } cases[] = {
                {"DGUzTS", Qt::Key_Insert, false, false},   {"DGGeodVis", Qt::Key_Down, false, false},
                {"DGNU", Qt::Key_Down, false, false},       {"DGTabl", Qt::Key_Down, false, false},
                {"DGIsmPNap", Qt::Key_Insert, false, true}, {"DGUzTS", Qt::Key_Down, true, true},
                {"DGNU", Qt::Key_Insert, true, true},       {"DGTabl", Qt::Key_Insert, true, false},
                {"DGGeodVis", Qt::Key_Insert, true, false},
            };
            for (const Case& c : cases) {
                if (c.manualFill && !dialog->state().manualFill()) {
                    QVERIFY(zurm::test::child<QAction>(editor, "miShTSSelUzTS")->isEnabled());
                    QVERIFY(!zurm::test::child<QAction>(editor, "miEditDelRecUzTS")->isEnabled());
                    trigger(editor, "miShTSRZapT");
                    QVERIFY(!zurm::test::child<QAction>(editor, "miShTSSelUzTS")->isEnabled());
                    QVERIFY(zurm::test::child<QAction>(editor, "miEditDelRecUzTS")->isEnabled());
                }
                QTableView* view = grid(editor, c.grid);
                if (!view->isVisible())
                    zurm::test::child<QTabWidget>(editor, "tcTabl")
                        ->setCurrentIndex(QByteArray(c.grid) == "DGIsmPNap" ? 1 : 0);
                const int before = view->model()->rowCount();
                if (c.key == Qt::Key_Down) {
                    pressDown(view);
                } else {
                    view->setFocus();
                    QTest::keyClick(view, c.key);
                }
                QCOMPARE(view->model()->rowCount(), before + (c.added ? 1 : 0));
                // Leaving the untouched new row takes it away again.
                if (before > 0) {
                    QTest::keyClick(view, Qt::Key_Up);
                    QApplication::processEvents();
                    QCOMPARE(view->model()->rowCount(), before);
                }
            }
            checked = true;
            trigger(editor, "miSaveClose");
        });
        trigger(window.get(), "miDataParTS");
        QVERIFY(checked);
    }

    // Marked segments go after one question; the cursor lands on the segment
    // that followed the last marked one, and the file keeps every other row.
    void deletingMarkedSegments()
    {
        SampleWindow setup;
        auto window = setup.show();
        const QStringList before = setup.file().strings(QStringLiteral("SELECT id FROM Табл ORDER BY id"));
        QVERIFY(before.size() >= 6);
        QString current;
        whenShown(QStringLiteral("TParTSForm"), [&](QWidget* editor) {
            trigger(editor, "miShTSRZapT");
            QTableView* keys = grid(editor, "DGNU");
            for (int row : {2, 4})
                keys->selectionModel()->select(keys->model()->index(row, 1),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
            setup.dialogs.answers = {true};
            trigger(editor, "miEditDelRecUchTS");
            auto* model = static_cast<zurm::gui::NetworkEditor*>(editor)->model(zurm::NetworkTable::Segments);
            current = QString::number(model->value(keys->currentIndex().row(), 0).toLongLong());
            trigger(editor, "miSaveClose");
        });
        trigger(window.get(), "miDataParTS");
        QCOMPARE(setup.dialogs.questions.value(0),
                 QStringLiteral("ЗУРМ|Удалить выделенные записи таблицы \"Участки теплосети\"?"));
        QStringList expected = before;
        expected.removeAt(4);
        expected.removeAt(2);
        QCOMPARE(setup.file().strings(QStringLiteral("SELECT id FROM Табл ORDER BY id")), expected);
        QCOMPARE(current, before[5]);
    }

    // The consumers' tab after the end nodes: a name, a number typed with a
    // comma, text that is no number, a scheme chosen from its list, and the
    // header values of the pressure regime; every stored edit makes the
    // results stale.
    void consumersAreTypedInTheirTab()
    {
        SampleWindow setup;
        setup.file().exec(QStringLiteral("UPDATE НазвРасч SET РВ = 1"));
        auto window = setup.show();
        setup.dialogs.messages.clear();
        bool checked = false;
        whenShown(QStringLiteral("TParTSForm"), [&](QWidget* editor) {
            auto* dialog = static_cast<zurm::gui::NetworkEditor*>(editor);
            new QAbstractItemModelTester(dialog->consumerModel(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                         dialog);
            auto* tabs = zurm::test::child<QTabWidget>(editor, "tcTabl");
            QCOMPARE(tabs->count(), 4);
            QCOMPARE(tabs->tabText(2), QStringLiteral("Конечные узлы теплосети"));
            QCOMPARE(tabs->tabText(3), QStringLiteral("Потребители"));
            QVERIFY(zurm::test::child<QAction>(editor, "miEditLoadPotr")->isEnabled());
            tabs->tabBar()->setFocus();
            for (int step = 0; step < 3; ++step)
                QTest::keyClick(tabs->tabBar(), Qt::Key_Right);
            if (tabs->currentIndex() != 3)
                editor->close();
            QCOMPARE(tabs->currentIndex(), 3);
            QTableView* consumers = grid(editor, "DGPotr");
            QVERIFY(consumers->isVisible());
            QCOMPARE(consumers->model()->rowCount(), 3);
            using C = zurm::ConsumerTableModel;
            typeIntoCell(consumers, 0, C::Name, QStringLiteral("Школа №1"));
            typeIntoCell(consumers, 0, C::SystemLoss, QStringLiteral("1,5"));
            typeIntoCell(consumers, 0, C::BuildingHeight, QStringLiteral("abc"));
            typeIntoCell(consumers, 1, C::BuildingHeight, QStringLiteral("12"));

            const QModelIndex scheme = consumers->model()->index(0, C::Scheme);
            consumers->setCurrentIndex(scheme);
            consumers->edit(scheme);
            auto* box = consumers->viewport()->findChild<QComboBox*>(QStringLiteral("cbSchemePris"));
            QVERIFY(box);
            QTest::keyClick(box, Qt::Key_Down); // the first scheme after the empty item
            QApplication::processEvents();
            QCOMPARE(scheme.data().toString(), QStringLiteral("элеваторная"));

            auto* staticHead = zurm::test::child<QLineEdit>(editor, "edStatNapor");
            auto* reserve = zurm::test::child<QLineEdit>(editor, "edZapasKip");
            QCOMPARE(staticHead->text(), QString());
            QCOMPARE(zurm::test::child<QLineEdit>(editor, "edDopDavlMS")->text(), QStringLiteral("60"));
            QCOMPARE(reserve->text(), QStringLiteral("5"));
            staticHead->setFocus();
            QTest::keyClicks(staticHead, QStringLiteral("45,5"));
            QTest::keyClick(staticHead, Qt::Key_Return);
            reserve->setFocus();
            reserve->selectAll();
            QTest::keyClicks(reserve, QStringLiteral("x"));
            QTest::keyClick(reserve, Qt::Key_Return);
            QApplication::processEvents();
            QCOMPARE(reserve->text(), QStringLiteral("5"));
            checked = true;
            trigger(editor, "miSaveClose");
        });
        trigger(window.get(), "miDataParTS");
        QVERIFY(checked);
        QCOMPARE(setup.dialogs.messages,
                 (QStringList{zurm::typedNumberRefusal(QStringLiteral("abc")), zurm::typedNumberRefusal(QStringLiteral("x"))}));
        const auto file = setup.file();
        QCOMPARE(file.strings(QStringLiteral("SELECT КонУзел || '|' || ifnull(НаимПотр, '') || '|' || ifnull(СхемаПрис, '') "
                                             "|| '|' || ifnull(ПотНСист, '') || '|' || ifnull(ВысЗд, '') FROM Потребители "
                                             "ORDER BY КонУзел")),
                 (QStringList{QStringLiteral("3|Школа №1|0|1.5|"), QStringLiteral("4||||12.0")}));
        QCOMPARE(file.strings(QStringLiteral("SELECT ifnull(СтатНапор, '') || '|' || ДопДавлМС || '|' || ЗапасКип "
                                             "FROM ПотребителиЗаг")),
                 QStringList{QStringLiteral("45.5|60.0|5.0")});
        QCOMPARE(file.value(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
    }
};

QTEST_MAIN(NetworkEditorTest)
#include "network_editor_test.moc"
