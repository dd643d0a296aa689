// The schema view on the sample calculation: a click selects the node under
// it, the scale box zooms and refuses what is no zoom, nodes are selected by
// their numbers, and the view follows edits of the input data.
#include "gui/network/SchemaView.h"
#include "network/SchemaGeometry.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"

#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QtTest/QtTest>

using zurm::test::SampleWindow;
using zurm::test::whenShown;

class SchemaViewTest : public QObject {
    Q_OBJECT

private:
    QStringList selection(zurm::gui::MainWindow& window)
    {
        QStringList nodes;
        QSqlQuery q = zurm::selectSql(window.session().data().work(),
                                      QStringLiteral("SELECT Nуз FROM ВыделУзлыТС ORDER BY rowid"));
        while (q.next())
            nodes.append(q.value(0).toString());
        QSqlQuery r = zurm::selectSql(window.session().data().work(),
                                      QStringLiteral("SELECT x1, y1, x2, y2 FROM ВыделПрямоуг"));
        while (r.next())
            nodes.append(QStringLiteral("rect %1,%2,%3,%4")
                             .arg(r.value(0).toInt()).arg(r.value(1).toInt()).arg(r.value(2).toInt()).arg(r.value(3).toInt()));
        return nodes;
    }

private slots:
    // A map that cannot be shown is named with the reason, once while it
    // lasts (the editor reloads its map after every drawing run).
    void aMissingMapIsSaidOnce()
    {
        SampleWindow setup;
        setup.file().exec(QStringLiteral("UPDATE НазвРасч SET Карта='нет.jpg'"));
        auto window = setup.show();
        zurm::gui::SchemaView view(window->session(), zurm::gui::SchemaWindow::Editor);
        view.setDialogs(setup.dialogs);
        QCOMPARE(view.loadMap(), QStringLiteral("нет.jpg - Параметры теплосети"));
        view.loadMap();
        QCOMPARE(setup.dialogs.messages,
                 QStringList{QStringLiteral("Карта \"нет.jpg\" не загружена: файл не найден. Схема теплосети будет "
                                            "нарисована без карты.")});
        QCOMPARE(view.pictureSize(), QSize(2000, 2000));
    }

    void clickScaleAndSelection()
    {
        SampleWindow setup;
        auto window = setup.show();
        zurm::gui::SchemaView view(window->session(), zurm::gui::SchemaWindow::Editor);
        view.setDialogs(setup.dialogs);
        view.resize(520, 440);
        view.show();
        QCOMPARE(view.loadMap(), QStringLiteral("Параметры теплосети"));
        QWidget* canvas = view.findChild<QWidget*>(QStringLiteral("imShTS"));
        auto* box = view.findChild<QComboBox*>(QStringLiteral("cbScale"));
        QVERIFY(canvas && box);
        QCOMPARE(box->count(), 11);

        // Fit: the 2000-point canvas is shown reduced; a click 8 picture points
        // right of node 2 (380, 220) selects it, one far from any node nothing.
        QSignalSpy clicked(&view, &zurm::gui::SchemaView::nodeClicked);
        const double k = zurm::displayFactor(view.pictureSize(), canvas->size());
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(int((380 + 6) / k), int(220 / k)));
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), 2);
        QCOMPARE(selection(*window), QStringList{QStringLiteral("2")});
        view.setClickSelects(false);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(int(540 / k), int(160 / k)));
        QCOMPARE(selection(*window), QStringList{QStringLiteral("2")});

        // Typed zooms: 55 is 55 % of the picture; 5% and 150 are refused and
        // leave the zoom as it was.
        const struct {
            const char* typed;
            const char* shown;
            int width;
            int messages;
        } zooms[] = {{"55", "55%", 1100, 0}, {"5%", "5%", 1100, 1}, {"150", "150", 1100, 2}, {"30%", "30%", 600, 2}};
        for (const auto& z : zooms) {
            box->lineEdit()->setText(QString::fromUtf8(z.typed));
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
            QCOMPARE(box->currentText(), QString::fromUtf8(z.shown));
            QCOMPARE(canvas->width(), z.width);
            QCOMPARE(setup.dialogs.messages.size(), z.messages);
        }
        QCOMPARE(setup.dialogs.messages.value(0), QStringLiteral("Введите целое число от 10 до 100."));
        box->setCurrentIndex(0);
        view.applyScale();
        QCOMPARE(canvas->size(), view.findChild<QScrollArea*>()->viewport()->size());

        // By numbers: two nodes and their rectangle; the fields keep their texts.
        whenShown(QStringLiteral("TSelUzForm"), [](QWidget* dialog) {
            QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("edUz1"))->text(), QStringLiteral("0"));
            dialog->findChild<QLineEdit*>(QStringLiteral("edUz1"))->setText(QStringLiteral("3"));
            dialog->findChild<QLineEdit*>(QStringLiteral("edUz2"))->setText(QStringLiteral("6"));
            dialog->findChild<QAction*>(QStringLiteral("miSelUz"))->trigger();
        });
        QVERIFY(view.selectNodesByNumbers(QStringLiteral("Выделение узлов")));
        QCOMPARE(selection(*window), (QStringList{QStringLiteral("3"), QStringLiteral("6"),
                                                  QStringLiteral("rect 540,160,540,440")}));

        // The label mode is the session's; an edit elsewhere is followed.
        view.copyToClipboard();
        QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(2000, 2000));
        QCOMPARE(setup.dialogs.messages.last(),
                 QStringLiteral("Схема теплосети скопирована в буфер обмена.\r\rТеперь скопированную схему можно вставить "
                                "в документ любой другой программы, которая поддерживает буфер обмена (например, в лист "
                                "Microsoft Excel, в документ Microsoft Word, в изображение Paint)."));

        view.setLabelMode(1);
        QCOMPARE(window->session().viewState().schemaLabelMode, 1);
        zurm::execSql(window->session().data().calculation(), QStringLiteral("UPDATE УзлыТС SET x=900 WHERE Nуз=6"));
        window->session().data().noteInputChanged();
        QTRY_COMPARE(view.nodeAt(QPoint(int(900 / k), int(440 / k))), std::optional<int>(6));
    }
};

QTEST_MAIN(SchemaViewTest)
#include "schema_view_test.moc"
