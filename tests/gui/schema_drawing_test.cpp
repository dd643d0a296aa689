// The schema drawing window through the real windows: a new user empties the
// network, places the start node and clicks out a chain at 100 %, moves and
// inserts a node, deletes a part and takes it back, renames a node and closes
// with the lengths from the map scale.
#include "gui/entry/CalculationGrid.h"
#include "gui/network/NetworkEditor.h"
#include "gui/network/RenameNodesDialog.h"
#include "gui/network/SchemaDrawingWindow.h"
#include "gui/network/SchemaView.h"
#include "network/RenamePlan.h"
#include "network/SchemaData.h"
#include "session/DocumentSession.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest/QtTest>

using zurm::test::SampleWindow;
using zurm::test::child;
using zurm::test::whenShown;

namespace {

void click(QWidget* canvas, QPoint at)
{
    QTest::mouseClick(canvas, Qt::LeftButton, {}, at);
}

void drag(QWidget* canvas, QPoint from, QPoint to)
{
    QTest::mousePress(canvas, Qt::LeftButton, {}, from);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
}

} // namespace

class SchemaDrawingTest : public QObject {
    Q_OBJECT
private slots:
    void drawsANetworkByClicks()
    {
        SampleWindow setup;
        {
            auto file = setup.file();
            for (const char* table : {"Табл", "УзлыТС", "КонМаг", "ИзмПНапВУзлахТС"})
                file.exec(QStringLiteral("DELETE FROM ") + QString::fromUtf8(table));
            file.exec(QStringLiteral("UPDATE НазвРасч SET ПарТСКорр=1, NНачУз=NULL, Карта=NULL, "
                                     "МасштабКарты=250, ВычДлПоМасш=1"));
        }
        auto window = setup.show();
        setup.dialogs.messages.clear();
        QStringList nodesAfterDelete;
        QStringList nodesAfterUndo;
        QStringList renameResults;
        bool drawn = false;
        whenShown(QStringLiteral("TParTSForm"), [&](QWidget* editorWidget) {
            auto* editor = static_cast<zurm::gui::NetworkEditor*>(editorWidget);
            whenShown(QStringLiteral("TRisShTSForm"), [&](QWidget* drawingWidget) {
                auto* drawing = static_cast<zurm::gui::SchemaDrawingWindow*>(drawingWidget);
                drawing->activateWindow();
                QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == drawing; }));
                QComboBox* box = drawing->operationBox();
                QCOMPARE(box->count(), 12);
                QCOMPARE(drawing->mode(), 0);
                auto* scale = child<QComboBox>(drawing, "cbScale");
                scale->setCurrentText(QStringLiteral("100%"));
                drawing->schema()->applyScale();
                QWidget* canvas = drawing->schema()->canvas();
                // The start node is kept inside the drawing area; then a chain.
                click(canvas, {5, 5});
                QCOMPARE(drawing->mode(), 2);
                for (QPoint at : {QPoint(100, 100), QPoint(400, 500), QPoint(400, 700)})
                    click(canvas, at);
                auto file = setup.file();
                QCOMPARE(file.strings(QStringLiteral("SELECT Nуз||':'||x||','||y FROM УзлыТС ORDER BY Nуз")),
                         QStringList({"0:17,42", "1:100,100", "2:400,500", "3:400,700"}));
                QCOMPARE(file.strings(QStringLiteral("SELECT НачУзел||'-'||КонУзел FROM Табл ORDER BY id")),
                         QStringList({"0-1", "1-2", "2-3"}));
                // A drag of a node in the node mode; a node before node 3.
                drawing->chooseItem(1);
                drag(canvas, {400, 700}, {450, 700});
                QCOMPARE(file.value(QStringLiteral("SELECT x FROM УзлыТС WHERE Nуз=3")).toInt(), 450);
                click(canvas, {450, 700});
                drawing->chooseItem(9);
                QCOMPARE(file.strings(QStringLiteral("SELECT Nуз||':'||x||','||y FROM УзлыТС WHERE Nуз=4")),
                         QStringList({"4:425,600"}));
                // Delete on the box removes the part from node 4; Ctrl+Z brings it back.
                click(canvas, {425, 600});
                setup.dialogs.answers = {true};
                box->setFocus();
                QTest::keyClick(box, Qt::Key_Delete);
                nodesAfterDelete = file.strings(QStringLiteral("SELECT Nуз FROM УзлыТС ORDER BY Nуз"));
                QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
                nodesAfterUndo = file.strings(QStringLiteral("SELECT Nуз FROM УзлыТС ORDER BY Nуз"));
                // Node 4 renamed: 70000 is refused and the dialog stays; then 40.
                click(canvas, {425, 600});
                for (const double number : {70000.0, 40.0})
                    whenShown(QStringLiteral("TRenameUzForm"), [&, number](QWidget* renameWidget) {
                        auto* rename = static_cast<zurm::gui::RenameNodesDialog*>(renameWidget);
                        rename->plan()->setData(rename->plan()->index(0, 1), number);
                        rename->renameAction()->trigger();
                        if (rename->isVisible()) {
                            renameResults.append(rename->plan()->index(0, 2).data().toString());
                            renameResults.append(rename->renameAction()->isEnabled() ? "enabled" : "disabled");
                            rename->reject();
                        }
                    });
                drawing->chooseItem(11);
                drawing->chooseItem(11);
                drawn = true;
                drawing->action(QStringLiteral("miSaveClose"))->trigger();
            });
            child<QAction>(editor, "miShTSRis")->trigger();
            QCOMPARE(child<QLineEdit>(editor, "edNachUzTS")->text(), QStringLiteral("0"));
            QCOMPARE(editor->state().status(), 0);
            editor->accept();
        });
        child<QAction>(window.get(), "miDataParTS")->trigger();
        QVERIFY(drawn);
        QCOMPARE(nodesAfterDelete, QStringList({"0", "1", "2"}));
        QCOMPARE(nodesAfterUndo, QStringList({"0", "1", "2", "3", "4"}));
        QCOMPARE(renameResults,
                 QStringList({"Значение поля \"Новый номер узла\" должно быть целым числом от 0 до 32700.", "disabled"}));
        QCOMPARE(setup.dialogs.messages, QStringList({"Не все выделенные узлы удалось переименовать.\r\rЗакройте форму "
                                                      "\"Переименование выделенных узлов\" и повторите попытку."}));
        auto file = setup.file();
        // Lengths from the scale: 250 m per 100 points.
        QCOMPARE(file.strings(QStringLiteral("SELECT НачУзел||'-'||КонУзел||'='||ДлНаУчПод FROM Табл ORDER BY id")),
                 QStringList({"0-1=253.14", "1-2=1250.0", "2-40=257.69", "40-3=257.69"}));
        QCOMPARE(file.value(QStringLiteral("SELECT ПарТСКорр FROM НазвРасч")).toInt(), 0);
    }

    // Esc takes back the first corner of a rectangle and a drag under way; it
    // never closes the window, which keeps its undo history.
    void escapeCancelsWhatIsUnderWay()
    {
        SampleWindow setup;
        auto window = setup.show();
        bool checked = false;
        whenShown(QStringLiteral("TParTSForm"), [&](QWidget* editorWidget) {
            auto* editor = static_cast<zurm::gui::NetworkEditor*>(editorWidget);
            whenShown(QStringLiteral("TRisShTSForm"), [&](QWidget* drawingWidget) {
                auto* drawing = static_cast<zurm::gui::SchemaDrawingWindow*>(drawingWidget);
                auto* scale = child<QComboBox>(drawing, "cbScale");
                scale->setCurrentText(QStringLiteral("100%"));
                drawing->schema()->applyScale();
                QWidget* canvas = drawing->schema()->canvas();
                auto file = setup.file();
                const int node = file.value(QStringLiteral("SELECT Nуз FROM УзлыТС ORDER BY Nуз LIMIT 1")).toInt();
                const QPoint at(file.value(QStringLiteral("SELECT x FROM УзлыТС WHERE Nуз=?"), {node}).toInt(),
                                file.value(QStringLiteral("SELECT y FROM УзлыТС WHERE Nуз=?"), {node}).toInt());
                drawing->chooseItem(1);
                drag(canvas, at, at + QPoint(20, 0));
                QVERIFY(drawing->history().canUndo());
                // A drag stopped by Esc moves nothing.
                QTest::mousePress(canvas, Qt::LeftButton, {}, at + QPoint(20, 0));
                zurm::test::keyThroughWindow(drawing, Qt::Key_Escape);
                QTest::mouseRelease(canvas, Qt::LeftButton, {}, at + QPoint(60, 0));
                QCOMPARE(file.value(QStringLiteral("SELECT x FROM УзлыТС WHERE Nуз=?"), {node}).toInt(), at.x() + 20);
                // The first corner of a rectangle is taken back: clicked
                // where no node is.
                QPoint corner;
                const QStringList nodes = file.strings(QStringLiteral("SELECT x||','||y FROM УзлыТС"));
                for (int y = 40; corner.isNull() && y < 600; y += 40)
                    for (int x = 40; corner.isNull() && x < 600; x += 40) {
                        bool clear = true;
                        for (const QString& xy : nodes) {
                            const QPoint node(xy.section(QLatin1Char(','), 0, 0).toInt(),
                                              xy.section(QLatin1Char(','), 1, 1).toInt());
                            clear = clear && (node - QPoint(x, y)).manhattanLength() > 40;
                        }
                        if (clear)
                            corner = QPoint(x, y);
                    }
                QVERIFY(!corner.isNull());
                drawing->chooseItem(3);
                click(canvas, corner);
                const QSqlDatabase work = window->session().data().work();
                QVERIFY(zurm::readSchemaSelection(work).rect);
                zurm::test::keyThroughWindow(drawing, Qt::Key_Escape);
                QVERIFY(!zurm::readSchemaSelection(work).rect);
                QVERIFY(drawing->isVisible());
                QVERIFY(drawing->history().canUndo());
                checked = true;
                drawing->action(QStringLiteral("miSaveClose"))->trigger();
            });
            child<QAction>(editor, "miShTSRis")->trigger();
            editor->accept();
        });
        child<QAction>(window.get(), "miDataParTS")->trigger();
        QVERIFY(checked);
    }
};

QTEST_MAIN(SchemaDrawingTest)
#include "schema_drawing_test.moc"
