// The window "Наладочный расчет" as a person uses it: refused before a run,
// then the table of the end nodes, a constant and an elevator changed and
// stored in the settings with the table computed again, a refused value, and
// the table saved, every click and key through the window system.
#include "gui/entry/CalculationGrid.h"
#include "gui/entry/MainWindow.h"
#include "gui/hydraulics/AdjustmentWindow.h"
#include "hydraulics/InputAdjustment.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QtTest/QtTest>

using zurm::test::clickThroughWindow;
using zurm::test::keyThroughWindow;
using zurm::test::SampleWindow;
using zurm::test::typeThroughWindow;
using zurm::test::whenShown;

namespace {

// A command of a window's menu bar, clicked where it is drawn.
void clickMenuCommand(QWidget* window, const char* name)
{
    auto* bar = window->findChild<QMenuBar*>();
    QAction* action = window->findChild<QAction*>(QString::fromLatin1(name));
    QVERIFY2(bar && action, name);
    clickThroughWindow(bar, bar->actionGeometry(action).center());
}

// The cell's text of the row whose first column is `node`.
QString cellOfNode(const QAbstractItemModel* model, int node, int column)
{
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, 0).data().toString() == QString::number(node))
            return model->index(row, column).data().toString();
    return QStringLiteral("(no node %1)").arg(node);
}

// The grid's numbers carry the user's decimal separator.
QString local(QString text)
{
    return text.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
}

} // namespace

class AdjustmentWindowTest : public QObject {
    Q_OBJECT
private slots:
    void refusedBeforeARunThenEditedStoredAndSaved()
    {
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("РШрифтаВТД=14"));
        QFile::remove(setup.calculation);
        QVERIFY(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/district_two_pipe.mdb"), setup.calculation));
        QFile::setPermissions(setup.calculation, QFile::ReadOwner | QFile::WriteOwner);
        setup.file().exec(QStringLiteral(
            "CREATE TABLE [Потребители] ([КонУзел] smallint PRIMARY KEY, [НаимПотр] text(255), [СхемаПрис] smallint, "
            "[ПотНСист] float, [ВысЗд] float, [ТСмеш] float, [НапТреб] float)"));
        setup.file().exec(QStringLiteral("INSERT INTO [Потребители] VALUES (10, 'Школа', 0, 1.5, 12, 95, NULL), "
                                         "(102, 'Дом', 1, NULL, 15, NULL, 20)"));
        {
            auto window = setup.show();
            window->findChild<QAction*>(QStringLiteral("miDataNalRas"))->trigger();
            QCOMPARE(setup.dialogs.messages, QStringList{zurm::kAdjustmentNeedsCalculation});
        }
        setup.dialogs.messages.clear();
        QProcess run;
        run.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"), {setup.calculation});
        QVERIFY(run.waitForFinished(120000));
        QCOMPARE(run.exitCode(), 0);

        auto window = setup.show();
        const QString saved = setup.docs(QStringLiteral("наладка"));
        setup.dialogs.files = {saved};
        QStringList before, after, stored;
        int rows = 0, font = 0;
        QString refusedField, refusedThroat, shownAfterRefusal;
        whenShown(QStringLiteral("TNalRasForm"), [&](QWidget* shown) {
            auto* dialog = static_cast<zurm::gui::AdjustmentWindow*>(shown);
            QAbstractItemModelTester rowsTester(dialog->rowsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
            QAbstractItemModelTester seriesTester(dialog->elevatorsModel(),
                                                  QAbstractItemModelTester::FailureReportingMode::QtTest);
            const QAbstractItemModel* model = dialog->grid()->model();
            rows = model->rowCount();
            font = dialog->grid()->font().pointSize();
            // Orifice of node 102 ("d × n") and the elevator of node 10.
            before = {cellOfNode(model, 102, 12), cellOfNode(model, 10, 8), cellOfNode(model, 103, 13)};

            // The smallest orifice 20 mm: node 102 needs three of them.
            auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("edMinDDiafr"));
            clickThroughWindow(field);
            keyThroughWindow(field, Qt::Key_A, Qt::ControlModifier);
            typeThroughWindow(field, QStringLiteral("20"));
            keyThroughWindow(field, Qt::Key_Tab);
            // No 7 gets a throat of 60 mm, typed into its cell.
            zurm::gui::CalculationGrid* series = dialog->elevatorsGrid();
            clickThroughWindow(series->viewport(), series->visualRect(dialog->elevatorsModel()->index(6, 1)).center());
            typeThroughWindow(series, QStringLiteral("60"));
            keyThroughWindow(series, Qt::Key_Return);
            QTest::qWait(50);
            after = {cellOfNode(model, 102, 12), cellOfNode(model, 10, 8)};

            // Refused: a constant of 0, a throat narrower than the one before.
            clickThroughWindow(field);
            keyThroughWindow(field, Qt::Key_A, Qt::ControlModifier);
            typeThroughWindow(field, QStringLiteral("0"));
            keyThroughWindow(field, Qt::Key_Tab);
            refusedField = setup.dialogs.messages.value(0);
            shownAfterRefusal = field->text();
            clickThroughWindow(series->viewport(), series->visualRect(dialog->elevatorsModel()->index(6, 1)).center());
            typeThroughWindow(series, QStringLiteral("10"));
            keyThroughWindow(series, Qt::Key_Return);
            QTest::qWait(50);
            refusedThroat = setup.dialogs.messages.value(1);
            clickThroughWindow(dialog->findChild<QPushButton*>(QStringLiteral("btAddElevator")));

            clickMenuCommand(dialog, "miSaveCSV");
            clickMenuCommand(dialog, "miClose");
        });
        window->findChild<QAction*>(QStringLiteral("miDataNalRas"))->trigger();
        stored = zurm::test::FileAccess(setup.settingsFile())
                     .strings(QStringLiteral("SELECT МинДДиафр FROM НастрНаладки UNION ALL "
                                             "SELECT group_concat(Номер || ':' || ДиамГорл, ' ') FROM Элеваторы"));

        QCOMPARE(rows, 23);
        QCOMPARE(font, 14);
        QCOMPARE(before, (QStringList{local(QStringLiteral("15.58 × 1")), QStringLiteral("7"),
                                      QStringLiteral("Нет данных о потребителе.")}));
        // 15,58 mm is below 20 mm: ΔH in three parts, 15,5797 · 3^¼ = 20,51 mm.
        QCOMPARE(after, (QStringList{local(QStringLiteral("20.51 × 3")), QStringLiteral("7")}));
        QCOMPARE(refusedField, QStringLiteral("Параметр \"Наименьший диаметр диафрагмы, мм\" должен быть числом больше нуля."));
        QCOMPARE(shownAfterRefusal, QStringLiteral("20"));
        QCOMPARE(refusedThroat,
                 QStringLiteral("Диаметр горловины элеватора № 7 должен быть больше, чем у элеватора № 6."));
        QCOMPARE(stored, (QStringList{QStringLiteral("20"),
                                      QStringLiteral("1:15.0 2:20.0 3:25.0 4:30.0 5:35.0 6:47.0 7:60.0 8:70.0")}));
        QCOMPARE(setup.dialogs.messages.size(), 2);
        QFile csv(saved + QStringLiteral(".csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().startsWith("\xEF\xBB\xBF" "Узел;Потребитель;"));
        QCOMPARE(setup.dialogs.openedFiles, QStringList{saved + QStringLiteral(".csv")});
    }
};

QTEST_MAIN(AdjustmentWindowTest)
#include "adjustment_window_test.moc"
