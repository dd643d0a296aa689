// The graph window on the sample calculation: the refusal before a run, the
// window as the completion dialog's follow-up, its lists, generating, black
// and white, and the copy to the clipboard.
#include "gui/entry/MainWindow.h"
#include "gui/output/GraphWindow.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest/QtTest>

using zurm::test::SampleWindow;
using zurm::test::child;
using zurm::test::whenShown;

namespace {

QStringList items(QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts.append(box->itemText(i));
    return texts;
}

int pixelsOf(const QImage& image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

} // namespace

class GraphWindowTest : public QObject {
    Q_OBJECT
private slots:
    void refusedBeforeARun()
    {
        SampleWindow setup;
        auto window = setup.show();
        setup.dialogs.messages.clear();
        bool shown = false;
        QPointer<QTimer> watch = whenShown(QStringLiteral("TGrForm"), [&](QWidget* w) {
            shown = true;
            static_cast<QDialog*>(w)->reject();
        }, 500);
        window->findChild<QAction*>(QStringLiteral("tbGr"))->trigger();
        QCOMPARE(setup.dialogs.messages,
                 QStringList{QStringLiteral("Перед формированием графика необходимо выполнить расчет (Команда: Данные / "
                                            "Выполнить расчет).")});
        QTest::qWait(600);
        QVERIFY(!shown);
    }

    void listsGeneratingAndCopying()
    {
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("СохрТекстРас=0, ТочностьЧиселВОтч=2"));
        auto window = setup.show();
        QStringList menu, types, mains;
        QList<QStringList> lists;
        QString title, chartTitle, copied;
        int red = 0, redInBlackAndWhite = 0, steps = 0;
        bool shownAfterRun = false;
        whenShown(QStringLiteral("RasVipForm"), [&](QWidget* dialog) {
            dialog->findChild<QCheckBox*>(QStringLiteral("cbGr"))->setChecked(true);
            dialog->findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
        });
        whenShown(QStringLiteral("TGrForm"), [&](QWidget* shown) {
            auto* graphs = static_cast<zurm::gui::GraphWindow*>(shown);
            shownAfterRun = window->session().data().calculationDone();
            title = shown->windowTitle();
            for (QAction* action : shown->findChild<QMenuBar*>()->actions())
                menu.append(action->text());
            auto* cbMag = child<QComboBox>(shown, "cbMag");
            auto* cbNachUz = child<QComboBox>(shown, "cbNachUz");
            auto* cbKonUz = child<QComboBox>(shown, "cbKonUz");
            mains = items(cbMag);
            types = items(child<QComboBox>(shown, "cbTipGr"));
            auto note = [&] {
                lists.append(items(cbNachUz) + QStringList{QStringLiteral("|")} + items(cbKonUz)
                             + QStringList{QStringLiteral("|"), cbNachUz->currentText(), cbKonUz->currentText()});
            };
            note();                           // main 1 as it opens
            cbNachUz->setCurrentIndex(1);     // from node 1: the end keeps 3
            note();
            cbKonUz->setCurrentIndex(0);      // to node 2
            note();
            cbMag->setCurrentIndex(2);        // main 3: node 1 stays, 2 is gone: the end node 6
            note();

            shown->findChild<QAction*>(QStringLiteral("miGenerate"))->trigger();
            chartTitle = graphs->graph().title;
            steps = int(graphs->graph().steps.size());
            red = pixelsOf(graphs->chartPicture(), qRgb(255, 0, 0));
            child<QCheckBox>(shown, "cbBW")->setChecked(true);
            shown->findChild<QAction*>(QStringLiteral("miGenerate"))->trigger();
            redInBlackAndWhite = pixelsOf(graphs->chartPicture(), qRgb(255, 0, 0));

            setup.dialogs.messages.clear();
            shown->findChild<QAction*>(QStringLiteral("miCopy"))->trigger();
            copied = setup.dialogs.messages.value(0);
            shown->findChild<QAction*>(QStringLiteral("miClose"))->trigger();
        });
        setup.dialogs.answers = {true};
        window->findChild<QAction*>(QStringLiteral("miDataVipRas"))->trigger();

        QVERIFY(shownAfterRun);
        QCOMPARE(title, QStringLiteral("Формировать график"));
        QCOMPARE(menu, (QStringList{"Сформировать", "Копировать график в буфер обмена", "Закрыть", "?"}));
        QCOMPARE(mains, (QStringList{"1.   0 - 3", "2.   0 - 4", "3.   0 - 6"}));
        QCOMPARE(types.mid(0, 6), (QStringList{"Пьезометрический", "Температура воды в теплосети", "РасхПод", "РасхОбр",
                                               "РасхПод, РасхОбр на одном графике", "ДуПод"}));
        const QList<QStringList> expected = {
            {"0", "1", "2", "|", "1", "2", "3", "|", "0", "3"},
            {"0", "1", "2", "|", "2", "3", "|", "1", "3"},
            {"0", "1", "2", "|", "2", "3", "|", "1", "2"},
            {"0", "1", "5", "|", "5", "6", "|", "1", "6"},
        };
        QCOMPARE(lists, expected);
        QCOMPARE(chartTitle, QStringLiteral("3.   0 - 6"));
        QCOMPARE(steps, 5); // two segments, each with its start and end heads; the end node
        QVERIFY(red > 0);
        QCOMPARE(redInBlackAndWhite, 0);
        QVERIFY(!QGuiApplication::clipboard()->image().isNull());
        QCOMPARE(copied, QStringLiteral("График скопирован в буфер обмена.\r\rТеперь скопированный график можно вставить "
                                        "в документ любой другой программы, которая поддерживает буфер обмена "
                                        "(например, в лист Microsoft Excel, в документ Microsoft Word, в изображение "
                                        "Paint)."));
    }
};

QTEST_MAIN(GraphWindowTest)
#include "graph_window_test.moc"
